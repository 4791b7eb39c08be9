# The Wayland end-to-end scenarios; run.sh NAME runs one of them. On
# Wayland the class is the app id: zenity, not Zenity as on X11.

scenario_typing() {
    ini_begin
    ini_item "entry" "RW Entry" 0 zenity "" "" "" "Grüße, 10 €{ENTER}" 0
    start_rw
    timeout 20 zenity --entry --title="RW Entry" --text="Type here" >"$WORK/out.txt" 2>/dev/null
    local rc=$?
    [ $rc -eq 0 ] || fail "zenity ended with $rc (not answered with Enter)"
    [ "$(cat "$WORK/out.txt")" = "Grüße, 10 €" ] || fail "typed text arrived as '$(cat "$WORK/out.txt")'"
}

# 2,000 characters: ASCII, Latin-1, Greek, Cyrillic, CJK and more, over a
# hundred of them not on the layout, so that spare keys change their
# keysyms on the way.
mixed_text() {
    python3 - <<'PY'
import random
rng = random.Random(17)
ascii_ = [chr(c) for c in range(0x20, 0x7F) if chr(c) not in "{}"]
latin1 = [chr(c) for c in range(0xA1, 0x100) if c != 0xAD]
others = list("ΑΒΓΔΩαβγδωЖЯжяЩщŁłŻżŠšČčĞğ中文日本語한국어אבגعربي€‰†‡") + [chr(c) for c in range(0x4E00, 0x4E40)]
out = []
while len(out) < 2000:
    pool = rng.choice((ascii_, ascii_, latin1, others))
    out.append(rng.choice(pool))
text = "".join(out).strip()
print(text[:2000], end="")
PY
}

scenario_typing_mixed() {
    local text
    text=$(mixed_text)
    [ "${#text}" -ge 1990 ] || fail "the text is ${#text} characters long"
    ini_begin
    ini_item "mixed" "RW Mixed" 0 zenity "" "" "" "$text{ENTER}" 0
    start_rw
    timeout 90 zenity --entry --title="RW Mixed" --text="Type here" >"$WORK/out.txt" 2>"$WORK/zenity.err" ||
        fail "zenity was not answered (exit $?): $(tail -3 "$WORK/zenity.err")"
    local got
    got=$(cat "$WORK/out.txt")
    if [ "$got" != "$text" ]; then
        printf '%s' "$text" >"$WORK/want.txt"
        printf '%s' "$got" >"$WORK/got.txt"
        fail "typed ${#got} of ${#text} characters; $(python3 - "$WORK/want.txt" "$WORK/got.txt" <<'PY'
import sys
a = open(sys.argv[1], encoding="utf-8").read()
b = open(sys.argv[2], encoding="utf-8").read()
i = next((k for k in range(min(len(a), len(b))) if a[k] != b[k]), min(len(a), len(b)))
print("first difference at character %d: wanted %r, got %r" % (i, a[max(0, i - 5):i + 10], b[max(0, i - 5):i + 10]))
PY
)"
    fi
}

scenario_namedkeys() {
    # Cursor keys, deletion, and a Ctrl combination (select all) in order.
    ini_begin
    ini_item "edit" "RW Edit" 0 zenity "" "" "" "abcd{LEFT}{LEFT}{BACK}X{END}e{HOME}{DEL}{ENTER}" 0
    ini_item "ctrl" "RW Ctrl" 0 zenity "" "" "" "gone soon{CTRL}a{DEL}kept{ENTER}" 0
    ini_item "select" "RW Select" 0 zenity "" "" "" "gone soon{CTRL}aß ok{ENTER}" 0
    start_rw
    timeout 20 zenity --entry --title="RW Edit" --text="Edit" >"$WORK/out.txt" 2>/dev/null ||
        fail "zenity was not answered"
    [ "$(cat "$WORK/out.txt")" = "Xcde" ] || fail "edited text is '$(cat "$WORK/out.txt")', wanted 'Xcde'"
    timeout 20 zenity --entry --title="RW Ctrl" --text="Edit" >"$WORK/ctrl.txt" 2>/dev/null ||
        fail "the second zenity was not answered"
    [ "$(cat "$WORK/ctrl.txt")" = "kept" ] || fail "after Ctrl+A: '$(cat "$WORK/ctrl.txt")', wanted 'kept'"
    # A character off the layout replaces the selection as a key would.
    timeout 20 zenity --entry --title="RW Select" --text="Edit" >"$WORK/select.txt" 2>/dev/null ||
        fail "the third zenity was not answered"
    [ "$(cat "$WORK/select.txt")" = "ß ok" ] || fail "after Ctrl+A: '$(cat "$WORK/select.txt")', wanted 'ß ok'"
}

