#!/usr/bin/python3
"""A small status-notifier panel for the end-to-end tests, on the session bus.

serve LOG        owns the watcher name, a host name and the notification service's name, answers
                 the watcher's properties (with introspection data, which Qt reads them through)
                 and writes to LOG each item that registers or goes, each menu update an item
                 announces and each notification
layout           prints the first item's menu as the panel would draw it, one entry a line:
                 id, type, label, toggle type, toggle state, enabled, visible (TAB between them)
activate         clicks the first item as a panel does (Activate)
click LABEL      clicks the menu entry labelled LABEL as a panel does (AboutToShow, then the
                 "clicked" event)
"""
import sys
import time

import dbus
import dbus.service

WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_PATH = "/StatusNotifierWatcher"
ITEM_PATH = "/StatusNotifierItem"
ITEM_IFACE = "org.kde.StatusNotifierItem"
MENU_IFACE = "com.canonical.dbusmenu"
PROPS = "org.freedesktop.DBus.Properties"

INTROSPECTION = """<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<node>
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg name="xml" type="s" direction="out"/></method>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get">
      <arg name="interface" type="s" direction="in"/><arg name="name" type="s" direction="in"/>
      <arg name="value" type="v" direction="out"/>
    </method>
    <method name="GetAll">
      <arg name="interface" type="s" direction="in"/>
      <arg name="values" type="a{sv}" direction="out"/>
    </method>
  </interface>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>
"""


def log(path, line):
    with open(path, "a", encoding="utf-8") as f:
        f.write(line + "\n")


