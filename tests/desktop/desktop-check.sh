#!/usr/bin/env bash
# Drives the program on a real X server (Xvfb), with or without a window manager (openbox),
# by real input (xdotool): what only a real desktop shows. Everything it starts runs in a
# private folder and is stopped by its PID.
#
#   desktop-check.sh PROGRAM CHECK
#
#   fit       under openbox, a picture taller than the screen opened from the command line:
#             the framed window stays on the screen
#   stacking  under openbox, the box of a window kept on top (a formula error of the custom
#             filter window) shows above that window
#   focus     without a window manager, the main window has the keyboard focus again after a
#             menu command that showed a box
#   scale     without a window manager, at QT_SCALE_FACTOR 1.25, 1.5 and 2, a picture of
#             1-pixel black and white columns shows half white: every picture pixel covers
#             the same number of device pixels
#   cancel    without a window manager, a click on the progress window's Cancel, and Escape,
#             each stop the opening of a 100-megapixel PNG: the window shows no picture
set -euo pipefail
program=$(realpath "$1")
check=$2

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

. "$(dirname "$0")/../wait-for.sh"

# Big-endian 32-bit numbers, as PNG and zlib write them.
be32() { printf "\\x$(printf %02x $(($1 >> 24 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 & 255)))"; }

# A PNG chunk: length, type and data, and the CRC-32 of type and data, which gzip's trailer
# carries (little-endian) for whatever it compressed.
png_chunk() {
    local type=$1 data=$2
    be32 "$(stat -c %s "$data")"
    { printf %s "$type"; cat "$data"; } >"$data.crc-input"
    printf %s "$type"
    cat "$data"
    local crc
    crc=$(gzip -c "$data.crc-input" | tail -c 8 | head -c 4 | od -An -tx1 | awk '{printf "\\x%s\\x%s\\x%s\\x%s", $4, $3, $2, $1}')
    printf "$crc"
}

# A fully transparent 8-bit RGBA PNG, written with the shell and gzip alone: its zlib stream
# is gzip's deflate data between zlib's header and the Adler-32 of all-zero data (1, and the
# length).
write_transparent_png() {
    local path=$1 width=$2 height=$3
    local raw=$((height * (1 + width * 4)))
    { be32 "$width"; be32 "$height"; printf '\x08\x06\x00\x00\x00'; } >"$work/ihdr"
    {
        printf '\x78\x01'
        head -c "$raw" /dev/zero | gzip -1 -n | tail -c +11 | head -c -8
        be32 $((((raw % 65521) << 16) | 1))
    } >"$work/idat"
    : >"$work/iend"
    {
        printf '\x89PNG\r\n\x1a\n'
        png_chunk IHDR "$work/ihdr"
        png_chunk IDAT "$work/idat"
        png_chunk IEND "$work/iend"
    } >"$path"
}

# A display of our own: Xvfb picks a free number and tells it.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 20 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
SCREEN_HEIGHT=1024

start_window_manager() {
    mkdir -p "$work/config"
    HOME=$work XDG_CONFIG_HOME=$work/config openbox --sm-disable >"$work/openbox.log" 2>&1 &
    pids+=($!)
    wait_for 20 xprop -root _NET_SUPPORTING_WM_CHECK || fail "openbox did not start"
}

# Starts the program on `picture` and prints its main window's id once it shows.
start_program() {
    HOME=$work QT_QPA_PLATFORM=xcb "$program" "$@" >"$work/program.log" 2>&1 &
    pids+=($!)
    wait_for 60 xdotool search --onlyvisible --name '^Corvalux - ' || fail "the main window did not show"
    sleep 1  # let the window manager place and frame it
    xdotool search --onlyvisible --name '^Corvalux - ' | head -1
}

# The window's client rectangle on the screen: x y width height.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
        /^  Width/{w=$NF} /^  Height/{h=$NF} END{print x, y, w, h}'
}

# The frame's extents a window manager reports: left right top bottom.
frame_extents() {
    xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ','
}

case $check in
fit)
    start_window_manager
    write_transparent_png "$work/tall.png" 600 1500
    main=$(start_program "$work/tall.png")
    read -r _ y _ h < <(geometry "$main")
    read -r _ _ top bottom < <(frame_extents "$main")
    [ $((y - top)) -ge 0 ] || fail "the frame's top is above the screen (y $y, title $top)"
    [ $((y + h + bottom)) -le $SCREEN_HEIGHT ] ||
        fail "the framed window ends at $((y + h + bottom)), below the screen's $SCREEN_HEIGHT"
    ;;
