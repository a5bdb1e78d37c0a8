"""A portal backend of the test's own on the session bus, for the real xdg-desktop-portal frontend:
org.freedesktop.impl.portal.GlobalShortcuts, which records what is bound and fires a shortcut when
told on stdin ("activate ID"), and org.freedesktop.impl.portal.Access, which the frontend wants
before it offers its Screenshot portal (it is never asked: Tavelin runs on the host). Prints
"ready", then "bound ID|description|trigger,…" per BindShortcuts and "activated ID" per firing."""

import sys
import time

from gi.repository import Gio, GLib

XML = """
<node>
  <interface name="org.freedesktop.impl.portal.GlobalShortcuts">
    <method name="CreateSession">
      <arg type="o" name="handle" direction="in"/><arg type="o" name="session_handle" direction="in"/>
      <arg type="s" name="app_id" direction="in"/><arg type="a{sv}" name="options" direction="in"/>
      <arg type="u" name="response" direction="out"/><arg type="a{sv}" name="results" direction="out"/>
    </method>
    <method name="BindShortcuts">
      <arg type="o" name="handle" direction="in"/><arg type="o" name="session_handle" direction="in"/>
      <arg type="a(sa{sv})" name="shortcuts" direction="in"/><arg type="s" name="parent_window" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="u" name="response" direction="out"/><arg type="a{sv}" name="results" direction="out"/>
    </method>
    <method name="ListShortcuts">
      <arg type="o" name="handle" direction="in"/><arg type="o" name="session_handle" direction="in"/>
      <arg type="u" name="response" direction="out"/><arg type="a{sv}" name="results" direction="out"/>
    </method>
    <signal name="Activated">
      <arg type="o" name="session_handle"/><arg type="s" name="shortcut_id"/><arg type="t" name="timestamp"/>
      <arg type="a{sv}" name="options"/>
    </signal>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.impl.portal.Access">
    <method name="AccessDialog">
      <arg type="o" name="handle" direction="in"/><arg type="s" name="app_id" direction="in"/>
      <arg type="s" name="parent_window" direction="in"/><arg type="s" name="title" direction="in"/>
      <arg type="s" name="subtitle" direction="in"/><arg type="s" name="body" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="u" name="response" direction="out"/><arg type="a{sv}" name="results" direction="out"/>
    </method>
  </interface>
</node>
"""

PATH = "/org/freedesktop/portal/desktop"


class Backend:
    def __init__(self, bus):
        self.bus = bus
        self.sessions = []
        self.shortcuts = {}

    def call(self, connection, sender, path, interface, method, args, invocation):
        if method == "CreateSession":
            self.sessions.append(args[1])
        elif method == "BindShortcuts":
            self.shortcuts = {sid: options for sid, options in args[2]}
            entries = [f"{sid}|{o.get('description', '')}|{o.get('preferred_trigger', '')}" for sid, o in args[2]]
            say("bound " + ",".join(entries))
        invocation.return_value(GLib.Variant("(ua{sv})", (0, {})))

    def get(self, connection, sender, path, interface, name):
        return GLib.Variant("u", 1)

    def activate(self, shortcut_id):
        for session in self.sessions:
            self.bus.emit_signal(None, PATH, "org.freedesktop.impl.portal.GlobalShortcuts", "Activated",
                                 GLib.Variant("(osta{sv})", (session, shortcut_id, int(time.time() * 1000), {})))
        self.bus.flush_sync(None)
        say(f"activated {shortcut_id}")


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def main():
    loop = GLib.MainLoop()
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    backend = Backend(bus)
    for interface in Gio.DBusNodeInfo.new_for_xml(XML).interfaces:
        bus.register_object(PATH, interface, backend.call, backend.get, None)

    def on_line(channel, condition):
        line = channel.readline()
        if not line:
            loop.quit()
            return False
        words = line.split()
        if len(words) == 2 and words[0] == "activate":
            backend.activate(words[1])
        else:
            say("unknown " + line.strip())
        return True

    def acquired(*_):
        GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.IO_IN | GLib.IO_HUP, on_line)
        say("ready")
    Gio.bus_own_name_on_connection(bus, sys.argv[1], Gio.BusNameOwnerFlags.NONE, acquired, lambda *_: loop.quit())
    loop.run()


if __name__ == "__main__":
    main()
