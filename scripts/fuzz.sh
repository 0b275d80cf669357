#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/, with clang) and runs each one on its
# seed corpus for a bounded time: scripts/fuzz.sh [SECONDS] (default 20).
# New inputs the fuzzer finds go to the build directory, never into fuzz/corpus;
# a crash, a hang, a sanitizer report or a broken invariant stops the script
# with the input that caused it saved as <build>/findings/<target>-crash-*.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-20}
build=${VANTREL_FUZZ_BUILD_DIR:-"$root/build-fuzz"}

"$root/scripts/setup.sh"
cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build"

mkdir -p "$build/findings"
failed=()
for corpus in "$root"/fuzz/corpus/*/; do
  target=$(basename "$corpus")
  work="$build/corpus/$target"
  mkdir -p "$work"
  echo "== $target: ${seconds} s"
  # The first corpus directory takes what the fuzzer finds; the seeds stay as they are.
  if ! "$build/$target" "$work" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=8192 -print_final_stats=1 -artifact_prefix="$build/findings/$target-" 2>"$build/$target.log"; then
    tail -n 40 "$build/$target.log"
    failed+=("$target")
  else
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$build/$target.log" || true
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Findings in: ${failed[*]} (inputs under $build/findings)" >&2
  exit 1
fi
