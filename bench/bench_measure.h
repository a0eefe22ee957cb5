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

}  // namespace morvane::bench
