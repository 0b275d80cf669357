#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
# Arguments are passed to the program.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VANTREL_BUILD_DIR:-"$root/build"}

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target vantrel-cli
if [ $# -eq 0 ]; then
  set -- --help
fi
exec "$build/src/vantrel-cli" "$@"
