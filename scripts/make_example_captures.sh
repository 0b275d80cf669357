#!/usr/bin/env bash
# Makes the example raw captures of both meters with the simulator, and the
# data files their replay gives. Run after a build: scripts/make_example_captures.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cli=${1:-"$root/build"}/src/vantrel-cli
ex="$root/examples"

"$cli" simulate --device "$ex/ixo_86.dev" --records 40 --seed 7 -o "$ex/ixo_86_capture.bin"
"$cli" replay "$ex/ixo_86_capture.bin" --device "$ex/ixo_86.dev" -o "$ex/ixo_86_capture.dat"
"$cli" simulate --device "$ex/eqa_9.dev" --records 6 --seed 7 -o "$ex/eqa_9_capture.bin"
"$cli" replay "$ex/eqa_9_capture.bin" --device "$ex/eqa_9.dev" -o "$ex/eqa_9_capture.dat"
