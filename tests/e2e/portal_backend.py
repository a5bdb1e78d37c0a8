"""A portal backend of the test's own on the session bus, for the real xdg-desktop-portal frontend:
org.freedesktop.impl.portal.GlobalShortcuts, which records what is bound and fires a shortcut when
told on stdin ("activate ID"), and org.freedesktop.impl.portal.Access, which the frontend wants
before it offers its Screenshot portal (it is never asked: Tavelin runs on the host). Prints
"ready", then "bound ID|description|trigger,…" per BindShortcuts and "activated ID" per firing."""

import os
import sys
import time

from gi.repository import GLib

from traybus import serve

SHORTCUTS, ACCESS = "org.freedesktop.impl.portal.GlobalShortcuts", "org.freedesktop.impl.portal.Access"
REPLY = '<arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>'
XML = f"""<node>
  <interface name="{SHORTCUTS}">
    <method name="CreateSession"><arg type="o"/><arg type="o"/><arg type="s"/><arg type="a{{sv}}"/>{REPLY}</method>
    <method name="BindShortcuts"><arg type="o"/><arg type="o"/><arg type="a(sa{{sv}})"/><arg type="s"/>
      <arg type="a{{sv}}"/>{REPLY}</method>
    <method name="ListShortcuts"><arg type="o"/><arg type="o"/>{REPLY}</method>
    <signal name="Activated"><arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{{sv}}"/></signal>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="{ACCESS}">
    <method name="AccessDialog"><arg type="o"/><arg type="s"/><arg type="s"/><arg type="s"/><arg type="s"/>
      <arg type="s"/><arg type="a{{sv}}"/>{REPLY}</method>
  </interface>
</node>"""
PATH = "/org/freedesktop/portal/desktop"
sessions = []


def say(line):
    print(line, flush=True)


def method_call(_bus, _connection, _sender, _path, _interface, method, args, invocation):
    if method == "CreateSession":
        sessions.append(args[1])
    elif method == "BindShortcuts":
        say("bound " + ",".join(f"{sid}|{o.get('description', '')}|{o.get('preferred_trigger', '')}"
                                for sid, o in args[2]))
    invocation.return_value(GLib.Variant("(ua{sv})", (0, {})))


def watch_stdin(bus):
    def on_line(channel, _condition):
        line = channel.readline()
        if not line:
            os._exit(0)   # stdin closed: the test is over
        words = line.split()
        if len(words) != 2 or words[0] != "activate":
            say("unknown " + " ".join(words))
            return True
        for session in sessions:
            bus.emit_signal(None, PATH, SHORTCUTS, "Activated",
                            GLib.Variant("(osta{sv})", (session, words[1], int(time.time() * 1000), {})))
        bus.flush_sync(None)
        say(f"activated {words[1]}")
        return True
    GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.IO_IN | GLib.IO_HUP, on_line)


if __name__ == "__main__":
    serve(sys.argv[1], PATH, XML, method_call, lambda *_: GLib.Variant("u", 1), watch_stdin)
