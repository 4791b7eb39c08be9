#!/usr/bin/python3
"""The windows as the accessibility bus tells them, for the harnesses of
compositors that tell their windows to no one (mutter).

Usage:
  a11y.py frames      one "program<TAB>title<TAB>active" line per top-level
                      object of each program (active: True or False)
  a11y.py text TITLE  the text of the first editable text in the window of
                      that title (empty when none)
Needs python3-dbus (Debian's python3). Every call is bounded.
"""
import sys

import dbus

ACC = "org.a11y.atspi.Accessible"
PROPS = "org.freedesktop.DBus.Properties"
ROOT = "/org/a11y/atspi/accessible/root"
STATE_ACTIVE = 1
TIMEOUT = 2


def a11y_bus():
    session = dbus.SessionBus()
    address = session.get_object("org.a11y.Bus", "/org/a11y/bus").GetAddress(
        dbus_interface="org.a11y.Bus", timeout=TIMEOUT)
    return dbus.bus.BusConnection(address)


def name_of(obj):
    return str(obj.Get(ACC, "Name", dbus_interface=PROPS, timeout=TIMEOUT))


def frames(bus):
    """(program name, frame object) of every top-level object."""
    registry = bus.get_object("org.a11y.atspi.Registry", ROOT)
    for name, path in registry.GetChildren(dbus_interface=ACC, timeout=TIMEOUT):
        try:
            app = bus.get_object(name, path, introspect=False)
            program = name_of(app)
            for fname, fpath in app.GetChildren(dbus_interface=ACC, timeout=TIMEOUT):
                yield program, bus.get_object(fname, fpath, introspect=False)
        except dbus.DBusException:
            continue  # a program that went away meanwhile


def first_editable(bus, obj, budget=400):
    queue = [obj]
    while queue and budget > 0:
        o = queue.pop(0)
        budget -= 1
        try:
            if "org.a11y.atspi.EditableText" in o.GetInterfaces(dbus_interface=ACC, timeout=TIMEOUT):
                return o
            queue += [bus.get_object(n, p, introspect=False)
                      for n, p in o.GetChildren(dbus_interface=ACC, timeout=TIMEOUT)]
        except dbus.DBusException:
            continue
    return None


def main():
    bus = a11y_bus()
    if sys.argv[1:2] == ["frames"]:
        for program, frame in frames(bus):
            try:
                title = name_of(frame)
                states = frame.GetState(dbus_interface=ACC, timeout=TIMEOUT)
            except dbus.DBusException:
                continue
            active = bool(int(states[0]) & (1 << STATE_ACTIVE))
            print("%s\t%s\t%s" % (program, title, active))
        return 0
    if sys.argv[1:2] == ["text"] and len(sys.argv) == 3:
        for _, frame in frames(bus):
            try:
                if name_of(frame) != sys.argv[2]:
                    continue
            except dbus.DBusException:
                continue
            edit = first_editable(bus, frame)
            if edit is not None:
                print(str(edit.GetText(0, -1, dbus_interface="org.a11y.atspi.Text", timeout=TIMEOUT)))
            return 0
        return 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
