#!/usr/bin/env bash
# The settings windows driven the way a user drives them: the tray icon's
# menu, clicks on buttons and rows, the search tool dragged onto a dialog,
# keys for the clipboard. Runs inside tests/e2e/atspi/run_e2e.sh (X server,
# window manager, session bus, accessibility bus); starts its own tray host.
#
# The program's trace (RW_X11_TRACE=1) says where each named control of a
# shown settings window is ("x11: control WINDOW NAME X Y W H") and where the
# rows of its short lists are ("x11: row WINDOW LIST INDEX X Y W H 'TEXT'"),
# so every click below is aimed from what the program itself reports.
#
# Usage: run_e2e.sh settings_e2e.sh SCENARIO
# Environment: REPLYWICK (the program), CLIPTEXT (rw_clip_text).
set -u
: "${REPLYWICK:?REPLYWICK must name the replywick program}"
: "${CLIPTEXT:?CLIPTEXT must name the rw_clip_text helper}"

WORK=$(mktemp -d /tmp/rw-settings.XXXXXX)
PIDS=()      # tray host, dialogs
RW_PID=""
MARK=0       # lines of the program's output before the last action
SCENARIO=${1:-}

cleanup() {
    local p
    for p in $RW_PID "${PIDS[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' TERM INT HUP

fail() {
    echo "FAIL: $*" >&2
    if [ -f "$WORK/rw.log" ]; then
        echo "--- replywick output (last lines)" >&2
        grep -v '^x11: key table' "$WORK/rw.log" | tail -n 40 >&2
    fi
    # What the screen showed, for the one who reads the failure.
    local shot="${TMPDIR:-/tmp}/rw-settings-fail-$SCENARIO.png"
    import -window root "$shot" 2>/dev/null && echo "screen: $shot" >&2
    exit 1
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# wait_for SECONDS COMMAND...: polls until COMMAND succeeds; false on time-out.
wait_for() {
    local end=$(( $(now_ms) + $1 * 1000 ))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$(now_ms)" -ge "$end" ] && return 1
        sleep 0.05
    done
}

# ---- Settings file -----------------------------------------------------------

mkdir -p "$WORK/app"
cp "$REPLYWICK" "$WORK/app/replywick"
INI="$WORK/app/replywick.ini"

# The file in the program's own form: header, one block per item, and the
# blank line the program ends it with.
ini_begin() { printf '; Replywick\r\n\r\n\r\n' >"$1"; }
# ini_item FILE DESC TITLE CLASS MACRO: title compared exactly, nothing else.
ini_item() {
    local f=$1
    shift
    printf '[Item]\r\nDesc=%s\r\nTitle=%s\r\nTitleTestType=0\r\nClass=%s\r\nText=\r\nModul=\r\nSize=\r\nMacro=%s\r\nDelay=0\r\n\r\n' \
        "$@" >>"$f"
}
ini_end() { printf '\r\n' >>"$1"; }

# ini_of FILE DESC...: a file of plain items named DESC, in that order.
ini_of() {
    local f=$1 d
    shift
    ini_begin "$f"
    for d in "$@"; do ini_item "$f" "$d" "RW never $d" NoSuchClass "$d{ENTER}"; done
    ini_end "$f"
}

# The Desc values of the items in the settings file, blank-separated.
descs() { tr -d '\r' <"$INI" | awk -F= '$1 == "Desc" { printf "%s%s", sep, $2; sep = " " }'; }

same_file() {
    cmp -s "$1" "$2" || fail "$3: the settings file differs (< wanted, > found):$(printf '\n')$(diff <(tr -d '\r' <"$2") <(tr -d '\r' <"$1"))"
}

# ---- Desktop and program ---------------------------------------------------

start_trayer() {
    trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel --height 24 \
        >"$WORK/trayer.log" 2>&1 &
    PIDS+=($!)
    wait_for 10 sh -c 'xwininfo -root -tree | grep -q "\"panel\""' || fail "trayer did not start"
}

# start_rw [VAR=VALUE...]: starts the program with that environment and
# waits until its icon sits in the tray.
RW_WRAP=()   # a command the program is started under (scenario language)
start_rw() {
    "${RW_WRAP[@]}" env "$@" RW_X11_TRACE=1 "$WORK/app/replywick" /d >"$WORK/rw.log" 2>&1 &
    RW_PID=$!
    MARK=0
    wait_for 10 sh -c 'xwininfo -root -tree | grep -q "\"Replywick MainForm\""' ||
        fail "replywick did not create its main window"
    wait_for 10 tray_icon_pos || fail "the tray icon was not embedded"
}

# stop_rw: ends the program with SIGTERM; its exit code in RW_RC.
stop_rw() {
    kill -TERM "$RW_PID"
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "replywick did not end on SIGTERM"
    wait "$RW_PID"
    RW_RC=$?
    RW_PID=""
}

# shellcheck source=../tray.sh
. "$(dirname "${BASH_SOURCE[0]}")/../tray.sh"

# The open tray menu (an override-redirect window of ours): "X Y W H".
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
no_menu() { ! menu_geometry; }

# menu ENTRY: right-clicks the tray icon and chooses About or Settings. The
# menu reads About, Settings, -, Active, -, Close; the entries' centres lie
# at these shares of its height.
menu() {
    local pos x y w h share
    case $1 in
        about) share=12 ;;
        settings) share=35 ;;
        *) fail "no menu entry $1" ;;
    esac
    pos=$(tray_icon_pos) || fail "no tray icon"
    # shellcheck disable=SC2086
    xdotool mousemove $pos click 3
    wait_for 5 menu_geometry || fail "no menu after a right click on the tray icon"
    read -r x y w h <<<"$(menu_geometry)"
    xdotool mousemove $((x + w / 2)) $((y + h * share / 100)) click 1
    wait_for 5 no_menu || fail "the menu stayed open"
}

