// What the benchmarks measure with: wall time of a piece of work, the median of runs, and the
// process's memory as the system counts it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace morvane::bench {

inline double Seconds(const std::function<void()>& work) {
  const auto begin = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Working set and private bytes in MB, now and at their peak so far.
struct ProcessMemory {
  double workingMb = 0, privateMb = 0, peakWorkingMb = 0, peakPrivateMb = 0;
};

inline ProcessMemory MemoryOfProcess() {
  struct Counters {  // PROCESS_MEMORY_COUNTERS
    DWORD cb;
    DWORD PageFaultCount;
    SIZE_T PeakWorkingSetSize, WorkingSetSize, QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage,
        QuotaPeakNonPagedPoolUsage, QuotaNonPagedPoolUsage, PagefileUsage, PeakPagefileUsage;
  } counters{};
  counters.cb = sizeof counters;
  using Get = BOOL(WINAPI*)(HANDLE, Counters*, DWORD);
  auto get = reinterpret_cast<Get>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
  ProcessMemory m;
  if (get != nullptr && get(GetCurrentProcess(), &counters, sizeof counters)) {
    m.workingMb = counters.WorkingSetSize / 1048576.0;
    m.privateMb = counters.PagefileUsage / 1048576.0;
    m.peakWorkingMb = counters.PeakWorkingSetSize / 1048576.0;
    m.peakPrivateMb = counters.PeakPagefileUsage / 1048576.0;
  }
  return m;
}

// What the process's heaps hold: the bytes of the blocks in use (as asked for, without the
// heaps' own headers) and their number, and the bytes of the free blocks the heaps keep
// committed. Walks every block of every heap, so it takes a moment on a full heap; no other
// thread may be using the heaps meanwhile.
struct HeapCensus {
  double busyMb = 0, freeMb = 0;
  long blocks = 0;
};

inline HeapCensus CensusOfHeaps() {
  HeapCensus census;
  std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
  heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
  for (HANDLE heap : heaps) {
    if (!HeapLock(heap)) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
        census.busyMb += entry.cbData / 1048576.0;
        ++census.blocks;
      } else if (!(entry.wFlags & (PROCESS_HEAP_REGION | PROCESS_HEAP_UNCOMMITTED_RANGE))) {
        census.freeMb += entry.cbData / 1048576.0;
      }
    }
    HeapUnlock(heap);
  }
  return census;
}

}  // namespace morvane::bench
