#!/usr/bin/env bash
# Adds to lang/English.lng what it lacks (keys already there are kept): the
# captions of the real main window and its dialogs, built offscreen without a
# device, and every text key the program reads with its English default.
# Run it after adding or renaming forms, controls or texts, then commit
# lang/English.lng.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${TS_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${TS_JOBS:-3}" --target update_english_lng
"$build/lang/update_english_lng" "$here/lang/English.lng"
