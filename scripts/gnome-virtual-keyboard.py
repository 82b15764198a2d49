#!/usr/bin/python3
# Gives a headless GNOME Shell's seat a keyboard, as a desktop has one: without
# it no toolkit is told that its window has the keyboard focus. A
# remote-desktop session of mutter's, held for as long as this runs, whose
# virtual keyboard appears with its first key (a Shift pressed and released).
from gi.repository import Gio, GLib

BUS_NAME = 'org.gnome.Mutter.RemoteDesktop'
SHIFT_KEYSYM = 0xffe1

bus = Gio.bus_get_sync(Gio.BusType.SESSION)
remote_desktop = Gio.DBusProxy.new_sync(bus, Gio.DBusProxyFlags.NONE, None, BUS_NAME,
                                        '/org/gnome/Mutter/RemoteDesktop', BUS_NAME, None)
path = remote_desktop.call_sync('CreateSession', None, Gio.DBusCallFlags.NONE, -1, None).unpack()[0]
session = Gio.DBusProxy.new_sync(bus, Gio.DBusProxyFlags.NONE, None, BUS_NAME, path, BUS_NAME + '.Session', None)
session.call_sync('Start', None, Gio.DBusCallFlags.NONE, -1, None)
for pressed in (True, False):
    session.call_sync('NotifyKeyboardKeysym', GLib.Variant('(ub)', (SHIFT_KEYSYM, pressed)),
                      Gio.DBusCallFlags.NONE, -1, None)
print('keyboard on the seat', flush=True)
GLib.MainLoop().run()
