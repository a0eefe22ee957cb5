// Unnecessary-files benchmark: 100,000 files in 1,000 folders in TEMP (a scratch folder the
// environment points at) and 1,000 prefetch files. Prints, from one run, the page's collection
// against a bare FindFirstFileW walk of the same folders and against the same walk opening,
// sizing and closing every file; Clear against a bare DeleteFileW loop over the same files (the
// floors make the same wide calls as the page, with paths converted from UTF-8 as it does); the
// longest time the window keeps a message from another thread waiting during the collection;
// and the process's memory with the list holding every line. Needs a display (Xvfb).
//
// Usage: files_bench [--folders N] [--files-per-folder N] [--prefetch N] [--rounds N]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "CleanReg/UnnecessaryFiles.h"
#include "MainFrm/MainFrm.h"
#include "bench/bench_measure.h"
#include "bench/wait_probe.h"
#include "platform/FileTree.h"
#include "platform/SystemFolders.h"
#include "platform/WideText.h"

using namespace morvane;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void MakeFile(const std::string& path, DWORD size) {
  HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  SetFilePointer(file, static_cast<LONG>(size), nullptr, FILE_BEGIN);
  SetEndOfFile(file);
  CloseHandle(file);
}

// Every file of the tree. The same tree is made under bare as well, file by file in step, for
// the bare DeleteFile loop: files made at the same moments wait for the disk alike, so Clear
// and the loop delete files of the same age.
std::vector<std::string> Seed(const std::string& temp, const std::string& prefetch, int folders,
                              int perFolder, int prefetchFiles, const std::string& bare,
                              std::vector<std::string>& barePaths) {
  std::vector<std::string> paths;
  for (const std::string& root : {temp, bare, prefetch})
    CreateDirectoryW(Widen(root).c_str(), nullptr);
  for (int d = 0; d < folders; ++d) {
    const std::string folder = "\\d" + std::to_string(d);
    CreateDirectoryW(Widen(temp + folder).c_str(), nullptr);
    CreateDirectoryW(Widen(bare + folder).c_str(), nullptr);
    for (int f = 0; f < perFolder; ++f)
      paths.push_back(temp + folder + "\\file" + std::to_string(f) + ".tmp");
  }
  for (int f = 0; f < prefetchFiles; ++f)
    paths.push_back(prefetch + "\\APP" + std::to_string(f) + "-0A1B2C3D.pf");
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const DWORD size = 1000 + static_cast<DWORD>(i % 7) * 1024;
    MakeFile(paths[i], size);
    const std::string& root = paths[i].compare(0, temp.size(), temp) == 0 ? temp : prefetch;
    barePaths.push_back(bare + paths[i].substr(root.size()));
    MakeFile(barePaths.back(), size);
  }
  return paths;
}

