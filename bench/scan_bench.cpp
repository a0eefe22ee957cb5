// Scan benchmark. In one run: seeds a large scratch tree under HKEY_CURRENT_USER, then times
//   - the bare walk that only enumerates keys and values (the floor),
//   - Wine's `reg query KEY /s` over the same tree, as a child process,
//   - the program's own scan (TCleanThread, one reference pass over the tree),
// each several times, and prints the median of each with the ratios between them.
//
// With --views the tree is seeded half in each view of HKEY_LOCAL_MACHINE\SOFTWARE (native and
// 32-bit, which the native view holds as SOFTWARE\Wow6432Node) and the scan's pass over the
// whole of HKEY_LOCAL_MACHINE\SOFTWARE, as a scan reads it, is timed against the floor walking
// the same native tree; the keys and findings of each view are printed. Meant for a 64-bit prefix.
//
// Usage: scan_bench [--runs N] [--vendors N] [--output FILE|NUL] [--calls] [--views]
//   --calls  also counts the registry and file-system calls of one more (untimed) scan.
#include <windows.h>

#include <malloc.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "CleanReg/CleanThread.h"
#include "bench/bench_measure.h"
#include "bench/bench_tree.h"
#include "bench/counting_registry.h"
#include "bench/floor_walk.h"
#include "bench/reg_query.h"

using namespace morvane;
using namespace morvane::bench;

// The heap the program's own code takes, counted at every allocation, so that the scan's peak
// can be read off exactly: what it holds at its busiest, above what was held when it began.
namespace heap {
std::atomic<long long> current{0}, peak{0};
void Add(long long bytes) {
  const long long now = current += bytes;
  long long seen = peak.load();
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {}
}
}  // namespace heap

void* operator new(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  heap::Add(static_cast<long long>(_msize(p)));
  return p;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  heap::Add(-static_cast<long long>(_msize(p)));
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

constexpr char kTreePath[] = "SOFTWARE\\MorvaneBench";
constexpr char kWowPrefix[] = "\\SOFTWARE\\Wow6432Node\\";

// Counts findings and folds them, in order, into one number: two scans that report the same
// rows in the same order print the same digest.
class DigestSink final : public ScanSink {
 public:
  void Status(const std::string&) override {}
  void Found(const Finding& f) override {
    ++findings;
    if (f.keyPath.compare(0, sizeof kWowPrefix - 1, kWowPrefix) == 0) ++wowFindings;
    for (const std::string* s : {&f.caption, &f.parameter, &f.section, &f.keyPath, &f.valueName}) {
      for (unsigned char c : *s) digest = (digest ^ c) * 0x100000001B3ull;
      digest = (digest ^ 0xFF) * 0x100000001B3ull;
    }
  }
  void End() override {}
  long findings = 0;
  long wowFindings = 0;  // under \SOFTWARE\Wow6432Node: the 32-bit view's
  unsigned long long digest = 0xCBF29CE484222325ull;
};

// The real scan worker, running its reference pass over the scratch tree instead of \SOFTWARE.
class TreeScan final : public TCleanThread {
 public:
  using TCleanThread::TCleanThread;
  void Run(const std::string& startKey, RootKey root = RootKey::CurrentUser) {
    FRunning = true;
    RunPass(kStatusReferences, root, startKey);
    FRunning = false;
  }
};

// A file-system seam that counts the calls made through it.

class CountingFiles final : public FileSystem {
 public:
  explicit CountingFiles(FileSystem& inner) : inner_(inner) {}
  PathKind Look(const std::string& p) override {
    ++looks;
    return inner_.Look(p);
  }
  std::uint32_t DriveSerial(char c) override {
    ++serials;
    return inner_.DriveSerial(c);
  }
  std::optional<std::string> Variable(const std::string& name) override {
    return inner_.Variable(name);
  }
  long looks = 0, serials = 0;

 private:
  FileSystem& inner_;
};

std::string Range(const std::vector<double>& v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f..%.2f", *std::min_element(v.begin(), v.end()),
                *std::max_element(v.begin(), v.end()));
  return buffer;
}

