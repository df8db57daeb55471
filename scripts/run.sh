#!/usr/bin/env bash
# Installs what is missing, builds, and starts ThermaSentinel.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/install-deps.sh"
bash "$here/scripts/build.sh"
exec "${TS_BUILD_DIR:-$here/build}/app/ThermaSentinel" "$@"
