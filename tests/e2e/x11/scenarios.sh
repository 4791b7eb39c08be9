# The X11 end-to-end scenarios; run.sh NAME runs one of them.

scenario_typing() {
    ini_begin
    ini_item "entry" "RW Entry" 0 Zenity "" "" "" "Grüße, 10 €{ENTER}" 0
    start_rw
    timeout 20 zenity --entry --title="RW Entry" --text="Type here" >"$WORK/out.txt" 2>/dev/null
    local rc=$?
    [ $rc -eq 0 ] || fail "zenity ended with $rc (not answered with Enter)"
    [ "$(cat "$WORK/out.txt")" = "Grüße, 10 €" ] || fail "typed text arrived as '$(cat "$WORK/out.txt")'"
}

scenario_layout_switch() {
    # The layout changes while the program runs (German swaps Y and Z): the
    # next macro must be typed with the new layout's keys.
    setxkbmap us
    ini_begin
    ini_item "one" "RW One" 0 Zenity "" "" "" "yz{ENTER}" 0
    ini_item "two" "RW Two" 0 Zenity "" "" "" "yz{ENTER}" 0
    start_rw
    timeout 20 zenity --entry --title="RW One" --text="Type here" >"$WORK/one.txt" 2>/dev/null ||
        fail "first entry was not answered"
    setxkbmap de
    timeout 20 zenity --entry --title="RW Two" --text="Type here" >"$WORK/two.txt" 2>/dev/null
    local rc=$?
    setxkbmap us
    [ $rc -eq 0 ] || fail "second entry was not answered"
    [ "$(cat "$WORK/one.txt")" = "yz" ] || fail "with us: '$(cat "$WORK/one.txt")'"
    [ "$(cat "$WORK/two.txt")" = "yz" ] || fail "after the switch to de: '$(cat "$WORK/two.txt")'"
}

scenario_typing_other_scripts() {
    # Characters the US layout lacks, upper and lower case, more of them than
    # there are spare keycodes, some repeated after their keycode was reused.
    local text="ŁódźŻÓŁTYΩωЖжЯяŠšČčŘřĞğ中文日本ŁŻΩЖ"
    ini_begin
    ini_item "scripts" "RW Scripts" 0 Zenity "" "" "" "$text{ENTER}" 0
    start_rw
    timeout 30 zenity --entry --title="RW Scripts" --text="Type here" >"$WORK/out.txt" 2>/dev/null ||
        fail "zenity was not answered"
    [ "$(cat "$WORK/out.txt")" = "$text" ] || fail "typed text arrived as '$(cat "$WORK/out.txt")'"
    # The keycodes lent for them go back to having no keysym.
    wait_for 5 sh -c '[ "$(xmodmap -pke | grep -c "=.*[ŁΩЖ]\|Lstroke\|Greek_OMEGA\|Cyrillic_ZHE")" -eq 0 ]' ||
        fail "lent keycodes were not restored: $(xmodmap -pke | grep -i 'Lstroke\|Greek\|Cyrillic' | head -3)"
}

scenario_namedkeys() {
    ini_begin
    ini_item "edit" "RW Edit" 0 Zenity "" "" "" "abcd{LEFT}{LEFT}{BACK}X{END}e{HOME}{DEL}{ENTER}" 0
    ini_item "mods" "RW Mods" 0 RwKeylog "" "" "" "{SHIFT}{TAB}{CTRL}{ALT}{DEL}z{ESC}" 0
    start_rw
    timeout 20 zenity --entry --title="RW Edit" --text="Edit" >"$WORK/out.txt" 2>/dev/null ||
        fail "zenity was not answered"
    [ "$(cat "$WORK/out.txt")" = "Xcde" ] || fail "edited text is '$(cat "$WORK/out.txt")', wanted 'Xcde'"
    keylog "RW Mods" "$WORK/mods.log"
    wait_for 10 grep -q "up Escape" "$WORK/mods.log" || fail "keys did not arrive: $(presses "$WORK/mods.log")"
    local seq
    seq=$(grep -v '^up Shift_R\|^up Alt_R\|^up Control_R' "$WORK/mods.log" | tr '\n' ' ')
    local want="down Shift_L  down ISO_Left_Tab  up ISO_Left_Tab up Shift_L down Control_L  down Alt_L  down Delete  up Delete up Alt_L up Control_L down z z up z down Escape  up Escape "
    [ "$seq" = "$want" ] || fail "key order: '$seq' (wanted '$want')"
}

lock_state() { xset q | grep -o "$1: *\(on\|off\)" | awk '{ print $NF }'; }

scenario_lock_keys() {
    ini_begin
    ini_item "locks" "RW Locks" 0 RwKeylog "" "" "" "{CAPSLOCK+}aB{CAPSLOCK+}{NUMLOCK+}c{NUMLOCK-}{NUMLOCK+}{ESC}" 0
    start_rw
    [ "$(lock_state "Caps Lock")" = off ] || fail "Caps Lock on at start"
    keylog "RW Locks" "$WORK/locks.log"
    wait_for 10 grep -q "down Escape" "$WORK/locks.log" || fail "keys did not arrive: $(presses "$WORK/locks.log")"
    # Characters arrive as written, whatever the lock state.
    [ "$(awk '$1 == "down" && $3 != "" { printf "%s", $3 }' "$WORK/locks.log")" = "aBc" ] ||
        fail "typed: $(cat "$WORK/locks.log")"
    [ "$(lock_state "Caps Lock")" = on ] || fail "Caps Lock not on"
    [ "$(lock_state "Num Lock")" = on ] || fail "Num Lock not on"
    # A lock already in the wanted state is left alone: no key for it.
    ! grep -q "Caps_Lock\|Num_Lock" "$WORK/locks.log" || fail "lock keys were pressed: $(presses "$WORK/locks.log")"
}

