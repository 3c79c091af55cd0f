#pragma once
// A fuzz target's own checks: a wrong result the sanitizers cannot see
// stops the run as a crash does, so that the fuzzer keeps the input.

#include <cstdlib>

#define FUZZ_CHECK(condition)       \
  do {                              \
    if (!(condition)) std::abort(); \
  } while (false)