// The bare walk: every entry of the tree, with the same wide search calls; sizes when asked. Each
// name is read back into the program's UTF-8 and the paths handed over are converted from it, as
// the page does.
long Walk(const std::string& folder, bool size, long long& bytes) {
  long files = 0;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(Widen(folder + "*.*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    const std::string name = Narrow(data.cFileName);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != "." && name != "..") files += Walk(folder + name + "\\", size, bytes);
      continue;
    }
    ++files;
    if (size) {
      HANDLE file = CreateFileW(Widen(folder + name).c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        bytes += GetFileSize(file, nullptr);
        CloseHandle(file);
      }
    }
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  int folders = 1000, perFolder = 100, prefetchFiles = 1000, rounds = 3;
  for (int i = 1; i + 1 < argc; ++i) {
    if (!std::strcmp(argv[i], "--folders"))
      folders = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--files-per-folder"))
      perFolder = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--prefetch"))
      prefetchFiles = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--rounds"))
      rounds = std::max(1, std::atoi(argv[++i]));
  }
  wchar_t buffer[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TEMP", buffer, MAX_PATH);
  const std::string temp = Narrow(buffer) + "\\morvane-files-bench";
  GetWindowsDirectoryW(buffer, MAX_PATH);
  const std::string prefetch = Narrow(buffer) + "\\Prefetch";
  SetEnvironmentVariableW(L"TEMP", Widen(temp).c_str());

  auto begin = Clock::now();
  const std::string bare = temp + "-bare";
  std::vector<std::string> barePaths;
  const std::vector<std::string> paths =
      Seed(temp, prefetch, folders, perFolder, prefetchFiles, bare, barePaths);
  std::printf("files: %zu files in %d folders in TEMP and %d in Prefetch, seeded in %.0f ms\n",
              paths.size(), folders, prefetchFiles, Ms(Clock::now() - begin));

  long long bytes = 0;
  Walk(temp + "\\", false, bytes);  // warm the caches
  auto walk = [&](bool size, long& count) {
    const auto start = Clock::now();
    count = Walk(temp + "\\", size, bytes) + Walk(prefetch + "\\", size, bytes);
    return Ms(Clock::now() - start);
  };
  long bareCount = 0, sizedCount = 0;
  const double bareMs = walk(false, bareCount);
  walk(true, sizedCount);
  // Reading a file the first time stamps its access time, which the disk must then write; the
  // bare loop's files get the same stamp now, as TEMP's just did.
  Walk(bare + "\\", true, bytes);

  // The page's own walk and size reading, without the window: what the window adds is the rest.
  struct QuietSink final : CollectionSink {
    bool BetweenFiles() override { return true; }
    void AddFile(const ListedFile&) override { ++files; }
    void AddLine(const std::string&) override {}
    void FolderRefused(const std::string&) override {}
    long files = 0;
  } quiet;

  TMainFormServices services = DefaultServices();
  services.MessageBox = [](HWND, const std::string&, const std::string&, UINT) { return IDOK; };
  TMainForm form(services);
  form.Show();
  form.RefreshApp();
  const bench::ProcessMemory before = bench::MemoryOfProcess();

  // Another thread asks the window a question every few milliseconds while a collection or Clear
  // runs (see WaitProbe).
  bench::WaitProbe probe(form.Handle());

  // Rounds of the sizing walk, the page's walk alone and the page's collection, one after the
  // other, so that a busy moment of the machine falls on all of them alike; medians are printed.
  std::vector<double> sized, routines, collected, worstWaits;
  for (int round = 0; round < rounds; ++round) {
    const std::size_t asked = probe.Waits().size();
    sized.push_back(walk(true, sizedCount));
    routines.push_back(1000 * bench::Seconds([&] {
                         quiet.files = 0;
                         FindUnnecessaryFiles(SystemFileTree(), SystemFolderApi(), quiet);
                       }));
    probe.Start();
    // Entering the page collects; so does Refresh, on it.
    collected.push_back(1000 * bench::Seconds([&] {
                          if (round == 0)
                            form.Unnecessaryfiles1Click();
                          else
                            form.ZelButton1Click();
                        }));
    probe.Stop([&] { form.RefreshApp(); });
    worstWaits.push_back(probe.LongestFrom(asked));
  }
  const double sizedMs = bench::Median(sized), routinesMs = bench::Median(routines);
  const double collectMs = bench::Median(collected);
  const bench::ProcessMemory after = bench::MemoryOfProcess();
  const double worst = probe.LongestFrom(0);
  const long listed = static_cast<long>(form.FilesPage().Listed().size());
  const long lines = static_cast<long>(SendMessageW(form.ListBox1, LB_GETCOUNT, 0, 0));

  std::printf(
      "medians of %d rounds (the first enters the page, the others are Refresh on the full list); "
      "per round:\n",
      rounds);
  for (int round = 0; round < rounds; ++round)
    std::printf("  round %d: collection %.2fx the sizing walk, longest wait %.1f ms\n", round + 1,
                collected[round] / sized[round], worstWaits[round]);
  std::printf("  bare FindFirstFileW walk:         %8.0f ms  (%ld files)\n", bareMs, bareCount);
  std::printf("  walk opening and sizing each:     %8.0f ms  (%ld files)\n", sizedMs, sizedCount);
  std::printf(
      "  the page's walk without the window:%8.0f ms  (%ld files)  = %.2fx the sizing walk\n",
      routinesMs, quiet.files, routinesMs / sizedMs);
  std::printf(
      "  the page's collection:            %8.0f ms  (%ld files listed, %ld lines)  = %.2fx the "
      "walk, %.2fx the sizing walk\n",
      collectMs, listed, lines, collectMs / bareMs, collectMs / sizedMs);
  std::printf(
      "  longest wait of another thread's message during the collection: %.1f ms (%zu questions)\n",
      worst, probe.Waits().size());
  std::printf(
      "  memory: working set %.0f MB, private %.0f MB with %ld lines (before the collection: %.0f "
      "MB, %.0f MB)\n",
      after.workingMb, after.privateMb, lines, before.workingMb, before.privateMb);

  const std::size_t askedBeforeClear = probe.Waits().size();
  probe.Start();
  const auto clearStart = Clock::now();
  form.ZelButton3Click();  // Clear
  const double clearMs = Ms(Clock::now() - clearStart);
  probe.Stop([&] { form.RefreshApp(); });
  const double worstDuringClear = probe.LongestFrom(askedBeforeClear);
  long left = 0;
  for (const std::string& path : paths)
    left += GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;

  const auto deleteStart = Clock::now();
  for (const std::string& path : barePaths) DeleteFileW(Widen(path).c_str());
  const double deleteMs = Ms(Clock::now() - deleteStart);
  std::printf(
      "  Clear:                            %8.0f ms  (%ld files left)  = %.2fx the bare loop\n",
      clearMs, left, clearMs / deleteMs);
  std::printf("  bare DeleteFileW loop:            %8.0f ms\n", deleteMs);
  std::printf(
      "  longest wait of another thread's message during Clear: %.1f ms (%zu questions); status: "
      "%s\n",
      worstDuringClear, probe.Waits().size() - askedBeforeClear, form.StatusText().c_str());

  for (const std::string& root : {temp, bare}) {
    for (int d = 0; d < folders; ++d)
      RemoveDirectoryW(Widen(root + "\\d" + std::to_string(d)).c_str());
    RemoveDirectoryW(Widen(root).c_str());
  }
  RemoveDirectoryW(Widen(prefetch).c_str());
  return listed == static_cast<long>(paths.size()) && left == 0 ? 0 : 1;
}