scenario_windowcmds() {
    ini_begin
    ini_item "close" "RW Close" 0 RwKeylog "" "" "" "{Window Close}" 0
    ini_item "min" "RW Min" 0 RwKeylog "" "" "" "{Window Minimize}" 0
    ini_item "max" "RW Max" 0 RwKeylog "" "" "" "{Window Maximize}" 0
    start_rw
    keylog_start "RW Close" "$WORK/close.log"
    local closePid=$LAST_PID
    wait_for 10 grep -q close "$WORK/close.log" || fail "{Window Close} did not close the window"
    wait_for 5 sh -c "! kill -0 $closePid" || fail "closed window's program still runs"
    keylog_start "RW Max" "$WORK/max.log"
    local id
    wait_for 10 xdotool search --name '^RW Max$' || fail "no window RW Max"
    id=$(xdotool search --name '^RW Max$' | head -1)
    wait_for 10 sh -c "xprop -id $id _NET_WM_STATE | grep -q MAXIMIZED_VERT && xprop -id $id _NET_WM_STATE | grep -q MAXIMIZED_HORZ" ||
        fail "{Window Maximize}: $(xprop -id "$id" _NET_WM_STATE)"
    keylog_start "RW Min" "$WORK/min.log"
    wait_for 10 xdotool search --name '^RW Min$' || fail "no window RW Min"
    id=$(xdotool search --name '^RW Min$' | head -1)
    wait_for 10 sh -c "xprop -id $id _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN" ||
        fail "{Window Minimize}: $(xprop -id "$id" _NET_WM_STATE)"
}

scenario_module_size_firstmatch() {
    # The window is there first, so that its outer size is known; the
    # program examines it at start.
    keylog "RW Mod" "$WORK/mod.log" 300x200
    local id ext w h
    id=$(xdotool search --name '^RW Mod$' | head -1)
    wait_for 5 sh -c "xprop -id $id _NET_FRAME_EXTENTS | grep -q '='" || fail "no frame extents"
    ext=$(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    read -r l r t b <<<"$ext"
    w=$((300 + l + r))
    h=$((200 + t + b))
    local keylogPath
    keylogPath=$(readlink -f "$KEYLOG" | tr '[:lower:]' '[:upper:]')
    ini_begin
    ini_item "wrong module" "RW Mod" 0 RwKeylog "" "/usr/bin/not-this-one" "" "a" 0
    ini_item "wrong size" "RW Mod" 0 RwKeylog "" "" "$((w + 1))x$h" "b" 0
    ini_item "module and size" "RW Mod" 0 RwKeylog "" "$keylogPath" "${w}x${h}" "c" 0
    ini_item "also matches" "RW Mod" 3 RwKeylog "" "" "" "d" 0
    start_rw
    wait_for 10 grep -q "down c" "$WORK/mod.log" || fail "module/size item did not answer: '$(presses "$WORK/mod.log")'"
    # Once its macro is through, the window is done with: no later item plays.
    wait_for 10 grep -q "SendKeys finished" "$WORK/rw.log" || fail "the macro did not finish"
    [ "$(presses "$WORK/mod.log")" = "c " ] || fail "keys: '$(presses "$WORK/mod.log")' (only c expected)"
}

scenario_gone_during_delay() {
    ini_begin
    # The delay is long enough for the window to go while it lasts, however
    # slow the machine; the test waits for the outcome, not for the delay.
    ini_item "slow" "RW Gone" 0 RwKeylog "" "" "" "gone" 8000
    start_rw
    keylog "RW Base" "$WORK/base.log"
    keylog "RW Gone" "$WORK/gone.log"
    local gonePid=$LAST_PID
    wait_for 10 grep -q " Hit: RW Gone" "$WORK/rw.log" || fail "the window was not matched"
    kill "$gonePid"
    wait_for 10 active_is "RW Base" || fail "the base window did not come back to the front"
    wait_for 20 grep -q " Not played: the window left the foreground during the delay" "$WORK/rw.log" ||
        fail "the delay did not end with the window"
    [ -z "$(presses "$WORK/gone.log")$(presses "$WORK/base.log")" ] ||
        fail "keys were sent: gone='$(presses "$WORK/gone.log")' base='$(presses "$WORK/base.log")'"
    grep -q " Hit: RW Gone" "$WORK/rw.log" || fail "the window was not matched at all"
}

scenario_tray_toggle() {
    ini_begin
    ini_item "tray" "RW Tray" 0 RwKeylog "" "" "" "t" 0
    start_rw
    click_tray_icon
    wait_for 5 grep -q "x11: tray icon modify off 'Replywick (not active)'" "$WORK/rw.log" ||
        fail "a left click did not switch the watcher off"
    keylog "RW Tray" "$WORK/tray.log"
    sleep 1.2
    [ -z "$(presses "$WORK/tray.log")" ] || fail "answered while not active: '$(presses "$WORK/tray.log")'"
    click_tray_icon
    # Switched on, the window in front is examined at once.
    wait_for 10 grep -q "down t" "$WORK/tray.log" || fail "not answered after switching on again"
}

scenario_tray_restart() {
    ini_begin
    ini_item "tray" "RW Tray" 0 RwKeylog "" "" "" "t" 0
    start_rw
    click_tray_icon
    wait_for 5 grep -q "x11: tray icon modify off" "$WORK/rw.log" || fail "a left click did not switch off"
    kill "$TRAYER_PID"
    wait "$TRAYER_PID" 2>/dev/null
    wait_for 5 sh -c '! xwininfo -root -tree | grep -q "\"panel\""' || fail "trayer did not end"
    start_trayer
    wait_for 10 tray_icon_pos || fail "the icon did not come back to the new tray"
    wait_for 5 grep -q "x11: tray host started" "$WORK/rw.log" || fail "the new tray host went unnoticed"
    # As after a shell restart: the icon as it was (off), with an add's tooltip.
    wait_for 5 grep -q "x11: tray icon add off ' Replywick (not active) '" "$WORK/rw.log" || fail "icon not added as inactive"
    # The watcher stays off...
    keylog "RW Tray" "$WORK/tray.log"
    sleep 1.2
    [ -z "$(presses "$WORK/tray.log")" ] || fail "answered while not active: '$(presses "$WORK/tray.log")'"
    # ...until the next click switches it on.
    click_tray_icon
    wait_for 10 grep -q "down t" "$WORK/tray.log" || fail "not answered after switching on"
}

# The geometry "X Y W H" of the program's open pop-up menu.
menu_geometry() {
    local id
    for id in $(xdotool search --class replywick 2>/dev/null); do
        xwininfo -id "$id" | grep -q "Map State: IsViewable" || continue
        xwininfo -id "$id" | grep -q "Override Redirect State: yes" || continue
        xwininfo -id "$id" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
            /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h; exit !(w > 40 && h > 40) }' &&
            return 0
    done
    return 1
}

