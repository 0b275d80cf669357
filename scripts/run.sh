#!/usr/bin/env bash
# Installs what is missing, builds the desktop program and starts it with a
# simulated meter (--demo): press F1 for a live acquisition.
# Arguments are passed to the program.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VANTREL_BUILD_DIR:-"$root/build"}

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target vantrel vantrel-cli
exec "$build/src/vantrel" --demo "$@"