scenario_dialog_text() {
    # The message text decides between two items of the same title.
    ini_begin
    ini_item "other text" "RW Question" 0 zenity "Something else" "" "" "{Dialog Yes}" 0
    ini_item "this text" "RW Question" 0 zenity "Remove the old backups?" "" "" "{Dialog No}" 0
    start_rw
    zenity_bg --question --title="RW Question" --text="Remove the old backups?"
    expect_exit 1 "{Dialog No}" "$LAST_PID"
    grep -q " Hit: RW Question" "$WORK/rw.log" || fail "no hit in the log"
}

scenario_module() {
    # The program's file, through the process the accessibility bus names.
    local path
    path=$(readlink -f "$(command -v zenity)" | tr '[:lower:]' '[:upper:]')
    ini_begin
    ini_item "wrong module" "RW Module" 0 zenity "" "/usr/bin/not-this-one" "" "wrong{ENTER}" 0
    ini_item "module" "RW Module" 0 zenity "" "$path" "" "right{ENTER}" 0
    start_rw
    timeout 20 zenity --entry --title="RW Module" --text="Which?" >"$WORK/out.txt" 2>/dev/null ||
        fail "zenity was not answered"
    [ "$(cat "$WORK/out.txt")" = "right" ] || fail "answered '$(cat "$WORK/out.txt")', wanted 'right'"
}

scenario_window_close() {
    ini_begin
    ini_item "close" "RW Close" 0 zenity "" "" "" "{Window Close}" 0
    start_rw
    zenity_bg --info --title="RW Close" --text="Close me"
    local rc
    exit_of 10 "$LAST_PID"; rc=$?
    [ "$rc" -ne 255 ] || fail "{Window Close} did not close the dialog"
}

scenario_gone_during_delay() {
    # The matched dialog ends while its item waits; the window that comes to
    # the front then, and the next one, get nothing.
    ini_begin
    ini_item "slow" "RW Gone" 0 zenity "" "" "" "gone{ENTER}" 1500
    start_rw
    entry "RW Base" "$WORK/base.txt" 30
    local base=$LAST_PID
    wait_for 10 focused_is "RW Base" || fail "the base dialog did not come up"
    entry "RW Gone" "$WORK/gone.txt" 30
    local gone=$LAST_PID
    wait_for 10 grep -q " Hit: RW Gone" "$WORK/rw.log" || fail "the dialog was not matched"
    kill "$gone"
    wait "$gone" 2>/dev/null
    entry "RW Next" "$WORK/next.txt" 30
    local next=$LAST_PID
    wait_for 10 focused_is "RW Next" || fail "the next dialog did not come up"
    sleep 2.5
    kill -0 "$base" 2>/dev/null || fail "the base dialog was answered: '$(cat "$WORK/base.txt")'"
    kill -0 "$next" 2>/dev/null || fail "the next dialog was answered: '$(cat "$WORK/next.txt")'"
    [ -z "$(cat "$WORK/base.txt" "$WORK/next.txt")" ] || fail "text arrived: $(cat "$WORK/base.txt" "$WORK/next.txt")"
}

scenario_focus_mid_macro() {
    # Another window takes the focus during a pause of the macro: the rest
    # of the macro must not be typed anywhere.
    ini_begin
    ini_item "target" "RW Target" 0 zenity "" "" "" "ab{DELAY=1500}cd{ENTER}" 0
    start_rw
    entry "RW Target" "$WORK/target.txt" 30
    local target=$LAST_PID
    wait_for 10 grep -q "SendKeys: ab{DELAY=1500}" "$WORK/rw.log" || fail "the macro did not start"
    entry "RW Other" "$WORK/other.txt" 30
    local other=$LAST_PID
    # Whether a new window takes the focus from one the user types in is
    # the window manager's policy (KWin's focus-stealing prevention): where
    # the compositor's file gives it the focus, the scenario does not hang
    # on that policy.
    if declare -F focus_new_window >/dev/null; then
        wait_for 10 window_is "RW Other" || fail "the other dialog did not come up"
        focus_new_window "RW Other"
    fi
    wait_for 10 focused_is "RW Other" || fail "the other dialog did not take the focus"
    wait_for 10 grep -q "SendKeys stopped" "$WORK/rw.log" || fail "the macro was not reported as stopped"
    sleep 1.5
    kill -0 "$other" 2>/dev/null || fail "the other dialog was answered: '$(cat "$WORK/other.txt")'"
    kill -0 "$target" 2>/dev/null || fail "the target was answered: '$(cat "$WORK/target.txt")'"
}

