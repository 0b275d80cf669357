#!/usr/bin/env bash
# Renders every plot frame to PNG offscreen (docs/images/plot_*.png) from the
# example cast and its CTD file.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VANTREL_BUILD_DIR:-"$root/build"}

cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target vantrel-plot-screenshots
mkdir -p "$root/docs/images"
QT_QPA_PLATFORM=offscreen "$build/src/plots/vantrel-plot-screenshots" "$root/examples" "$root/docs/images"