class Watcher(dbus.service.Object):
    def __init__(self, bus, log_path):
        super().__init__(bus, WATCHER_PATH)
        self.bus = bus
        self.log_path = log_path
        self.items = []
        self.hosts = []
        bus.add_signal_receiver(self.owner_changed, "NameOwnerChanged", "org.freedesktop.DBus")
        for signal in ("LayoutUpdated", "ItemsPropertiesUpdated"):
            bus.add_signal_receiver(self.menu_signal(signal), signal, MENU_IFACE, sender_keyword="sender")

    def menu_signal(self, name):
        def receive(*_args, sender=None):
            log(self.log_path, "menu-updated %s %s" % (sender, name))
        return receive

    def owner_changed(self, name, _old, new):
        if not new:
            for item in [i for i in self.items if i.split("/")[0] == name]:
                self.items.remove(item)
                log(self.log_path, "unregistered " + item)
                self.StatusNotifierItemUnregistered(item)

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # An item names its bus name or its object path; either way it lives on the sender.
        item = str(service) if not str(service).startswith("/") else "%s%s" % (sender, service)
        if item not in self.items:
            self.items.append(item)
            log(self.log_path, "registered " + item)
            self.StatusNotifierItemRegistered(item)

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        self.hosts.append(str(service))
        self.StatusNotifierHostRegistered()

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemUnregistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="")
    def StatusNotifierHostRegistered(self):
        pass

    def properties(self):
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
            "IsStatusNotifierHostRegistered": dbus.Boolean(bool(self.hosts)),
            "ProtocolVersion": dbus.Int32(0),
        }

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface != WATCHER or name not in self.properties():
            raise dbus.exceptions.DBusException("no property %s.%s" % (interface, name),
                                                name="org.freedesktop.DBus.Error.UnknownProperty")
        return self.properties()[name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.properties() if interface == WATCHER else {}

    # The generated introspection data leaves the properties out; Qt's interface objects only
    # read properties the data lists.
    @dbus.service.method("org.freedesktop.DBus.Introspectable", out_signature="s",
                         path_keyword="object_path", connection_keyword="connection")
    def Introspect(self, object_path, connection):
        return INTROSPECTION


class Notifications(dbus.service.Object):
    """The desktop's notification service, as far as the tests look: each notification logged."""

    def __init__(self, bus, log_path):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.log_path = log_path
        self.last_id = 0

    @dbus.service.method("org.freedesktop.Notifications", in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, icon, summary, body, actions, hints, timeout):
        self.last_id += 1
        log(self.log_path, "notify %s|%s|%s" % (app_name, summary, str(body).replace("\n", "/")))
        return dbus.UInt32(self.last_id)

    @dbus.service.method("org.freedesktop.Notifications", out_signature="as")
    def GetCapabilities(self):
        return dbus.Array(["actions", "body"], signature="s")

    @dbus.service.method("org.freedesktop.Notifications", out_signature="ssss")
    def GetServerInformation(self):
        return ("test panel", "veltry tests", "1.0", "1.2")

    @dbus.service.method("org.freedesktop.Notifications", in_signature="u")
    def CloseNotification(self, notification_id):
        pass


def serve(log_path):
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    watcher = Watcher(bus, log_path)
    host = "org.kde.StatusNotifierHost-%d" % __import__("os").getpid()
    notifications = Notifications(bus, log_path)
    names = [dbus.service.BusName(host, bus), dbus.service.BusName(WATCHER, bus, do_not_queue=True),
             dbus.service.BusName("org.freedesktop.Notifications", bus, do_not_queue=True)]
    watcher.RegisterStatusNotifierHost(host)
    log(log_path, "ready")
    GLib.MainLoop().run()
    del names, notifications


def first_item(bus):
    watcher = bus.get_object(WATCHER, WATCHER_PATH)
    items = watcher.Get(WATCHER, "RegisteredStatusNotifierItems", dbus_interface=PROPS)
    if not items:
        sys.exit("no item is registered")
    item = str(items[0])
    service, _, path = item.partition("/")
    return service, "/" + path if path else ITEM_PATH


def menu_of(bus):
    service, path = first_item(bus)
    item = bus.get_object(service, path)
    menu_path = item.Get(ITEM_IFACE, "Menu", dbus_interface=PROPS)
    if str(menu_path) in ("", "/", "/NO_DBUSMENU"):
        sys.exit("the item exports no menu (%s)" % menu_path)
    return bus.get_object(service, menu_path)


def entries(menu):
    _revision, (_id, _props, children) = menu.GetLayout(0, -1, dbus.Array([], signature="s"),
                                                         dbus_interface=MENU_IFACE)
    for child in children:
        child_id, props, _grandchildren = child
        yield int(child_id), props


def layout(bus):
    for child_id, props in entries(menu_of(bus)):
        print("\t".join([
            str(child_id),
            str(props.get("type", "standard")),
            str(props.get("label", "")),
            str(props.get("toggle-type", "")),
            str(int(props.get("toggle-state", -1))),
            str(bool(props.get("enabled", True))).lower(),
            str(bool(props.get("visible", True))).lower(),
        ]))


def click(bus, label):
    menu = menu_of(bus)
    menu.AboutToShow(0, dbus_interface=MENU_IFACE)
    for child_id, props in entries(menu):
        if str(props.get("label", "")) == label:
            menu.Event(child_id, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(int(time.time())),
                       dbus_interface=MENU_IFACE)
            try:
                menu.Event(0, "closed", dbus.Int32(0, variant_level=1), dbus.UInt32(int(time.time())),
                           dbus_interface=MENU_IFACE)
            except dbus.exceptions.DBusException:
                pass  # the entry ended the program (Exit): nobody is left to tell
            return
    sys.exit("no menu entry labelled %r" % label)


def main(argv):
    if len(argv) >= 3 and argv[1] == "serve":
        serve(argv[2])
        return
    bus = dbus.SessionBus()
    if argv[1:] == ["layout"]:
        layout(bus)
    elif argv[1:] == ["activate"]:
        service, path = first_item(bus)
        bus.get_object(service, path).Activate(0, 0, dbus_interface=ITEM_IFACE)
    elif len(argv) == 3 and argv[1] == "click":
        click(bus, argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