// Both views of HKEY_LOCAL_MACHINE\SOFTWARE: the scan's pass over it against the floor walking
// the same native tree, in the same run.
int RunViews(int runs, TreeShape shape) {
  if (!SystemRegistry().HasTwoViews())
    std::printf("note: one registry view here (not a 64-bit prefix)\n");
  shape.vendors = std::max(1, shape.vendors / 2);
  const double seedTime = Seconds([&] {
    SeedTree(kTreePath, shape, HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
    SeedTree(kTreePath, shape, HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY);
  });
  HKEY software = nullptr, wow = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ | KEY_WOW64_64KEY, &software) !=
      ERROR_SUCCESS) {
    std::fprintf(stderr, "cannot open HKLM\\SOFTWARE\n");
    return 1;
  }
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node", 0, KEY_READ | KEY_WOW64_64KEY, &wow);
  const WalkCounts all = FloorWalk(software, KEY_WOW64_64KEY);  // warm-up, and the counts
  const WalkCounts wowKeys = wow != nullptr ? FloorWalk(wow, KEY_WOW64_64KEY) : WalkCounts{};
  if (wow != nullptr) RegCloseKey(wow);
  const long wowTotal = wow != nullptr ? wowKeys.keys + 1 : 0;  // with Wow6432Node itself
  std::printf(
      "HKLM\\SOFTWARE, native view: %ld keys, %ld values; of them the 32-bit view's (Wow6432Node): "
      "%ld keys, "
      "%ld values; the native view's own: %ld keys; each view seeded with %d vendors in %.1f s\n",
      all.keys, all.values, wowTotal, wowKeys.values, all.keys - wowTotal, shape.vendors, seedTime);

  std::vector<double> floorTimes, scanTimes;
  long findings = -1, wowFindings = 0;
  for (int run = 0; run < runs; ++run) {
    floorTimes.push_back(Seconds([&] { FloorWalk(software, KEY_WOW64_64KEY); }));
    DigestSink sink;
    TreeScan scan(sink);
    scanTimes.push_back(Seconds([&] { scan.Run("\\SOFTWARE", RootKey::LocalMachine); }));
    if (findings >= 0 && sink.findings != findings) {
      std::fprintf(stderr, "two scans of one tree reported different findings\n");
      return 1;
    }
    findings = sink.findings;
    wowFindings = sink.wowFindings;
  }
  RegCloseKey(software);
  RemoveTree(kTreePath, HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
  RemoveTree(kTreePath, HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY);

  const double floorTime = Median(floorTimes), scanTime = Median(scanTimes);
  const double keys = static_cast<double>(all.keys);
  std::printf("median of %d runs (seconds, min..max):\n", runs);
  std::printf("  floor: bare walk of the native tree  %7.2f s (%s)  %9.0f keys/s\n", floorTime,
              Range(floorTimes).c_str(), keys / floorTime);
  std::printf("  scan: pass over HKLM\\SOFTWARE        %7.2f s (%s)  %9.0f keys/s\n", scanTime,
              Range(scanTimes).c_str(), keys / scanTime);
  std::printf(
      "  scan findings: %ld, of them %ld in the 32-bit view and %ld in the native view's own "
      "keys\n",
      findings, wowFindings, findings - wowFindings);
  std::printf("scan time / floor time (both views): %.2f\n", scanTime / floorTime);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  TreeShape shape;
  std::string output = "NUL";
  bool countCalls = false;
  bool views = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--vendors") && i + 1 < argc)
      shape.vendors = std::max(1, std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--output") && i + 1 < argc)
      output = argv[++i];
    else if (!std::strcmp(argv[i], "--calls"))
      countCalls = true;
    else if (!std::strcmp(argv[i], "--views"))
      views = true;
    else {
      std::fprintf(
          stderr,
          "usage: scan_bench [--runs N] [--vendors N] [--output FILE|NUL] [--calls] [--views]\n");
      return 2;
    }
  }
  if (views) return RunViews(runs, shape);

  TreeCounts tree;
  const double seedTime = Seconds([&] { tree = SeedTree(kTreePath, shape); });
  std::printf(
      "tree HKCU\\%s: %ld keys, %ld values (%ld REG_SZ of which %ld name files on C:, %ld "
      "REG_DWORD, "
      "%ld REG_BINARY); seeded in %.1f s\n",
      kTreePath, tree.keys, tree.values, tree.texts, tree.paths, tree.dwords, tree.binaries,
      seedTime);

  HKEY start = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kTreePath, 0, KEY_READ, &start) != ERROR_SUCCESS) {
    std::fprintf(stderr, "cannot open the tree\n");
    return 1;
  }
  WalkCounts walked = FloorWalk(start);  // warm-up, and a check of what was seeded
  if (walked.keys != tree.keys || walked.values != tree.values) {
    std::fprintf(stderr, "walk saw %ld keys and %ld values, expected %ld and %ld\n", walked.keys,
                 walked.values, tree.keys, tree.values);
    return 1;
  }

  std::vector<double> floorTimes, regTimes, scanTimes;
  long long scanPeak = 0;
  long findings = -1;
  unsigned long long digest = 0;
  const std::string startKey = std::string("\\") + kTreePath;
  const std::string fullKey = std::string("HKCU\\") + kTreePath;
  for (int run = 0; run < runs; ++run) {
    floorTimes.push_back(Seconds([&] { FloorWalk(start); }));
    const ChildRun reg = RegQueryRecursive(fullKey, output);
    if (!reg.started || reg.exitCode != 0) {
      std::fprintf(stderr, "reg query did not run (started %d, exit code %lu)\n", reg.started,
                   reg.exitCode);
      return 1;
    }
    regTimes.push_back(reg.seconds);
    DigestSink sink;
    TreeScan scan(sink);
    const long long before = heap::current;
    heap::peak = before;
    scanTimes.push_back(Seconds([&] { scan.Run(startKey); }));
    scanPeak = std::max(scanPeak, heap::peak - before);
    if (findings >= 0 && (sink.findings != findings || sink.digest != digest)) {
      std::fprintf(stderr, "two scans of one tree reported different findings\n");
      return 1;
    }
    findings = sink.findings;
    digest = sink.digest;
  }
  RegCloseKey(start);

  const double floorTime = Median(floorTimes), regTime = Median(regTimes),
               scanTime = Median(scanTimes);
  const double keys = static_cast<double>(tree.keys);
  std::printf("median of %d runs (seconds, min..max):\n", runs);
  std::printf("  floor: bare walk of keys and values  %7.2f s (%s)  %9.0f keys/s\n", floorTime,
              Range(floorTimes).c_str(), keys / floorTime);
  std::printf("  reg query /s, output to %-12s %7.2f s (%s)  %9.0f keys/s\n", output.c_str(),
              regTime, Range(regTimes).c_str(), keys / regTime);
  std::printf("  scan: TCleanThread reference pass    %7.2f s (%s)  %9.0f keys/s\n", scanTime,
              Range(scanTimes).c_str(), keys / scanTime);
  std::printf("  scan findings: %ld (digest %016llx); peak heap of the scan %.1f MB\n", findings,
              digest, scanPeak / 1048576.0);
  std::printf("scan time / reg query time: %.2f   (no slower than reg query when <= 1)\n",
              scanTime / regTime);
  std::printf("scan time / floor time:     %.2f   (within 2x of the floor when <= 2)\n",
              scanTime / floorTime);

  if (countCalls) {
    DigestSink sink;
    CountingRegistry registry(SystemRegistry());
    CountingFiles files(SystemFileSystem());
    TreeScan scan(sink, registry, files);
    scan.Run(startKey);
    std::printf(
        "one scan's calls per key: registry %.2f (open %.2f, close %.2f, info %.2f, enumkey %.2f, "
        "enumvalue %.2f, queryvalue %.2f); file system %.2f (paths looked at), drive %ld in all\n",
        registry.Total() / keys, registry.opens / keys, registry.closes / keys,
        registry.infos / keys, registry.enumKeys / keys, registry.enumValues / keys,
        registry.queries / keys, files.looks / keys, files.serials);
  }
  return 0;
}
