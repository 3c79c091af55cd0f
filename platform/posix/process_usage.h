#pragma once
// For benchmarks: what this process has cost so far.

namespace tillgate::testing {

struct ProcessUsage {
  double cpu_seconds = 0;     // user and system time, every thread
  long context_switches = 0;  // voluntary and involuntary
};

ProcessUsage OwnUsage();

// Processor time the calling thread has had, in seconds.
double ThreadCpuSeconds();

// This process's resident memory that no file backs (Linux's RssAnon: heap,
// stacks, anonymous maps), in bytes; -1 where the system does not tell.
long long AnonymousMemory();

}  // namespace tillgate::testing
