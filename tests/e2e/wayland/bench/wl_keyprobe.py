#!/usr/bin/python3
"""A Wayland test window for the benchmarks (GTK 4, app id
org.replywick.Probe): logs when it is mapped and every key press, in
milliseconds of the monotonic clock, and the text of its entry when Return
is pressed there (then it ends).

Usage: wl_keyprobe.py TITLE LOG [SHOW_AFTER_MS]
Log lines: "map MS", "key MS KEYVAL", "text REPR". SIGTERM also logs the
text (for typing tools that cannot press Return in it), then ends.
"""
import signal
import sys
import time

import gi

gi.require_version("Gtk", "4.0")
from gi.repository import Gio, GLib, Gtk  # noqa: E402

title, log_path = sys.argv[1], sys.argv[2]
PRESENT_AFTER_MS = int(sys.argv[3]) if len(sys.argv) > 3 else 0
log = open(log_path, "w", buffering=1, encoding="utf-8")


def now():
    return time.clock_gettime(time.CLOCK_MONOTONIC) * 1000.0


def activate(app):
    win = Gtk.ApplicationWindow(application=app, title=title)
    win.set_default_size(600, 120)
    entry = Gtk.Entry()
    win.set_child(entry)
    keys = Gtk.EventControllerKey()
    keys.set_propagation_phase(Gtk.PropagationPhase.CAPTURE)
    keys.connect("key-pressed", lambda c, keyval, code, state: log.write("key %.3f %d\n" % (now(), keyval)) and False)
    win.add_controller(keys)
    win.connect("map", lambda w: log.write("map %.3f\n" % now()))

    def done(e):
        log.write("text %r\n" % e.get_text())
        app.quit()

    entry.connect("activate", done)
    GLib.unix_signal_add(GLib.PRIORITY_HIGH, signal.SIGTERM, lambda: done(entry) or False)
    # Shown once the program has settled (Python and GTK start-up, its
    # accessibility bridge): the figure is the reaction to a dialog of a
    # running program, not the program's own start.
    GLib.timeout_add(PRESENT_AFTER_MS, lambda: win.present() and False)


app = Gtk.Application(application_id="org.replywick.Probe", flags=Gio.ApplicationFlags.NON_UNIQUE)
app.connect("activate", activate)
app.run([])