# ---- The program's trace -----------------------------------------------------

mark() { MARK=$(wc -l <"$WORK/rw.log"); }
since_mark() { tail -n +$((MARK + 1)) "$WORK/rw.log"; }
seen() { since_mark | grep -q -- "$1"; }
# wait_line SECONDS TEXT: the program writes a line with TEXT after the mark.
wait_line() { wait_for "$1" seen "$2"; }

# in_log TEXT: some line of the program's output has TEXT.
in_log() { grep -q -- "$1" "$WORK/rw.log"; }

# ctl WINDOW NAME: sets POS to "X Y", the centre of that control, from its
# latest trace line (waits up to 10 s for one).
ctl() {
    wait_for 10 in_log "^x11: control $1 $2 " || fail "no trace of control $2 in window $1"
    POS=$(awk -v w="$1" -v n="$2" '$1 == "x11:" && $2 == "control" && $3 == w && $4 == n {
        p = int($5 + $7 / 2) " " int($6 + $8 / 2) } END { print p }' "$WORK/rw.log")
    [ -n "$POS" ] || fail "no position of control $2 in window $1"
}

# row WINDOW LIST TEXT: sets POS to a point on the row that showed TEXT when
# the window was last shown.
row() {
    wait_for 10 in_log "^x11: row $1 $2 [0-9]* .* '$3'\$" || fail "no row '$3' in list $2 of window $1"
    POS=$(awk -v w="$1" -v l="$2" -v t="'$3'" '$1 == "x11:" && $2 == "row" && $3 == w && $4 == l {
        text = $0; for (k = 0; k < 9; k++) sub(/^[^ ]+ /, "", text); if (text == t) p = int($6 + 20) " " int($7 + $9 / 2) }
        END { print p }' "$WORK/rw.log")
    [ -n "$POS" ] || fail "no position of row '$3' in list $2 of window $1"
}

# row_at WINDOW LIST INDEX: sets POS to a point on row INDEX (rows keep
# their places when the items in them change).
row_at() {
    wait_for 10 in_log "^x11: row $1 $2 $3 " || fail "no row $3 in list $2 of window $1"
    POS=$(awk -v w="$1" -v l="$2" -v i="$3" '$1 == "x11:" && $2 == "row" && $3 == w && $4 == l && $5 == i {
        p = int($6 + 20) " " int($7 + $9 / 2) } END { print p }' "$WORK/rw.log")
    [ -n "$POS" ] || fail "no position of row $3 in list $2 of window $1"
}

# shown WINDOW LASTCONTROL: waits until the window, shown after the mark,
# has traced its controls (LASTCONTROL is the last one it names).
shown() { wait_line 10 "^x11: control $1 $2 " || fail "window $1 did not show its controls"; }

click_at() {
    # shellcheck disable=SC2086
    xdotool mousemove $1 $2 click 1
}
click_ctl() { ctl "$1" "$2"; click_at $POS; }
click_row() { row "$1" "$2" "$3"; click_at $POS; }
click_row_at() { row_at "$1" "$2" "$3"; click_at $POS; }

# ---- Settings windows ------------------------------------------------------

# open_list: Settings from the tray menu; waits until the list window shows
# its controls.
open_list() {
    mark
    menu settings
    wait_line 10 "^x11: item list window open" || fail "Settings did not open the item list"
    shown frmList cmdDelete
}

# close_list BUTTON: OK or Cancel of the list window.
close_list() {
    click_ctl frmList "$1"
    wait_line 10 "^x11: item list window closed" || fail "$1 did not close the item list"
}

# read_field NAME: the text of an edit field of the item editor, read back
# through the clipboard as the user would copy it.
read_field() {
    click_ctl frmEditItem "$1"
    xdotool key ctrl+a ctrl+c
    "$CLIPTEXT" 2>/dev/null
}

# field_is NAME WANTED: true once the field shows WANTED.
field_is() { [ "$(read_field "$1")" = "$2" ]; }

# zenity_bg ARGS...: a zenity dialog in the background; its pid in LAST.
zenity_bg() {
    zenity "$@" 2>/dev/null &
    LAST=$!
    PIDS+=("$LAST")
}

# exit_of SECONDS PID: the exit code of a dialog program; 255 when it is
# still open after SECONDS.
exit_of() {
    local end=$(( $(now_ms) + $1 * 1000 )) pid=$2
    while kill -0 "$pid" 2>/dev/null; do
        [ "$(now_ms)" -ge "$end" ] && return 255
        sleep 0.05
    done
    wait "$pid"
}

# window_of TITLE: the id of a window with exactly that title; false if none.
window_of() {
    local id
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1)
    [ -n "$id" ] && echo "$id"
}

