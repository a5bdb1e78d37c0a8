"""The desktop's side of the tray and notifications for end-to-end tests: a watcher, a notification server, a panel."""

import sys
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

WATCHER, WATCHER_PATH = "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher"
BUS, BUS_PATH = "org.freedesktop.DBus", "/org/freedesktop/DBus"
PROPERTIES, ITEM, MENU = "org.freedesktop.DBus.Properties", "org.kde.StatusNotifierItem", "com.canonical.dbusmenu"
WATCHER_XML = f"""<node><interface name="{WATCHER}">
  <method name="RegisterStatusNotifierItem"><arg type="s"/></method>
  <method name="RegisterStatusNotifierHost"><arg type="s"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
</interface></node>"""


def serve(name, path, xml, method_call, get_property=None, then=None):
    """Serves one object at path under the well-known name on the session bus, for good."""
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    for interface in Gio.DBusNodeInfo.new_for_xml(xml).interfaces:
        bus.register_object(path, interface, lambda *call: method_call(bus, *call), get_property, None)
    if then:
        then(bus)
    bus.call_sync(BUS, BUS_PATH, BUS, "RequestName", GLib.Variant("(su)", (name, 0)), None, 0, -1, None)
    print("ready", flush=True)
    GLib.MainLoop().run()


def serve_watcher():
    """Items register by bus name, or by object path on the caller's connection; a host is always
    reported as registered; items whose connection closes are dropped."""
    items = []

    def emit(bus, signal, item):
        bus.emit_signal(None, WATCHER_PATH, WATCHER, signal, GLib.Variant("(s)", (item,)))

    def method_call(bus, _connection, sender, _path, _interface, method, args, invocation):
        if method == "RegisterStatusNotifierItem":
            name = args.unpack()[0]
            item = sender + name if name.startswith("/") else name + "/StatusNotifierItem"
            if item not in items:
                items.append(item)
                emit(bus, "StatusNotifierItemRegistered", item)
        invocation.return_value(None)

    def get_property(_bus, _sender, _path, _interface, name):
        return {"RegisteredStatusNotifierItems": GLib.Variant("as", items),
                "IsStatusNotifierHostRegistered": GLib.Variant("b", True), "ProtocolVersion": GLib.Variant("i", 0)}[name]

    def owner_changed(bus, _sender, _path, _interface, _signal, args):
        name, _, new_owner = args.unpack()
        for item in [i for i in items if i.startswith(name + "/") and not new_owner]:
            items.remove(item)
            emit(bus, "StatusNotifierItemUnregistered", item)

    serve(WATCHER, WATCHER_PATH, WATCHER_XML, method_call, get_property, lambda bus: bus.signal_subscribe(
        BUS, BUS, "NameOwnerChanged", BUS_PATH, None, Gio.DBusSignalFlags.NONE, owner_changed))


NOTIFICATIONS, NOTIFICATIONS_PATH = "org.freedesktop.Notifications", "/org/freedesktop/Notifications"
NOTIFICATIONS_XML = f"""<node><interface name="{NOTIFICATIONS}">
  <method name="Notify"><arg type="s"/><arg type="u"/><arg type="s"/><arg type="s"/><arg type="s"/><arg type="as"/>
    <arg type="a{{sv}}"/><arg type="i"/><arg type="u" direction="out"/></method>
  <method name="GetServerInformation">{'<arg type="s" direction="out"/>' * 4}</method>
  <method name="GetCapabilities"><arg type="as" direction="out"/></method>
</interface></node>"""


def serve_notifications():
    """A notification server that prints each Notify call as one line: "notify SUMMARY\tBODY". It
    reads bodies as markup, as the common desktops' servers do, and prints them as they came."""
    count = [0]

    def method_call(_bus, _connection, _sender, _path, _interface, method, args, invocation):
        if method == "Notify":
            values = args.unpack()
            count[0] += 1
            print(f"notify {values[3]}\t{values[4]}", flush=True)
            invocation.return_value(GLib.Variant("(u)", (count[0],)))
        elif method == "GetCapabilities":
            invocation.return_value(GLib.Variant("(as)", (["body", "body-markup"],)))
        else:
            invocation.return_value(GLib.Variant("(ssss)", ("e2e", "tavelin", "1", "1.2")))

    serve(NOTIFICATIONS, NOTIFICATIONS_PATH, NOTIFICATIONS_XML, method_call)


class MenuRow:
    """One row of the tray menu as a StatusNotifier panel reads it over com.canonical.dbusmenu."""

    def __init__(self, node):
        self.id, props = node[0], node[1]
        self.separator = props.get("type") == "separator"
        self.label = props.get("label", "")
        self.enabled = props.get("enabled", True)
        self.checked = props.get("toggle-state", 0) == 1


class Panel:
    """A panel's calls on a bus at address; each returns None when the call fails."""

    def __init__(self, address):
        flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
        self.bus = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)

    def call(self, service, path, interface, method, signature="()", *args):
        try:
            return self.bus.call_sync(service, path, interface, method, GLib.Variant(signature, args), None,
                                      Gio.DBusCallFlags.NONE, 5000, None).unpack()
        except GLib.Error:
            return None

    def items(self):
        """(bus name, object path, process id) of each registered item, or None without a watcher."""
        entries = self.call(WATCHER, WATCHER_PATH, PROPERTIES, "Get", "(ss)", WATCHER, "RegisteredStatusNotifierItems")
        if entries is None:
            return None
        split = [entry.partition("/") for entry in entries[0]]
        return [(name, "/" + path, (self.call(BUS, BUS_PATH, BUS, "GetConnectionUnixProcessID", "(s)", name) or [0])[0])
                for name, _, path in split]

    def item_of(self, pid):
        """(bus name, object path) of the item that process pid registered, or None."""
        return next(((name, path) for name, path, owner in self.items() or [] if owner == pid), None)

    def properties(self, service, path):
        """The item's properties; pixmaps as (width, height, list of bytes)."""
        return (self.call(service, path, PROPERTIES, "GetAll", "(s)", ITEM) or [None])[0]

    def activate(self, service, path, x, y):
        """A left click on the item as most panels pass it on: Activate(x, y), in root coordinates."""
        return self.call(service, path, ITEM, "Activate", "(ii)", x, y) is not None

    def menu_path(self, service, path):
        return (self.call(service, path, PROPERTIES, "Get", "(ss)", ITEM, "Menu") or [None])[0]

    def menu(self, service, path):
        """The whole menu tree (id, properties, children) as a panel sees it on opening the menu."""
        menu = self.menu_path(service, path)
        if not menu:
            return None
        self.call(service, menu, MENU, "AboutToShow", "(i)", 0)
        layout = self.call(service, menu, MENU, "GetLayout", "(iias)", 0, -1, [])
        return layout[1] if layout else None

    def rows(self, service, path):
        """The menu's top-level rows, or None while it has none."""
        return [MenuRow(child) for child in (self.menu(service, path) or (0, {}, []))[2]] or None

    def click(self, service, path, row_id):
        """A click on one row, as a panel sends it: Event(id, "clicked", variant, timestamp)."""
        menu = self.menu_path(service, path)
        return bool(menu) and self.call(service, menu, MENU, "Event", "(isvu)", row_id, "clicked",
                                        GLib.Variant("i", 0), int(time.time())) is not None


if __name__ == "__main__" and sys.argv[1:] == ["watch"]:
    serve_watcher()
if __name__ == "__main__" and sys.argv[1:] == ["notifications"]:
    serve_notifications()
