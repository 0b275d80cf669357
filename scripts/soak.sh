#!/usr/bin/env bash
# A long run, not part of CI: a simulated Ixo meter at 20 times its rate on a
# pseudo-terminal, recorded by `vantrel-cli acquire` for SOAK_SECONDS
# (default 600). Then the continuous file must equal the replay of the raw
# capture, and the recorder's memory is sampled every 10 seconds.
# Usage: scripts/soak.sh [OUTPUT_DIR]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${SOAK_SECONDS:-600}
rate=${SOAK_RATE:-80}
out=${1:-$(mktemp -d /tmp/vantrel-soak.XXXXXX)}
mkdir -p "$out"
build=build-soak

bash scripts/setup.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_BUILD_TESTS=OFF -DVANTREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target vantrel-cli
cli="$build/src/vantrel-cli"
device=examples/ixo_86.dev

"$cli" simulate --device "$device" --pty --rate "$rate" --records 100000000 >"$out/simulate.out" 2>"$out/simulate.err" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -s "$out/simulate.out" ] && break
  sleep 0.1
done
pty=$(head -n 1 "$out/simulate.out")

started=$(date +%s)
"$cli" acquire --device "$device" --port "$pty" -o "$out/soak.dat" --raw "$out/soak.bin" --duration "$seconds" \
  >"$out/acquire.log" 2>"$out/acquire.err" &
acq=$!

printf 'seconds\trss_kib\trecords\n' >"$out/memory.tsv"
while kill -0 "$acq" 2>/dev/null; do
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$acq/status" 2>/dev/null || true)
  records=$(tail -n 1 "$out/acquire.log" 2>/dev/null | awk '{print $2}')
  [ -n "$rss" ] && printf '%s\t%s\t%s\n' "$(($(date +%s) - started))" "$rss" "${records:-0}" >>"$out/memory.tsv"
  sleep 10
done
status=0
wait "$acq" || status=$?
kill "$sim" 2>/dev/null || true

"$cli" replay "$out/soak.bin" --device "$device" -o "$out/replay.dat" >"$out/replay.log"
echo "acquire exit status: $status"
tail -n 1 "$out/acquire.log"
cat "$out/replay.log"
echo "bytes received: $(stat -c %s "$out/soak.bin")"
if cmp -s "$out/soak.dat" "$out/replay.dat"; then
  echo "continuous file and replay of the capture: identical"
else
  echo "continuous file and replay of the capture DIFFER" >&2
  exit 1
fi
echo "memory (first, last samples):"
sed -n '2p;$p' "$out/memory.tsv"
echo "files in $out"