editor_window() {
    local id
    id=$(xdotool search --name '^(Add Item|Eintrag hinzuf.*)$' 2>/dev/null | head -n 1)
    [ -n "$id" ] && echo "$id"
}
utf8_name() { xprop -id "$1" _NET_WM_NAME | sed -n 's/^[^"]*"\(.*\)"$/\1/p'; }

# The outer frame size of a window as WIDTHxHEIGHT, frame included.
frame_size() {
    local w h ext l r t b
    read -r w h <<<"$(xwininfo -id "$1" | awk '/Width:/ { w = $NF } /Height:/ { h = $NF } END { print w, h }')"
    ext=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
    IFS=, read -r l r t b <<<"${ext:-0,0,0,0}"
    echo "$((w + l + r))x$((h + t + b))"
}

# ---- Scenarios ---------------------------------------------------------------

# Empty settings, a dialog on the screen: the user adds an item for it with
# the search tool and a {Dialog Yes} from the function list; the next such
# dialog is answered.
scenario_user_story() {
    : >"$INI"
    zenity_bg --question --title="RW Story" --text="Overwrite the file?"
    local first=$LAST
    wait_for 10 window_of "RW Story" || fail "the dialog did not appear"
    local zwin
    zwin=$(window_of "RW Story")
    # Beside the settings windows, which open in the middle of the screen.
    xdotool windowmove --sync "$zwin" 30 790
    start_rw
    open_list
    ctl frmList cmdAdd
    mark
    click_at $POS
    wait_for 10 window_of "Add Item" || fail "Add did not open the item editor"
    local from to
    shown frmEditItem cmdCancel
    ctl frmEditItem picSearch
    from=$POS

    # Press on the search tool, drag it onto the dialog, let go.
    local zx zy zw zh
    read -r zx zy zw zh <<<"$(xwininfo -id "$zwin" | awk '/Absolute upper-left X/ { x = $NF }
        /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }')"
    to="$((zx + zw / 2)) $((zy + zh / 3))"
    local fx fy tx ty i
    read -r fx fy <<<"$from"
    read -r tx ty <<<"$to"
    xdotool mousemove "$fx" "$fy" mousedown 1
    for i in $(seq 1 20); do
        xdotool mousemove $((fx + (tx - fx) * i / 20)) $((fy + (ty - fy) * i / 20))
        sleep 0.02
    done
    xdotool mouseup 1

    local module size
    module=$(readlink "/proc/$first/exe")
    size=$(frame_size "$zwin")
    wait_for 10 field_is txtTitle "RW Story" || fail "title after the search: '$(read_field txtTitle)'"
    field_is txtClass "Zenity" || fail "class after the search: '$(read_field txtClass)'"
    wait_for 5 field_is txtText "Overwrite the file?" || fail "text after the search: '$(read_field txtText)'"
    field_is txtModul "$module" || fail "module after the search: '$(read_field txtModul)' ($module wanted)"
    field_is txtSize "$size" || fail "size after the search: '$(read_field txtSize)' ($size wanted)"

    row frmEditItem lstMisc "{Dialog Yes}"
    # shellcheck disable=SC2086
    xdotool mousemove $POS click --repeat 2 --delay 80 1
    wait_for 5 field_is txtMacro "{Dialog Yes}" || fail "macro after the double click: '$(read_field txtMacro)'"
    click_ctl frmEditItem cmdOK
    wait_for 10 sh -c "! xdotool search --name '^Add Item\$'" || fail "OK did not close the item editor"
    close_list cmdOK

    local want="$WORK/want.ini"
    ini_begin "$want"
    printf '[Item]\r\nDesc=RW Story\r\nTitle=RW Story\r\nTitleTestType=0\r\nClass=Zenity\r\nText=Overwrite the file?\r\nModul=%s\r\nSize=%s\r\nMacro={Dialog Yes}\r\nDelay=0\r\n\r\n' \
        "$module" "$size" >>"$want"
    ini_end "$want"
    same_file "$INI" "$want" "after OK"

    # The first dialog may have been answered already, now that it is in
    # front again; either way it goes, and a new one must be answered.
    kill "$first" 2>/dev/null
    wait "$first" 2>/dev/null
    local t0 rc
    t0=$(now_ms)
    zenity_bg --question --title="RW Story" --text="Overwrite the file?"
    exit_of 10 "$LAST"
    rc=$?
    [ $rc -eq 0 ] || fail "the new dialog ended with $rc (0, Yes, wanted)"
    echo "new dialog answered Yes after $(( $(now_ms) - t0 )) ms"
}

# Cut in one list window, paste in the next, through the X clipboard.
scenario_cut_paste() {
    ini_of "$INI" Alpha Bravo Charlie Delta
    start_rw
    open_list
    click_row frmList lst Bravo
    click_ctl frmList cmdClip0
    local clip
    clip=$("$CLIPTEXT" 2>/dev/null)
    case "$clip" in
        *"[Item]"*"Desc=Bravo"*) ;;
        *) fail "the clipboard after Cut holds: '$clip'" ;;
    esac
    close_list cmdOK
    [ "$(descs)" = "Alpha Charlie Delta" ] || fail "after Cut and OK the file holds: $(descs)"

    open_list
    click_row frmList lst Delta
    xdotool key ctrl+v
    close_list cmdOK
    ini_of "$WORK/want.ini" Alpha Charlie Bravo Delta
    same_file "$INI" "$WORK/want.ini" "after Paste and OK"
}

