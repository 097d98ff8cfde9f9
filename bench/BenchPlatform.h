// What the benchmark asks of the system: its own CPU time and peak memory.
#pragma once

#include <cstdint>

// CPU time (user + system) this process has used, in seconds. Timing by CPU time keeps
// figures steady on a machine that other work shares.
double ProcessCpuSeconds();

// Highest resident (working-set) size of this process so far, in bytes.
uint64_t PeakResidentBytes();