scenario_back_to_back() {
    # Dialogs opened one after the other, each by a new program once the one
    # before has ended; every one must be answered. Every other item keeps
    # the program busy with a pause while its dialog ends and the next one
    # comes up.
    local count=${RW_SEQ_COUNT:-100}
    ini_begin
    ini_item "busy" "RW Seq Busy" 1 zenity "" "" "" "ok{ENTER}{DELAY=800}" 0
    ini_item "seq" "RW Seq" 1 zenity "" "" "" "ok{ENTER}" 0
    start_rw
    local i rc out title
    for i in $(seq 1 "$count"); do
        title="RW Seq $i"
        [ $((i % 2)) -eq 1 ] && title="RW Seq Busy $i"
        timeout 8 zenity --entry --title "$title" --text "Answer $i" >"$WORK/seq.txt" 2>/dev/null
        rc=$?
        out=$(cat "$WORK/seq.txt")
        [ $rc -eq 0 ] && [ "$out" = ok ] || fail "dialog $i of $count was not answered (exit $rc, text '$out')"
    done
    # Every dialog had a handle of its own: none is ever given again.
    local handles distinct
    handles=$(grep -c "wayland: shell notification 1 " "$WORK/rw.log")
    distinct=$(grep "wayland: shell notification 1 " "$WORK/rw.log" | awk '{ print $NF }' | sort -u | wc -l)
    [ "$handles" -ge "$count" ] && [ "$handles" -eq "$distinct" ] ||
        fail "$handles new windows, $distinct handles among them"
    echo "$count dialogs answered, each under a handle of its own"
}

scenario_tray_settings() {
    # The icon sits in swaybar's tray: a click (Activate) switches
    # answering off, the menu's Settings opens the item list.
    command -v wtype >/dev/null || { echo "SKIP: wtype is not installed"; exit 77; }
    ini_begin
    ini_item "entry" "RW Entry" 0 zenity "" "" "" "x{ENTER}" 0
    start_rw
    wait_for 10 tray_item || fail "the tray host has no icon of the program"
    local item
    item=$(tray_item)
    dbus-send --session --print-reply --dest="$item" /StatusNotifierItem \
        org.kde.StatusNotifierItem.Activate int32:10 int32:10 >/dev/null || fail "the icon took no click"
    wait_for 10 grep -q "wayland: tray icon modify off" "$WORK/rw.log" || fail "a click did not switch answering off"
    open_settings "$item"
}

# open_settings ITEM: the tray icon's menu, then Settings.
open_settings() {
    # The menu is modal: its call is answered once it closes.
    dbus-send --session --print-reply --reply-timeout=60000 --dest="$1" /StatusNotifierItem \
        org.kde.StatusNotifierItem.ContextMenu int32:10 int32:10 >/dev/null 2>&1 &
    track $!
    sleep 1
    # About, Settings.
    wtype -k Down && sleep 0.2 && wtype -k Down && sleep 0.2 && wtype -k Return
    wait_for 10 grep -q "wayland: item list window open" "$WORK/rw.log" || fail "Settings did not open the item list"
    wait_for 10 window_is "Replywick" || fail "no item list window on the screen: $(toplevels)"
}

