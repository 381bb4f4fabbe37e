#!/usr/bin/env bash
# The tools window on a small screen under openbox, opened with Ctrl+T from the panel: its
# frame lies on the screen and beside the two windows' frames, over neither of them.
#
# usage: tools_fit_test.sh MYRL MYRL_SIM [KEEP_DIR [WxH]]
#   KEEP_DIR: where to keep the screenshot (default: a temporary folder, removed).
#   WxH: the screen (default 1366x768).
set -uo pipefail

MYRL=$1
SIM=$2
KEEP=${3:-}
SIZE=${4:-1366x768}
W=${SIZE%x*} H=${SIZE#*x}
for tool in Xvfb openbox xdotool xprop xwininfo import; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup-deps installs it)"; exit 1; }
done

source "$(dirname "$0")/wm_lib.sh"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

start_xvfb "$SIZE"
start_openbox || exit 1

# A frame's rectangle "x y w h": the client's, grown by the frame extents.
frame_rect() {
    local ext left=0 right=0 top=0 bottom=0 w h
    ext=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ' ')
    [ -n "$ext" ] && IFS=, read -r left right top bottom <<<"$ext"
    IFS=, read -r x y <<<"$(frame_of "$1")"
    w=$(xwininfo -id "$1" | sed -n 's/.*Width: *//p')
    h=$(xwininfo -id "$1" | sed -n 's/.*Height: *//p')
    echo "$x $y $((w + left + right)) $((h + top + bottom))"
}
overlap() { # two rectangles "x y w h"
    local a=($1) b=($2)
    ((a[0] < b[0] + b[2] && b[0] < a[0] + a[2] && a[1] < b[1] + b[3] && b[1] < a[1] + a[3]))
}
tools_window() {
    local id
    for id in $(xdotool search --name '^MYRL Tools$' 2>/dev/null); do
        viewable "$id" && { echo "$id"; return 0; }
    done
    return 1
}

cd "$T" && start_sim && start_myrl || exit 1
expect_frames "$SIZE under openbox" 0,0 265,0
xdotool windowactivate --sync "$panel" key --clearmodifiers ctrl+t
if ! until_true 15 tools_window >/dev/null; then
    fail "Ctrl+T on the panel opened no tools window: $(tail -n 5 myrl.out)"
else
    tools=$(tools_window)
    until_true 15 framed "$tools"
    sleep 0.5 # the window manager's last move
    t=$(frame_rect "$tools")
    read -r x y w h <<<"$t"
    ((x >= 0 && y >= 0 && x + w <= W && y + h <= H)) &&
        pass "the tools window's frame ($t) lies on the $SIZE screen" ||
        fail "the tools window's frame ($t) leaves the $SIZE screen"
    for win in panel disp; do
        r=$(frame_rect "${!win}")
        overlap "$t" "$r" && fail "the tools window ($t) covers the $win's frame ($r)" ||
            pass "the tools window ($t) is beside the $win's frame ($r)"
    done
    import -window root "$SHOTS/tools-$SIZE.png"
fi
close_panel

[ "$failures" -eq 0 ] && echo "all passed" || echo "$failures failed"
exit $((failures > 0))