stacking)
    start_window_manager
    write_transparent_png "$work/small.png" 64 48
    main=$(start_program "$work/small.png")
    xdotool windowactivate --sync "$main"
    # Filters > Custom filter, by keyboard.
    xdotool key alt+i u
    wait_for 20 xdotool search --onlyvisible --name '^Custom filter' || fail "the custom filter window did not show"
    custom=$(xdotool search --onlyvisible --name '^Custom filter' | head -1)
    xdotool windowactivate --sync "$custom" || true
    # A formula with a mistake, then OK: the window says what is wrong in a box.
    xdotool type --delay 50 'R1+'
    xdotool key Tab
    xdotool type --delay 50 'G1'
    xdotool key Tab
    xdotool type --delay 50 'B1'
    xdotool key alt+o
    wait_for 20 xdotool search --onlyvisible --name '^Information$' || fail "no box showed"
    sleep 0.5
    box=$(xdotool search --onlyvisible --name '^Information$' | head -1)
    stacking=$(xprop -root _NET_CLIENT_LIST_STACKING | sed -n 's/.*# //p' | tr -d ',')
    position() {
        local i=0 id
        for id in $stacking; do
            [ $((id)) -eq $(($1)) ] && echo $i && return
            i=$((i + 1))
        done
        echo -1
    }
    [ "$(position "$box")" -gt "$(position "$custom")" ] ||
        fail "the box ($box) is below the custom filter window ($custom): $stacking"
    ;;
focus)
    write_transparent_png "$work/small.png" 64 48
    main=$(start_program "$work/small.png")
    xdotool windowfocus --sync "$main"
    # Filters > Statistics (the first item), by keyboard, and its box closed with Return.
    xdotool key alt+i Return
    wait_for 20 xdotool search --onlyvisible --name '^Information$' || fail "the statistics box did not show"
    xdotool key Return
    wait_for 20 sh -c "! xdotool search --onlyvisible --name '^Information$'" || fail "the box did not close"
    sleep 1
    focused=$(xdotool getwindowfocus)
    [ $((focused)) -eq $((main)) ] || fail "the focus is on window $focused, not on the main window $main"
    ;;
cancel)
    write_transparent_png "$work/huge.png" 10000 10000
    for how in click escape; do
        HOME=$work QT_QPA_PLATFORM=xcb "$program" "$work/huge.png" >"$work/program.log" 2>&1 &
        pid=$!
        pids+=($pid)
        # The main window shows once the load has ended; meanwhile only the progress window.
        wait_for 60 xdotool search --onlyvisible --name '^Corvalux$' || fail "$how: no progress window"
        dialog=$(xdotool search --onlyvisible --name '^Corvalux$' | head -1)
        case $how in
        click)
            # Cancel sits at the bottom right of the window.
            eval "$(xdotool getwindowgeometry --shell "$dialog")"
            xdotool mousemove --window "$dialog" $((WIDTH - 52)) $((HEIGHT - 23)) click 1
            ;;
        escape)
            xdotool windowfocus --sync "$dialog"
            xdotool key Escape
            ;;
        esac
        main_shows() { xdotool search --onlyvisible --name '^Corvalux' | grep -vx "$dialog"; }
        wait_for 60 main_shows || fail "$how: the main window never showed"
        title=$(xdotool getwindowname "$(main_shows | head -1)")
        [ "$title" = Corvalux ] || fail "$how: the picture opened anyway ($title)"
        kill -0 "$pid" || fail "$how: the program ended"
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    done
    ;;
scale)
    convert -size 200x100 pattern:vertical2 "$work/columns.png"
    for factor in 1.25 1.5 2; do
        main=$(QT_SCALE_FACTOR=$factor start_program "$work/columns.png")
        read -r x y _ h < <(geometry "$main")
        scale=${factor%.*}  # the whole factor the picture is shown at
        import -window root "$work/screen.png"
        # Columns 20 to 179 of rows 60 to 89, clear of the frame and the size text.
        white=$(convert "$work/screen.png" -crop $((160 * scale))x$((30 * scale))+$((x + 20 * scale))+$((y + h - 40 * scale)) \
            -format '%[fx:mean]' info:)
        awk -v m="$white" 'BEGIN { exit !(m > 0.49 && m < 0.51) }' || fail "at $factor the columns show $white white"
        # start_program ran in a subshell: the program's PID is the window's.
        kill "$(xdotool getwindowpid "$main")"
        gone() { ! xdotool search --onlyvisible --name '^Corvalux - ' >/dev/null; }
        wait_for 20 gone || fail "the program at $factor did not end"
    done
    ;;
*)
    echo "unknown check: $check" >&2
    exit 2
    ;;
esac
echo "ok: $check"
