// Restore benchmark. A backup file of 10,000 entries (9,000 text values, each in a key of its own
// under HKCU\SOFTWARE\MorvaneBench\Restore, a tenth of them default values, and 1,000 empty
// extension keys), written by the backup writer and restored as the window restores it after
// Yes: the file read, its lines parsed and every entry put back. Printed for a registry where
// every entry is missing and for one where every entry is already present, beside a floor
// measured the same way in the same run: a bare loop that creates each key and sets each value
// without looking first (three calls an entry). Medians of five runs, then the registry calls
// per entry of each. Last, the main window restores a file of 100,000 entries while another
// thread asks it a question every few milliseconds: the longest wait for an answer is printed.
// Run it in a throwaway prefix, with a display (Xvfb): it writes into HKEY_CLASSES_ROOT (and
// removes what it wrote).
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "CleanReg/BackupReader.h"
#include "CleanReg/Repair.h"
#include "CleanReg/Restore.h"
#include "MainFrm/MainFrm.h"
#include "bench/bench_measure.h"
#include "bench/counting_registry.h"
#include "bench/wait_probe.h"
#include "platform/WideText.h"

using namespace morvane;
using namespace morvane::bench;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kTree[] = "SOFTWARE\\MorvaneBench\\Restore";

std::string ExtensionName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, ".mvbench%06d", i);
  return name;
}

// values text values in keys spread over a hundred vendors' keys, then extensions extension keys.
void WriteBackup(const std::string& fileName, int values, int extensions) {
  BeginBackup();
  for (int v = 0; v < values; ++v) {
    char key[96], data[128];
    std::snprintf(key, sizeof key, "\\%s\\Vendor%03d\\App%06d", kTree, v % 100, v);
    std::snprintf(data, sizeof data, "C:\\Program Files\\Gone %06d\\bin\\tool.exe -u \"%%1\"", v);
    AddBackupEntry(RootKey::CurrentUser, key,
                   v % 10 == 0 ? std::string() : "Path" + std::to_string(v % 7), data);
  }
  for (int i = 0; i < extensions; ++i)
    AddBackupEntry(RootKey::ClassesRoot, "\\" + ExtensionName(i), "", "");
  EndBackup(true, fileName, SystemFileSystem());
}

void RemoveAll(int extensions) {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\MorvaneBench");
  for (int i = 0; i < extensions; ++i)
    RegDeleteKeyW(HKEY_CLASSES_ROOT, Widen(ExtensionName(i)).c_str());
}

