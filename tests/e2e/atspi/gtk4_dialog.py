#!/usr/bin/python3
# A small GTK 4 window with its own mnemonic buttons, as a target for the
# accessibility bridge. Usage: gtk4_dialog.py TITLE MESSAGE
# Exit code: 10 Yes, 11 No, 12 OK, 0 closed otherwise.
import sys

import gi

gi.require_version("Gtk", "4.0")
from gi.repository import Gtk  # noqa: E402

title = sys.argv[1] if len(sys.argv) > 1 else "GTK 4 dialog"
message = sys.argv[2] if len(sys.argv) > 2 else "Shall the GTK 4 dialog be answered?"
result = [0]


def activate(app):
    window = Gtk.Window(application=app, title=title)
    box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=6)
    box.append(Gtk.Label(label=message))
    row = Gtk.Box(orientation=Gtk.Orientation.HORIZONTAL, spacing=6)
    for caption, code in (("_Yes", 10), ("_No", 11), ("_OK", 12)):
        button = Gtk.Button.new_with_mnemonic(caption)

        def clicked(_button, code=code):
            result[0] = code
            app.quit()

        button.connect("clicked", clicked)
        row.append(button)
    box.append(row)
    window.set_child(box)
    window.present()


application = Gtk.Application(application_id="org.replywick.tests.Gtk4Dialog")
application.connect("activate", activate)
application.run([])
sys.exit(result[0])
