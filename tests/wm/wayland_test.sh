#!/usr/bin/env bash
# The program on a Wayland desktop, under weston on its headless backend (no screen needed),
# with nothing naming a platform (no QT_QPA_PLATFORM):
# - weston with Xwayland, whose own X window manager places every window itself and does not
#   say where its frames are: the program takes X11 all the same (its windows are X
#   windows), and lines 11-15 are written back as read, whatever weston made of them;
# - Xwayland under an X window manager that places windows as X11 ones do (openbox on a
#   rootful Xwayland, as a desktop's own X window manager would): the frames at (0,0) and
#   (265,0) as under X11, lines 11-15 unchanged after the close, run after run;
# - weston without X: the program runs on Wayland, and its windows (in-process, the real
#   windows on Qt's wayland platform: UI_WAYLAND_TESTS) write lines 11-15 back as read.
#
# usage: wayland_test.sh MYRL MYRL_SIM UI_WAYLAND_TESTS WM_DELETE_WINDOW
set -uo pipefail

MYRL=$1
SIM=$2
WAYLAND_TESTS=$3
DELETE_WINDOW=$4
KEEP=
for tool in weston Xwayland openbox wmctrl xprop xwininfo; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup-deps installs it)"; exit 1; }
done

source "$(dirname "$0")/wm_lib.sh"
unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY

# start_weston SOCKET [OPTION]...: a compositor of 1280x1024 listening on SOCKET.
start_weston() {
    local socket=$1
    shift
    weston --backend=headless-backend.so --socket="$socket" --width=1280 --height=1024 \
        --idle-time=0 "$@" >"$T/$socket.log" 2>&1 &
    pids+=($!)
    until_true 15 test -S "$XDG_RUNTIME_DIR/$socket" ||
        { fail "weston did not start: $(tail -n 5 "$T/$socket.log")"; return 1; }
}
# One run in the folder $1 (made when missing): the simulator, the program, its windows
# on the X display, the close; then lines 11-15 as expected ($2, with commas).
x_run() {
    local what=$1 dir=$T/$2 want=$3
    mkdir -p "$dir" && cd "$dir" || return
    start_sim && start_myrl || return
    echo "   $what: the frames at ($(frame_of "$panel")) and ($(frame_of "$disp"))"
    [ "$WM" = openbox ] && expect_frames "$what" 0,0 265,0
    close_panel
    stop_sim
    expect_lines "$what, after the close" "$want"
}

# ===== weston with Xwayland (weston's own X window manager) =====
start_weston wl-x --xwayland || exit 1
until_true 15 grep -q 'listening on display' "$T/wl-x.log" || { echo "FAIL: no Xwayland"; exit 1; }
export WAYLAND_DISPLAY=wl-x
export DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$T/wl-x.log" | head -n 1)
WM=weston
ask_to_close() { "$DELETE_WINDOW" "$1"; } # weston takes no _NET_CLOSE_WINDOW
x_run "weston with Xwayland, first run" xw-first 0,0,265,0,265
mkdir -p "$T/xw-moved" && crlf 1 67108864 12800000 0 0 0 20000000 OFF 90 358 30 40 265 100 400 >"$T/xw-moved/myrl_prm.txt"
x_run "weston with Xwayland, windows moved" xw-moved 30,40,265,100,400
x_run "weston with Xwayland, windows moved, second run" xw-moved 30,40,265,100,400

# ===== Xwayland with an X11 window manager (openbox) =====
start_weston wl || exit 1
export WAYLAND_DISPLAY=wl
exec {dfd}<> <(:)
Xwayland -displayfd "$dfd" -nolisten tcp >"$T/xwayland.log" 2>&1 &
pids+=($!)
read -r -t 15 -u "$dfd" dnum || { echo "FAIL: Xwayland did not start"; cat "$T/xwayland.log"; exit 1; }
export DISPLAY=:$dnum
start_openbox || exit 1
ask_to_close() { wmctrl -i -c "$1"; }
x_run "Xwayland under openbox, first run" xo 0,0,265,0,265
x_run "Xwayland under openbox, second run" xo 0,0,265,0,265

# ===== weston without X =====
# The real program: with DISPLAY naming no X server it runs on Wayland and sweeps.
export DISPLAY=:$((dnum + 100))
mkdir -p "$T/wayland" && cd "$T/wayland" || exit 1
if start_sim; then
    "$MYRL" >myrl.out 2>&1 &
    prog=$!
    pids+=($prog)
    if until_true 15 grep -qs 'unit replying' myrl.out && ! ended; then
        pass "weston without X: the program runs on Wayland and sweeps"
    else
        fail "weston without X: the program did not run: $(tail -n 5 myrl.out)"
    fi
    kill "$prog" 2>/dev/null
    wait "$prog" 2>/dev/null
    stop_sim
fi
unset DISPLAY
# The Wayland platform plugin leaves its protocol objects (and a plugin it
# unloads) for the process exit to free; the same tests check our own code
# for leaks on the offscreen platform.
if ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" QT_QPA_PLATFORM=wayland "$WAYLAND_TESTS" >"$T/wayland-tests.log" 2>&1 &&
    grep -q '\[  PASSED  \]' "$T/wayland-tests.log" && ! grep -q '\[  SKIPPED \]' "$T/wayland-tests.log"; then
    pass "weston without X: the windows write lines 11-15 back as read ($(grep -o '[0-9]* tests\? from' "$T/wayland-tests.log" | head -n 1 | cut -d' ' -f1) placements)"
else
    fail "weston without X: $(cat "$T/wayland-tests.log")"
fi

[ "$failures" -eq 0 ] && echo "all passed" || echo "$failures failed"
exit $((failures > 0))
