#!/usr/bin/python3
"""Answers the desktop portal's question whether a program may type: GNOME's
window "Remote desktop", which must be the active window. The keys go
through a remote desktop session of mutter's own, as a user's would.

Usage: portal_answer.py allow|refuse
  allow   the switch "Allow remote interaction" on (Tab, Space), then
          "Share" (Alt+S)
  refuse  Escape (the window's Cancel)
Needs python3-gi. Every call is bounded.
"""
import sys
import time

from gi.repository import Gio, GLib

NAME = "org.gnome.Mutter.RemoteDesktop"
SESSION = NAME + ".Session"
TIMEOUT_MS = 5000
TAB, SPACE, ALT, ESCAPE, SHIFT = 0xFF09, 0x20, 0xFFE9, 0xFF1B, 0xFFE1
KEYS = {"allow": [[TAB], [SPACE], [ALT, ord("s")]], "refuse": [[ESCAPE]]}


def main():
    if len(sys.argv) != 2 or sys.argv[1] not in KEYS:
        print(__doc__, file=sys.stderr)
        return 64
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def call(path, iface, method, args=None):
        return bus.call_sync(NAME, path, iface, method, args, None, Gio.DBusCallFlags.NONE, TIMEOUT_MS, None)

    path = call("/org/gnome/Mutter/RemoteDesktop", NAME, "CreateSession").unpack()[0]
    call(path, SESSION, "Start")

    def key(keysym, down):
        call(path, SESSION, "NotifyKeyboardKeysym", GLib.Variant("(ub)", (keysym, down)))

    # Shift alone types nothing (and gives a seat without a keyboard one).
    key(SHIFT, True)
    key(SHIFT, False)
    for chord in KEYS[sys.argv[1]]:
        # The window moves its focus and turns the switch between keys.
        time.sleep(0.3)
        for k in chord:
            key(k, True)
        for k in reversed(chord):
            key(k, False)
    time.sleep(0.3)
    call(path, SESSION, "Stop")
    return 0


if __name__ == "__main__":
    sys.exit(main())
