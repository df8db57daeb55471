#pragma once

// The one optional argument of the streaming benchmarks: how long to run.

#include <cstdlib>

namespace bench_args {

// The first argument as a time in seconds; `full` without one, `smoke` when
// TS_BENCH_SMOKE is set. Options (such as the benchmark library's, which CI
// passes to every benchmark) are not a time.
inline double Seconds(int argc, char** argv, double full, double smoke) {
  double seconds = std::getenv("TS_BENCH_SMOKE") ? smoke : full;
  if (argc > 1 && argv[1][0] != '-') seconds = std::atof(argv[1]);
  return seconds;
}

}  // namespace bench_args
