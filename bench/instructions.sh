#!/usr/bin/env bash
# Instructions per call of one function, counted by callgrind (exact and independent of
# the machine's load, unlike times on a shared machine).
#
# usage: bench/instructions.sh FUNCTION PROGRAM [ARGUMENTS...]
#   FUNCTION: the function's demangled name as callgrind shows it, up to its argument list
#             (e.g. 'myrl::CepstrumStep(' or 'myrl::ProcessReply(')
#   PROGRAM:  what calls it, usually a benchmark with a filter and a short minimum time:
#             build/dev/bench/dsp/dsp_bench --benchmark_min_time=0.05
# Prints "<instructions per call> instructions per call (<calls> calls, <total> in all)".
set -euo pipefail
fn=$1
shift
out=$(mktemp "${TMPDIR:-/tmp}/callgrind.XXXXXX")
trap 'rm -f "$out"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$out" "$@" >/dev/null 2>&1
callgrind_annotate --tree=caller --inclusive=yes "$out" 2>/dev/null | awk -v fn="$fn" '
    # A block lists the callers, each "<cost> (<pct>) < caller (<n>x) [...]", then the
    # function itself, "<inclusive cost> (<pct>) * function"; blocks are apart by a blank line.
    found { next }
    /^$/ { calls = 0; next }
    / < / { if (match($0, /\([0-9]+x\)/)) { calls += substr($0, RSTART + 1, RLENGTH - 3) } next }
    / \* / && index($0, ":" fn) {
        gsub(",", "", $1)
        printf "%.0f instructions per call (%d calls, %d in all)\n", $1 / calls, calls, $1
        found = 1
    }
    END { if (!found) { print "no calls of " fn > "/dev/stderr"; exit 1 } }'