no_menu() { ! menu_geometry; }

scenario_menu() {
    ini_begin
    ini_item "menu" "RW Menu" 0 RwKeylog "" "" "" "m" 0
    start_rw
    local pos geo x y w h
    pos=$(tray_icon_pos)
    # shellcheck disable=SC2086
    xdotool mousemove $pos click 3
    wait_for 5 menu_geometry || fail "no menu after a right click"
    read -r x y w h <<<"$(menu_geometry)"
    # The entries, top to bottom: About, Settings, -, Active, -, Close.
    # Active is the fourth row; the menu has five rows and two separators.
    xdotool mousemove $((x + w / 2)) $((y + h * 58 / 100)) click 1
    wait_for 5 no_menu || fail "the menu stayed open"
    wait_for 5 grep -q "x11: tray icon modify off" "$WORK/rw.log" || fail "Active in the menu did not switch off"
    keylog "RW Menu" "$WORK/menu.log"
    sleep 1.2
    [ -z "$(presses "$WORK/menu.log")" ] || fail "Active from the menu did not switch the watcher off"
    xdotool mousemove $pos click 3
    wait_for 5 menu_geometry || fail "no menu after the second right click"
    read -r x y w h <<<"$(menu_geometry)"
    xdotool mousemove $((x + w / 2)) $((y + h - 8)) click 1
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "Close did not end the program"
    wait "$RW_PID"
    local rc=$?
    RW_PID=""
    [ $rc -eq 0 ] || fail "the program ended with $rc"
    grep -q "Replywick end -------------" "$WORK/rw.log" || fail "no end line"
    head -c 11 "$INI" | grep -q "; Replywick" || fail "settings file not written"
}

scenario_sigterm_saves() {
    # A hand-edited file with LF line ends and a comment: written back in the
    # program's own form when the program ends.
    printf '; my notes\n[Item]\nDesc=kept\nTitle=Some Title\nTitleTestType=1\nClass=Zenity\nMacro=x{ENTER}\nDelay=250\n' >"$INI"
    start_rw
    kill -TERM "$RW_PID"
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "replywick did not end on SIGTERM"
    wait "$RW_PID"
    local rc=$?
    RW_PID=""
    [ $rc -eq 0 ] || fail "exit code $rc"
    local want
    want=$(printf '; Replywick\r\n\r\n\r\n[Item]\r\nDesc=kept\r\nTitle=Some Title\r\nTitleTestType=1\r\nClass=Zenity\r\nText=\r\nModul=\r\nSize=\r\nMacro=x{ENTER}\r\nDelay=250\r\n\r\n\r\n' | od -c)
    [ "$(od -c <"$INI")" = "$want" ] || fail "settings file not rewritten: $(od -c <"$INI" | head -5)"
    grep -q "Replywick end -------------" "$WORK/rw.log" || fail "no end line"
}

# A macro that pauses for minutes: the program still ends at once, and its
# pause ends when its target goes.
pause_item() {
    ini_begin
    ini_item "pause" "RW Pause" 0 RwKeylog "" "" "" "{DELAY=60000}{DELAY=60000}{DELAY=60000}x" 0
    ini_item "after" "RW After" 0 RwKeylog "" "" "" "a" 0
    start_rw
    keylog "RW Pause" "$WORK/pause.log"
    PAUSE_PID=$LAST_PID
    wait_for 10 grep -q "SendKeys: {DELAY=60000}" "$WORK/rw.log" || fail "the macro did not start"
}

