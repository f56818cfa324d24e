#!/usr/bin/python3
# A stand-in for the desktop portal's RemoteDesktop on a private bus: it answers each request with the
# response given as its first argument (0 allowed, 1 refused by the user) and writes every call it gets,
# one a line, to the file named by its second argument.
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

RESPONSE = int(sys.argv[1])
LOG = sys.argv[2]
INTERFACE = """
<node>
  <interface name="org.freedesktop.portal.RemoteDesktop">
    <method name="CreateSession"><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/></method>
    <method name="SelectDevices"><arg type="o" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="o" direction="out"/></method>
    <method name="Start"><arg type="o" direction="in"/><arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="o" direction="out"/></method>
    <method name="NotifyKeyboardKeysym"><arg type="o" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="i" direction="in"/><arg type="u" direction="in"/></method>
    <property name="version" type="u" access="read"/>
  </interface>
</node>
"""


def log(line):
    with open(LOG, "a", encoding="utf-8") as out:
        out.write(line + "\n")


def request_path(sender, options):
    return "/org/freedesktop/portal/desktop/request/%s/%s" % (sender[1:].replace(".", "_"), options["handle_token"])


def respond(connection, path, results):
    connection.emit_signal(None, path, "org.freedesktop.portal.Request", "Response",
                           GLib.Variant("(ua{sv})", (RESPONSE, results)))
    return False


def on_call(connection, sender, _path, _interface, method, parameters, invocation):
    args = parameters.unpack()
    if method == "NotifyKeyboardKeysym":
        log("%s %s %d" % (method, args[2], args[3]))
        invocation.return_value(None)
        return
    options = args[-1]
    log(method + (" persist_mode" if "persist_mode" in options else ""))
    path = request_path(sender, options)
    results = {}
    if method == "CreateSession":
        results["session_handle"] = GLib.Variant(
            "s", "/org/freedesktop/portal/desktop/session/%s/%s" % (sender[1:].replace(".", "_"),
                                                                    options["session_handle_token"]))
    elif method == "Start":
        results["devices"] = GLib.Variant("u", 1)
    invocation.return_value(GLib.Variant("(o)", (path,)))
    GLib.idle_add(respond, connection, path, results)


def on_get(*_):
    return GLib.Variant("u", 1)


def on_bus(connection, _name):
    node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
    connection.register_object("/org/freedesktop/portal/desktop", node.interfaces[0], on_call, on_get, None)


def on_name(_connection, _name):
    log("ready")


Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.portal.Desktop", Gio.BusNameOwnerFlags.NONE, on_bus, on_name,
                 None)
GLib.MainLoop().run()
