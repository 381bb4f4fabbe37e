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

source "$(dirname "$0")/wm_lib.sh"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
now_ms() { date +%s%3N; }

start_xvfb 1366x768
start_openbox || exit 1
cd "$T" || exit 1
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

start_sim --paced --device bandpass && start_myrl || exit 1
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

stop_sim
expect_titles "unit unplugged (simulator ended)" "Line lost: COM1 — $base"
pictures unplugged
same_pixels unplugged
start_sim --paced --device bandpass || exit 1
expect_titles "unit plugged in again" "$base"
sleep 2
pictures back
same_pixels back

xdotool windowactivate --sync "$panel" key --clearmodifiers ctrl+q
until_true 15 bash -c "! kill -0 $prog 2>/dev/null" || fail "the program did not end on Ctrl+Q"

[ "$failures" -eq 0 ] && echo "all passed" || echo "$failures failed"
exit $((failures > 0))