scenario_capture() {
    # The search tool on Wayland: pressed (from the keyboard here), then the
    # dialog is brought to the front; its facts fill in and, after OK and
    # OK, stand in the settings file.
    command -v wtype >/dev/null || { echo "SKIP: wtype is not installed"; exit 77; }
    ini_begin
    start_rw
    wait_for 10 tray_item || fail "the tray host has no icon of the program"
    zenity_bg --question --title="RW Story" --text="Overwrite the file?"
    local story=$LAST_PID
    wait_for 10 focused_is "RW Story" || fail "the dialog did not come up"
    open_settings "$(tray_item)"
    wtype -M alt a -m alt
    wait_for 10 focused_is "Add Item" || fail "Add did not open the item editor: $(toplevels)"
    sleep 0.5
    # The tool is last in the tab order.
    wtype -M shift -k Tab -m shift && sleep 0.2 && wtype -k space
    sleep 0.5
    swaymsg -q "[title=\"^RW Story\$\"] focus"
    wait_for 10 focused_is "RW Story" || fail "the dialog did not come to the front"
    sleep 1
    swaymsg -q "[title=\"^Add Item\$\"] focus"
    wait_for 10 focused_is "Add Item" || fail "the editor did not come back"
    sleep 0.3
    # OK in the editor, OK in the list: the settings file is written.
    wtype -k Return
    wait_for 10 no_window "Add Item" || fail "the editor did not close: $(toplevels)"
    swaymsg -q "[title=\"^Replywick\$\"] focus"
    wait_for 10 focused_is "Replywick" || fail "the item list did not come back: $(toplevels)"
    # From the list to OK.
    wtype -k Tab && sleep 0.2 && wtype -k Return
    wait_for 10 grep -q "wayland: item list window closed" "$WORK/rw.log" || fail "the item list did not close: $(toplevels)"
    local module
    module=$(readlink -f "$(command -v zenity)")
    wait_for 10 grep -q "Title=RW Story" "$INI" || fail "no item for the dialog in the settings file: $(tr -d '\r' <"$INI")"
    grep -q "Class=zenity" "$INI" || fail "class: $(grep Class= "$INI")"
    grep -q "Text=Overwrite the file?" "$INI" || fail "text: $(grep Text= "$INI")"
    grep -qi "Modul=$module" "$INI" || fail "module: $(grep Modul= "$INI") ($module wanted)"
    kill "$story"
}

scenario_second_instance() {
    ini_begin
    start_rw
    local rc
    REPLYWICK_WINDOW_SYSTEM=wayland timeout 30 "$WORK/app/replywick" /d >"$WORK/second.log" 2>&1
    rc=$?
    [ $rc -ne 124 ] || fail "second instance did not end"
    [ $rc -eq 0 ] || fail "second instance ended with $rc"
    [ ! -s "$WORK/second.log" ] || fail "second instance wrote: $(cat "$WORK/second.log")"
    kill -0 "$RW_PID" || fail "first instance is gone"
}

scenario_compositor_gone() {
    # The session ends by stopping the compositor: the program ends (Qt's
    # Wayland connection ends the process at once, past every exit
    # handler, so the file is not rewritten then; confirmed edits were
    # written when they were confirmed), and the items stay.
    printf '[Item]\nDesc=kept\nTitle=T\nClass=zenity\nMacro=y\n' >"$INI"
    start_rw
    kill "$SWAY_PID"
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "replywick outlived its compositor"
    RW_PID=""
    grep -q "Desc=kept" "$INI" || fail "item lost"
}

scenario_lock_keys() {
    # Characters arrive as written whatever the lock state the macro sets.
    ini_begin
    ini_item "locks" "RW Locks" 0 zenity "" "" "" "{CAPSLOCK+}aB1{NUMLOCK+}c{CAPSLOCK-}dE{ENTER}" 0
    start_rw
    timeout 20 zenity --entry --title="RW Locks" --text="Type here" >"$WORK/out.txt" 2>/dev/null ||
        fail "zenity was not answered"
    [ "$(cat "$WORK/out.txt")" = "aB1cdE" ] || fail "typed '$(cat "$WORK/out.txt")', wanted 'aB1cdE'"
}

scenario_no_key_stays_down() {
    # A macro stopped while it holds Shift (its target ends during a pause)
    # leaves no key down: the next dialog gets plain lower-case letters.
    ini_begin
    ini_item "held" "RW Held" 0 zenity "" "" "" "ab{SHIFT}{DELAY=3000}x" 0
    ini_item "next" "RW After" 0 zenity "" "" "" "cd{ENTER}" 0
    start_rw
    entry "RW Held" "$WORK/held.txt" 30
    local held=$LAST_PID
    wait_for 10 grep -q "SendKeys: ab{SHIFT}{DELAY=3000}x" "$WORK/rw.log" || fail "the macro did not start"
    sleep 0.5
    kill "$held"
    wait_for 10 grep -q "SendKeys stopped" "$WORK/rw.log" || fail "the macro was not stopped"
    timeout 20 zenity --entry --title="RW After" --text="Type here" >"$WORK/after.txt" 2>/dev/null ||
        fail "the next dialog was not answered"
    [ "$(cat "$WORK/after.txt")" = "cd" ] || fail "the next dialog got '$(cat "$WORK/after.txt")', wanted 'cd'"
}

