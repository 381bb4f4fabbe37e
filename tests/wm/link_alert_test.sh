#!/usr/bin/env bash
# A dead link as the user sees it under a window manager: the real program and the
# simulator at the real line rate on an X server of their own with openbox. The unit stops
# answering (the simulator is stopped with SIGSTOP), then is unplugged (the simulator ends:
# the line hangs up) and plugged in again. Each time the titles the window manager draws
# must name the trouble and lose it again once the unit answers, while the pixels inside
# both windows stay those of a healthy run. Prints how long after each event the titles
# changed (measured from outside, with xprop every 50 ms).
#
# usage: link_alert_test.sh MYRL MYRL_SIM [KEEP_DIR]
#   KEEP_DIR: where to keep the screenshots (default: a temporary folder, removed).
set -uo pipefail

MYRL=$1
SIM=$2
KEEP=${3:-}
for tool in Xvfb openbox xdotool xprop xwininfo import compare convert; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup-deps installs it)"; exit 1; }
done

T=$(mktemp -d "${TMPDIR:-/tmp}/myrl-alert.XXXXXX")
SHOTS=${KEEP:-$T/shots}
mkdir -p "$SHOTS"
export HOME=$T XDG_CONFIG_HOME=$T/config XDG_RUNTIME_DIR=$T/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -CONT "${pids[i]}" 2>/dev/null
        kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null
    done
    rm -rf "$T"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
now_ms() { date +%s%3N; }
# until_true SECONDS COMMAND...: COMMAND every 50 ms until it succeeds, or false.
until_true() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < end)) || return 1
        sleep 0.05
    done
}

exec {dfd}<> <(:)
Xvfb -displayfd "$dfd" -screen 0 1366x768x24 -nolisten tcp >"$T/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 10 -u "$dfd" dnum || { echo "FAIL: Xvfb did not start"; cat "$T/xvfb.log"; exit 1; }
export DISPLAY=:$dnum
openbox --sm-disable >"$T/openbox.log" 2>&1 &
pids+=($!)
until_true 10 bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    { echo "FAIL: openbox did not start"; exit 1; }

cd "$T" || exit 1
start_sim() {
    rm -f sim.out
    "$SIM" --paced --device bandpass >sim.out 2>&1 </dev/null &
    sim=$!
    pids+=($sim)
    until_true 10 grep -qs '^ready' sim.out || { fail "the simulator did not start: $(cat sim.out)"; exit 1; }
}
# The program's mapped top-level window whose client area is WxH.
window_of_size() {
    local id
    for id in $(xwininfo -root -tree | awk '/"myrl" "MYRL"/ {print $1}'); do
        [ "$(xwininfo -id "$id" | sed -n 's/.*Map State: //p')" = IsViewable ] || continue
        if [ "$(xwininfo -id "$id" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')" = "$1" ]; then
            echo "$id"
            return 0
        fi
    done
    return 1
}
title() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^[^"]*"\(.*\)"$/\1/p'; }
titles_are() { [ "$(title "$panel")" = "$1" ] && [ "$(title "$disp")" = "$1" ]; }
press() { xdotool windowactivate --sync "$panel" key --clearmodifiers "$1"; }
# Both windows' client areas once the cycle has stopped (F9: HOLD), the progress bar's
# fill (the reception of the moment) blacked out.
pictures() { # NAME
    press F9
    sleep 1
    import -window "$panel" "$T/$1-panel.png"
    convert "$T/$1-panel.png" -fill black -draw 'rectangle 62,152 120,170' "$T/$1-panel.png"
    import -window "$disp" "$T/$1-display.png"
    import -window root "$SHOTS/screen-$1.png"
    press F9
}
same_pixels() { # NAME: against the healthy run's
    local w diff
    for w in panel display; do
        diff=$(compare -metric AE "$T/healthy-$w.png" "$T/$1-$w.png" null: 2>&1)
        [ "$diff" = 0 ] && pass "$1: $w pixels as in a healthy run" ||
            fail "$1: $diff pixels of the $w differ from a healthy run"
    done
}
# expect_titles WHAT TITLE: waits for both titles, says how long they took.
expect_titles() {
    local from=$(now_ms)
    if until_true 30 titles_are "$2"; then
        pass "$1: titles \"$2\" after $(($(now_ms) - from)) ms"
    else
        fail "$1: titles \"$(title "$panel")\" and \"$(title "$disp")\", expected \"$2\""
    fi
}

start_sim
"$MYRL" >myrl.out 2>&1 &
prog=$!
pids+=($prog)
until_true 15 window_of_size 265x337 >/dev/null && until_true 15 window_of_size 509x431 >/dev/null ||
    { fail "the windows did not appear: $(cat myrl.out)"; exit 1; }
panel=$(window_of_size 265x337)
disp=$(window_of_size 509x431)
base="MYRL  Ver. 1.43"
expect_titles "healthy" "$base"
sleep 3 # a few sweeps on the chart
pictures healthy

kill -STOP "$sim"
expect_titles "unit silent (SIGSTOP)" "No reply from COM1 — $base"
pictures silent
same_pixels silent
kill -CONT "$sim"
expect_titles "unit answers again (SIGCONT)" "$base"
sleep 2 # whole sweeps again after the one the stop cut

kill "$sim"
wait "$sim" 2>/dev/null
expect_titles "unit unplugged (simulator ended)" "Line lost: COM1 — $base"
pictures unplugged
same_pixels unplugged
start_sim
expect_titles "unit plugged in again" "$base"
sleep 2
pictures back
same_pixels back

xdotool windowactivate --sync "$panel" key --clearmodifiers ctrl+q
until_true 15 bash -c "! kill -0 $prog 2>/dev/null" || fail "the program did not end on Ctrl+Q"

[ "$failures" -eq 0 ] && echo "all passed" || echo "$failures failed"
exit $((failures > 0))
