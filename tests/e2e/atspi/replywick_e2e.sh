#!/usr/bin/env bash
# Replywick answering real dialogs through the accessibility bus: dialog text
# tests and {Dialog ...} buttons. Runs inside run_e2e.sh (X display, window
# manager, D-Bus session, accessibility bus).
# Usage: run_e2e.sh replywick_e2e.sh SCENARIO
# Environment: REPLYWICK (the program), QTDIALOG (rw_atspi_qt_dialog).
set -u
: "${REPLYWICK:?REPLYWICK must name the replywick program}"
: "${QTDIALOG:?QTDIALOG must name the Qt test dialog}"

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../common.sh
. "$here/../common.sh"

new_work_dir WORK rw-atspi-rw
install_replywick
ini_begin

# item DESC TITLE CLASS TEXT MACRO: title compared exactly, no delay.
item() { ini_item "$1" "$2" 0 "$3" "$4" "" "" "$5" 0; }

zenity_bg() {
    zenity "$@" 2>/dev/null &
    track $!
    LAST=$!
}

# Two dialogs one right after the other: the second one may get the very
# same X window id as the first, and must still be answered.
scenario_two_in_a_row() {
    item "save" "RW Save" Zenity "" "{Dialog Yes}"
    item "over" "RW Over" Zenity "" "{Dialog No}"
    start_replywick
    zenity_bg --question --title="RW Save" --text="Save?"
    expect_exit 0 "first dialog" "$LAST"
    zenity_bg --question --title="RW Over" --text="Overwrite?"
    expect_exit 1 "second dialog" "$LAST"
}

scenario_question_yes() {
    item "yes" "RW Save" Zenity "Do you want to save" "{Dialog Yes}"
    start_replywick
    zenity_bg --question --title="RW Save" --text="Do you want to save the changes?"
    expect_exit 0 "{Dialog Yes}" "$LAST"
}

scenario_question_no() {
    item "no" "RW Overwrite" Zenity "" "{Dialog No}"
    start_replywick
    zenity_bg --question --title="RW Overwrite" --text="Overwrite the file?"
    expect_exit 1 "{Dialog No}" "$LAST"
}

scenario_info_ok() {
    item "ok" "RW Info" Zenity "The job is done." "{Dialog OK}"
    start_replywick
    zenity_bg --info --title="RW Info" --text="The job is done."
    expect_exit 0 "{Dialog OK}" "$LAST"
}

# A text from the middle of the message does not match; one from its start does.
scenario_text_start_not_middle() {
    item "middle" "RW Text" Zenity "want to save" "{Dialog Yes}"
    item "start" "RW Text" Zenity "Do you want" "{Dialog No}"
    start_replywick
    zenity_bg --question --title="RW Text" --text="Do you want to save the changes?"
    expect_exit 1 "the start item, not the middle one" "$LAST"
}

scenario_qt_dialog() {
    item "qt" "RW Qt" rw_atspi_qt_dialog "Shall the Qt dialog" "{Dialog Yes}"
    start_replywick
    "$QTDIALOG" "RW Qt" "Shall the Qt dialog be answered?" 2>/dev/null &
    track $!
    expect_exit 10 "Qt dialog {Dialog Yes}" $!
}

# No OK button: {Dialog OK} presses Cancel ("Abbrechen").
scenario_qt_ok_falls_back() {
    item "qt ok" "RW Qt OK" rw_atspi_qt_dialog "" "{Dialog OK}"
    start_replywick
    "$QTDIALOG" "RW Qt OK" "Nothing to confirm here" NA 2>/dev/null &
    track $!
    expect_exit 13 "Qt dialog {Dialog OK} without OK" $!
}

# A stopped target costs the program about a second; the next dialog is
# still answered.
scenario_stopped_target() {
    item "stopped" "RW Stopped" Zenity "This program" "{Dialog Yes}"
    item "next" "RW Next" Zenity "The next dialog" "{Dialog Yes}"
    zenity_bg --question --title="RW Stopped" --text="This program stops answering."
    local stopped=$LAST
    wait_for 10 xdotool search --name '^RW Stopped$' || fail "no window RW Stopped"
    kill -STOP "$stopped"
    start_replywick   # examines the stopped dialog, the foreground window, at start
    # Its title matches: the program goes on to ask the stopped one for its text.
    wait_for 10 grep -q "Compare with 'RW Stopped' *-> True" "$WORK/rw.log" || fail "the stopped dialog was not examined"
    local t0
    t0=$(now_ms)
    zenity_bg --question --title="RW Next" --text="The next dialog is answered."
    expect_exit 0 "the next dialog" "$LAST"
    echo "next dialog answered after $(( $(now_ms) - t0 )) ms"
    kill -0 "$stopped" || fail "the stopped dialog ended"
    kill -CONT "$stopped"
}

# Dialogs that end as soon as they are answered (by a key), one after
# another, each read through the accessibility bus: the program prints no
# warning of a D-Bus library about an application that has gone (such a
# warning came with every dialog while what the bus said about an exited
# application was handled only at the next look).
scenario_no_warnings() {
    item "ok" "RW Ends" Zenity "This dialog ends" "{ENTER}"
    start_replywick
    local i
    for i in 1 2 3 4 5 6 7 8; do
        zenity_bg --info --title="RW Ends" --text="This dialog ends when answered ($i)."
        expect_exit 0 "dialog $i" "$LAST"
    done
    # The last answer's aftermath, too.
    sleep 0.5
    if grep -e dbind -e 'Unable to open bus connection' -e WARNING "$WORK/rw.log" >&2; then
        fail "warnings in the program's output"
    fi
}

name=${1:?scenario name}
declare -F "scenario_$name" >/dev/null || fail "no scenario $name"
"scenario_$name"
echo "PASS: $name"
