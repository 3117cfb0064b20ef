#!/usr/bin/python3
"""A small MPRIS media player for tests, on the session bus of DBUS_SESSION_BUS_ADDRESS.

Usage: mpris_test_player.py NAME [--replace]
Owns org.mpris.MediaPlayer2.NAME (lets another instance take it over; with --replace takes it over
from one) and prints "ready" when it does.

It plays nothing: it only says what a player would say. Commands on standard input, one a line:
  meta JSON        the current track's metadata, e.g. {"xesam:title": "T", "xesam:artist": ["A"]};
                   xesam:trackNumber goes out as int32, mpris:length as int64, mpris:trackid as an
                   object path, a list as a list of texts, anything else as a text
  status WORD      PlaybackStatus: Playing, Paused or Stopped
  position US      where the track is now, in microseconds (players signal no position changes)
  seek US          the same, with the Seeked signal
  tracks ID...     the track list's ids (the TrackList interface answers from now on)
  quit             leave the bus and end
The position runs on by itself while the status is Playing. Each command is acknowledged with a
line "ok" once its signals are sent.
"""
import json
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PATH = "/org/mpris/MediaPlayer2"
ROOT = "org.mpris.MediaPlayer2"
PLAYER = "org.mpris.MediaPlayer2.Player"
TRACKLIST = "org.mpris.MediaPlayer2.TrackList"
PROPERTIES = "org.freedesktop.DBus.Properties"


def typed(key, value):
    if key == "xesam:trackNumber":
        return dbus.Int32(value)
    if key == "mpris:length":
        return dbus.Int64(value)
    if key == "mpris:trackid":
        return dbus.ObjectPath(value)
    if isinstance(value, list):
        return dbus.Array([dbus.String(v) for v in value], signature="s")
    return dbus.String(value)


class TestPlayer(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.status = "Stopped"
        self.metadata = dbus.Dictionary({}, signature="sv")
        self.position_us = 0
        self.since = time.monotonic()
        self.tracks = None

    def position_now(self):
        if self.status != "Playing":
            return self.position_us
        return self.position_us + int((time.monotonic() - self.since) * 1e6)

    def set_position(self, position_us):
        self.position_us = position_us
        self.since = time.monotonic()

    def player_properties(self):
        return {
            "PlaybackStatus": dbus.String(self.status),
            "Metadata": self.metadata,
            "Position": dbus.Int64(self.position_now()),
            "Rate": dbus.Double(1.0),
            "CanPlay": dbus.Boolean(True),
            "CanPause": dbus.Boolean(True),
        }

    def properties_of(self, interface):
        if interface == PLAYER:
            return self.player_properties()
        if interface == ROOT:
            return {"Identity": dbus.String("test player"),
                    "HasTrackList": dbus.Boolean(self.tracks is not None)}
        if interface == TRACKLIST and self.tracks is not None:
            return {"Tracks": dbus.Array([dbus.ObjectPath(t) for t in self.tracks], signature="o")}
        raise dbus.exceptions.DBusException("no such interface: " + interface,
                                            name="org.freedesktop.DBus.Error.UnknownInterface")

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        properties = self.properties_of(interface)
        if name not in properties:
            raise dbus.exceptions.DBusException("no such property: " + name,
                                                name="org.freedesktop.DBus.Error.UnknownProperty")
        return properties[name]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return dbus.Dictionary(self.properties_of(interface), signature="sv")

    @dbus.service.signal(PROPERTIES, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass

    @dbus.service.signal(PLAYER, signature="x")
    def Seeked(self, position):
        pass

    def command(self, line):
        word, _, rest = line.strip().partition(" ")
        if word == "meta":
            fields = json.loads(rest)
            self.metadata = dbus.Dictionary({k: typed(k, v) for k, v in fields.items()},
                                            signature="sv")
            self.set_position(0)
            self.PropertiesChanged(PLAYER, {"Metadata": self.metadata}, [])
        elif word == "status":
            self.set_position(self.position_now())
            self.status = rest
            self.PropertiesChanged(PLAYER, {"PlaybackStatus": dbus.String(rest)}, [])
        elif word == "position":
            self.set_position(int(rest))
        elif word == "seek":
            self.set_position(int(rest))
            self.Seeked(dbus.Int64(int(rest)))
        elif word == "tracks":
            self.tracks = rest.split()
        elif word != "quit":
            print("unknown command: " + line.strip(), file=sys.stderr, flush=True)
        print("ok", flush=True)
        return word != "quit"


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    player = TestPlayer(bus)
    name = dbus.service.BusName(ROOT + "." + sys.argv[1], bus, allow_replacement=True,
                                replace_existing="--replace" in sys.argv[2:], do_not_queue=True)
    loop = GLib.MainLoop()

    def on_input(source, condition):
        line = sys.stdin.readline()
        if not line or not player.command(line):
            loop.quit()
            return False
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_input)
    print("ready", flush=True)
    loop.run()
    del name


if __name__ == "__main__":
    main()