scenario_sigterm_during_pause() {
    pause_item
    kill -TERM "$RW_PID"
    # Served within a pause slice; the bound is generous for a slow machine.
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "replywick sat out the pause after SIGTERM"
    wait "$RW_PID"
    local rc=$?
    RW_PID=""
    [ $rc -eq 0 ] || fail "exit code $rc"
    grep -q "SendKeys stopped: Replywick was asked to stop" "$WORK/rw.log" || fail "no stop line"
    grep -q "Replywick end -------------" "$WORK/rw.log" || fail "no end line"
    [ -z "$(presses "$WORK/pause.log")" ] || fail "keys after the stop: $(presses "$WORK/pause.log")"
}

scenario_menu_close_during_pause() {
    pause_item
    local pos x y w h
    pos=$(tray_icon_pos)
    # shellcheck disable=SC2086
    xdotool mousemove $pos click 3
    wait_for 10 menu_geometry || fail "no menu while the macro paused"
    grep -q "SendKeys stopped: Replywick was asked to stop" "$WORK/rw.log" || fail "the macro went on under the menu"
    read -r x y w h <<<"$(menu_geometry)"
    xdotool mousemove $((x + w / 2)) $((y + h - 8)) click 1
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "Close did not end the program"
    wait "$RW_PID"
    local rc=$?
    RW_PID=""
    [ $rc -eq 0 ] || fail "exit code $rc"
    [ -z "$(presses "$WORK/pause.log")" ] || fail "keys after the stop: $(presses "$WORK/pause.log")"
}

after_typed_a() { [ "$(presses "$WORK/after.log")" = "a " ]; }

scenario_target_gone_during_pause() {
    pause_item
    kill "$PAUSE_PID"
    # The window manager moves the focus on as the window goes; either is
    # noticed first.
    wait_for 10 grep -q "SendKeys stopped: the target window \(is gone\|left the foreground\)" "$WORK/rw.log" ||
        fail "the pause went on after its target had gone"
    # The program answers the next dialog at once.
    keylog "RW After" "$WORK/after.log"
    wait_for 10 after_typed_a ||
        fail "the next window was not answered: '$(presses "$WORK/after.log")'"
}

scenario_x_server_gone() {
    # The session ends by stopping the X server: the items are still written.
    printf '[Item]\nDesc=kept\nTitle=T\nClass=Zenity\nMacro=y\n' >"$INI"
    start_rw
    kill "$XVFB_PID"
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "replywick outlived its X server"
    RW_PID=""
    head -c 13 "$INI" | od -c | grep -q '; *R *e *p *l *y *w *i *c *k *\\r *\\n' ||
        fail "settings file not rewritten: $(head -c 40 "$INI" | od -c | head -3)"
    grep -q "Desc=kept" "$INI" || fail "item lost"
}

# The list window opened from the tray menu (Settings is its second entry),
# its first row current.
open_list_from_menu() {
    local pos
    pos=$(tray_icon_pos)
    # shellcheck disable=SC2086
    xdotool mousemove $pos click 3
    wait_for 5 menu_geometry || fail "no menu after a right click"
    xdotool key Down Down Return
    wait_for 10 grep -q "^x11: control frmList cmdOK " "$WORK/rw.log" || fail "Settings did not open the item list"
}

ok_of_list() {
    awk '$1 == "x11:" && $2 == "control" && $3 == "frmList" && $4 == "cmdOK" {
        p = int($5 + $7 / 2) " " int($6 + $8 / 2) } END { print p }' "$WORK/rw.log"
}

scenario_x_server_gone_with_open_list() {
    # First the positive control: Delete in the list window and OK remove
    # the first item from the file.
    ini_begin
    ini_item "first" "T1" 0 Zenity "" "" "" "y" 0
    ini_item "second" "T2" 0 Zenity "" "" "" "y" 0
    start_rw
    open_list_from_menu
    xdotool key Delete
    # shellcheck disable=SC2046
    xdotool mousemove $(ok_of_list) click 1
    wait_for 10 sh -c "! grep -q 'Desc=first' '$INI'" || fail "Delete and OK did not remove the item"
    grep -q "Desc=second" "$INI" || fail "OK lost the other item"
    kill -TERM "$RW_PID"
    wait "$RW_PID" 2>/dev/null
    RW_PID=""
    # Then the same edit, never confirmed, when the session ends by
    # stopping the X server: the file keeps the item.
    ini_begin
    ini_item "first" "T1" 0 Zenity "" "" "" "y" 0
    ini_item "second" "T2" 0 Zenity "" "" "" "y" 0
    start_rw
    open_list_from_menu
    xdotool key Delete
    sleep 0.3
    kill "$XVFB_PID"
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "replywick outlived its X server"
    RW_PID=""
    head -c 13 "$INI" | od -c | grep -q '; *R *e *p *l *y *w *i *c *k *\\r *\\n' ||
        fail "settings file not written at the end: $(head -c 40 "$INI" | od -c | head -3)"
    grep -q "Desc=first" "$INI" || fail "an unconfirmed Delete was written"
}

scenario_second_instance() {
    ini_begin
    start_rw
    # It ends by itself (how soon: bench/reliability/startup_x11.sh).
    local rc
    timeout 30 "$WORK/app/replywick" /d >"$WORK/second.log" 2>&1
    rc=$?
    [ $rc -ne 124 ] || fail "second instance did not end"
    [ $rc -eq 0 ] || fail "second instance ended with $rc"
    [ ! -s "$WORK/second.log" ] || fail "second instance wrote: $(cat "$WORK/second.log")"
    kill -0 "$RW_PID" || fail "first instance is gone"
    [ "$(xwininfo -root -tree | grep -c '"Replywick MainForm"')" -eq 1 ] || fail "two main windows"
}

