#!/usr/bin/env bash
# Installs the Debian package, answers one dialog with the installed program
# and removes the package again. Runs as root on Debian 12 (as in CI).
#
#   tests/install/install_test.sh [--skip-if-stale PROGRAM] [dist/replywick_VERSION_amd64.deb]
#
# With --skip-if-stale (as ctest runs it, label install) it reports itself
# skipped (exit code 77) when there is no package built since PROGRAM, the
# development build's program, was last built, or when it does not run as
# root; RW_INSTALL_REQUIRED=1 (CI, after packaging) makes that a failure.
#
# The installed program runs as a user of its own: root may write /usr/bin,
# and the point is the settings file of a program installed where its user
# cannot write, ~/.config/replywick/replywick.ini. It runs under an X server
# of its own with openbox and a tray host (tests/e2e/x11/lib.sh).
set -u
cd "$(dirname "$0")/../.."
ROOT=$PWD

BUILT=""
if [ "${1:-}" = --skip-if-stale ]; then
    BUILT=${2:?--skip-if-stale needs the development build\'s program}
    shift 2
fi
# not_here MESSAGE: ends the test as skipped under --skip-if-stale (unless
# required), as an error otherwise.
not_here() {
    echo "install_test: $*" >&2
    if [ -n "$BUILT" ] && [ "${RW_INSTALL_REQUIRED:-0}" != 1 ]; then
        echo "SKIP: $*"
        exit 77
    fi
    exit 2
}
DEB=${1:-}
if [ -z "$DEB" ]; then
    DEB=$(ls -t dist/replywick_*_amd64.deb 2>/dev/null | head -n 1)
fi
if [ -z "$DEB" ] || [ ! -f "$DEB" ]; then
    not_here "no package (run scripts/package.sh, or name the .deb)"
fi
# A package left from an earlier build would test old code.
if [ -n "$BUILT" ] && [ -e "$BUILT" ] && [ ! "$DEB" -nt "$BUILT" ]; then
    not_here "$DEB is older than $BUILT (run scripts/package.sh)"
fi
DEB=$(readlink -f "$DEB")
if [ "$(id -u)" -ne 0 ]; then
    not_here "must run as root (dpkg -i)"
fi
VERSION=$(dpkg-deb -f "$DEB" Version)

PASSED=0
FAILED=0
ok() { PASSED=$((PASSED + 1)); echo "ok: $*"; }
bad() { FAILED=$((FAILED + 1)); echo "FAILED: $*"; }
# check NAME COMMAND...: one counted check.
check() {
    local name=$1 out
    shift
    if out=$("$@" 2>&1); then ok "$name"; else bad "$name${out:+: $(echo "$out" | tail -n 3)}"; fi
}

# ---- Install -------------------------------------------------------------
export DEBIAN_FRONTEND=noninteractive
if ! dpkg -i "$DEB" >/tmp/rw-install-dpkg.log 2>&1; then
    # Missing dependencies: let apt bring them and finish the installation.
    apt-get update -qq >/dev/null 2>&1
    apt-get install -f -y -qq >>/tmp/rw-install-dpkg.log 2>&1
fi
installed() { dpkg-query -W -f='${Status} ${Version}' replywick 2>/dev/null; }
if [ "$(installed)" = "install ok installed $VERSION" ]; then
    ok "dpkg -i $(basename "$DEB")"
else
    bad "dpkg -i $(basename "$DEB"): $(tail -n 5 /tmp/rw-install-dpkg.log)"
    echo "$PASSED passed, $FAILED failed"
    exit 1
fi
rm -f /tmp/rw-install-dpkg.log

check "program in /usr/bin" test -x /usr/bin/replywick
check "manual page" sh -c 'man -w replywick | grep -q "^/usr/share/man/man1/replywick.1.gz$"'
check "menu entry" grep -q '^Exec=/usr/bin/replywick$' /usr/share/applications/replywick.desktop
check "menu entry grants KWin's window list, fake input and key states" grep -q \
    '^X-KDE-Wayland-Interfaces=org_kde_plasma_window_management,org_kde_kwin_fake_input,org_kde_kwin_keystate$' \
    /usr/share/applications/replywick.desktop
check "menu entry's Settings action" grep -q '^Exec=replywick --settings$' /usr/share/applications/replywick.desktop
check "AppStream metadata" "$ROOT/packaging/validate-metainfo.sh" /usr/share/metainfo/replywick.metainfo.xml
check "menu icons" test -f /usr/share/icons/hicolor/16x16/apps/replywick.png \
    -a -f /usr/share/icons/hicolor/48x48/apps/replywick.png \
    -a -f /usr/share/icons/hicolor/256x256/apps/replywick.png
check "copyright" grep -q '^License: Expat' /usr/share/doc/replywick/copyright
# Both answer without any X display.
check "--version" sh -c "[ \"\$(env -u DISPLAY replywick --version)\" = 'Replywick $VERSION' ]"
check "--help" sh -c 'env -u DISPLAY replywick --help | grep -q "^Usage: replywick"'

# ---- Run it --------------------------------------------------------------
# The X server, window manager and tray host of the end-to-end tests. The
# program copy lib.sh makes is not used: the installed one runs.
export REPLYWICK=/usr/bin/replywick KEYLOG=/bin/true
# shellcheck source=../e2e/x11/lib.sh
. "$ROOT/tests/e2e/x11/lib.sh"

USER_NAME=rw-install-test
HOMES=()
USER_BUS_PID=""
REMOVED=""
# Our own clean-up, then the harness's (which ends its X server, window
# manager, tray host and bus).
install_test_end() {
    [ -n "${RUN_PID:-}" ] && kill "$RUN_PID" 2>/dev/null
    [ -n "$USER_BUS_PID" ] && kill "$USER_BUS_PID" 2>/dev/null
    finish
    userdel --force "$USER_NAME" >/dev/null 2>&1
    # Cut short: the machine gets its state back all the same.
    [ -n "$REMOVED" ] || dpkg -r replywick >/dev/null 2>&1
    local h
    for h in "${HOMES[@]}"; do rm -rf "$h"; done
    echo "$PASSED passed, $FAILED failed"
}
trap install_test_end EXIT

start_env
useradd --system --user-group --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
    "$USER_NAME" >/dev/null 2>&1
USER_UID=$(id -u "$USER_NAME") || fail "could not create the user $USER_NAME"
USER_GID=$(id -g "$USER_NAME")
as_user() { setpriv --reuid="$USER_UID" --regid="$USER_GID" --clear-groups "$@"; }
# The user's own session bus, as a desktop session has; the accessibility
# bus starts through it on demand.
BUS_INFO=$(as_user env HOME=/nonexistent dbus-daemon --session --fork --print-address=1 --print-pid=1) ||
    fail "could not start a session bus for $USER_NAME"
USER_BUS=$(echo "$BUS_INFO" | sed -n 1p)
USER_BUS_PID=$(echo "$BUS_INFO" | sed -n 2p)

# new_home: a fresh home folder (and runtime folder) for the test user.
new_home() {
    TEST_HOME=$(mktemp -d /tmp/rw-install-home.XXXXXX)
    HOMES+=("$TEST_HOME")
    mkdir -p "$TEST_HOME/run"
    chmod 0700 "$TEST_HOME/run"
    chown -R "$USER_UID:$USER_GID" "$TEST_HOME"
}

# start_installed: the installed program as the test user, with trace lines.
start_installed() {
    # setpriv itself, not as_user: $! must be the program's own id.
    setpriv --reuid="$USER_UID" --regid="$USER_GID" --clear-groups \
        env -u XDG_CONFIG_HOME -u NO_AT_BRIDGE HOME="$TEST_HOME" XDG_RUNTIME_DIR="$TEST_HOME/run" \
        USER="$USER_NAME" LOGNAME="$USER_NAME" DBUS_SESSION_BUS_ADDRESS="$USER_BUS" RW_X11_TRACE=1 \
        /usr/bin/replywick /d >"$WORK/rw.log" 2>&1 &
    RUN_PID=$!
    wait_for 10 sh -c 'xwininfo -root -tree | grep -q "\"Replywick MainForm\""' &&
        wait_for 10 tray_icon_pos
}

# stop_installed: SIGTERM, and the program must end by itself.
stop_installed() {
    kill -TERM "$RUN_PID" 2>/dev/null
    local i
    for i in $(seq 1 100); do
        kill -0 "$RUN_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$RUN_PID" 2>/dev/null; then
        kill -KILL "$RUN_PID"
        wait "$RUN_PID" 2>/dev/null
        RUN_PID=""
        STOP_RC="still running after 10 s"
        return 1
    fi
    wait "$RUN_PID" 2>/dev/null
    STOP_RC=$?
    RUN_PID=""
    return $STOP_RC
}
# check_stop: stop_installed as a counted check (in this shell: it waits
# for its own child).
check_stop() {
    if stop_installed; then
        ok "SIGTERM ends it with exit code 0"
    else
        bad "SIGTERM ends it with exit code 0 (exit code ${STOP_RC:-none}): $(tail -n 3 "$WORK/rw.log")"
    fi
}

# 1. A settings file in ~/.config/replywick answers a zenity dialog.
new_home
CONF="$TEST_HOME/.config/replywick"
mkdir -p "$CONF"
INI="$CONF/replywick.ini"
ini_begin
ini_item "Install check" "RW Install" 0 Zenity "" "" "" "installed{ENTER}" 0
chmod 0700 "$TEST_HOME/.config" "$CONF"
chmod 0600 "$INI"
chown -R "$USER_UID:$USER_GID" "$TEST_HOME/.config"
# An old time stamp shows whether the file is written again at the end.
touch -d '2001-01-01 00:00:00' "$INI"

if start_installed; then
    ok "installed program starts, tray icon shown"
    zenity --entry --title "RW Install" --text "Install test" >"$WORK/zenity.out" 2>/dev/null &
    ZENITY_PID=$!
    for i in $(seq 1 150); do
        kill -0 "$ZENITY_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$ZENITY_PID" 2>/dev/null; then
        kill "$ZENITY_PID" 2>/dev/null
        bad "zenity dialog answered (still open after 15 s)"
    elif [ "$(cat "$WORK/zenity.out")" = "installed" ]; then
        ok "zenity dialog answered with 'installed'"
    else
        bad "zenity dialog answered: it printed '$(cat "$WORK/zenity.out")'"
    fi
    wait "$ZENITY_PID" 2>/dev/null
    check_stop
    check "settings file rewritten at the end" test "$(stat -c %Y "$INI")" -gt 1000000000
    check "settings file still holds the item" sh -c "grep -q '^Title=RW Install' '$INI' &&
        grep -q '^Macro=installed{ENTER}' '$INI' && grep -q '^Class=Zenity' '$INI'"
    check "nothing written beside the program" test ! -e /usr/bin/replywick.ini
else
    bad "installed program starts, tray icon shown: $(tail -n 5 "$WORK/rw.log")"
    stop_installed
fi

# 2. Without any configuration folder: it is made, owner-only, on the way out.
new_home
if start_installed; then
    ok "starts in a home without ~/.config"
    check_stop
    check "~/.config/replywick made owner-only" \
        sh -c "[ \"\$(stat -c %a '$TEST_HOME/.config/replywick')\" = 700 ]"
    check "new settings file readable by its owner only" \
        sh -c "[ \"\$(stat -c '%a %u' '$TEST_HOME/.config/replywick/replywick.ini')\" = '600 $USER_UID' ]"
else
    bad "starts in a home without ~/.config: $(tail -n 5 "$WORK/rw.log")"
    stop_installed
fi

# 3. No tray host: --diagnose says so, the user is told how to reach the
# settings, and --settings and --about open the running program's windows.
kill "$TRAYER_PID" 2>/dev/null
wait_for 10 sh -c '! xwininfo -root -tree | grep -q "\"panel\""' || bad "the tray host did not end"
new_home
# as_user_rw ARG...: the installed program as the test user, in the
# environment start_installed gives it.
as_user_rw() {
    setpriv --reuid="$USER_UID" --regid="$USER_GID" --clear-groups \
        env -u XDG_CONFIG_HOME -u NO_AT_BRIDGE HOME="$TEST_HOME" XDG_RUNTIME_DIR="$TEST_HOME/run" \
        USER="$USER_NAME" LOGNAME="$USER_NAME" DBUS_SESSION_BUS_ADDRESS="$USER_BUS" timeout 30 \
        /usr/bin/replywick "$@"
}
wait_trace() { wait_for 10 sh -c "tail -n +$((RW_MARK + 1)) '$WORK/rw.log' | grep -q -- '$1'"; }
# escape_until TRACE: Esc, once the window has the keyboard; a window that
# was still being shown when the first Esc came gets another.
escape_until() {
    local i
    for i in 1 2 3 4 5; do
        xdotool key Escape
        wait_for 2 sh -c "tail -n +$((RW_MARK + 1)) '$WORK/rw.log' | grep -q -- '$1'" && return 0
    done
    return 1
}
check "--diagnose with no tray host: status 0" as_user_rw --diagnose
DIAG=$(as_user_rw --diagnose 2>&1)
check "--diagnose names the missing tray host" grep -q '^limited tray host: none' <<<"$DIAG"
check "--diagnose names the settings file" grep -q "^ok .*settings file: $TEST_HOME/.config/replywick/replywick.ini: not there yet" <<<"$DIAG"
setpriv --reuid="$USER_UID" --regid="$USER_GID" --clear-groups \
    env -u XDG_CONFIG_HOME -u NO_AT_BRIDGE HOME="$TEST_HOME" XDG_RUNTIME_DIR="$TEST_HOME/run" \
    USER="$USER_NAME" LOGNAME="$USER_NAME" DBUS_SESSION_BUS_ADDRESS="$USER_BUS" RW_X11_TRACE=1 \
    /usr/bin/replywick /d >"$WORK/rw.log" 2>&1 &
RUN_PID=$!
RW_MARK=0
if wait_for 10 sh -c 'xwininfo -root -tree | grep -q "\"Replywick MainForm\""'; then
    ok "starts with no tray host"
    # The very first start (no settings file yet) opens the list by itself.
    if wait_trace "^x11: item list window open"; then ok "the first start without a tray opens the settings"
    else bad "the first start without a tray opens the settings: $(tail -n 3 "$WORK/rw.log")"; fi
    check "told how to reach the settings" grep -q "replywick --settings" "$WORK/rw.log"
    wait_trace "^x11: control frmList cmdEdit" || bad "the settings show no controls"
    escape_until "^x11: item list window closed" || bad "Esc did not close the settings"
    RW_MARK=$(wc -l <"$WORK/rw.log")
    check "--settings reaches the running program" as_user_rw --settings
    if wait_trace "^x11: item list window open"; then ok "--settings opens the item list"
    else bad "--settings opens the item list: $(tail -n 3 "$WORK/rw.log")"; fi
    DIAG=$(as_user_rw --diagnose 2>&1)
    check "--diagnose sees the running program" grep -q '^ok .*another Replywick: runs' <<<"$DIAG"
    escape_until "^x11: item list window closed" || bad "Esc did not close the item list"
    RW_MARK=$(wc -l <"$WORK/rw.log")
    check "--about reaches the running program" as_user_rw --about
    if wait_trace "^x11: control frmAbout cmdOK"; then ok "--about opens About"
    else bad "--about opens About: $(tail -n 3 "$WORK/rw.log")"; fi
    xdotool key Escape
    check_stop
else
    bad "starts with no tray host: $(tail -n 5 "$WORK/rw.log")"
    stop_installed
fi

# ---- Remove --------------------------------------------------------------
dpkg -r replywick >/dev/null 2>&1
REMOVED=1
check "dpkg -r removes the package" sh -c '! dpkg-query -W -f="\${Status}" replywick 2>/dev/null | grep -q " installed$"'
check "program gone after removal" test ! -e /usr/bin/replywick
check "menu entry gone after removal" test ! -e /usr/share/applications/replywick.desktop
check "AppStream metadata gone after removal" test ! -e /usr/share/metainfo/replywick.metainfo.xml

[ "$FAILED" -eq 0 ]
