// Window benchmark: the real main window takes 50,000 findings from a real scan (over the
// in-memory registry, so that the worker is not what is measured). Prints how long the window
// takes from Start until every row is in the list, the longest time any single message kept
// the window busy, and how long another thread waited for the window to answer a message while
// the rows came in, and the process's peak memory. With --cancel-at N it presses Cancel once N
// rows are listed and prints how long the window takes from there to be idle again. At the end it
// prints where the memory went, against the length of the texts the rows hold. With --correct it
// then checks every row and presses Correct with a backup, stops it after the first removal, and
// prints how long another thread waited for the window's answer from the click to that removal
// (the rows and the backup file are made meanwhile), beside the same wait while the window idles.
// Needs a display (run it under Xvfb).
//
// Usage: window_bench [--findings N] [--path-length L] [--cancel-at N] [--correct]
//   --path-length: length of each finding's key path (default about 25 characters)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/WideText.h"
#include "MainFrm/MainFrm.h"
#include "bench/bench_measure.h"
#include "bench/wait_probe.h"
#include "testing/MemRegistryApi.h"

using namespace morvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kValuesPerKey = 10;

// Drive C is there and holds nothing: every path on it is a broken reference.
class EmptyDriveC final : public FileSystem {
 public:
  PathKind Look(const std::string&) override { return PathKind::Missing; }
  std::uint32_t DriveSerial(char c) override { return c == 'C' ? 0x1234 : 0; }
  std::optional<std::string> Variable(const std::string&) override { return std::nullopt; }
  // The backup goes to the machine's disk.
  std::unique_ptr<FileReplacement> BeginReplacement(const std::string& path) override {
    return SystemFileSystem().BeginReplacement(path);
  }
};

class CountingSink final : public ScanSink {
 public:
  void Status(const std::string&) override {}
  void Found(const Finding&) override { ++findings; }
  void End() override {}
  long findings = 0;
};

// Keys lie below a chain of long names when a long key path is asked for (a key name holds at
// most 255 characters).
std::string g_longParents;

std::string KeyPath(int key) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "k%05d", key);
  return "SOFTWARE\\Flood\\" + g_longParents + buffer;
}

void MakeLongParents(int pathLength) {
  const int wanted = pathLength - static_cast<int>(KeyPath(0).size()) - 1;  // the leading backslash
  for (int left = wanted, n = 0; left > 0; ++n) {
    const int length = std::min(left - 1 > 0 ? left - 1 : 1, 240);
    g_longParents +=
        std::string(static_cast<std::size_t>(length), static_cast<char>('a' + n % 26)) + "\\";
    left -= length + 1;
  }
}

std::string ValueName(int value) { return "v" + std::to_string(value); }