# Remove one item, move another, Cancel: the file stays as it was. The same
# clicks with OK do change it, so the clicks did reach the window.
scenario_cancel_restores() {
    ini_of "$INI" Alpha Bravo Charlie Delta
    cp "$INI" "$WORK/before.ini"
    start_rw
    local pass
    for pass in cmdCancel cmdOK; do
        open_list
        click_row frmList lst Alpha
        click_ctl frmList cmdDelete
        click_row_at frmList lst 1   # Charlie, now second
        click_ctl frmList cmdMoveUp
        close_list "$pass"
        if [ "$pass" = cmdCancel ]; then
            same_file "$INI" "$WORK/before.ini" "after Cancel"
        fi
    done
    ini_of "$WORK/want.ini" Charlie Bravo Delta
    same_file "$INI" "$WORK/want.ini" "the same changes confirmed with OK"
}

# A dialog that an item matches waits while the list window is open, and is
# answered once it comes to the front after the list window has closed.
scenario_dialog_waits_for_list() {
    ini_begin "$INI"
    ini_item "$INI" "wait" "RW Wait" Zenity "{Dialog Yes}"
    ini_end "$INI"
    start_rw
    open_list
    zenity_bg --question --title="RW Wait" --text="Answer me later."
    local z=$LAST zwin
    wait_for 10 window_of "RW Wait" || fail "the dialog did not appear"
    zwin=$(window_of "RW Wait")
    xdotool windowactivate "$zwin" 2>/dev/null
    # Several poll rounds and every notification of the new window pass.
    local end=$(( $(now_ms) + 2500 ))
    while [ "$(now_ms)" -lt "$end" ]; do
        kill -0 "$z" 2>/dev/null || fail "the dialog was answered while the list window was open"
        sleep 0.1
    done
    close_list cmdCancel
    xdotool windowactivate "$zwin" 2>/dev/null
    local rc
    exit_of 10 "$z"
    rc=$?
    [ $rc -eq 0 ] || fail "after the list window closed the dialog ended with $rc (0, Yes, wanted)"
}

# SIGTERM while the list window has unconfirmed changes: a clean end, and
# the file holds the items as they were when the window opened. The file
# starts in another form (no header, bare line ends, fields left out), so
# only a save at the end turns it into the program's own form; and the
# window's first row shows that the clicks did change the list.
scenario_sigterm_with_open_list() {
    local d
    : >"$INI"
    for d in Alpha Bravo Charlie; do
        printf '[Item]\nDesc=%s\nTitle=RW never %s\nClass=NoSuchClass\nMacro=%s{ENTER}\n' "$d" "$d" "$d" >>"$INI"
    done
    start_rw
    open_list
    click_row frmList lst Alpha
    click_ctl frmList cmdDelete
    click_row_at frmList lst 0   # Bravo, now first
    click_ctl frmList cmdMoveDown
    # Charlie is first now: Copy of the first row says so.
    click_row_at frmList lst 0
    click_ctl frmList cmdClip1
    local clip
    clip=$("$CLIPTEXT" 2>/dev/null)
    case "$clip" in
        *"Desc=Charlie"*) ;;
        *) fail "after Delete and the move the first row holds: '$clip' (Charlie wanted)" ;;
    esac
    stop_rw
    [ "$RW_RC" -eq 0 ] || fail "the program ended with $RW_RC"
    grep -q "Replywick end -------------" "$WORK/rw.log" || fail "no end line"
    ini_of "$WORK/want.ini" Alpha Bravo Charlie
    same_file "$INI" "$WORK/want.ini" "after SIGTERM"
}

# key KEY...: keys as the user presses them, into the active window.
key() { xdotool key --delay 60 "$@"; }

active_is() { [ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = "$1" ]; }

# The clipboard holds an item named DESC.
clip_has() { case $("$CLIPTEXT" 2>/dev/null) in *"Desc=$1"$'\r'*) return 0 ;; esac; return 1; }