scenario_external_notify() {
    ini_begin
    ini_item "ext" "RW Ext" 0 RwKeylog "" "" "" "e" 0
    start_rw
    keylog "RW Ext" "$WORK/ext.log"
    wait_for 10 grep -q "down e" "$WORK/ext.log" || fail "not answered"
    # A handle whose low half has its top bit set travels intact.
    "$KEYLOG" --notify 0x0123ABCD || fail "could not send the notification"
    wait_for 5 grep -q "external notification x=43981 y=291" "$WORK/rw.log" ||
        fail "notification not received: $(grep 'x11:' "$WORK/rw.log" | tail -3)"
    local id
    id=$(xdotool search --name '^RW Ext$' | head -1)
    "$KEYLOG" --notify "$id" || fail "could not send the notification"
    wait_for 5 grep -q "external notification x=$((id & 0xFFFF)) y=$((id >> 16))" "$WORK/rw.log" ||
        fail "notification for the window not received"
    kill -0 "$RW_PID" || fail "replywick ended"
}

scenario_window_identity() {
    # The platform itself, in this X server with its window manager: a new
    # window that got a closed one's id is another window, also while the
    # event loop stands still.
    : "${WINDOW_TESTS:?WINDOW_TESTS must name rw_x11_window_tests}"
    "$WINDOW_TESTS" --gtest_brief=1 >"$WORK/window_tests.log" 2>&1 ||
        { cat "$WORK/window_tests.log" >&2; fail "window identity tests failed"; }
    grep -q "SKIPPED" "$WORK/window_tests.log" && { cat "$WORK/window_tests.log" >&2; fail "tests were skipped"; }
    tail -n 3 "$WORK/window_tests.log"
}

scenario_back_to_back() {
    # Dialogs opened one after the other, each by a new program only once
    # the one before has ended: X gives most of them the id of the one
    # before. Every one must be answered. After every other dialog the
    # program is still busy with its macro while that dialog ends and the
    # next one comes up, so it reads the window list only when the new
    # window already stands there under the old id.
    local count=${RW_SEQ_COUNT:-100}
    ini_begin
    ini_item "busy" "RW Seq Busy" 1 Zenity "" "" "" "ok{ENTER}{DELAY=800}" 0
    ini_item "seq" "RW Seq" 1 Zenity "" "" "" "ok{ENTER}" 0
    start_rw
    # The window manager's client list as it changes: which id each new
    # dialog got. Started first, so that it holds its connection all along
    # and takes no dialog's place among the clients.
    xprop -root -spy _NET_CLIENT_LIST >"$WORK/clients.log" 2>&1 &
    track $!
    wait_for 5 test -s "$WORK/clients.log" || fail "xprop did not start"
    local i rc out t0 title slow=0
    for i in $(seq 1 "$count"); do
        t0=$(now_ms)
        title="RW Seq $i"
        [ $((i % 2)) -eq 1 ] && title="RW Seq Busy $i"
        timeout 8 zenity --entry --title "$title" --text "Answer $i" >"$WORK/seq.txt" 2>/dev/null
        rc=$?
        out=$(cat "$WORK/seq.txt")
        [ $rc -eq 0 ] && [ "$out" = ok ] ||
            fail "dialog $i of $count was not answered (exit $rc, text '$out')"
        [ $(( $(now_ms) - t0 )) -gt 3000 ] && slow=$((slow + 1))
    done
    # The ids that joined the list, in order, and how often one was the id
    # of the window that joined before it.
    local same total
    read -r same total < <(awk -F'# ' '{
            n = split($2, ids, /, */); delete now
            for (k = 1; k <= n; k++) {
                now[ids[k]] = 1
                # The first line is the list before the first dialog.
                if (NR > 1 && !(ids[k] in before)) { if (ids[k] == last) s++; last = ids[k]; added++ }
            }
            delete before; for (id in now) before[id] = 1
        } END { print s + 0, added + 0 }' "$WORK/clients.log")
    echo "$count dialogs answered; $same of $total new windows had the id of the window before; $slow took over 3 s"
}

