#!/usr/bin/env bash
# Pictures of the settings windows for the documentation: the item list with
# a few items, the item editor with a filled item, and About, each in German
# and in English, cropped to the window with its frame.
#
# Builds nothing. Starts an X server of its own (Xvfb) with openbox, a tray
# host (trayer) and a session bus, opens the windows through the tray menu
# as a user would, and writes LANG-named PNGs (list-de.png, editor-en.png,
# about-de.png, ...).
#
# Usage: scripts/screenshots.sh [PROGRAM [OUTPUT_DIR]]
#        (defaults: build/linux/replywick, docs/screenshots)
# Needs: Xvfb openbox trayer xdotool xwininfo xprop dbus-launch, ImageMagick.
set -eu
cd "$(dirname "$0")/.."

program=$(realpath "${1:-build/linux/replywick}")
out=${2:-docs/screenshots}
[ -x "$program" ] || { echo "no program at $program (build it first)" >&2; exit 1; }
for tool in Xvfb openbox trayer xdotool xwininfo xprop dbus-launch import convert; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
mkdir -p "$out"
# The program takes its language from these files before the environment.
for f in /etc/default/locale /etc/locale.conf; do
    if [ -r "$f" ] && grep -q '^[[:space:]]*LANG=' "$f"; then
        echo "$f sets LANG: the pictures could not be had in both languages" >&2
        exit 1
    fi
done

work=$(mktemp -d /tmp/rw-shots.XXXXXX)
pids=()
rw_pid=""
dbus_pid=""
cleanup() {
    local i
    [ -n "$rw_pid" ] && kill "$rw_pid" 2>/dev/null
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    [ -n "$dbus_pid" ] && kill "$dbus_pid" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

die() {
    echo "screenshots: $*" >&2
    [ -f "$work/rw.log" ] && grep -v '^x11: key table' "$work/rw.log" | tail -n 20 >&2
    exit 1
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
# wait_for SECONDS COMMAND...: polls until COMMAND succeeds.
wait_for() {
    local end=$(( $(now_ms) + $1 * 1000 ))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$(now_ms)" -ge "$end" ] && return 1
        sleep 0.05
    done
}

# ---- A desktop of our own ------------------------------------------------------

display=""
for n in $(seq 150 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xpid=$!
    if DISPLAY=":$n" wait_for 10 xdpyinfo && sleep 0.3 && kill -0 "$xpid" 2>/dev/null; then
        pids+=("$xpid")
        display=":$n"
        break
    fi
    kill "$xpid" 2>/dev/null || true
done
[ -n "$display" ] || die "no X server could be started"
export DISPLAY=$display
# Private runtime and config folders: the program's instance lock and
# nothing of the user's desktop settings.
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config"
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$XDG_CONFIG_HOME"
eval "$(dbus-launch --sh-syntax)"
dbus_pid=${DBUS_SESSION_BUS_PID:-}
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || die "openbox did not start"
trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel --height 24 \
    >"$work/trayer.log" 2>&1 &
pids+=($!)
wait_for 10 sh -c 'xwininfo -root -tree | grep -q "\"panel\""' || die "trayer did not start"

# ---- The program ---------------------------------------------------------------

mkdir -p "$work/app"
cp "$program" "$work/app/replywick"
ini="$work/app/replywick.ini"

write_items() {
    printf '; Replywick\r\n\r\n\r\n' >"$ini"
    item() {
        printf '[Item]\r\nDesc=%s\r\nTitle=%s\r\nTitleTestType=%s\r\nClass=%s\r\nText=%s\r\nModul=%s\r\nSize=%s\r\nMacro=%s\r\nDelay=%s\r\n\r\n' \
            "$@" >>"$ini"
    }
    item "Overwrite the file" "Overwrite file" 0 Zenity "Overwrite the file?" /usr/bin/zenity 402x152 \
        "{Dialog Yes}" 0
    item "Save changes on close" "Save Changes" 3 Gedit "Save changes to document" /usr/bin/gedit "" \
        "{ALT}w" 100
    item "Licence reminder" "Unregistered copy" 1 Xmessage "" "" "" "{ENTER}" 500
    item "Print dialog: always 2 copies" "Print" 0 Gtk "" "" "" "{TAB}{TAB}2{ENTER}" 0
    printf '\r\n' >>"$ini"
}

mark=0
mark() { mark=$(wc -l <"$work/rw.log"); }
seen() { tail -n +$((mark + 1)) "$work/rw.log" | grep -q -- "$1"; }

# ctl WINDOW NAME: "X Y" of the centre of a control, from the latest trace.
ctl() {
    awk -v w="$1" -v n="$2" '$1 == "x11:" && $2 == "control" && $3 == w && $4 == n {
        p = int($5 + $7 / 2) " " int($6 + $8 / 2) } END { if (p == "") exit 1; print p }' "$work/rw.log"
}
click_ctl() {
    local pos
    pos=$(ctl "$1" "$2") || die "no control $2 in window $1"
    # shellcheck disable=SC2086
    xdotool mousemove $pos click 1
}

tray_icon_pos() {
    xwininfo -root -tree | awk '/"Replywick": \("replywick" "Replywick"\)/ {
        split($NF, a, "+"); split($(NF-1), s, "x"); split(s[2], h, "+");
        if (a[2] != "" && s[1] > 4) { print a[2] + int(s[1] / 2), a[3] + int(h[1] / 2); found = 1; exit }
    } END { exit !found }'
}

menu_geometry() {
    local id
    for id in $(xdotool search --class replywick 2>/dev/null); do
        xwininfo -id "$id" | awk '/Map State: IsViewable/ { v = 1 } /Override Redirect State: yes/ { o = 1 }
            /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
            /Width:/ { w = $NF } /Height:/ { h = $NF }
            END { if (v && o && w > 40 && h > 40) print x, y, w, h; exit !(v && o && w > 40 && h > 40) }' &&
            return 0
    done
    return 1
}

# menu SHARE: right-click on the tray icon, then the entry at SHARE percent
# of the menu's height (About 12, Settings 35).
menu() {
    local pos x y w h
    pos=$(tray_icon_pos) || die "no tray icon"
    # shellcheck disable=SC2086
    xdotool mousemove $pos click 3
    wait_for 5 menu_geometry || die "no tray menu"
    read -r x y w h <<<"$(menu_geometry)"
    xdotool mousemove $((x + w / 2)) $((y + h * $1 / 100)) click 1
    wait_for 5 no_menu || die "the tray menu stayed open"
}
no_menu() { ! menu_geometry; }

# The shown top-level window of the program whose title matches the regular
# expression (xdotool's; ASCII only); the tray icon, also called Replywick,
# is too small to count.
window_named() {
    local id
    for id in $(xdotool search --all --onlyvisible --pid "$rw_pid" --name "$1" 2>/dev/null); do
        [ "$(xwininfo -id "$id" | awk '/Width:/ { print $NF }')" -gt 100 ] && { echo "$id"; return 0; }
    done
    return 1
}

# shoot WINDOW_ID FILE: the window with its frame, from the root window.
shoot() {
    local x y w h l r t b ext
    read -r x y w h <<<"$(xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF }
        /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }')"
    ext=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
    IFS=, read -r l r t b <<<"${ext:-0,0,0,0}"
    # Move the pointer out of the picture; let hover effects fade.
    xdotool mousemove 5 1015
    sleep 0.4
    import -window root -crop "$((w + l + r))x$((h + t + b))+$((x - l))+$((y - t))" +repage "$work/shot.png"
    convert "$work/shot.png" -strip "$2"
    echo "wrote $2 ($((w + l + r))x$((h + t + b)))"
}

