# sway (wlroots): the foreign-toplevel list and virtual keyboards, swaybar
# as the tray host. sway refuses to run as root: it runs as nobody, in a
# runtime folder of its own; the clients (the program, zenity) connect to
# its socket by its full path. Sourced by lib.sh.

COMPOSITOR_PROGRAM=sway

start_compositor() {
    mkdir -m 700 "$WORK/sway-run"
    [ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$WORK/sway-run"
    cat >"$WORK/sway.conf" <<'CONF'
xwayland disable
output HEADLESS-1 resolution 1280x1024 position 0 0
default_border normal
focus_on_window_activation focus
# The tray host (StatusNotifierItem) for the program's icon.
bar {
    position top
    tray_output *
}
CONF
    chmod 644 "$WORK/sway.conf"
    # As nobody when we are root; every step execs the next, so that the
    # process tracked is sway itself.
    local user=()
    [ "$(id -u)" -eq 0 ] && user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    env -i PATH="$PATH" HOME=/nonexistent XDG_RUNTIME_DIR="$WORK/sway-run" \
        DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        "${user[@]}" sway -c "$WORK/sway.conf" >"$WORK/sway.log" 2>&1 &
    track $!
    SWAY_PID=$!
    wait_for 10 sh -c "ls '$WORK/sway-run' | grep -q '^wayland-[0-9]*$'" || fail "sway did not start: $(tail -5 "$WORK/sway.log")"
    WAYLAND_DISPLAY="$WORK/sway-run/$(ls "$WORK/sway-run" | grep '^wayland-[0-9]*$' | head -1)"
    SWAYSOCK=$(ls "$WORK/sway-run"/sway-ipc.*.sock 2>/dev/null | head -1)
    export WAYLAND_DISPLAY SWAYSOCK
}

# The toplevels sway shows, one "app_id<TAB>title<TAB>focused" a line.
toplevels() {
    swaymsg -t get_tree -r 2>/dev/null | python3 -c '
import json, sys
def walk(n):
    if n.get("type") in ("con", "floating_con") and n.get("pid"):
        print("%s\t%s\t%s" % (n.get("app_id"), n.get("name"), n.get("focused")))
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c)
walk(json.load(sys.stdin))'
}
