#!/usr/bin/python3
"""A keyboard for mutter's seat, through its remote-desktop interface.

mutter's headless seat has no keyboard, and without one it activates no
window: no program is told it is in front. The first key sent through a
remote-desktop session gives the seat a keyboard (that key itself is
lost). Only the connection that created the session may send keys, so this
stays running.

Usage: mutter_keys.py FIFO
  Prints "ready" once the seat has a keyboard, then reads commands from
  FIFO, one a line, and prints "done N" after the Nth:
    alttab N   Alt held down, Tab pressed N times, Alt let go
Needs python3-dbus (Debian's python3). Every call is bounded.
"""
import sys
import time

import dbus

NAME = "org.gnome.Mutter.RemoteDesktop"
TIMEOUT = 5
ALT, TAB, SHIFT = 0xFFE9, 0xFF09, 0xFFE1


def main():
    bus = dbus.SessionBus()
    end = time.monotonic() + 15
    while not bus.name_has_owner(NAME):
        if time.monotonic() > end:
            print("mutter offers no remote desktop", file=sys.stderr)
            return 1
        time.sleep(0.1)
    rd = bus.get_object(NAME, "/org/gnome/Mutter/RemoteDesktop")
    path = rd.CreateSession(dbus_interface=NAME, timeout=TIMEOUT)
    session = dbus.Interface(bus.get_object(NAME, path), NAME + ".Session")
    session.Start(timeout=TIMEOUT)

    def key(keysym, down):
        session.NotifyKeyboardKeysym(dbus.UInt32(keysym), dbus.Boolean(down), timeout=TIMEOUT)

    # Shift alone types nothing anywhere.
    key(SHIFT, True)
    key(SHIFT, False)
    print("ready", flush=True)
    done = 0
    while True:
        with open(sys.argv[1], encoding="utf-8") as fifo:
            for line in fifo:
                words = line.split()
                if words[:1] == ["alttab"]:
                    key(ALT, True)
                    for _ in range(int(words[1]) if len(words) > 1 else 1):
                        key(TAB, True)
                        key(TAB, False)
                    key(ALT, False)
                done += 1
                print("done %d" % done, flush=True)


if __name__ == "__main__":
    sys.exit(main())
