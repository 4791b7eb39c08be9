#!/usr/bin/python3
# A GTK 3 question dialog whose program registers with the accessibility
# registry only when told (SIGUSR1), however long its window has been on
# screen: the race of a toolkit that registers asynchronously, made to last.
# GTK 3 through ctypes, so that no GObject introspection data is needed.
# Usage: late_dialog.py TITLE MESSAGE
# Exit code: 10 Yes, 11 No, 0 closed otherwise.
import ctypes
import os
import signal
import sys

title = (sys.argv[1] if len(sys.argv) > 1 else "Late dialog").encode()
message = (sys.argv[2] if len(sys.argv) > 2 else "Registered late?").encode()

# GTK starts its accessibility bridge at start-up unless told not to.
os.environ["NO_AT_BRIDGE"] = "1"

gtk = ctypes.CDLL("libgtk-3.so.0")
glib = ctypes.CDLL("libglib-2.0.so.0")
gtk.gtk_message_dialog_new.restype = ctypes.c_void_p
gtk.gtk_window_set_title.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
gtk.gtk_dialog_run.argtypes = [ctypes.c_void_p]

SourceFunc = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p)


@SourceFunc
def register(_data):
    del os.environ["NO_AT_BRIDGE"]
    ctypes.CDLL("libatk-bridge-2.0.so.0").atk_bridge_adaptor_init(None, None)
    return 0  # G_SOURCE_REMOVE


if not gtk.gtk_init_check(None, None):
    sys.exit(2)
glib.g_unix_signal_add.argtypes = [ctypes.c_int, SourceFunc, ctypes.c_void_p]
glib.g_unix_signal_add(signal.SIGUSR1, register, None)
GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO = 2, 4
dialog = gtk.gtk_message_dialog_new(None, 0, GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, b"%s",
                                    ctypes.c_char_p(message))
gtk.gtk_window_set_title(dialog, title)
response = gtk.gtk_dialog_run(dialog)
GTK_RESPONSE_YES, GTK_RESPONSE_NO = -8, -9
sys.exit({GTK_RESPONSE_YES: 10, GTK_RESPONSE_NO: 11}.get(response, 0))