# The list window driven by its keys: Delete and keypad minus remove,
# Ctrl+X, Ctrl+C and Ctrl+V cut, copy and paste, Space and Enter in the
# list edit the current item, keypad plus adds; Esc is Cancel, Enter
# outside the list is OK. In the editor Enter is OK and Esc Cancel.
scenario_list_keys() {
    ini_of "$INI" Alpha Bravo Charlie Delta
    cp "$INI" "$WORK/before.ini"
    start_rw
    # Esc throws away what Delete did.
    open_list
    click_row frmList lst Alpha
    key Delete
    mark
    key Escape
    wait_line 10 "^x11: item list window closed" || fail "Esc did not close the item list"
    same_file "$INI" "$WORK/before.ini" "after Delete and Esc"

    open_list
    click_row frmList lst Alpha
    key Delete                      # Bravo Charlie Delta
    click_row_at frmList lst 0
    key KP_Subtract                 # Charlie Delta
    click_row_at frmList lst 0
    key ctrl+x                      # Delta
    wait_for 5 clip_has Charlie || fail "Ctrl+X: the clipboard holds '$("$CLIPTEXT" 2>/dev/null)'"
    click_row_at frmList lst 1      # the end row
    key ctrl+v                      # Delta Charlie
    click_row_at frmList lst 0
    key ctrl+c
    wait_for 5 clip_has Delta || fail "Ctrl+C: the clipboard holds '$("$CLIPTEXT" 2>/dev/null)'"
    click_row_at frmList lst 2      # the end row
    key ctrl+v                      # Delta Charlie Delta
    # Space edits the current item: its name becomes Echo, Enter is OK.
    click_row_at frmList lst 1
    mark
    key space
    wait_for 10 window_of "Edit Item" || fail "Space did not open the editor"
    shown frmEditItem cmdCancel
    wait_for 5 field_is txtDesc Charlie || fail "the editor shows '$(read_field txtDesc)' (Charlie wanted)"
    key ctrl+a
    xdotool type --delay 40 Echo
    key Return
    wait_for 10 sh -c "! xdotool search --name '^Edit Item\$'" || fail "Enter did not close the editor"
    # Enter in the list edits too; Esc leaves the item as it was.
    click_row_at frmList lst 0
    mark
    key Return
    wait_for 10 window_of "Edit Item" || fail "Enter in the list did not open the editor"
    shown frmEditItem cmdCancel
    key Escape
    wait_for 10 sh -c "! xdotool search --name '^Edit Item\$'" || fail "Esc did not close the editor"
    # Keypad plus adds; Esc in the editor adds nothing.
    mark
    key KP_Add
    wait_for 10 window_of "Add Item" || fail "keypad plus did not open the editor"
    shown frmEditItem cmdCancel
    key Escape
    wait_for 10 sh -c "! xdotool search --name '^Add Item\$'" || fail "Esc did not close the editor"
    # Enter with the focus on a button is OK.
    wait_for 10 active_is Replywick || fail "the list window is not in front again"
    key Tab
    mark
    key Return
    wait_line 10 "^x11: item list window closed" || fail "Enter did not close the item list"
    [ "$(descs)" = "Delta Echo Delta" ] || fail "after the keys and Enter the file holds: $(descs)"
}

# The About window by keys: Enter is OK; the program's name, clicked,
# shows a message box (where the program and its settings file are) that
# Enter closes, back to the About window; Esc closes the window.
scenario_about_keys() {
    ini_of "$INI" Alpha
    start_rw
    local pass about
    for pass in Return Escape; do
        mark
        menu about
        wait_line 10 "^x11: about window open" || fail "About did not open"
        shown frmAbout cmdOK
        wait_for 10 active_is Information || fail "the About window is not in front"
        about=$(xdotool getactivewindow)
        if [ "$pass" = Escape ]; then
            # The message box has the About window's caption.
            click_ctl frmAbout lblApp
            wait_for 10 sh -c "[ \"\$(xdotool getactivewindow)\" != $about ]" ||
                fail "no message box after a click on the program's name"
            active_is Information || fail "the message box is called '$(xdotool getactivewindow getwindowname)'"
            key Return
            wait_for 10 sh -c "[ \"\$(xdotool getactivewindow)\" = $about ]" ||
                fail "the About window did not come back to the front"
            ! seen "^x11: about window closed" || fail "Enter in the message box closed the About window"
        fi
        key "$pass"
        wait_line 10 "^x11: about window closed" || fail "$pass did not close the About window"
    done
}

# system_locale LINE: the program is started seeing LINE as the whole of
# the system's locale files (/etc/default/locale, /etc/locale.conf, where
# they exist), bound over them in a mount namespace of its own; false when
# no namespace can be made here.
system_locale() {
    local f binds="" opt=-m
    printf '%s\n' "$1" >"$WORK/locale"
    for f in /etc/default/locale /etc/locale.conf; do
        [ -e "$f" ] && binds+="mount --bind '$WORK/locale' '$f' && "
    done
    # A user maps themselves to root inside a user namespace to mount.
    [ "$(id -u)" -eq 0 ] || opt=-rm
    RW_WRAP=(unshare "$opt" sh -c "${binds}exec \"\$@\"" sh)
    LOCALE_FILES=${binds:+yes}
    "${RW_WRAP[@]}" true 2>/dev/null
}

# German for German locales, English otherwise, the system's choice (its
# locale file) before the environment's: the item editor's caption tells
# which texts the windows got. (The trace names controls, not their texts;
# the buttons' texts are seen in docs/screenshots.)
scenario_language() {
    system_locale "# none" || { echo "SKIP: no mount namespace for a locale file of our own"; exit 77; }
    ini_of "$INI" Alpha
    local lang file env caption
    # LANG in the locale file and in the environment ("-": none in the file).
    for lang in "de_DE.UTF-8 en_US.UTF-8" "en_US.UTF-8 de_DE.UTF-8" "- de_AT.UTF-8" "- fr_FR.UTF-8"; do
        read -r file env <<<"$lang"
        if [ "$file" = - ]; then
            system_locale "# no LANG here"
            file=$env
        else
            system_locale "LANG=$file"
            [ -n "$LOCALE_FILES" ] || { echo "no system locale file here: '$lang' not tried"; continue; }
        fi
        case $file in
            de_*) caption="Eintrag hinzufügen" ;;
            *) caption="Add Item" ;;
        esac
        start_rw -u LC_ALL -u LC_MESSAGES LANG="$env"
        open_list
        ctl frmList cmdAdd
        mark
        click_at $POS
        # xdotool compares window names byte by byte against its own idea
        # of them: the editor is found by the ASCII parts of its captions,
        # and its UTF-8 name read from _NET_WM_NAME.
        wait_for 10 editor_window || fail "Add did not open the item editor ($lang)"
        shown frmEditItem cmdCancel
        [ "$(utf8_name "$(editor_window)")" = "$caption" ] ||
            fail "with '$lang' (file, environment) the editor is called '$(utf8_name "$(editor_window)")' ('$caption' wanted)"
        click_ctl frmEditItem cmdCancel
        wait_for 10 sh -c "! xdotool search --name '^(Add Item|Eintrag hinzuf.*)\$'" || fail "the editor stayed open"
        close_list cmdCancel
        stop_rw
        [ "$RW_RC" -eq 0 ] || fail "the program ended with $RW_RC ($lang)"
    done
    RW_WRAP=()
}