scenario_kdialog() {
    # A Qt program (KDE's dialogs, app id org.kde.kdialog): an input box
    # typed into, characters off the layout included, and answered with
    # Enter; then one that its text tells from another of the same title,
    # answered by typing and pressing its OK button. Qt adds the program's
    # name to the title the window system shows ("RW KQuestion — KDialog"),
    # not to the one its accessible frame has.
    command -v kdialog >/dev/null || { echo "SKIP: kdialog is not installed"; exit 77; }
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    local question="RW KQuestion — KDialog"
    ini_begin
    ini_item "input" "RW KDialog" 0 org.kde.kdialog "" "" "" "Qt ok, Grüße 10 €{ENTER}" 0
    ini_item "other text" "$question" 0 org.kde.kdialog "Something else" "" "" "wrong{Dialog OK}" 0
    ini_item "question" "$question" 0 org.kde.kdialog "Delete the old backups?" "" "" "no{Dialog OK}" 0
    start_rw
    kdialog_answer "$WORK/out.txt" --title "RW KDialog" --inputbox "Type here"
    [ "$(cat "$WORK/out.txt")" = "Qt ok, Grüße 10 €" ] || fail "typed text arrived as '$(cat "$WORK/out.txt")'"
    kdialog_answer "$WORK/question.txt" --title "RW KQuestion" --inputbox "Delete the old backups?"
    [ "$(cat "$WORK/question.txt")" = "no" ] || fail "the question got '$(cat "$WORK/question.txt")', wanted 'no'"
    grep -q " Hit: $question" "$WORK/rw.log" || fail "no hit in the log"
}

