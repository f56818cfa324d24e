#!/usr/bin/python3
# A GTK 3 window, as applications Kestrun types into: it writes its whole text to the file named by its
# argument on each change, and makes <that file>.active once it is the active window (through a new file renamed over the old one, so a reader sees whole texts).
import os
import sys

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402

path = sys.argv[1] if len(sys.argv) > 1 else "recorded.txt"
window = Gtk.Window(title="gtk-recorder")
view = Gtk.TextView()
window.add(view)
buffer = view.get_buffer()


def changed(_):
    text = buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True)
    with open(path + ".new", "w", encoding="utf-8") as out:
        out.write(text)
    os.replace(path + ".new", path)


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