# ---- Scenarios: what a user meets first ------------------------------------

# open_editor BUTTON CAPTION: Add or Edit from the list window; waits until
# the editor has shown its controls.
open_editor() {
    ctl frmList "$1"
    mark
    click_at $POS
    wait_for 10 window_of "$2" || fail "$1 did not open the item editor"
    shown frmEditItem cmdCancel
}

# The editor as the keyboard meets it: the normal pointer once it is open,
# Tab in the message text moves on to the module, Ctrl+Enter starts a new
# line there and Enter is OK; a token double-clicked in the list replaces
# the part of the macro that was selected.
scenario_editor_keys() {
    ini_of "$INI" Alpha
    start_rw
    open_list
    click_row frmList lst Alpha
    open_editor cmdEdit "Edit Item"
    wait_line 10 "^x11: pointer frmEditItem " || fail "no trace of the editor's pointer"
    since_mark | grep -q "^x11: pointer frmEditItem normal" ||
        fail "the editor opened with the wait pointer: $(since_mark | grep '^x11: pointer')"

    click_ctl frmEditItem txtMacro
    xdotool key ctrl+a
    xdotool type --delay 30 "abc XYZ"
    xdotool key shift+Left shift+Left shift+Left
    row frmEditItem lstMisc "{Dialog Yes}"
    # shellcheck disable=SC2086
    xdotool mousemove $POS click --repeat 2 --delay 80 1
    wait_for 5 field_is txtMacro "abc {Dialog Yes}" ||
        fail "the token did not replace the selection: '$(read_field txtMacro)'"

    click_ctl frmEditItem txtModul
    xdotool key ctrl+a BackSpace
    click_ctl frmEditItem txtText
    xdotool key ctrl+a BackSpace
    xdotool type --delay 30 "one"
    xdotool key ctrl+Return
    xdotool type --delay 30 "two"
    xdotool key Tab
    xdotool type --delay 30 "mod"
    wait_for 5 field_is txtModul "mod" || fail "Tab in the message text did not reach the module: '$(read_field txtModul)'"
    [ "$(read_field txtText)" = "$(printf 'one\ntwo')" ] || fail "the message text holds '$(read_field txtText)'"

    click_ctl frmEditItem txtText
    xdotool key ctrl+End Return
    wait_for 10 sh -c "! xdotool search --name '^Edit Item\$'" || fail "Enter in the message text did not close the editor"
    close_list cmdOK
    local text
    text=$(tr -d '\r' <"$INI")
    case "$text" in
        *$'Text=one\nText=two\nModul=mod\n'*"Macro=abc {Dialog Yes}"*) ;;
        *) fail "the settings file after Enter and OK: $text" ;;
    esac
}

# Enter with Cancel focused is Cancel, in the editor and in the list window,
# as in any dialog; the Tab order leads there.
scenario_enter_on_cancel() {
    ini_of "$INI" Alpha
    cp "$INI" "$WORK/before.ini"
    start_rw
    open_list
    click_row frmList lst Alpha
    open_editor cmdEdit "Edit Item"
    click_ctl frmEditItem txtDesc
    xdotool key ctrl+a
    xdotool type --delay 30 "Renamed"
    # Name, title, title test, class, text, module, macro, keys, OK, Cancel.
    local i
    for i in 1 2 3 4 5 6 7 8 9; do xdotool key Tab; sleep 0.05; done
    xdotool key Return
    wait_for 10 sh -c "! xdotool search --name '^Edit Item\$'" || fail "Enter on Cancel did not close the editor"
    # The list window: Tab from the list to OK, then to Cancel.
    click_row frmList lst Alpha
    xdotool key Tab Tab
    mark
    xdotool key Return
    wait_line 10 "^x11: item list window closed" || fail "Enter on Cancel did not close the item list"
    same_file "$INI" "$WORK/before.ini" "after Enter on Cancel"
}

# Each settings window is a fixed dialog: its Motif hints offer neither
# minimise nor maximise (functions and title-bar buttons), it is a dialog,
# and its minimum and maximum size are its size, so the window manager
# offers no maximise. (Openbox, the window manager here, keeps its iconify
# button whatever the hints say; GNOME's, KDE's and Xfce's honour them.)
scenario_fixed_dialogs() {
    ini_of "$INI" Alpha
    start_rw
    open_list
    check_fixed "the item list"
    open_editor cmdAdd "Add Item"
    check_fixed "the item editor"
    click_ctl frmEditItem cmdCancel
    wait_for 10 sh -c "! xdotool search --name '^Add Item\$'" || fail "Cancel did not close the editor"
    close_list cmdCancel
    mark
    menu about
    wait_line 10 "^x11: control frmAbout cmdOK " || fail "About did not open"
    check_fixed "About"
}

