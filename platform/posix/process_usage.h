#pragma once
// For benchmarks: what this process has cost so far.

namespace tillgate::testing {

struct ProcessUsage {
  double cpu_seconds = 0;     // user and system time, every thread
  long context_switches = 0;  // voluntary and involuntary
};

ProcessUsage OwnUsage();

}  // namespace tillgate::testing
