#!/usr/bin/env python3
"""The now-playing screen on LCDd, for bench/compare.py.

Plays the simulated player's playlist in real time and shows it the way marqel-host shows it on
its display: the artist on line 1, the title over lines 2 and 3 (upper case), a bar of 27 cells on
line 4. Every 500 ms it sends the bar; artist and title only when the track changes, as a player's
client does. It speaks LCDd's text protocol over TCP and prints `title` on standard output each
time it sends a new title, so that the caller can time the redraw.
"""
import argparse
import socket
import sys
import time

# The simulated player's playlist (linux/players/sim_player.cpp): artist, title, seconds.
PLAYLIST = [
    ("Kestrel Lane", "Paper Lanterns", 24),
    ("The Halvorsen Quartet", "A Rather Long Title That Needs Two Lines", 42),
    ("Élodie Marchand", "Café au lait", 31),
    ("Saltmarsh", "Supercalifragilisticexpialidocious Overture in Four Movements", 37),
    ("Fenwick & Daughters", "Tide", 18),
]
WIDTH = 27
PERIOD_S = 0.5


def wrap_title(title):
    """Two lines at the last blank within the first 28 characters, else the first blank after."""
    text = title + " "
    at = text.rfind(" ", 0, WIDTH + 1) if len(text) > WIDTH else -1
    if at < 0 and len(text) > WIDTH:
        at = text.find(" ", WIDTH)
    if at < 0:
        return text.rstrip(), ""
    return text[:at], text[at + 1:].rstrip()


def quoted(text):
    """A protocol string: LCDd reads Latin-1 bytes; quote and backslash are escaped."""
    text = text.upper().replace("\\", "\\\\").replace('"', '\\"')
    return '"' + text + '"'


class Lcdd:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.reader = self.sock.makefile("rb")

    def send(self, command, expect=b"success"):
        """Sends one command and waits for its answer; LCDd's own notices are skipped."""
        self.sock.sendall(command.encode("latin-1", "replace") + b"\n")
        while True:
            line = self.reader.readline()
            if not line:
                raise ConnectionError("LCDd closed the connection")
            if line.startswith(expect):
                return line
            if line.startswith(b"huh?"):
                raise ValueError(f"LCDd refused `{command}`: {line.decode('latin-1').strip()}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True, help="LCDd's TCP port on 127.0.0.1")
    args = parser.parse_args()
    try:
        lcd = Lcdd(args.port)
        lcd.send("hello", expect=b"connect")
        lcd.send("client_set -name marqel-bench")
        lcd.send("screen_add np")
        lcd.send("screen_set np -priority foreground -heartbeat off")
        for name, kind in (("artist", "string"), ("t1", "string"), ("t2", "string"),
                           ("bar", "hbar")):
            lcd.send(f"widget_add np {name} {kind}")

        epoch = time.monotonic()
        track = 0
        track_start = epoch
        shown = None
        tick = 0
        while True:
            now = time.monotonic()
            artist, title, length = PLAYLIST[track]
            if now - track_start >= length:
                track = (track + 1) % len(PLAYLIST)
                track_start = now
                artist, title, length = PLAYLIST[track]
            if shown != track:
                print("title", flush=True)  # before the change reaches LCDd
                line2, line3 = wrap_title(title)
                lcd.send(f"widget_set np artist 1 1 {quoted(artist)}")
                lcd.send(f"widget_set np t1 1 2 {quoted(line2)}")
                lcd.send(f"widget_set np t2 1 3 {quoted(line3)}")
                shown = track
            # Whole cells, rounded half to even, as the display's bar: 5 pixels a cell.
            cells = round(WIDTH / length * round(now - track_start))
            lcd.send(f"widget_set np bar 1 4 {cells * 5}")
            # On a fixed grid, so that the client does not drift.
            tick += 1
            time.sleep(max(0.0, epoch + tick * PERIOD_S - time.monotonic()))
    except (OSError, ValueError) as error:
        print(f"lcdproc_client: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