# check_fixed WHAT: the active window's hints are those of a fixed dialog.
check_fixed() {
    local id actions hints mwm flags functions decorations
    wait_for 5 xdotool getactivewindow || fail "no active window for $1"
    id=$(xdotool getactivewindow)
    wait_for 5 sh -c "xprop -id $id _NET_WM_ALLOWED_ACTIONS | grep -q ACTION_CLOSE" ||
        fail "$1: the window manager set no allowed actions"
    xprop -id "$id" _NET_WM_WINDOW_TYPE | grep -q "= _NET_WM_WINDOW_TYPE_DIALOG" || fail "$1 is no dialog"
    # Flags, functions, decorations: minimise is 0x8 and maximise 0x10 among
    # the functions, 0x20 and 0x40 among the decorations.
    mwm=$(xprop -id "$id" _MOTIF_WM_HINTS | sed -n 's/.*= *//p' | tr -d ' ')
    IFS=, read -r flags functions decorations _ <<<"$mwm"
    [ -n "$decorations" ] && (( (flags & 3) == 3 )) || fail "$1 has no Motif functions and decorations: '$mwm'"
    (( (functions & 0x18) == 0 && (functions & 1) == 0 )) || fail "$1 offers minimise or maximise: functions $functions"
    (( (decorations & 0x60) == 0 && (decorations & 1) == 0 )) ||
        fail "$1 asks for minimise or maximise buttons: decorations $decorations"
    actions=$(xprop -id "$id" _NET_WM_ALLOWED_ACTIONS)
    case "$actions" in
        *MAXIMIZE* | *RESIZE*) fail "$1 may be maximised or resized: $actions" ;;
    esac
    hints=$(xprop -id "$id" WM_NORMAL_HINTS)
    local min max
    min=$(echo "$hints" | sed -n 's/.*minimum size: *//p')
    max=$(echo "$hints" | sed -n 's/.*maximum size: *//p')
    [ -n "$min" ] && [ "$min" = "$max" ] || fail "$1 is not of fixed size: $hints"
}

# Items written by hand in a Linux editor (LF line breaks) paste as the
# same items with CR LF would; the file keeps CR LF.
scenario_paste_lf() {
    ini_of "$INI" Alpha
    start_rw
    open_list
    printf '[Item]\nDesc=Hand\nTitle=Hand Made\nTitleTestType=0\nClass=Zenity\nText=first\nText=second\nModul=\nSize=\nMacro={Dialog Yes}\nDelay=500\n\n' \
        >"$WORK/hand.txt"
    "$CLIPTEXT" --set "$WORK/hand.txt" >"$WORK/clip.out" 2>/dev/null &
    PIDS+=($!)
    wait_for 10 grep -q set "$WORK/clip.out" || fail "the clipboard helper did not start"
    click_row frmList lst Alpha
    xdotool key ctrl+v
    close_list cmdOK
    local want="$WORK/want.ini"
    ini_begin "$want"
    printf '[Item]\r\nDesc=Hand\r\nTitle=Hand Made\r\nTitleTestType=0\r\nClass=Zenity\r\nText=first\r\nText=second\r\nModul=\r\nSize=\r\nMacro={Dialog Yes}\r\nDelay=500\r\n\r\n' >>"$want"
    ini_item "$want" Alpha "RW never Alpha" NoSuchClass "Alpha{ENTER}"
    ini_end "$want"
    same_file "$INI" "$want" "after pasting LF text"
}

# No text of a settings window is cut, in either language: the program's
# trace names every label, frame and button whose text needs more room than
# it has.
scenario_texts_fit() {
    local f
    for f in /etc/default/locale /etc/locale.conf; do
        if [ -r "$f" ] && grep -q '^[[:space:]]*LANG=' "$f"; then
            echo "SKIP: $f sets the language; the environment cannot choose it here"
            exit 77
        fi
    done
    ini_of "$INI" Alpha
    local lang caption
    for lang in en_US.UTF-8 de_DE.UTF-8; do
        case $lang in
            de_*) caption="Eintrag bearbeiten" ;;
            *) caption="Edit Item" ;;
        esac
        start_rw -u LC_ALL -u LC_MESSAGES LANG="$lang"
        open_list
        click_row frmList lst Alpha
        ctl frmList cmdEdit
        mark
        click_at $POS
        wait_for 10 sh -c "xdotool search --name '^(Edit Item|Eintrag bearbeiten)\$'" || fail "no editor ($lang)"
        shown frmEditItem cmdCancel
        click_ctl frmEditItem cmdCancel
        wait_for 10 sh -c "! xdotool search --name '^(Edit Item|Eintrag bearbeiten)\$'" || fail "the editor stayed open"
        close_list cmdCancel
        mark
        menu about
        wait_line 10 "^x11: control frmAbout cmdOK " || fail "About did not open ($lang)"
        click_ctl frmAbout cmdOK
        stop_rw
        if grep -q "^x11: cut " "$WORK/rw.log"; then
            fail "texts cut with LANG=$lang: $(grep '^x11: cut ' "$WORK/rw.log" | sort -u | tr '\n' ';')"
        fi
        grep -q "^x11: pointer frmEditItem" "$WORK/rw.log" || fail "the editor was not traced ($lang)"
    done
}

