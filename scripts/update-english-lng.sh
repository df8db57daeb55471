#!/usr/bin/env bash
# Adds the captions of every form of the program that lang/English.lng lacks
# (keys already there are kept), by running the language component's
# missing-key write-back over all forms. Run it after adding or renaming forms
# or controls, then commit lang/English.lng.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${TS_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${TS_JOBS:-3}" --target update_english_lng
"$build/lang/update_english_lng" "$here/lang/English.lng"
