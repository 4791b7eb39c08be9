# KWin (KDE Plasma 5.27), headless: its window management and fake input,
# which it grants only to a program that a desktop file names with
# X-KDE-Wayland-Interfaces. The menu entry of the package grants them to
# /usr/bin/replywick; here the same entry, pointed at the program copy the
# harness runs, lies in the private XDG_DATA_HOME, where KWin looks too.
# KWin runs as the harness's user (root in CI), with the harness's private
# XDG folders, so that it writes no settings of the user's. Its windows
# and the focus are told and moved by KWin scripts over D-Bus; what a
# script prints goes to KWin's log. Sourced by lib.sh.

COMPOSITOR_PROGRAM=kwin_wayland

start_compositor() {
    mkdir -p "$XDG_DATA_HOME/applications"
    sed "s|^Exec=/usr/bin/replywick$|Exec=$WORK/app/replywick|" \
        "$(dirname "${BASH_SOURCE[0]}")/../../../packaging/replywick.desktop" \
        >"$XDG_DATA_HOME/applications/replywick.desktop"
    grep -q "^Exec=$WORK/app/replywick$" "$XDG_DATA_HOME/applications/replywick.desktop" ||
        fail "the menu entry names no /usr/bin/replywick"
    # The installed kwin_wayland carries the file capability CAP_SYS_RESOURCE
    # (for its real-time scheduling). Where that capability is outside the
    # bounding set (a container), the kernel refuses to run the file at
    # all; a copy has no file capabilities and runs, without real-time
    # scheduling, which a headless test does not need.
    cp "$(command -v kwin_wayland)" "$WORK/kwin_wayland"
    "$WORK/kwin_wayland" --virtual --width 1280 --height 800 --no-lockscreen --socket wayland-rw \
        >"$WORK/kwin.log" 2>&1 &
    track $!
    KWIN_PID=$!
    wait_for 20 test -S "$XDG_RUNTIME_DIR/wayland-rw" || fail "kwin did not start: $(tail -5 "$WORK/kwin.log")"
    export WAYLAND_DISPLAY=wayland-rw
    # Qt 5 programs (kdialog) as Wayland clients.
    export QT_QPA_PLATFORM=wayland
    wait_for 20 kwin_has_scripting || fail "kwin offers no scripting: $(tail -5 "$WORK/kwin.log")"
}

kwin_has_scripting() {
    dbus-send --session --print-reply --dest=org.kde.KWin /Scripting org.freedesktop.DBus.Introspectable.Introspect |
        grep -q loadScript
}

# kwin_script NAME BODY: runs BODY as a KWin script; what it prints is in
# the log as "js: ..." lines. The script prints "NAME END" last.
kwin_script() {
    local name=$1 file="$WORK/$1.js"
    printf '%s\nprint("%s END");\n' "$2" "$name" >"$file"
    dbus-send --session --print-reply --dest=org.kde.KWin /Scripting org.kde.kwin.Scripting.loadScript \
        string:"$file" string:"$name" >/dev/null || return 1
    dbus-send --session --print-reply --dest=org.kde.KWin /Scripting org.kde.kwin.Scripting.start >/dev/null
    wait_for 10 grep -aq "^js: $name END$" "$WORK/kwin.log"
    local rc=$?
    dbus-send --session --print-reply --dest=org.kde.KWin /Scripting org.kde.kwin.Scripting.unloadScript \
        string:"$name" >/dev/null
    return $rc
}

# A name no other script of the run has (toplevels runs in pipelines,
# whose subshells share no counter).
kwin_script_name() { echo "rw_${BASHPID}_$(date +%s%N)"; }

# The windows KWin manages, one "app_id<TAB>title<TAB>focused" a line.
toplevels() {
    local name
    name=$(kwin_script_name)
    kwin_script "$name" "
var cs = workspace.clientList();
for (var i = 0; i < cs.length; i++) {
    var c = cs[i];
    print('$name\t' + c.resourceClass + '\t' + c.caption + '\t' + (c == workspace.activeClient ? 'True' : 'False'));
}" || return 1
    grep -a "^js: $name	" "$WORK/kwin.log" | cut -f2-
}

# focus_title TITLE: KWin gives the window of that title the focus (again,
# should it have it already).
focus_new_window() { focus_title "$1"; }
focus_title() {
    local name title
    name=$(kwin_script_name)
    title=$(/usr/bin/python3 -c 'import json, sys; print(json.dumps(sys.argv[1]))' "$1")
    kwin_script "$name" "
var cs = workspace.clientList();
for (var i = 0; i < cs.length; i++)
    if (cs[i].caption == $title) workspace.activeClient = cs[i];"
}

# window_state TITLE: "minimized", "maximized" (it fills the area a window
# is maximised to; scripts see no maximise mode) or "normal".
window_state() {
    local name title
    name=$(kwin_script_name)
    title=$(/usr/bin/python3 -c 'import json, sys; print(json.dumps(sys.argv[1]))' "$1")
    kwin_script "$name" "
var cs = workspace.clientList();
for (var i = 0; i < cs.length; i++) {
    var c = cs[i], a = workspace.clientArea(KWin.MaximizeArea, c), g = c.frameGeometry;
    if (c.caption == $title)
        print('$name\t' + (c.minimized ? 'minimized' : g.width == a.width && g.height == a.height ? 'maximized' : 'normal'));
}" ||
        return 1
    grep -a "^js: $name	" "$WORK/kwin.log" | cut -f2
}