# ---- Scenarios: a way in without a tray (no tray host runs) -----------------

# start_rw_no_tray [ARG...]: starts the program with those arguments (and
# /d) while no tray host runs; waits for its main window.
start_rw_no_tray() {
    RW_X11_TRACE=1 "$WORK/app/replywick" /d "$@" >"$WORK/rw.log" 2>&1 &
    RW_PID=$!
    MARK=0
    wait_for 10 sh -c 'xwininfo -root -tree | grep -q "\"Replywick MainForm\""' ||
        fail "replywick did not create its main window"
}

# second_start ARG...: another start with these arguments; it must end at
# once with status 0.
second_start() {
    local rc
    timeout 20 "$WORK/app/replywick" "$@" >"$WORK/second.log" 2>&1
    rc=$?
    [ $rc -eq 0 ] || fail "replywick $* ended with $rc: $(cat "$WORK/second.log")"
}

# The user is told how to reach the settings, and "replywick --settings"
# and "--about" open the running program's windows; a start without a
# switch stays silent.
scenario_no_tray_windows() {
    ini_of "$INI" Alpha
    start_rw_no_tray
    wait_line 15 "^x11: no tray host, told" || fail "nobody was told that there is no tray"
    in_log "replywick --settings" || fail "the message does not say how to reach the settings"
    mark
    second_start --settings
    wait_line 10 "^x11: item list window open" || fail "--settings did not open the item list"
    shown frmList cmdDelete
    # Asked again while it is open: no second window, the program goes on.
    second_start --about
    close_list cmdCancel
    since_mark | grep -q "^x11: control frmAbout" && fail "About opened over the item list"
    mark
    second_start --about
    wait_line 10 "^x11: control frmAbout cmdOK " || fail "--about did not open About"
    click_ctl frmAbout cmdOK
    mark
    second_start
    [ -s "$WORK/second.log" ] && fail "a plain second start said: $(cat "$WORK/second.log")"
    sleep 0.5
    since_mark | grep -q "^x11: request" && fail "a plain second start sent a request"
    kill -0 "$RW_PID" || fail "the running program ended"
    stop_rw
    [ "$RW_RC" -eq 0 ] || fail "the program ended with $RW_RC"
}

# With nothing running, "--settings" starts Replywick and opens the list;
# the very first start without a settings file and without a tray opens
# it by itself.
scenario_no_tray_first_start() {
    ini_of "$INI" Alpha
    start_rw_no_tray --settings
    wait_line 10 "^x11: item list window open" || fail "--settings did not start Replywick with the item list"
    shown frmList cmdDelete
    close_list cmdCancel
    stop_rw
    rm -f "$INI"
    start_rw_no_tray
    wait_line 15 "^x11: item list window open" || fail "the first start without a tray did not open the item list"
    shown frmList cmdDelete
    close_list cmdCancel
    stop_rw
    [ "$RW_RC" -eq 0 ] || fail "the program ended with $RW_RC"
}

# "replywick --diagnose": one line per fact with its verdict, status 0 when
# everything needed is there; what a tray host, a running instance and an
# unreadable settings file change.
scenario_no_tray_diagnose() {
    ini_of "$INI" Alpha Bravo
    local out rc
    out=$("$WORK/app/replywick" --diagnose 2>&1)
    rc=$?
    echo "$out"
    [ $rc -eq 0 ] || fail "--diagnose ended with $rc"
    grep -q "^ok .*window system: X11 on display $DISPLAY" <<<"$out" || fail "no window system line"
    grep -q "^ok .*accessibility bus: reachable" <<<"$out" || fail "the accessibility bus was not found"
    grep -q "^[a-z]* *Qt programs: " <<<"$out" || fail "nothing said about Qt programs"
    grep -q "^limited tray host: none" <<<"$out" || fail "a tray host was seen where none runs"
    grep -q "^ok .*settings file: $INI: 2 items\$" <<<"$out" || fail "the settings file was not seen"
    grep -q "^ok .*another Replywick: none runs" <<<"$out" || fail "another Replywick was seen"
    [ "$(wc -l <<<"$out")" -eq 6 ] || fail "not one line per fact"

    start_trayer
    start_rw
    out=$("$WORK/app/replywick" --diagnose 2>&1) || fail "--diagnose with Replywick running ended with $?"
    grep -q "^ok .*tray host: present" <<<"$out" || fail "the tray host was not seen: $out"
    grep -q "^ok .*another Replywick: runs" <<<"$out" || fail "the running Replywick was not seen: $out"
    stop_rw

    # A file every user may change is neither read nor written.
    chmod 666 "$INI"
    out=$("$WORK/app/replywick" --diagnose 2>&1)
    rc=$?
    chmod 600 "$INI"
    [ $rc -eq 1 ] || fail "--diagnose with a settings file anybody may change ended with $rc: $out"
    grep -q "^FAILS   settings file: $INI: other users can change it" <<<"$out" || fail "the file was not named: $out"
}

[ -n "$SCENARIO" ] || fail "usage: settings_e2e.sh SCENARIO"
declare -F "scenario_$SCENARIO" >/dev/null || fail "no scenario $SCENARIO"
case $SCENARIO in
    no_tray_*) ;;
    *) start_trayer ;;
esac
"scenario_$SCENARIO"
echo "PASS: $SCENARIO"
