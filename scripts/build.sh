#!/usr/bin/env bash
# Configures the project into build/ (or $TS_BUILD_DIR) and builds what
# scripts/run.sh starts: ThermaSentinel, GlowReadout and the device emulator
# with the files beside them. Tests, benchmarks and fuzz targets are built by
# scripts/test.sh (or `cmake --build build`).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${TS_BUILD_DIR:-$here/build}"
jobs="${TS_JOBS:-$(nproc)}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j "$jobs" --target ts_run
