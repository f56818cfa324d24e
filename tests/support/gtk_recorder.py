#!/usr/bin/python3
# A GTK 3 window, as applications Kestrun types into: it writes its whole text to the file named by its
# argument once the changes that came together are handled, and makes <that file>.active once it is the active window (through a new file renamed over the old one, so a reader sees whole texts).
import os
import sys

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

path = sys.argv[1] if len(sys.argv) > 1 else "recorded.txt"
window = Gtk.Window(title="gtk-recorder")
view = Gtk.TextView()
window.add(view)
buffer = view.get_buffer()


pending = False


def write():
    global pending
    pending = False
    text = buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True)
    with open(path + ".new", "w", encoding="utf-8") as out:
        out.write(text)
    os.replace(path + ".new", path)
    return False


def changed(_):
    # One write once the keys that came together are handled, not one for each: a window that writes
    # its whole text at each key falls behind a fast typist by its own doing.
    global pending
    if not pending:
        pending = True
        GLib.idle_add(write)


def activated(_, event):
    if event.new_window_state & Gdk.WindowState.FOCUSED:
        open(path + ".active", "w").close()
    return False


buffer.connect("changed", changed)
window.connect("window-state-event", activated)
window.connect("destroy", Gtk.main_quit)
window.show_all()
view.grab_focus()
Gtk.main()
