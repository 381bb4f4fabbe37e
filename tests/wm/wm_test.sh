#!/usr/bin/env bash
# Window placement and closing of the real program on an X server of its own, with and
# without a window manager (openbox), measured from outside the program with the X tools:
# a frame's corner is the client's absolute corner less the left and top of the frame the
# window manager reports (_NET_FRAME_EXTENTS).
#
# usage: wm_test.sh MYRL MYRL_SIM [KEEP_DIR]
#   KEEP_DIR: where to keep the screenshots (default: a temporary folder, removed).
set -uo pipefail

MYRL=$1
SIM=$2
KEEP=${3:-}
ICON=$(realpath "$(dirname "$0")/../../packaging/myrl.png")
for tool in Xvfb openbox wmctrl xdotool xprop xwininfo import convert; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup-deps installs it)"; exit 1; }
done

source "$(dirname "$0")/wm_lib.sh"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

start_xvfb 1280x1024

# Is the screenshot FILE readable: not one colour, and with both dark and light pixels
# (text on a ground) in a fair share?
readable() {
    local dark light
    dark=$(convert "$1" -colorspace Gray -threshold 30% -negate -format '%[fx:mean]' info:)
    light=$(convert "$1" -colorspace Gray -threshold 70% -format '%[fx:mean]' info:)
    awk -v d="$dark" -v l="$light" 'BEGIN { exit !(d > 0.002 && l > 0.002) }'
}
# The start-up box of a line 1 that is not an integer: found, readable, and dismissed.
box_case() {
    local name=$1 dir=$T/box-$1 box
    mkdir -p "$dir" && cd "$dir" || return
    crlf COM3 67108864 12800000 0 0 0 20000000 OFF 90 358 0 0 >myrl_prm.txt
    start_myrl || return
    # The box: a window of the program that is neither of the two.
    find_box() {
        local id size
        for id in $(xwininfo -root -tree | awk '/"myrl" "MYRL"/ {print $1}'); do
            size=$(xwininfo -id "$id" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
            if viewable "$id" && [ "$size" != 265x337 ] && [ "$size" != 509x431 ]; then
                echo "$id"
                return 0
            fi
        done
        return 1
    }
    if ! until_true 15 find_box >/dev/null; then
        fail "$name: no start-up box"
    else
        box=$(find_box)
        shot() { import -window "$box" "$SHOTS/box-$name.png" 2>/dev/null && readable "$SHOTS/box-$name.png"; }
        if until_true 10 shot; then
            pass "$name: the start-up box is readable ($SHOTS/box-$name.png)"
        else
            fail "$name: the start-up box is not readable ($SHOTS/box-$name.png)"
        fi
        [ "$(xprop -id "$box" WM_NAME | sed 's/.*= //')" = '"MYRL"' ] || fail "$name: box title $(xprop -id "$box" WM_NAME)"
        xdotool windowfocus --sync "$box" key Return
        box_gone() { ! viewable "$box"; }
        until_true 10 box_gone || fail "$name: the box stays"
    fi
    close_panel
}

# The icon the window manager shows for window $1: its size and its middle pixel (ARGB).
icon_of() {
    xprop -id "$1" -f _NET_WM_ICON 32c "=\$0x\$1 \$$((2 + 128 * 256 + 128))" _NET_WM_ICON | sed 's/.*=//'
}
# MYRL's own: packaging/myrl.png, 256 x 256.
icon_is_myrls() {
    local r g b a
    IFS=, read -r r g b a < <(convert "$ICON" -crop 1x1+128+128 \
        -format '%[fx:int(255*r+.5)],%[fx:int(255*g+.5)],%[fx:int(255*b+.5)],%[fx:int(255*a+.5)]' info:)
    [ "$(icon_of "$1")" = "256x256 $(((a << 24) | (r << 16) | (g << 8) | b))" ]
}

# ===== without a window manager =====
box_case no-wm

cd "$T" && mkdir -p plain && cd plain || exit 1
start_sim && start_myrl && {
    expect_frames "no window manager, first run" 0,0 265,0
    close_panel
}
stop_sim

# ===== openbox =====
start_openbox || exit 1

box_case openbox

# First run without a file, then a second run from the file it wrote.
cd "$T" && mkdir -p runs && cd runs || exit 1
for run in first second; do
    start_sim && start_myrl || break
    expect_frames "openbox, $run run" 0,0 265,0
    if [ "$run" = first ]; then
        import -window root "$SHOTS/screen-openbox.png"
        for w in "$panel" "$disp"; do
            icon_is_myrls "$w" && pass "window $w: MYRL's icon" || fail "window $w: icon $(icon_of "$w")"
        done
    fi
    close_panel
    stop_sim
    expect_lines "openbox, after the $run run" 0,0,265,0,265
done

# A saved placement comes back where it was, run after run; windows off every screen
# come onto it; a width the panel cannot be shown with is the layout's.
placement_case() {
    local name=$1 lines=$2 p1=$3 p2=$4 saved=$5
    cd "$T" && mkdir -p "place-$name" && cd "place-$name" || return
    IFS=, read -r -a l <<<"$lines"
    crlf 1 67108864 12800000 0 0 0 20000000 OFF 90 358 "${l[@]}" >myrl_prm.txt
    local run
    for run in 1 2; do
        start_sim && start_myrl || return
        expect_frames "$name, run $run" "$p1" "$p2"
        close_panel
        stop_sim
        expect_lines "$name, after run $run" "$saved"
    done
}
# name | lines 11-15 | panel frame | display frame | lines 11-15 written
placement_case moved 40,30,265,100,400 30,40 400,100 40,30,265,100,400
placement_case twelve-lines 40,30 30,40 295,40 40,30,265,40,295
placement_case width-zero 0,0,0,0,265 0,0 265,0 0,0,265,0,265
placement_case width-negative 0,0,-5,0,265 0,0 265,0 0,0,265,0,265
placement_case width-huge 0,0,2147483647,0,265 0,0 265,0 0,0,265,0,265
placement_case far-right-below 2147483647,2147483647,265,-2147483648,-2147483648 1015,687 0,0 687,1015,265,0,0
placement_case far-left 10,-5000,265,10,5000 0,10 771,10 10,0,265,10,771

# A close request to the display window leaves it open; the program goes on and still
# ends with its panel.
cd "$T" && mkdir -p close && cd close || exit 1
# Qt's record of the user's last input to the display window (on a window of its own).
user_time() {
    local tw
    tw=$(xprop -id "$disp" _NET_WM_USER_TIME_WINDOW 2>/dev/null | sed -n 's/.*# //p')
    xprop -id "${tw:-$disp}" _NET_WM_USER_TIME 2>/dev/null | sed -n 's/.*= //p'
}
user_time_changed() { [ "$(user_time)" != "$before" ]; }
if start_sim && start_myrl; then
    wmctrl -i -c "$disp"
    # The request has reached the program once input sent after it has: a click on the
    # display's title label moves the user time; twice, so that whatever the first
    # click's events queued has run too.
    for click in 1 2; do
        viewable "$disp" || break
        before=$(user_time)
        read -r x y < <(xwininfo -id "$disp" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')
        xdotool mousemove $((x + 200)) $((y + 10)) click 1
        until_true 10 user_time_changed || viewable "$disp" || break
    done
    if viewable "$disp" && ! ended; then
        pass "a close request to the display window leaves it open"
    else
        fail "the display window closed on a close request"
    fi
    close_panel
    stop_sim
fi

[ "$failures" -eq 0 ] && echo "all passed" || echo "$failures failed"
exit $((failures > 0))