shots_in() {
    local lang=$1 suffix=$2 editCaption=$3 id
    write_items
    env -u LC_ALL -u LC_MESSAGES LANG="$lang" RW_X11_TRACE=1 "$work/app/replywick" /d >"$work/rw.log" 2>&1 &
    rw_pid=$!
    wait_for 10 tray_icon_pos || die "the tray icon did not appear ($lang)"

    # Item list, first row selected as the window opens.
    mark
    menu 35
    wait_for 10 seen "^x11: control frmList cmdDelete " || die "no item list ($lang)"
    id=$(window_named '^Replywick$') || die "no item list window ($lang)"
    shoot "$id" "$out/list-$suffix.png"

    # The editor with the first item.
    mark
    click_ctl frmList cmdEdit
    wait_for 10 seen "^x11: control frmEditItem cmdCancel " || die "no item editor ($lang)"
    id=$(window_named "$editCaption") || die "no item editor window ($lang)"
    shoot "$id" "$out/editor-$suffix.png"
    click_ctl frmEditItem cmdCancel
    wait_for 10 sh -c "! xdotool search --all --onlyvisible --pid $rw_pid --name '$editCaption'" || die "editor stayed open"
    click_ctl frmList cmdCancel
    wait_for 10 seen "^x11: item list window closed" || die "the item list stayed open ($lang)"

    # About.
    mark
    menu 12
    wait_for 10 window_named '^Information$' || die "no About window ($lang)"
    sleep 0.3
    id=$(window_named '^Information$')
    shoot "$id" "$out/about-$suffix.png"
    xdotool key Escape
    wait_for 10 sh -c "! xdotool search --all --onlyvisible --pid $rw_pid --name '^Information\$'" || die "About stayed open"

    kill -TERM "$rw_pid"
    wait "$rw_pid" || true
    rw_pid=""
}

shots_in de_DE.UTF-8 de '^Eintrag bearbeiten'
shots_in en_US.UTF-8 en '^Edit Item$'