# kdialog_answer OUT ARG...: kdialog, whose answer (a line it prints as the
# dialog closes) goes to OUT. Qt 5's Wayland platform (5.15.8) now and then
# hangs in its teardown after that, its window long gone: a kdialog still
# running a while after it answered is ended.
kdialog_answer() {
    local out=$1 pid
    shift
    kdialog "$@" >"$out" 2>"$WORK/kdialog.err" &
    pid=$!
    track $pid
    wait_for 30 test -s "$out" || fail "kdialog $* was not answered: $(tail -3 "$WORK/kdialog.err")"
    exit_of 10 "$pid" >/dev/null
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

scenario_session_locks() {
    # The seat's lock keys are the user's too (KWin): Caps Lock left on
    # before the program started still lets characters arrive as written.
    ini_begin
    ini_item "lock" "RW Lock On" 0 zenity "" "" "" "{CAPSLOCK+}xY{ENTER}" 0
    start_rw
    timeout 20 zenity --entry --title="RW Lock On" --text="Type here" >"$WORK/on.txt" 2>/dev/null ||
        fail "the first dialog was not answered"
    [ "$(cat "$WORK/on.txt")" = "xY" ] || fail "with Caps Lock on: '$(cat "$WORK/on.txt")', wanted 'xY'"
    kill "$RW_PID"
    wait "$RW_PID" 2>/dev/null
    RW_PID=""
    ini_begin
    ini_item "locked" "RW Locked" 0 zenity "" "" "" "aB1{ENTER}" 0
    start_rw
    timeout 20 zenity --entry --title="RW Locked" --text="Type here" >"$WORK/locked.txt" 2>/dev/null ||
        fail "the second dialog was not answered"
    [ "$(cat "$WORK/locked.txt")" = "aB1" ] || fail "typed '$(cat "$WORK/locked.txt")' under the session's Caps Lock, wanted 'aB1'"
}

scenario_session_layout() {
    # KWin with two layouts, the second (German) in use: KWin reads our
    # keys in the group it is in, so the keyboard looks up characters
    # there ("y" and "z" swap places; "ß" and "ö" have keys of their own,
    # "@" only one with AltGr, and arrives another way).
    printf '[Layout]\nLayoutList=us,de\nUse=true\n' >"$XDG_CONFIG_HOME/kxkbrc"
    dbus-send --session --type=signal /Layouts org.kde.keyboard.reloadConfig
    german() {
        dbus-send --session --print-reply --dest=org.kde.keyboard /Layouts org.kde.KeyboardLayouts.setLayout \
            uint32:1 | grep -q "boolean true"
    }
    wait_for 10 german || fail "KWin did not take the second layout"
    ini_begin
    ini_item "layout" "RW Layout" 0 zenity "" "" "" "yzYZ ßö@ ok{ENTER}" 0
    start_rw
    timeout 20 zenity --entry --title="RW Layout" --text="Type here" >"$WORK/out.txt" 2>/dev/null ||
        fail "zenity was not answered"
    [ "$(cat "$WORK/out.txt")" = "yzYZ ßö@ ok" ] || fail "typed '$(cat "$WORK/out.txt")', wanted 'yzYZ ßö@ ok'"
}

scenario_window_states() {
    # {Window Minimize} and {Window Maximize}, as the compositor's file
    # tells the window's state.
    declare -F window_state >/dev/null || { echo "SKIP: $RW_COMPOSITOR tells no window states here"; exit 77; }
    ini_begin
    ini_item "minimize" "RW Minimize" 0 zenity "" "" "" "{Window Minimize}" 0
    ini_item "maximize" "RW Maximize" 0 zenity "" "" "" "{Window Maximize}" 0
    start_rw
    zenity_bg --text-info --title="RW Minimize"
    is_state() { [ "$(window_state "$1")" = "$2" ]; }
    wait_for 10 is_state "RW Minimize" minimized || fail "not minimised: $(window_state "RW Minimize")"
    zenity_bg --text-info --title="RW Maximize"
    wait_for 10 is_state "RW Maximize" maximized || fail "not maximised: $(window_state "RW Maximize")"
}

scenario_ended_holding_shift() {
    # The program is ended (SIGTERM, as at logout) while a macro holds
    # Shift: it lets go before it ends, so that the next program's keys
    # (here: the next instance's) come out plain. KWin keeps a fake key
    # held as long as no one releases it, even after its client is gone
    # (a program killed outright leaves it held).
    ini_begin
    ini_item "held" "RW Held" 0 zenity "" "" "" "ab{SHIFT}{DELAY=5000}x" 0
    start_rw
    entry "RW Held" "$WORK/held.txt" 30
    wait_for 10 grep -q "SendKeys: ab{SHIFT}{DELAY=5000}x" "$WORK/rw.log" || fail "the macro did not start"
    sleep 0.5
    kill "$RW_PID"
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "replywick did not end"
    RW_PID=""
    kill "$LAST_PID"
    ini_begin
    ini_item "next" "RW After" 0 zenity "" "" "" "cd{ENTER}" 0
    start_rw
    timeout 20 zenity --entry --title="RW After" --text="Type here" >"$WORK/after.txt" 2>/dev/null ||
        fail "the next dialog was not answered"
    [ "$(cat "$WORK/after.txt")" = "cd" ] || fail "the next dialog got '$(cat "$WORK/after.txt")', wanted 'cd'"
}

# ---- Keys through the accessibility bus --------------------------------------
# The scenarios below type through the accessibility bus
# (REPLYWICK_WAYLAND_KEYS=accessible): characters and Enter only. On a
# compositor that tells its windows to no one (mutter) the windows come
# from the bus as well.

a11y_keys() { export REPLYWICK_WAYLAND_KEYS=accessible; }

scenario_typing_a11y() { a11y_keys; scenario_typing; }
scenario_dialog_text_a11y() { a11y_keys; scenario_dialog_text; }
scenario_module_a11y() { a11y_keys; scenario_module; }
scenario_window_close_a11y() { a11y_keys; scenario_window_close; }
scenario_gone_during_delay_a11y() { a11y_keys; scenario_gone_during_delay; }
scenario_back_to_back_a11y() { a11y_keys; scenario_back_to_back; }

scenario_focus_mid_macro_a11y() { a11y_keys; scenario_focus_alt_tab; }

scenario_focus_alt_tab() {
    # The focus moves to the other dialog (Alt+Tab, as the user would)
    # during a pause of the macro: what follows the pause goes nowhere.
    declare -F focus_title >/dev/null || { echo "SKIP: no way to move the focus here"; exit 77; }
    ini_begin
    ini_item "target" "RW Target" 0 zenity "" "" "" "ab{DELAY=1500}cd{ENTER}" 0
    start_rw
    entry "RW Other" "$WORK/other.txt" 30
    local other=$LAST_PID
    wait_for 10 focused_is "RW Other" || fail "the other dialog did not come up"
    entry "RW Target" "$WORK/target.txt" 30
    local target=$LAST_PID
    wait_for 10 grep -q "SendKeys: ab{DELAY=1500}" "$WORK/rw.log" || fail "the macro did not start"
    # In the pause: what came before it has arrived.
    entry_holds() { [ "$(window_entry_text "$1")" = "$2" ]; }
    wait_for 10 entry_holds "RW Target" ab || fail "the target holds '$(window_entry_text "RW Target")', not 'ab'"
    focus_title "RW Other" || fail "the focus did not move to the other dialog: $(toplevels)"
    wait_for 10 grep -q "SendKeys stopped" "$WORK/rw.log" || fail "the macro was not reported as stopped"
    sleep 0.5
    kill -0 "$other" 2>/dev/null || fail "the other dialog was answered: '$(cat "$WORK/other.txt")'"
    kill -0 "$target" 2>/dev/null || fail "the target was answered: '$(cat "$WORK/target.txt")'"
    [ "$(window_entry_text "RW Target")" = ab ] || fail "the target holds '$(window_entry_text "RW Target")', not 'ab'"
    [ -z "$(window_entry_text "RW Other")" ] || fail "the other dialog got '$(window_entry_text "RW Other")'"
}

scenario_unplayable_key_a11y() {
    # Without a keyboard a cursor key cannot be played: the macro stops
    # there, and the debug line names the key.
    a11y_keys
    ini_begin
    ini_item "left" "RW Left" 0 zenity "" "" "" "ab{LEFT}c{ENTER}" 0
    start_rw
    entry "RW Left" "$WORK/out.txt" 30
    local dialog=$LAST_PID
    wait_for 10 grep -q "SendKeys stopped: {LEFT} was not played: " "$WORK/rw.log" ||
        fail "no line names the key that was not played"
    sleep 0.5
    kill -0 "$dialog" 2>/dev/null || fail "the dialog was answered: '$(cat "$WORK/out.txt")'"
    if declare -F window_entry_text >/dev/null; then
        [ "$(window_entry_text "RW Left")" = ab ] || fail "the entry holds '$(window_entry_text "RW Left")', not 'ab'"
    fi
}

# A seat without a keyboard: mutter activates no window, so no program
# tells of one in front. The program must say so, and answer nothing.
setup_no_keyboard_a11y() { export RW_MUTTER_KEYBOARD=0; }
scenario_no_keyboard_a11y() {
    a11y_keys
    ini_begin
    ini_item "any" "RW No Keyboard" 0 zenity "" "" "" "typed{ENTER}" 0
    start_rw
    entry "RW No Keyboard" "$WORK/out.txt" 30
    local dialog=$LAST_PID
    wait_for 15 grep -q "the desktop has brought no window to the front" "$WORK/rw.log" ||
        fail "the program did not say that it sees no window in front"
    kill -0 "$dialog" 2>/dev/null || fail "the dialog was answered: '$(cat "$WORK/out.txt")'"
    ! grep -q " Hit: " "$WORK/rw.log" || fail "a window was matched without one in front"
    [ "$(toplevels | awk -F'\t' '$3 == "True"' | wc -l)" -eq 0 ] || fail "a window is active after all: $(toplevels)"
}

scenario_stopped_target_a11y() {
    # The target stops answering (SIGSTOP) during a pause of the macro: the
    # macro stops within its bounded waits, saying why, and the next dialog
    # is answered.
    a11y_keys
    ini_begin
    ini_item "stopped" "RW Stopped" 0 zenity "" "" "" "ab{DELAY=1000}cd{ENTER}" 0
    ini_item "next" "RW After Stop" 0 zenity "" "" "" "next{ENTER}" 0
    start_rw
    entry "RW Stopped" "$WORK/stopped.txt" 60
    local stopped
    # The dialog program itself, not the timeout that runs it.
    wait_for 10 pgrep -P "$LAST_PID" zenity || fail "the dialog did not start"
    stopped=$(pgrep -P "$LAST_PID" zenity)
    wait_for 10 grep -q "SendKeys: ab{DELAY=1000}" "$WORK/rw.log" || fail "the macro did not start"
    kill -STOP "$stopped"
    wait_for 20 grep -q "SendKeys stopped: " "$WORK/rw.log" || fail "the macro did not stop"
    grep "SendKeys stopped: " "$WORK/rw.log"
    timeout 30 zenity --entry --title="RW After Stop" --text="Type here" >"$WORK/next.txt" 2>/dev/null ||
        fail "the next dialog was not answered"
    [ "$(cat "$WORK/next.txt")" = next ] || fail "the next dialog got '$(cat "$WORK/next.txt")'"
    [ ! -s "$WORK/stopped.txt" ] || fail "the stopped dialog was answered: '$(cat "$WORK/stopped.txt")'"
    # Let go, it would come to the front again and be answered anew.
    kill -KILL "$stopped"
}

# GNOME's desktop portal with its GNOME backend on the tests' session bus,
# which has no activation: the program takes it for its keys when it offers
# a keyboard (and asks the user first). Skipped where it is not installed.
start_portal() {
    local impl=/usr/libexec/xdg-desktop-portal-gnome portal=/usr/libexec/xdg-desktop-portal
    [ -x "$impl" ] && [ -x "$portal" ] || { echo "SKIP: the desktop portal is not installed"; exit 77; }
    XDG_CURRENT_DESKTOP=GNOME "$impl" >"$WORK/portal-gnome.log" 2>&1 &
    track $!
    wait_for 15 bus_has_name org.freedesktop.impl.portal.desktop.gnome ||
        fail "the portal's GNOME backend did not start: $(tail -3 "$WORK/portal-gnome.log")"
    XDG_CURRENT_DESKTOP=GNOME "$portal" >"$WORK/portal.log" 2>&1 &
    track $!
    wait_for 15 portal_offers_keyboard || fail "the portal offers no keyboard: $(tail -3 "$WORK/portal.log")"
}

bus_has_name() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}

