#!/usr/bin/python3
"""A Wayland test window for the benchmarks (GTK 3 like zenity, or GTK 4
with RW_PROBE_GTK=4; app id org.replywick.Probe): logs when it is mapped
and every key press, in milliseconds of the monotonic clock, and the text
of its entry when Return is pressed there (then it ends). SIGTERM also
logs the text (for typing tools that cannot press Return in it), then ends.

Usage: wl_keyprobe.py TITLE LOG [SHOW_AFTER_MS]
Log lines: "map MS", "key MS KEYVAL", "text REPR".
"""
import os
import signal
import sys
import time

import gi

GTK = os.environ.get("RW_PROBE_GTK", "3")
gi.require_version("Gtk", "4.0" if GTK == "4" else "3.0")
from gi.repository import Gio, GLib, Gtk  # noqa: E402

# GTK 3 names its Wayland toplevels after the program name.
GLib.set_prgname("org.replywick.Probe")
title, log_path = sys.argv[1], sys.argv[2]
show_after_ms = int(sys.argv[3]) if len(sys.argv) > 3 else 0
log = open(log_path, "w", buffering=1, encoding="utf-8")


def now():
    return time.clock_gettime(time.CLOCK_MONOTONIC) * 1000.0


def on_key(keyval):
    log.write("key %.3f %d\n" % (now(), keyval))
    return False


def activate(app):
    win = Gtk.ApplicationWindow(application=app, title=title)
    win.set_default_size(600, 120)
    entry = Gtk.Entry()
    if GTK == "4":
        win.set_child(entry)
        keys = Gtk.EventControllerKey()
        keys.set_propagation_phase(Gtk.PropagationPhase.CAPTURE)
        keys.connect("key-pressed", lambda c, keyval, code, state: on_key(keyval))
        win.add_controller(keys)
    else:
        win.add(entry)
        win.connect("key-press-event", lambda w, ev: on_key(ev.keyval))
    win.connect("map", lambda w: log.write("map %.3f\n" % now()))

    def done(e):
        log.write("text %r\n" % e.get_text())
        app.quit()

    entry.connect("activate", done)
    GLib.unix_signal_add(GLib.PRIORITY_HIGH, signal.SIGTERM, lambda: done(entry) or False)

    def show():
        if GTK == "4":
            win.present()
        else:
            win.show_all()
        return False

    # Shown once the program has settled (Python and toolkit start-up, its
    # accessibility bridge) when asked: the reaction to a dialog of a
    # running program rather than to one of a program that just started.
    GLib.timeout_add(show_after_ms, show)


app = Gtk.Application(application_id="org.replywick.Probe", flags=Gio.ApplicationFlags.NON_UNIQUE)
app.connect("activate", activate)
app.run([])
