#!/usr/bin/env bash
# Wall time of `myrl measure` for N sweeps against the simulated unit at the real line rate
# (paced myrl-sim, sweep time "<0.5"), beside N times the windowed cycle's 402 ms period.
#
#   bench/app/measure-time.sh BUILD_DIR [N] [REPEATS]
#
# Each run measures N complete sweeps (--average 1 --sweeps N-1) and writes a CSV; prints the
# minimum, median and maximum wall time of REPEATS runs (default 5), the time per sweep
# once the start-up (the same run with N = 1) is taken off, and its ratio to 402 ms.
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR [N] [REPEATS]}" && pwd)
n=${2:-10}
repeats=${3:-5}
myrl=$build/src/app/myrl
sim=$build/sim/myrl-sim
work=$(mktemp -d)
trap 'kill $simpid 2>/dev/null || true; wait $simpid 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
"$sim" --paced --device lowpass --ignore-stdin </dev/null >sim.log 2>&1 &
simpid=$!
for _ in $(seq 100); do grep -q '^ready ' sim.log && break; sleep 0.05; done

run() { # N -> wall seconds of one run
    local t0 t1
    t0=$(date +%s.%N)
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$myrl" measure --port COM1 \
        --sweep-time "<0.5" --average 1 --sweeps $(($1 - 1)) --out t.csv || { echo "measure failed" >&2; exit 1; }
    t1=$(date +%s.%N)
    echo "$t1 - $t0" | bc -l
}
stats() { sort -g | awk '{v[NR]=$1} END {printf "%.3f %.3f %.3f", v[1], v[int((NR+1)/2)], v[NR]}'; }

one=$(for _ in $(seq "$repeats"); do run 1; done | stats)
many=$(for _ in $(seq "$repeats"); do run "$n"; done | stats)
read -r one_min one_med one_max <<<"$one"
read -r many_min many_med many_max <<<"$many"
per=$(echo "($many_med - $one_med) / ($n - 1)" | bc -l)
printf 'measure, 1 sweep:   min %s  median %s  max %s s\n' "$one_min" "$one_med" "$one_max"
printf 'measure, %d sweeps: min %s  median %s  max %s s (N x 402 ms = %.3f s)\n' "$n" \
    "$many_min" "$many_med" "$many_max" "$(echo "$n * 0.402" | bc -l)"
printf 'per further sweep:  %.1f ms (%.3f x 402 ms)\n' "$(echo "$per * 1000" | bc -l)" \
    "$(echo "$per / 0.402" | bc -l)"