scenario_recycled_during_delay() {
    # A matched window closes while its item waits, and a new window that
    # another item matches comes up under the same window id. The waiting
    # macro must not go to it; the new window's own item answers it.
    ini_begin
    ini_item "first" "RW First" 0 RwKeylog "" "" "" "typed" 4000
    ini_item "second" "RW Second" 0 RwKeylog "" "" "" "second" 0
    start_rw
    keylog "RW First" "$WORK/first.log"
    local first=$LAST_PID second firstId secondId try
    firstId=$(xdotool search --name '^RW First$' | head -1)
    wait_for 10 grep -q " Hit: RW First" "$WORK/rw.log" || fail "the first window was not matched"
    # The program stands still while the windows change: when it goes on,
    # the new window is there under the old id, however slow this machine.
    kill -STOP "$RW_PID"
    kill "$first"
    wait "$first" 2>/dev/null
    wait_for 10 sh -c "! xwininfo -id $firstId" || fail "the first window did not go"
    # X hands a new client the lowest free connection slot, and the test
    # window makes its window first: the same id, once no other client
    # took the slot in between.
    for try in 1 2 3 4 5; do
        keylog_start "RW Second" "$WORK/second.log"
        second=$LAST_PID
        wait_for 10 xdotool search --name '^RW Second$' || fail "the second window did not come up"
        secondId=$(xdotool search --name '^RW Second$' | head -1)
        [ "$secondId" = "$firstId" ] && break
        kill "$second"
        wait "$second" 2>/dev/null
        wait_for 10 sh -c "! xwininfo -id $secondId" || fail "the second window did not go"
    done
    [ "$secondId" = "$firstId" ] || fail "X gave the new window another id ($firstId, then $secondId) $try times"
    wait_for 10 active_is "RW Second" || fail "the second window did not become active"
    kill -CONT "$RW_PID"
    # Its own item answers the new window; the waiting macro went nowhere.
    wait_for 20 grep -q "up d" "$WORK/second.log" || fail "the second window was not answered: '$(presses "$WORK/second.log")'"
    [ "$(presses "$WORK/second.log")" = "s e c o n d " ] ||
        fail "the second window received: '$(presses "$WORK/second.log")' ('s e c o n d ' wanted)"
    [ -z "$(presses "$WORK/first.log")" ] || fail "the first window received: '$(presses "$WORK/first.log")'"
    echo "the second window had the first one's id ($firstId) after $try tries"
}

scenario_focus_during_delay() {
    # A pause inside the macro: another window takes the focus meanwhile.
    # Typed keys follow the focus on X, so the rest of the macro must stop.
    ini_begin
    ini_item "target" "RW Target" 0 RwKeylog "" "" "" "ab{DELAY=8000}cd{ENTER}" 0
    start_rw
    keylog "RW Target" "$WORK/target.log"
    wait_for 10 grep -q "down b" "$WORK/target.log" || fail "the macro did not start: '$(presses "$WORK/target.log")'"
    keylog "RW Other" "$WORK/other.log"
    wait_for 20 grep -q "SendKeys stopped" "$WORK/rw.log" || fail "the macro was not reported as stopped"
    [ -z "$(presses "$WORK/other.log")" ] || fail "the other window received: '$(presses "$WORK/other.log")'"
    [ "$(presses "$WORK/target.log")" = "a b " ] || fail "the target received: '$(presses "$WORK/target.log")'"
}

held_keys() { "$KEYLOG" --held | tr '\n' ' '; }

scenario_modifiers_released() {
    # A modifier left down would turn the user's next keys into shortcuts:
    # one at the very end of a macro is let go, and so are the ones held
    # when playback stops because another window took the focus.
    ini_begin
    ini_item "last" "RW Ctrl Last" 0 RwKeylog "" "" "" "abc{CTRL}" 0
    # The modifiers wait for their key through the delay, held down.
    ini_item "held" "RW Held" 0 RwKeylog "" "" "" "x{SHIFT}{CTRL}{DELAY=8000}b" 0
    start_rw
    keylog "RW Ctrl Last" "$WORK/last.log"
    wait_for 10 grep -q "down Control_L" "$WORK/last.log" || fail "the macro did not arrive: '$(presses "$WORK/last.log")'"
    wait_for 10 grep -q "SendKeys finished" "$WORK/rw.log" || fail "the macro did not finish"
    [ "$(presses "$WORK/last.log")" = "a b c Control_L " ] || fail "keys: '$(presses "$WORK/last.log")'"
    [ -z "$(held_keys)" ] || fail "held after 'abc{CTRL}': $(held_keys)"
    keylog "RW Held" "$WORK/held.log"
    wait_for 10 grep -q "down Control_L" "$WORK/held.log" || fail "the macro did not start: '$(presses "$WORK/held.log")'"
    # During the delay both are down, as the macro says...
    [ "$(held_keys)" = "Control_L Shift_L " ] || fail "held during the delay: '$(held_keys)'"
    keylog "RW Other" "$WORK/other.log"
    wait_for 20 grep -q "SendKeys stopped" "$WORK/rw.log" || fail "the macro was not reported as stopped"
    # ...and once playback has stopped neither is.
    wait_for 10 sh -c '[ -z "$("$KEYLOG" --held)" ]' || fail "held after the stop: $(held_keys)"
    [ -z "$(presses "$WORK/other.log")" ] || fail "the other window received: '$(presses "$WORK/other.log")'"
}

# ends_and_saves HOW...: the program, given a hand-edited settings file,
# is ended by the command HOW (which may use $RW_PID); it must end cleanly,
# with the file written back in its own form.
ends_and_saves() {
    printf '; my notes\n[Item]\nDesc=kept\nTitle=Some Title\nClass=Zenity\nMacro=x{ENTER}\n' >"$INI"
    start_rw
    "$@" || fail "could not end the program with: $*"
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "replywick did not end after: $*"
    wait "$RW_PID"
    local rc=$?
    RW_PID=""
    [ $rc -eq 0 ] || fail "exit code $rc after: $*"
    local want
    want=$(printf '; Replywick\r\n\r\n\r\n[Item]\r\nDesc=kept\r\nTitle=Some Title\r\nTitleTestType=0\r\nClass=Zenity\r\nText=\r\nModul=\r\nSize=\r\nMacro=x{ENTER}\r\nDelay=0\r\n\r\n\r\n' | od -c)
    [ "$(od -c <"$INI")" = "$want" ] || fail "settings file not rewritten after $*: $(od -c <"$INI" | head -5)"
    grep -q "Replywick end -------------" "$WORK/rw.log" || fail "no end line after: $*"
}