// What restoring cannot do with less: each key created, each value set, nothing looked at first.
// Through the wide calls, each text converted at its call, as the restore converts it.
void BareWrites(const std::vector<BackupEntry>& entries) {
  for (const BackupEntry& e : entries) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(reinterpret_cast<HKEY>(RootHandle(e.root)),
                        Widen(std::string_view(e.keyPath).substr(1)).c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
      continue;
    if (e.kind == BackupEntryKind::TextValue) {
      const std::wstring data = Widen(e.data);
      RegSetValueExW(key, Widen(e.valueName).c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
  }
}

RestoreOutcome RestoreFile(const std::string& fileName, RegistryApi& registry,
                           std::size_t& entries) {
  BackupContents contents;
  ReadBackupFile(SystemFileSystem(), fileName, SystemAnsiCodePage(), contents);
  entries = contents.entries.size();
  return RestoreBackup(contents.entries, registry);
}

std::string CallsPerEntry(const CountingRegistry& calls, std::size_t entries) {
  const double n = static_cast<double>(entries);
  char text[160];
  std::snprintf(text, sizeof text,
                "%.2f (creates %.2f, opens %.2f, value queries %.2f, sets %.2f, closes %.2f, "
                "other %.2f)",
                calls.Total() / n, calls.creates / n, calls.opens / n, calls.queries / n,
                calls.sets / n, calls.closes / n, (calls.Listings() + calls.deletes) / n);
  return text;
}

// The window restores the file while another thread asks it a question (WM_NULL) every few
// milliseconds; returns the longest wait for an answer, in ms.
double LongestWaitDuringRestore(const std::string& fileName, std::string& status,
                                std::size_t& questions, double& seconds, int answer = IDYES) {
  TMainFormServices services = DefaultServices();
  services.MessageBox = [answer](HWND, const std::string&, const std::string&, UINT) {
    return answer;
  };
  services.ExecuteOpenDialog = [&](HWND, TOpenDialog& dialog) {
    dialog.FileName = fileName;
    return true;
  };
  TMainForm form(services);
  form.Show();
  form.RefreshApp();
  bench::WaitProbe probe(form.Handle());
  probe.Start();
  seconds = Seconds([&] { form.Restorefrombackup1Click(); });
  probe.Stop([&] { form.RefreshApp(); });
  status = form.StatusText();
  questions = probe.Waits().size();
  return probe.LongestFrom(0);
}

}  // namespace

// The window reading a file to count its entries (the question answered No, so only the reading
// runs): the longest wait of another thread's message, and how far the process's peak private
// memory rose, against the file's size.
void ReadingInTheWindow(const char* what, const std::string& fileName) {
  // The private memory sampled every millisecond while the window reads: the process's own peak
  // is no help here, since writing the file raised it before.
  const double before = MemoryOfProcess().privateMb;
  std::atomic<bool> reading{true};
  double highest = before;
  std::thread sampler([&] {
    while (reading) {
      highest = std::max(highest, MemoryOfProcess().privateMb);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  std::string status;
  std::size_t questions = 0;
  double seconds = 0;
  const double longest = LongestWaitDuringRestore(fileName, status, questions, seconds, IDNO);
  reading = false;
  sampler.join();
  const double rise = highest - before;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExA(fileName.c_str(), GetFileExInfoStandard, &data);
  const double fileMb =
      ((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) / 1048576.0;
  std::printf(
      "window reading %s (%.0f MB): %.1f s; longest wait %.1f ms (target under 100 ms); private "
      "memory rose at most %.1f MB while reading (%.3f of the file)\n",
      what, fileMb, seconds, longest, rise, fileMb > 0 ? rise / fileMb : 0.0);
}

int main() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "morvane-restore-bench.reg";
  {
    // Reading first, while the process's peak memory is still its own.
    const std::string zeros = std::string(temp) + "morvane-restore-zeros.reg";
    {
      std::ofstream(zeros, std::ios::binary) << kBackupHeader << "\r\n\r\n\r\n";
      HANDLE big = CreateFileA(zeros.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      LARGE_INTEGER size;
      size.QuadPart = 500LL << 20;
      SetFilePointerEx(big, size, nullptr, FILE_BEGIN);
      SetEndOfFile(big);
      CloseHandle(big);
    }
    ReadingInTheWindow("500 MB of zeros after the header", zeros);
    DeleteFileA(zeros.c_str());
    WriteBackup(file, 900000, 100000);
    ReadingInTheWindow("1,000,000 entries", file);
  }
  const int kValues = 9000, kExtensions = 1000;
  WriteBackup(file, kValues, kExtensions);
  BackupContents contents;
  ReadBackupFile(SystemFileSystem(), file, SystemAnsiCodePage(), contents);
  const std::vector<BackupEntry> parsed = contents.entries;
  std::printf("backup file: %zu entries\n", parsed.size());

  std::vector<double> parse, floor, missing, present;
  RestoreOutcome first, again;
  std::size_t entries = 0;
  constexpr int kRuns = 5;
  for (int run = 0; run < kRuns; ++run) {
    RemoveAll(kExtensions);
    parse.push_back(Seconds([&] {
      BackupContents t;
      ReadBackupFile(SystemFileSystem(), file, SystemAnsiCodePage(), t);
    }));
    floor.push_back(Seconds([&] { BareWrites(parsed); }));
    RemoveAll(kExtensions);
    missing.push_back(Seconds([&] { first = RestoreFile(file, SystemRegistry(), entries); }));
    present.push_back(Seconds([&] { again = RestoreFile(file, SystemRegistry(), entries); }));
  }
  RemoveAll(kExtensions);
  CountingRegistry missingCalls(SystemRegistry()), presentCalls(SystemRegistry());
  RestoreFile(file, missingCalls, entries);
  RestoreFile(file, presentCalls, entries);
  RemoveAll(kExtensions);

  std::printf("read and parse only:          %7.3f s\n", Median(parse));
  std::printf("floor, bare create and set:   %7.3f s  (3.00 calls an entry)\n", Median(floor));
  std::printf(
      "restore, all missing:         %7.3f s  (%.2fx floor)  restored %zu, present %zu, not %zu\n",
      Median(missing), Median(missing) / Median(floor), first.restored, first.alreadyPresent,
      first.notRestored);
  std::printf(
      "restore, all already present: %7.3f s  (%.2fx floor)  restored %zu, present %zu, not %zu\n",
      Median(present), Median(present) / Median(floor), again.restored, again.alreadyPresent,
      again.notRestored);
  std::printf("  per run (missing, present against the floor):");
  for (int run = 0; run < kRuns; ++run)
    std::printf(" %.2fx %.2fx;", missing[run] / floor[run], present[run] / floor[run]);
  std::printf("\nregistry calls per entry, all missing: %s\n",
              CallsPerEntry(missingCalls, entries).c_str());
  std::printf("registry calls per entry, all present: %s\n",
              CallsPerEntry(presentCalls, entries).c_str());
  std::printf("target: at most 1.3x the floor, missing and present\n");
  const bool restoredAll = first.restored == entries && again.alreadyPresent == entries;

  // 100,000 entries through the window.
  const int kWindowValues = 90000, kWindowExtensions = 10000;
  WriteBackup(file, kWindowValues, kWindowExtensions);
  std::string status;
  std::size_t questions = 0;
  double seconds = 0;
  const double longest = LongestWaitDuringRestore(file, status, questions, seconds);
  RemoveAll(kWindowExtensions);
  DeleteFileA(file.c_str());
  std::printf("window restoring %d entries: %.1f s; status: %s\n",
              kWindowValues + kWindowExtensions, seconds, status.c_str());
  std::printf(
      "  longest wait of another thread's message during the restore: %.1f ms (%zu questions; "
      "target under 100 ms)\n",
      longest, questions);
  const std::string expected =
      "Entries restored: " + std::to_string(kWindowValues + kWindowExtensions) +
      ". Already present: 0. Not restored: 0.";
  return restoredAll && status == expected ? 0 : 1;
}
