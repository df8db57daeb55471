#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# With CI=true it also runs the unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, runs every fuzz target briefly and runs every
# benchmark once, so none of them rots.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${TS_JOBS:-$(nproc)}"
fuzz_seconds="${TS_FUZZ_SECONDS:-20}"

bash "$here/scripts/install-deps.sh"

export QT_QPA_PLATFORM=offscreen
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
# Paths relative to the checkout, so a fresh clone elsewhere reuses the cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$here}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"

# 1. The regular build: every test, the benchmarks built.
build="${TS_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs"
# Tests that talk to emulated devices in real time run two at a time, the
# rest as wide as the machine allows.
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 300 -LE "device|e2e"
ctest --test-dir "$build" --output-on-failure -j 2 --timeout 300 -L "device|e2e"

if [ "${CI:-}" = "true" ] || [ "${TS_FULL:-}" = "1" ]; then
  # 2. Benchmarks: each runs once, briefly.
  for b in "$build"/bench/bench_*; do
    [ -f "$b" ] && [ -x "$b" ] || continue
    echo "== $(basename "$b") (smoke run)"
    TS_BENCH_SMOKE=1 "$b" --benchmark_min_time=0.01 >/dev/null
  done

  # 3. Sanitizers and fuzzing: clang, ASan + UBSan, libFuzzer targets.
  sbuild="${TS_SAN_BUILD_DIR:-$here/build-san}"
  CC=clang CXX=clang++ cmake -S "$here" -B "$sbuild" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DTS_BUILD_FUZZ=ON -DTS_BUILD_BENCH=OFF >/dev/null
  cmake --build "$sbuild" -j "$jobs"
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  ctest --test-dir "$sbuild" --output-on-failure -j "$jobs" --timeout 600 -L unit
  ctest --test-dir "$sbuild" --output-on-failure -j 2 --timeout 600 -L device
  unset ASAN_OPTIONS UBSAN_OPTIONS
  # Fuzz targets run side by side, each for the same short time, each on a
  # copy of its seed corpus; the first failure prints its log and fails CI.
  fuzz_jobs="${TS_FUZZ_JOBS:-$(( jobs > 1 ? jobs : 1 ))}"
  export here fuzz_seconds
  run_fuzz() {
    local f="$1" name corpus work status=0
    name="$(basename "$f")"
    corpus="$here/fuzz/corpus/${name#fuzz_}"
    work="$(mktemp -d)"
    [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/ 2>/dev/null || true
    ASAN_OPTIONS=detect_leaks=0 "$f" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 "$work" \
      > "$work.log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
      echo "== $name FAILED"; tail -50 "$work.log"
    else
      echo "== $name (${fuzz_seconds}s): $(grep -o 'Done [0-9]* runs' "$work.log" | tail -1)"
    fi
    rm -rf "$work" "$work.log"
    return "$status"
  }
  export -f run_fuzz
  find "$sbuild/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x -print0 | sort -z |
    xargs -0 -n 1 -P "$fuzz_jobs" bash -c 'run_fuzz "$1"' _
fi
echo "All tests passed."