send_signal() { kill -"$1" "$RW_PID"; }
scenario_sigint_saves() { ends_and_saves send_signal INT; }
scenario_sighup_saves() { ends_and_saves send_signal HUP; }

# end_session: the session manager ends the session once the program has
# registered with it.
end_session() {
    wait_for 10 grep -qx registered "$WORK/sm.out" || fail "the program did not register: $(cat "$WORK/sm.out")"
    echo end >&7
}

scenario_session_end_saves() {
    : "${SESSION:?SESSION must name rw_session}"
    mkfifo "$WORK/sm.in"
    "$SESSION" <"$WORK/sm.in" >"$WORK/sm.out" 2>&1 &
    track $!
    exec 7>"$WORK/sm.in"
    wait_for 10 test -s "$WORK/sm.out" || fail "the session manager did not start"
    SESSION_MANAGER=$(head -n 1 "$WORK/sm.out")
    export SESSION_MANAGER
    ends_and_saves end_session
    grep -qx saved "$WORK/sm.out" || fail "the program did not answer the session's end: $(cat "$WORK/sm.out")"
}

scenario_grab_during_delay() {
    # A pause inside the macro: a popup grabs the keyboard meanwhile (as a
    # menu or a screen locker does). The target stays the active window,
    # but keys would go to the popup: it must get nothing.
    ini_begin
    ini_item "target" "RW Target" 0 RwKeylog "" "" "" "ab{DELAY=1500}cd{ENTER}" 0
    start_rw
    keylog "RW Target" "$WORK/target.log"
    wait_for 10 grep -q "down b" "$WORK/target.log" || fail "the macro did not start: '$(presses "$WORK/target.log")'"
    local target
    target=$(active_id)
    keylog_start --grab "RW Popup" "$WORK/popup.log"
    wait_for 5 grep -q "grabbed" "$WORK/popup.log" || fail "the popup did not grab the keyboard: $(cat "$WORK/popup.log")"
    [ "$(active_id)" = "$target" ] || fail "the active window changed to $(active_id): the test needs it to stay"
    sleep 2.5
    [ -z "$(presses "$WORK/popup.log")" ] || fail "the popup received: '$(presses "$WORK/popup.log")'"
    [ "$(presses "$WORK/target.log")" = "a b " ] || fail "the target received: '$(presses "$WORK/target.log")'"
    grep -q "SendKeys stopped: the target window lost the keyboard" "$WORK/rw.log" ||
        fail "the macro was not reported as stopped for the lost keyboard: $(grep SendKeys "$WORK/rw.log" | tail -3)"
}

scenario_popup_while_typing() {
    # A long text typed without pauses; a popup the window manager does not
    # manage takes the input focus meanwhile: whatever of the text it would
    # get lands nowhere.
    local text
    text=$(printf 'abcdefghij%.0s' $(seq 1 60))
    ini_begin
    ini_item "target" "RW Target" 0 RwKeylog "" "" "" "$text" 0
    start_rw
    keylog "RW Target" "$WORK/target.log"
    wait_for 10 sh -c "[ \$(grep -c '^down' '$WORK/target.log') -ge 20 ]" || fail "the macro did not start"
    keylog_start --popup "RW Popup" "$WORK/popup.log"
    wait_for 5 grep -q "focused" "$WORK/popup.log" || fail "the popup did not take the focus"
    wait_for 10 grep -q "SendKeys stopped\|SendKeys finished" "$WORK/rw.log" || fail "the macro neither stopped nor finished"
    grep -q "SendKeys finished" "$WORK/rw.log" && fail "the macro was typed to its end: the popup came too late for the test"
    sleep 0.5
    [ -z "$(presses "$WORK/popup.log")" ] || fail "the popup received: '$(presses "$WORK/popup.log" | head -c 200)'"
    echo "the target got $(grep -c '^down' "$WORK/target.log") of ${#text} keys, the popup none"
}

scenario_ini_symlink() {
    # The settings file beside the program is a link to the real one.
    mkdir -p "$WORK/elsewhere"
    local real="$WORK/elsewhere/settings.ini"
    printf '[Item]\nDesc=kept\nTitle=Some Title\nClass=Zenity\nMacro=x{ENTER}\n' >"$real"
    ln -s "$real" "$INI"
    start_rw
    kill -TERM "$RW_PID"
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "replywick did not end on SIGTERM"
    wait "$RW_PID"
    RW_PID=""
    [ -L "$INI" ] || fail "the link was replaced by $(stat -c %F "$INI")"
    [ "$(readlink "$INI")" = "$real" ] || fail "the link now points to '$(readlink "$INI")'"
    [ -f "$real" ] && [ ! -L "$real" ] || fail "the real file is gone"
    head -c 11 "$real" | grep -q "; Replywick" || fail "the real file was not written: $(head -c 60 "$real" | od -c | head -3)"
    grep -q "Desc=kept" "$real" || fail "the item is lost"
    [ "$(ls -A "$WORK/app" "$WORK/elsewhere" | tr '\n' ' ')" = \
        "$WORK/app: replywick replywick.ini  $WORK/elsewhere: settings.ini " ] ||
        fail "files left behind: $(ls -A "$WORK/app" "$WORK/elsewhere")"
}

