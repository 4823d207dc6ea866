#!/usr/bin/python3
"""A desktop's notification server of the tests' own, on the session bus it is given:
org.freedesktop.Notifications, whose Notify calls are written one JSON line each to
LOG, and whose Inhibited property (KDE's Do Not Disturb) is --inhibited; with
--xfce-dnd it also answers as xfconf, xfce4-notifyd's /do-not-disturb being on. Prints
"ready" once its names are owned; ends on SIGTERM. Needs python3-gi (Debian's python).

usage: notification_server.py --log LOG [--inhibited] [--xfce-dnd]"""
import argparse
import json
import signal

from gi.repository import Gio, GLib

NOTIFICATIONS = '''<node><interface name="org.freedesktop.Notifications">
  <method name="Notify"><arg type="s" direction="in"/><arg type="u" direction="in"/>
    <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="s" direction="in"/>
    <arg type="as" direction="in"/><arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
    <arg type="u" direction="out"/></method>
  <method name="GetCapabilities"><arg type="as" direction="out"/></method>
  <method name="GetServerInformation"><arg type="s" direction="out"/><arg type="s" direction="out"/>
    <arg type="s" direction="out"/><arg type="s" direction="out"/></method>
  <property name="Inhibited" type="b" access="read"/>
</interface></node>'''
XFCONF = '''<node><interface name="org.xfce.Xfconf">
  <method name="GetProperty"><arg type="s" direction="in"/><arg type="s" direction="in"/>
    <arg type="v" direction="out"/></method>
</interface></node>'''


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--log', required=True)
    parser.add_argument('--inhibited', action='store_true')
    parser.add_argument('--xfce-dnd', action='store_true')
    args = parser.parse_args()
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    loop = GLib.MainLoop()
    sent = [0]

    def notifications(conn, sender, path, iface, method, params, invocation):
        if method == 'Notify':
            app, _, icon, summary, body, _, hints, _ = params.unpack()
            sent[0] += 1
            with open(args.log, 'a') as log:
                log.write(json.dumps({'app': app, 'icon': icon, 'summary': summary, 'body': body,
                                      'desktop-entry': hints.get('desktop-entry')}) + '\n')
            invocation.return_value(GLib.Variant('(u)', (sent[0],)))
        elif method == 'GetCapabilities':
            invocation.return_value(GLib.Variant('(as)', (['body'],)))
        else:
            invocation.return_value(GLib.Variant('(ssss)', ('tests', 'morrowby', '1', '1.2')))

    def inhibited(conn, sender, path, iface, name):
        return GLib.Variant('b', args.inhibited)

    def xfconf(conn, sender, path, iface, method, params, invocation):
        channel, prop = params.unpack()
        if (channel, prop) == ('xfce4-notifyd', '/do-not-disturb'):
            invocation.return_value(GLib.Variant('(v)', (GLib.Variant('b', True),)))
        else:
            invocation.return_dbus_error('org.xfce.Xfconf.Error.PropertyNotFound', prop)

    info = Gio.DBusNodeInfo.new_for_xml(NOTIFICATIONS)
    bus.register_object('/org/freedesktop/Notifications', info.interfaces[0], notifications,
                        inhibited, None)
    names = ['org.freedesktop.Notifications']
    if args.xfce_dnd:
        bus.register_object('/org/xfce/Xfconf', Gio.DBusNodeInfo.new_for_xml(XFCONF).interfaces[0],
                            xfconf, None, None)
        names.append('org.xfce.Xfconf')
    owned = []

    def acquired(conn, name):
        owned.append(name)
        if len(owned) == len(names):
            print('ready', flush=True)
    for name in names:
        Gio.bus_own_name_on_connection(bus, name, Gio.BusNameOwnerFlags.NONE, acquired, None)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()


if __name__ == '__main__':
    main()