portal_offers_keyboard() {
    dbus-send --session --print-reply --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
        org.freedesktop.DBus.Properties.Get string:org.freedesktop.portal.RemoteDesktop \
        string:AvailableDeviceTypes 2>/dev/null | grep -Eq 'uint32 [1357]$'
}

# portal_answer allow|refuse: the user's answer to the portal's window.
portal_answer() {
    wait_for 15 focused_is "Remote desktop" || fail "the portal did not ask: $(toplevels)"
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/portal_answer.py" "$1" >>"$WORK/portal-answer.log" 2>&1 ||
        fail "the portal's window got no answer: $(tail -3 "$WORK/portal-answer.log")"
}

scenario_portal_typing() {
    # The keys through the portal once the user has allowed them.
    start_portal
    ini_begin
    ini_item "entry" "RW Portal" 0 zenity "" "" "" "Grüße 10 € ΑΩ 中文{ENTER}" 0
    start_rw
    grep -q "keys by portal" "$WORK/rw.log" || fail "the keys do not go through the portal: $(grep 'keys by' "$WORK/rw.log")"
    portal_answer allow
    wait_for 10 grep -q "wayland: keys ready" "$WORK/rw.log" || fail "the keys were not ready once allowed"
    timeout 20 zenity --entry --title="RW Portal" --text="Type here" >"$WORK/out.txt" 2>/dev/null ||
        fail "zenity was not answered"
    [ "$(cat "$WORK/out.txt")" = "Grüße 10 € ΑΩ 中文" ] || fail "typed text arrived as '$(cat "$WORK/out.txt")'"
}

