#!/usr/bin/env bash
# Makes the README's pictures of the desktop program under a virtual X
# server (Xvfb): a live acquisition from the simulated meter, and the
# post-processing of the example cast. They go to docs/images/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VANTREL_BUILD_DIR:-"$root/build"}
out="$root/docs/images"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target vantrel vantrel-cli
mkdir -p "$out"

# Settings of their own, so that the pictures do not depend on the user's.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export VANTREL_SETTINGS="$scratch/settings.ini"
unset QT_QPA_PLATFORM

shoot() {
  xvfb-run -a -s "-screen 0 1280x800x24" "$build/src/vantrel" "$@"
}

# Twelve seconds of spectra from the demo meter, started at once.
shoot --demo --start --screenshot "$out/live_acquisition.png" --screenshot-delay 12000
# The example cast on the post-processing page.
shoot --open "$root/examples/ixo_cast.dat" --screenshot "$out/post_processing.png" --screenshot-delay 3000

echo "Wrote $out/live_acquisition.png and $out/post_processing.png"
