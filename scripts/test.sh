#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# With CI=true it also runs the unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, runs every fuzz target briefly and runs every
# benchmark once, so none of them rots.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${TS_JOBS:-$(nproc)}"
# Most unit tests wait on timers and emulated devices far more than they
# compute (about 40% of two cores at four at a time), so even a small
# machine runs four of them at once.
unit_jobs="${TS_UNIT_JOBS:-$(( jobs < 4 ? 4 : jobs ))}"
# Each fuzz target runs for the same short time; on fewer cores the targets
# queue up, so the time shrinks with the cores (20 s from 4 cores up, 10 s
# on 2) and every target still runs.
fuzz_seconds="${TS_FUZZ_SECONDS:-$(( jobs >= 4 ? 20 : (jobs >= 2 ? 10 : 5) ))}"

# Wall time and CPU time (of the finished child processes) of each stage,
# printed as a table at the end.
stage_report=()
times_file="$(mktemp)"
# CPU seconds of this shell's finished children so far; `times` runs in this
# shell (a subshell would report its own, empty, account).
cpu_seconds() {
  times >"$times_file"
  cpu_now=$(tail -1 "$times_file" | awk '{ t = 0; for (i = 1; i <= 2; i++) { split($i, a, /[ms]/); t += a[1] * 60 + a[2] } printf "%.1f", t }')
}
stage_begin() {
  stage_name="$1"
  stage_wall0=$(date +%s.%N)
  cpu_seconds
  stage_cpu0=$cpu_now
  echo "== $stage_name"
}
stage_end() {
  local wall cpu
  cpu_seconds
  wall=$(awk -v a="$stage_wall0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f", b - a }')
  cpu=$(awk -v a="$stage_cpu0" -v b="$cpu_now" 'BEGIN { printf "%.1f", (b - a) / 60 }')
  stage_report+=("$(printf '%-34s %6s s wall %7s CPU-min' "$stage_name" "$wall" "$cpu")")
}
print_stages() {
  [ ${#stage_report[@]} -gt 0 ] || return 0
  echo "== Stages (${jobs} jobs):"
  printf '   %s\n' "${stage_report[@]}"
}
trap 'print_stages; rm -f "$times_file"' EXIT

stage_begin "install what is missing"
bash "$here/scripts/install-deps.sh"
stage_end

export QT_QPA_PLATFORM=offscreen
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
# Paths relative to the checkout, so a fresh clone elsewhere reuses the cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$here}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"

# 1. The regular build: every test, the benchmarks built.
build="${TS_BUILD_DIR:-$here/build}"
stage_begin "gcc build"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs"
stage_end
# Tests that talk to emulated devices in real time run two at a time, the
# rest as wide as the machine allows.
stage_begin "gcc tests"
ctest --test-dir "$build" --output-on-failure -j "$unit_jobs" --timeout 300 -LE "device|e2e"
ctest --test-dir "$build" --output-on-failure -j 2 --timeout 300 -L "device|e2e"
stage_end

if [ "${CI:-}" = "true" ] || [ "${TS_FULL:-}" = "1" ]; then
  # 2. Benchmarks: each runs once, briefly.
  stage_begin "benchmark smoke runs"
  for b in "$build"/bench/bench_*; do
    [ -f "$b" ] && [ -x "$b" ] || continue
    echo "== $(basename "$b") (smoke run)"
    TS_BENCH_SMOKE=1 "$b" --benchmark_min_time=0.01 >/dev/null
  done
  stage_end

  # 3. Sanitizers and fuzzing: clang, ASan + UBSan, libFuzzer targets.
  sbuild="${TS_SAN_BUILD_DIR:-$here/build-san}"
  stage_begin "sanitizer build"
  CC=clang CXX=clang++ cmake -S "$here" -B "$sbuild" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DTS_BUILD_FUZZ=ON -DTS_BUILD_BENCH=OFF >/dev/null
  # Only what the sanitizer stages run: the unit and device tests and the
  # fuzz targets (the programs and the end-to-end tests run in step 1).
  cmake --build "$sbuild" -j "$jobs" --target ts_unit_and_device_tests ts_fuzz_targets
  stage_end
  stage_begin "sanitizer tests"
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  ctest --test-dir "$sbuild" --output-on-failure -j "$unit_jobs" --timeout 600 -L unit
  ctest --test-dir "$sbuild" --output-on-failure -j 2 --timeout 600 -L device
  unset ASAN_OPTIONS UBSAN_OPTIONS
  stage_end
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
  stage_begin "fuzzing (${fuzz_seconds} s a target)"
  find "$sbuild/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x -print0 | sort -z |
    xargs -0 -n 1 -P "$fuzz_jobs" bash -c 'run_fuzz "$1"' _
  stage_end
fi
echo "All tests passed."