std::string Text(int key, int value) {
  return "C:\\Program Files\\Flood\\k" + std::to_string(key) + "\\file" + std::to_string(value) +
         ".exe -u";
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string ListText(HWND list, int row, int column) {
  wchar_t buffer[2048] = {};
  ListView_GetItemText(list, row, column, buffer, 2048);
  return Narrow(buffer);
}

double TextMb(const TMainForm& form) {
  double bytes = 0;
  for (std::size_t i = 0; i < form.Findings().size(); ++i) {
    const Finding row = form.Findings()[i];
    bytes += row.caption.size() + row.parameter.size() + row.section.size() + row.keyPath.size() +
             row.valueName.size();
  }
  return bytes / 1048576;
}

// Where the memory above the seeded registry went, against the texts the rows hold. Each part of
// the heaps' blocks is what they give back when that part is let go of: the list control's own
// records first (LVM_DELETEALLITEMS), then the page's findings. The free room is what the heaps
// keep committed with nothing in it (blocks freed but not given back: growth and fragmentation).
// Empties the list.
void PrintMemoryBreakdown(TMainForm& form, const bench::ProcessMemory& seeded,
                          const bench::HeapCensus& seededHeaps, const bench::ProcessMemory& peak) {
  const double text = TextMb(form);
  const std::size_t rows = form.Findings().size();
  const bench::ProcessMemory end = bench::MemoryOfProcess();
  const bench::HeapCensus full = bench::CensusOfHeaps();
  ListView_DeleteAllItems(form.ListView1);
  const bench::HeapCensus noList = bench::CensusOfHeaps();
  form.ClearFindings();
  const bench::HeapCensus noFindings = bench::CensusOfHeaps();

  const double peakAbove = peak.peakPrivateMb - seeded.peakPrivateMb;
  const double endAbove = end.privateMb - seeded.privateMb;
  const double busy = full.busyMb - seededHeaps.busyMb, room = full.freeMb - seededHeaps.freeMb;
  const double list = full.busyMb - noList.busyMb, findings = noList.busyMb - noFindings.busyMb;
  // The queue holds at most its bound of messages, each a finding of the average length.
  const double queue = ScanQueue::kDefaultMaxPending *
                       (sizeof(ScanMessage) + (rows ? text * 1048576 / rows : 0)) / 1048576;
  auto line = [text](const char* what, double mb) {
    std::printf("    %-44s %7.1f MB  %5.2fx\n", what, mb, text > 0 ? mb / text : 0);
  };
  std::printf("  memory above the seeded registry, against the %.1f MB of text in %zu rows:\n",
              text, rows);
  line("peak private", peakAbove);
  line("private with every row listed", endAbove);
  line("  heap blocks in use", busy);
  line("    the page's findings", findings);
  line("    the list control's own records", list);
  line("    everything else", busy - findings - list);
  line("  free room the heaps keep committed", room);
  line("  other (heap headers, stacks, graphics)", endAbove - busy - room);
  line("given back before the end (peak - end)", peakAbove - endAbove);
  line("hand-over queue when full (its bound)", queue);
}

// The longest wait of another thread while the window runs its plain message loop for a while:
// the floor of what the probe sees.
double IdleLongestWait(TMainForm& form, bench::WaitProbe& probe, Clock::duration length) {
  const std::size_t first = probe.Waits().size();
  probe.Start();
  const auto end = Clock::now() + length;
  MSG msg;
  while (Clock::now() < end) {
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else {
      MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
  }
  probe.Stop([&] { form.RefreshApp(); });
  return probe.LongestFrom(first);
}

// The start of Correct on every listed row, with a backup: from the click to the first removal,
// with the probe asking throughout; Cancel then stops it after that row.
bool MeasureCorrect(TMainForm& form, bench::WaitProbe& probe, MemRegistryApi& mem,
                    const std::string& backupFile) {
  const int rows = ListView_GetItemCount(form.ListView1);
  const double idle = IdleLongestWait(form, probe, std::chrono::seconds(2));
  ListView_SetCheckState(form.ListView1, -1, TRUE);
  Clock::time_point removal{};
  mem.hook = [&](const std::string& op, const std::string&) {
    if (op != "deletevalue" || removal != Clock::time_point{}) return;
    removal = Clock::now();
    probe.Stop([&] { form.RefreshApp(); });
    form.ZelButton2Click();  // Cancel: this row is the last
  };
  const std::size_t first = probe.Waits().size();
  probe.Start();
  const auto begin = Clock::now();
  form.ZelButton3Click();  // Correct
  mem.hook = nullptr;
  probe.Stop([&] { form.RefreshApp(); });
  std::vector<double> waits(probe.Waits().begin() + static_cast<std::ptrdiff_t>(first),
                            probe.Waits().end());
  std::sort(waits.begin(), waits.end());
  const double p99 = waits.empty() ? 0 : waits[std::min(waits.size() - 1, waits.size() * 99 / 100)];
  const double worst = waits.empty() ? 0 : waits.back();
  int left = 0;
  for (int k = 0; k < rows / kValuesPerKey; ++k)
    for (int v = 0; v < kValuesPerKey; ++v)
      left += mem.ValueExists(RootKey::CurrentUser, KeyPath(k), ValueName(v)) ? 1 : 0;
  WIN32_FILE_ATTRIBUTE_DATA backup{};
  GetFileAttributesExA(backupFile.c_str(), GetFileExInfoStandard, &backup);
  DeleteFileA(backupFile.c_str());
  std::printf(
      "  Correct of %d checked rows, click to the first removal: %.0f ms (a backup file of %.1f "
      "MB, then the 100 ms pause)\n",
      rows, removal == Clock::time_point{} ? 0 : Ms(removal - begin),
      backup.nFileSizeLow / 1048576.0);
  std::printf(
      "  answer to another thread from the click to the first removal: worst %.1f ms, 99th "
      "percentile %.1f ms (%zu questions); idle window: worst %.1f ms\n",
      worst, p99, waits.size(), idle);
  std::printf("  values left: %d; status line: %s\n", left, form.StatusText().c_str());
  return left == rows - 1 && backup.nFileSizeLow > 0 && ListView_GetItemCount(form.ListView1) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  int wanted = 50000, pathLength = 0, cancelAt = 0;
  bool correct = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--findings") && i + 1 < argc)
      wanted = std::max(kValuesPerKey, std::atoi(argv[++i]));
    if (!std::strcmp(argv[i], "--path-length") && i + 1 < argc) pathLength = std::atoi(argv[++i]);
    if (!std::strcmp(argv[i], "--cancel-at") && i + 1 < argc) cancelAt = std::atoi(argv[++i]);
    if (!std::strcmp(argv[i], "--correct")) correct = true;
  }
  if (pathLength > 0) MakeLongParents(pathLength);
  const int keys = wanted / kValuesPerKey;
  const int total = keys * kValuesPerKey;

  MemRegistryApi mem;
  mem.AddKey(RootKey::ClassesRoot, "txtfile");
  mem.AddKey(RootKey::LocalMachine, "SOFTWARE");
  for (int k = 0; k < keys; ++k)
    for (int v = 0; v < kValuesPerKey; ++v)
      mem.AddText(RootKey::CurrentUser, KeyPath(k), ValueName(v), Text(k, v));
  EmptyDriveC files;
  const bench::ProcessMemory seeded = bench::MemoryOfProcess();
  const bench::HeapCensus seededHeaps = bench::CensusOfHeaps();

  // The worker alone, with no window: what the scan costs before the window sees anything.
  double workerMs = 0;
  {
    CountingSink sink;
    TCleanThread worker(sink, mem, files);
    worker.FScanExtensions = worker.FScanReferences = true;
    const auto begin = Clock::now();
    worker.RunScan();
    workerMs = Ms(Clock::now() - begin);
    if (sink.findings != total) {
      std::fprintf(stderr, "the scan found %ld rows, expected %d\n", sink.findings, total);
      return 1;
    }
  }

  TMainFormServices services = DefaultServices();
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string backupFile = std::string(temp) + "window-bench-backup.reg";
  services.MessageBox = [](HWND, const std::string&, const std::string&, UINT) { return IDOK; };
  services.ExecuteSaveDialog = [&backupFile](HWND, TSaveDialog& dialog) {
    dialog.FileName = backupFile;
    return true;
  };
  services.Registry = &mem;
  services.Files = &files;
  TMainForm form(services);
  form.Show();
  form.RefreshApp();

  bench::WaitProbe probe(form.Handle());
  probe.Start();

  const auto begin = Clock::now();
  form.ZelButton1Click();  // Start
  double longestDispatch = 0;
  UINT longestMessage = 0;
  char longestClass[64] = "";
  long dispatched = 0;
  MSG msg;
  Clock::time_point cancelled{};
  while (form.FCleanThread || !form.ZelButton1->Enabled()) {
    if (cancelAt > 0 && cancelled == Clock::time_point{} &&
        static_cast<int>(form.Findings().size()) >= cancelAt) {
      cancelled = Clock::now();
      form.ZelButton2Click();  // Cancel
    }
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      continue;
    }
    const auto start = Clock::now();
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    const double took = Ms(Clock::now() - start);
    if (took > longestDispatch) {
      longestDispatch = took;
      longestMessage = msg.message;
      if (msg.hwnd == nullptr || !GetClassNameA(msg.hwnd, longestClass, sizeof longestClass))
        longestClass[0] = 0;
    }
    ++dispatched;
  }
  const double elapsed = Ms(Clock::now() - begin);
  const double cancelToIdle = cancelled == Clock::time_point{} ? 0 : Ms(Clock::now() - cancelled);
  const bench::ProcessMemory peak = bench::MemoryOfProcess();
  probe.Stop([&] { form.RefreshApp(); });
  std::vector<double> waits = probe.Waits();

  // Everything arrived, in scan order (up to the cancel, when there was one).
  const FindingTable& rows = form.Findings();
  const int listed = ListView_GetItemCount(form.ListView1);
  const int expected = cancelled == Clock::time_point{} ? total : listed;
  bool inOrder = static_cast<int>(rows.size()) == expected && listed == expected && listed > 0;
  for (int i = 0; inOrder && i < expected; ++i) {
    const int k = i / kValuesPerKey, v = i % kValuesPerKey;
    inOrder = rows[i].keyPath == "\\" + KeyPath(k) && rows[i].valueName == ValueName(v) &&
              rows[i].parameter == Text(k, v);
  }
  for (int i : {0, expected / 2, expected - 1})
    if (inOrder)
      inOrder = ListText(form.ListView1, i, 1) == rows[i].parameter &&
                ListText(form.ListView1, i, 3) == rows[i].keyPath;

  std::sort(waits.begin(), waits.end());
  const double p99 = waits.empty() ? 0 : waits[std::min(waits.size() - 1, waits.size() * 99 / 100)];
  const double worst = waits.empty() ? 0 : waits.back();
  std::printf("window: %d findings, key paths of %zu characters; the worker alone takes %.0f ms\n",
              total, KeyPath(0).size() + 1, workerMs);
  if (cancelled == Clock::time_point{}) {
    std::printf("  Start to every row listed:       %8.0f ms  (%.0f rows/s)\n", elapsed,
                total / (elapsed / 1000));
  } else {
    std::printf("  Cancel at %d rows to idle:    %8.0f ms  (%d rows listed in all)\n", cancelAt,
                cancelToIdle, listed);
  }
  std::printf(
      "  peak memory: working set %.0f MB, private %.0f MB (after seeding the registry: %.0f MB, "
      "%.0f MB)\n",
      peak.peakWorkingMb, peak.peakPrivateMb, seeded.peakWorkingMb, seeded.peakPrivateMb);
  std::printf(
      "  longest single message:          %8.1f ms  (message 0x%04X to %s; %ld messages "
      "dispatched)\n",
      longestDispatch, longestMessage, longestClass[0] ? longestClass : "no window", dispatched);
  std::printf(
      "  answer to another thread: worst  %8.1f ms, 99th percentile %.1f ms (%zu questions)\n",
      worst, p99, waits.size());
  std::printf("  rows complete and in scan order: %s\n", inOrder ? "yes" : "NO");
  if (correct) {
    const bool done = MeasureCorrect(form, probe, mem, backupFile);
    std::printf("  the first row removed and the rest left, the backup written: %s\n",
                done ? "yes" : "NO");
    return inOrder && done ? 0 : 1;
  }
  PrintMemoryBreakdown(form, seeded, seededHeaps, peak);
  return inOrder ? 0 : 1;
}