scenario_portal_refused() {
    # The user says no: nothing is typed, by no other way either, and the
    # program goes on.
    start_portal
    ini_begin
    ini_item "entry" "RW Refused" 0 zenity "" "" "" "never{ENTER}" 0
    start_rw
    portal_answer refuse
    wait_for 10 grep -q "replywick: keys: the user did not allow" "$WORK/rw.log" || fail "the refusal was not noted"
    entry "RW Refused" "$WORK/out.txt" 30
    local dialog=$LAST_PID
    wait_for 10 grep -q " Hit: RW Refused" "$WORK/rw.log" || fail "the dialog was not matched"
    wait_for 10 grep -q "SendKeys stopped" "$WORK/rw.log" || fail "the macro was not stopped"
    sleep 1
    kill -0 "$dialog" 2>/dev/null || fail "the dialog was answered: '$(cat "$WORK/out.txt")'"
    [ -z "$(cat "$WORK/out.txt")" ] || fail "text arrived: $(cat "$WORK/out.txt")"
    kill -0 "$RW_PID" || fail "the program ended"
}

scenario_diagnose() {
    # --diagnose names the ways the program takes on this compositor, and
    # finds the keys usable, without asking anyone for anything.
    local out
    out=$("$WORK/app/replywick" --diagnose 2>&1)
    echo "$out"
    grep -q "^ok      window system: Wayland: the windows from " <<<"$out" || fail "no Wayland window system: $out"
    grep -q "^ok      keys: " <<<"$out" || fail "the keys are not usable: $out"
}
