// CPU time and peak working set through the process API.
#include "BenchPlatform.h"

#include <windows.h>
#include <psapi.h>

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto ticks = [](const FILETIME& f) { return (uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  return (ticks(kernel) + ticks(user)) / 1e7;  // 100 ns units
}

uint64_t PeakResidentBytes() {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) return 0;
  return pmc.PeakWorkingSetSize;
}
