#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test with CTest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VANTREL_BUILD_DIR:-"$root/build"}

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DVANTREL_WERROR=ON >/dev/null
cmake --build "$build"
# Window tests run without a display.
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