scenario_ini_readonly() {
    # A settings file the user made read-only stays as it is, even for root
    # (who could write it anyway).
    printf '[Item]\nDesc=ro\nTitle=RW Readonly\nClass=RwKeylog\nMacro=r\n' >"$INI"
    chmod 0444 "$INI"
    cp -p "$INI" "$WORK/ini.orig"
    start_rw
    # It was read all the same.
    keylog "RW Readonly" "$WORK/ro.log"
    wait_for 10 grep -q "down r" "$WORK/ro.log" || fail "the item of the read-only file did not answer"
    kill -TERM "$RW_PID"
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "replywick did not end on SIGTERM"
    wait "$RW_PID"
    RW_PID=""
    cmp -s "$INI" "$WORK/ini.orig" || fail "the read-only file was changed: $(od -c "$INI" | head -3)"
    [ "$(stat -c %a "$INI")" = 444 ] || fail "the mode is now $(stat -c %a "$INI")"
    [ "$(ls -A "$WORK/app" | tr '\n' ' ')" = "replywick replywick.ini " ] ||
        fail "files left behind: $(ls -A "$WORK/app")"
}

# needs_root WHY: ends the scenario as skipped unless it runs as root.
needs_root() {
    [ "$(id -u)" -eq 0 ] || { echo "SKIP: $1"; exit 77; }
}

scenario_ini_open_folder() {
    # The program's folder is open to every user: another could have put a
    # settings file there, or could swap it for a link before the save. It
    # is neither read nor written.
    printf '; mine\n[Item]\nDesc=planted\nTitle=RW Planted\nClass=RwKeylog\nMacro=p\n' >"$INI"
    chmod 0600 "$INI"
    chmod 0777 "$WORK/app"
    cp -p "$INI" "$WORK/ini.orig"
    local inode
    inode=$(stat -c %i "$INI")
    start_rw
    grep -q "Settings not read: other users can change it: folder $WORK/app is writable by everyone" "$WORK/rw.log" ||
        fail "no debug line on the open folder"
    kill -TERM "$RW_PID"
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "replywick did not end on SIGTERM"
    wait "$RW_PID"
    RW_PID=""
    grep -q "Settings not written: other users can change the file" "$WORK/rw.log" || fail "no debug line on the save"
    cmp -s "$INI" "$WORK/ini.orig" || fail "the settings file was changed: $(od -c "$INI" | head -3)"
    [ "$(stat -c %i "$INI")" = "$inode" ] || fail "the settings file was replaced"
    [ "$(ls -A "$WORK/app" | tr '\n' ' ')" = "replywick replywick.ini " ] ||
        fail "files left behind: $(ls -A "$WORK/app")"
}

scenario_ini_fifo() {
    # A FIFO in the settings file's place: the program starts without
    # waiting for a writer, and leaves it as it is.
    rm -f "$INI"
    mkfifo -m 0600 "$INI"
    start_rw
    grep -q "Settings not read: no regular file: $INI is a FIFO" "$WORK/rw.log" || fail "no debug line on the FIFO"
    kill -TERM "$RW_PID"
    wait_for 10 sh -c "! kill -0 $RW_PID" || fail "replywick did not end on SIGTERM"
    wait "$RW_PID"
    RW_PID=""
    [ -p "$INI" ] || fail "the FIFO was replaced by $(stat -c %F "$INI")"
    [ "$(ls -A "$WORK/app" | tr '\n' ' ')" = "replywick replywick.ini " ] ||
        fail "files left behind: $(ls -A "$WORK/app")"
}

scenario_ini_lock_taken() {
    # Without a runtime folder the single-instance lock is a file in /tmp,
    # where another user can create it first and hold it. The program starts
    # all the same (the lock moves to the user's own folder), and a second
    # instance still ends at once.
    needs_root "only root can leave a file of another user in /tmp"
    unset XDG_RUNTIME_DIR XDG_CONFIG_HOME
    export HOME="$WORK/home"
    mkdir -p "$HOME"
    local key lock
    key=$(printf '%s' "$DISPLAY" | sed 's/\(:[0-9]*\)\..*$/\1/')
    lock="/tmp/replywick-$(id -u)-$key.lock"
    rm -f "$lock"
    RW_DIRS+=("$lock")   # removed at the end like the folders
    : >"$lock"
    chown nobody "$lock"
    chmod 0644 "$lock"
    # One process throughout (setpriv and bash replace themselves), so that
    # the end of the scenario ends the holder.
    setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups \
        bash -c 'exec 9<"$0" && flock 9 && exec sleep 120' "$lock" &
    track $!
    wait_for 10 sh -c "! flock -n '$lock' true" || fail "the other user's lock is not held"
    ini_begin
    start_rw
    ls "$HOME/.config/replywick/"replywick-*-"$(id -u)-$key.lock" >/dev/null 2>&1 ||
        fail "no lock of the user's own: $(ls -A "$HOME/.config/replywick" 2>&1)"
    local rc
    timeout 10 "$WORK/app/replywick" /d >"$WORK/second.log" 2>&1
    rc=$?
    [ $rc -eq 0 ] || fail "second instance ended with $rc"
    [ ! -s "$WORK/second.log" ] || fail "second instance wrote: $(cat "$WORK/second.log")"
    kill -0 "$RW_PID" || fail "first instance is gone"
    [ "$(stat -c %U "$lock")" = nobody ] || fail "the other user's file was changed"
}
