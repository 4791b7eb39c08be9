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
