# Helpers of the window tests (wm_test.sh, wayland_test.sh, tools_fit_test.sh,
# link_alert_test.sh): a folder of their own with HOME
# and XDG folders in it, processes ended at the exit, the program's windows found and
# measured from outside with the X tools, the program and the simulator started and ended.
# Sourced after MYRL and SIM are set.

T=$(mktemp -d "${TMPDIR:-/tmp}/myrl-wm.XXXXXX")
SHOTS=${KEEP:-$T/shots}
mkdir -p "$SHOTS"
export HOME=$T XDG_CONFIG_HOME=$T/config XDG_RUNTIME_DIR=$T/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -CONT "${pids[i]}" 2>/dev/null # a test may have stopped it
        kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null
    done
    rm -rf "$T"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# until DEADLINE_SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds; false
# when it has not by the deadline.
until_true() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < end)) || return 1
        sleep 0.05
    done
}

# --- the X server ---
# Starts Xvfb with one screen of SIZE (WxH) on a free display it chooses itself; sets DISPLAY.
start_xvfb() {
    local dfd dnum
    exec {dfd}<> <(:)
    Xvfb -displayfd "$dfd" -screen 0 "${1}x24" -nolisten tcp >"$T/xvfb.log" 2>&1 &
    pids+=($!)
    read -r -t 10 -u "$dfd" dnum || { echo "FAIL: Xvfb did not start"; cat "$T/xvfb.log"; exit 1; }
    export DISPLAY=:$dnum
}

# --- helpers on windows ---
# Top-level windows of the program that are mapped, by client size: "id" lines.
viewable() { [ "$(xwininfo -id "$1" 2>/dev/null | sed -n 's/.*Map State: //p')" = IsViewable ]; }
# The program's mapped top-level window whose client area is WxH.
window_of_size() {
    local id
    for id in $(xwininfo -root -tree | awk '/"myrl" "MYRL"/ {print $1}'); do
        if viewable "$id" && [ "$(xwininfo -id "$id" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')" = "$1" ]; then
            echo "$id"
            return 0
        fi
    done
    return 1
}
# The corner of a window's frame: "x,y".
frame_of() {
    local ext left top ax ay
    ext=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ' ')
    left=0 top=0
    [ -n "$ext" ] && IFS=, read -r left _ top _ <<<"$ext"
    ax=$(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left X: *//p')
    ay=$(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left Y: *//p')
    echo "$((ax - left)),$((ay - top))"
}
framed() { [ -z "$WM" ] || xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | grep -q =; }
frame_is() { framed "$1" && [ "$(frame_of "$1")" = "$2" ]; }

# Starts openbox on the display and waits (up to 30 s: a loaded machine) until it manages it.
start_openbox() {
    openbox --sm-disable >"$T/openbox.log" 2>&1 &
    pids+=($!)
    WM=openbox
    until_true 30 bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        { echo "FAIL: openbox did not start"; cat "$T/openbox.log"; return 1; }
}

# --- the program ---
WM=""
start_sim() { # [SIM OPTIONS...] (default --fast), in the working folder; waits for the ready line
    local opts=("$@")
    [ $# -gt 0 ] || opts=(--fast)
    rm -f sim.out
    "$SIM" "${opts[@]}" >sim.out 2>&1 </dev/null &
    sim=$!
    pids+=($sim)
    until_true 10 grep -qs '^ready' sim.out || { fail "the simulator did not start: $(cat sim.out)"; return 1; }
}
stop_sim() { kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; }
start_myrl() { # in the working folder; waits for both windows
    "$MYRL" >myrl.out 2>&1 &
    prog=$!
    pids+=($prog)
    until_true 15 window_of_size 265x337 >/dev/null && until_true 15 window_of_size 509x431 >/dev/null ||
        { fail "the windows did not appear: $(cat myrl.out)"; return 1; }
    panel=$(window_of_size 265x337)
    disp=$(window_of_size 509x431)
}
ended() { ! kill -0 "$prog" 2>/dev/null; }
# Asks the window manager to close window $1 as its close button does (a test may define
# another way for a window manager without _NET_CLOSE_WINDOW).
ask_to_close() { wmctrl -i -c "$1"; }
# Closes the control panel as the user does, through the window manager (without one:
# the program is ended).
close_panel() {
    if [ -n "$WM" ]; then ask_to_close "$panel"; else kill -TERM "$prog"; fi
    until_true 15 ended || { fail "the program did not end when its panel was closed"; kill "$prog"; }
    wait "$prog"
    local status=$?
    # Ended by the window manager's close: a clean exit (sanitizer reports fail it).
    [ -z "$WM" ] || [ "$status" -eq 0 ] || fail "the program exited with status $status: $(tail -n 20 myrl.out)"
}
lines_11_15() { sed -n '11,15p' myrl_prm.txt | tr -d '\r' | paste -sd, -; }

# Expects the two frames at P1 and P2 ("x,y"), waiting for the window manager to settle
# (up to 15 s each: a loaded machine can take seconds to map and frame a window).
expect_frames() {
    local what=$1 p1=$2 p2=$3
    if until_true 15 frame_is "$panel" "$p1" && until_true 15 frame_is "$disp" "$p2"; then
        pass "$what: frames at ($p1) and ($p2)"
    else
        fail "$what: frames at ($(frame_of "$panel")) and ($(frame_of "$disp")), expected ($p1) and ($p2)"
    fi
}
expect_lines() {
    local what=$1 want=$2 got
    got=$(lines_11_15)
    [ "$got" = "$want" ] && pass "$what: lines 11-15 $got" || fail "$what: lines 11-15 $got, expected $want"
}
crlf() { printf '%s\r\n' "$@"; }

