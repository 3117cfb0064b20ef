#!/usr/bin/env python3
"""Marqel beside LCDproc: the same now-playing job on one machine, and what each costs.

Each system follows a player and drives a 27x4 display on a pseudo-terminal that this script
creates and reads:
  LCDd + client   LCDproc's LCDd (Debian's lcdproc) with its hd44780 driver, connection type
                  lcdserializer (a serial backpack: 0xFE before each instruction, no handshake),
                  configured privately on a free loopback port; bench/lcdproc_client.py shows
                  artist, two title lines and a bar every 500 ms.
  marqel-host     marqel-host run --player sim with COM1 on the pty, a copy of the module and
                  its settings file in a temporary folder.
  marqel-host mpris  the same following mpv over MPRIS, when the host has that player and mpv is
                  installed (skipped with a note otherwise).
The systems run one after the other, in rounds, each for a warm-up and then a measured window;
nothing of the machine's own configuration or services is read or touched.

Per minute of the window: CPU seconds (scheduler run time of every thread), wakeups a second
(voluntary and involuntary context switches), peak RSS and private dirty memory at the window's
end (/proc/PID/status, smaps_rollup), bytes on the line, write calls on the line (counted in the
kernel by perf when it can; otherwise only the process's write calls of every kind are shown).
Then start-up and redraw times on a 9600-baud line: the bytes' read times paced at 1.042 ms a
byte, against the floor of their line time plus the waits the sender asks for.

Exit status: 0 after a full run, 1 when a system did not do its job, 2 for bad arguments, 77 when
LCDd or its hd44780 driver is not installed (scripts/setup-bench installs them).
"""
import argparse
import glob
import os
import pwd
import re
import select
import shutil
import signal
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import tty

SKIPPED = 77
BYTE_S = 10 / 9600  # a byte on an 8N1 line at 9600 baud
QUIET_S = 0.1  # a burst of output ends when the line has been quiet this long
# The waits marqel's link start-up asks for (lcd/controller_startup.cpp, lcd/lcd_protocol.h):
# 10 + 2 + 5 ms for each of the two controllers, 2 ms after the contrast byte.
MARQEL_STARTUP_WAITS_S = (2 * (10 + 2 + 5) + 2) / 1000
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from lcdproc_client import PLAYLIST  # noqa: E402  (the job both systems show)


class Missing(Exception):
    """Something the benchmark needs is not installed."""


class Broken(Exception):
    """A system did not do its job; its figures would mean nothing."""


def log(text):
    print(text, file=sys.stderr, flush=True)


# ---- processes, the line, and what the kernel counts for them ----------------------------------


class Line:
    """A pseudo-terminal standing in for the serial line. Its master end is read all the time, so
    that no write ever blocks; the slave end stays open here, so nothing is lost when a system
    closes its port."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        os.set_blocking(self.master, False)
        self.path = os.ttyname(self.slave)
        self.chunks = []  # (read time, bytes)

    def read(self):
        try:
            data = os.read(self.master, 65536)
        except BlockingIOError:
            return
        if data:
            self.chunks.append((time.monotonic(), data))

    def data(self, until=float("inf")):
        return b"".join(d for t, d in self.chunks if t <= until)

    def close(self):
        os.close(self.master)
        os.close(self.slave)


class Proc:
    """A child whose standard output lines are kept with the time they were read."""

    def __init__(self, name, argv, env, cwd=None):
        self.name = name
        self.started = time.monotonic()
        self.popen = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE, env=env, cwd=cwd)
        self.pid = self.popen.pid
        self.lines = []  # (read time, text)
        self.err = b""
        self._partial = b""
        self.open = {self.popen.stdout.fileno(): "out", self.popen.stderr.fileno(): "err"}
        for fd in self.open:
            os.set_blocking(fd, False)

    def read(self, fd):
        try:
            data = os.read(fd, 65536)
        except BlockingIOError:
            return
        if not data:
            del self.open[fd]
        elif self.open[fd] == "err":
            self.err = (self.err + data)[-4000:]
        else:
            now = time.monotonic()
            *complete, self._partial = (self._partial + data).split(b"\n")
            self.lines += [(now, line.decode(errors="replace")) for line in complete]

    def why(self):
        return self.err.decode(errors="replace").strip()[-800:] or "(no message)"

    def stop(self):
        if self.popen.poll() is None:
            self.popen.send_signal(signal.SIGTERM)


def pump(line, procs, until, must_live=()):
    """Reads the line and the children's output until `until`; a child in `must_live` that ends
    is a broken run."""
    while True:
        left = until - time.monotonic()
        if left <= 0:
            return
        owners = {line.master: None}
        for p in procs:
            owners.update({fd: p for fd in p.open})
        ready, _, _ = select.select(list(owners), [], [], min(left, 0.25))
        for fd in ready:
            line.read() if owners[fd] is None else owners[fd].read(fd)
        for p in must_live:
            if p.popen.poll() is not None:
                raise Broken(f"{p.name} ended early (exit status {p.popen.returncode}): {p.why()}")


def stop_all(line, procs):
    """SIGTERM, then time to say goodbye on the line, then SIGKILL."""
    for p in procs:
        p.stop()
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline and any(p.popen.poll() is None for p in procs):
        pump(line, procs, min(deadline, time.monotonic() + 0.1))
    for p in procs:
        if p.popen.poll() is None:
            p.popen.kill()
        p.popen.wait()
        p.popen.stdout.close()
        p.popen.stderr.close()


def counters(pid):
    """CPU seconds, voluntary and involuntary context switches (all threads), write calls."""
    cpu = vol = invol = 0
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                cpu += int(f.read().split()[0]) / 1e9
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                status = f.read()
        except FileNotFoundError:  # a thread that has just ended
            continue
        vol += int(re.search(r"^voluntary_ctxt_switches:\s*(\d+)", status, re.M).group(1))
        invol += int(re.search(r"^nonvoluntary_ctxt_switches:\s*(\d+)", status, re.M).group(1))
    with open(f"/proc/{pid}/io") as f:
        syscw = int(re.search(r"^syscw:\s*(\d+)", f.read(), re.M).group(1))
    return {"cpu": cpu, "vol": vol, "invol": invol, "syscw": syscw}


def memory(pid):
    """Peak RSS and private dirty memory, in kB."""
    with open(f"/proc/{pid}/status") as f:
        hwm = int(re.search(r"^VmHWM:\s*(\d+)", f.read(), re.M).group(1))
    with open(f"/proc/{pid}/smaps_rollup") as f:
        dirty = int(re.search(r"^Private_Dirty:\s*(\d+)", f.read(), re.M).group(1))
    return {"hwm": hwm, "dirty": dirty}


def mappings(pid, top=16):
    """The largest resident mappings, grouped by file: (Rss kB, Private_Dirty kB, name). Enough
    of them to show what each library a host maps costs."""
    sizes = {}
    name = "[anonymous]"
    with open(f"/proc/{pid}/smaps") as f:
        for text in f:
            head = text.split()
            if re.match(r"^[0-9a-f]+-[0-9a-f]+$", head[0]):
                name = os.path.basename(head[5]) if len(head) > 5 else "[anonymous]"
                sizes.setdefault(name, [0, 0])
            elif head[0] == "Rss:":
                sizes[name][0] += int(head[1])
            elif head[0] == "Private_Dirty:":
                sizes[name][1] += int(head[1])
    ranked = sorted(((rss, dirty, n) for n, (rss, dirty) in sizes.items()), reverse=True)
    return ranked[:top], sum(rss for rss, _, _ in ranked[top:])


def line_fd(pid, path):
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            if os.readlink(f"/proc/{pid}/fd/{fd}") == path:
                return int(fd)
        except FileNotFoundError:
            continue
    return None


class WriteCounter:
    """write(2) and writev(2) calls on one descriptor of a process, counted in the kernel by
    perf's system-call tracepoints: no tracer stops the process, so its figures stay its own.
    perf attaches with its counters off; enable() and disable() open and close the window."""

    EVENTS = ("syscalls:sys_enter_write", "syscalls:sys_enter_writev")

    @staticmethod
    def works():
        if not shutil.which("perf"):
            return False
        probe = subprocess.run(["perf", "stat", "-x,", "-D", "-1", "-e", WriteCounter.EVENTS[0],
                                "--", "true"], capture_output=True, text=True)
        return probe.returncode == 0 and "not supported" not in probe.stderr

    def __init__(self, pid, fd):
        ctl_read, self.ctl = os.pipe()
        self.ack, ack_write = os.pipe()
        argv = ["perf", "stat", "-x,", "-D", "-1", "--control", f"fd:{ctl_read},{ack_write}",
                "-p", str(pid)]
        for event in self.EVENTS:
            argv += ["-e", event, "--filter", f"fd == {fd}"]
        self.perf = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                     text=True, pass_fds=(ctl_read, ack_write))
        os.close(ctl_read)
        os.close(ack_write)

    def _command(self, word):
        os.write(self.ctl, word + b"\n")
        ready, _, _ = select.select([self.ack], [], [], 10)
        if not ready or not os.read(self.ack, 64).startswith(b"ack"):
            raise Broken(f"perf did not {word.decode()} its counters")

    def enable(self):
        self._command(b"enable")

    def disable(self):
        self._command(b"disable")

    def result(self):
        self.perf.send_signal(signal.SIGINT)
        _, err = self.perf.communicate(timeout=10)
        os.close(self.ctl)
        os.close(self.ack)
        counts = [int(row.split(",")[0]) for row in err.splitlines()
                  if any(e in row for e in self.EVENTS) and row.split(",")[0].isdigit()]
        return sum(counts) if len(counts) == len(self.EVENTS) else None


def base_env(tmp):
    """The caller's environment without a display or marqel's port variables, with the
    configuration, cache and state folders in the temporary folder."""
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("MARQEL_") and k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    for var in ("XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"):
        env[var] = os.path.join(tmp, var.lower())
        os.makedirs(env[var], exist_ok=True)
    return env


def link_or_copy(source, target):
    """A hard link where it can be, so that the module maps the same clean pages; else a copy
    written back to disk at once: pages of a fresh copy would count as private dirty memory."""
    try:
        os.link(source, target)
    except OSError:
        shutil.copyfile(source, target)
        with open(target, "rb") as f:
            os.fsync(f.fileno())


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# ---- what the glass shows -----------------------------------------------------------------------


def ascii_only(text):
    return "".join(c if " " <= c < "\x7f" else "?" for c in text)


def lcdserializer_glass(data, width=27):
    """What a 27x4 HD44780 shows for LCDd's lcdserializer bytes (0xFE: an instruction follows).
    Line addresses as LCDd's driver uses them: 0x00, 0x40, then the width after each."""
    ddram = bytearray(b" " * 128)
    address, to_ddram, escape = 0, True, False
    for byte in data:
        if escape:
            escape = False
            if byte & 0x80:
                address, to_ddram = byte & 0x7F, True
            elif byte & 0x40:
                to_ddram = False
            elif byte == 0x01:
                ddram[:] = b" " * 128
                address, to_ddram = 0, True
            elif byte & 0xFE == 0x02:
                address, to_ddram = 0, True
        elif byte == 0xFE:
            escape = True
        elif to_ddram:
            ddram[address] = byte
            address = (address + 1) & 0x7F
    starts = (0x00, 0x40, width, 0x40 + width)
    return ["".join(chr(b) if 0x20 <= b < 0x7F else "#" if b < 8 else "?"
                    for b in ddram[s:s + width]) for s in starts]


def marqel_glass(lcd_program, data, tmp):
    path = os.path.join(tmp, "line.bin")
    with open(path, "wb") as f:
        f.write(data)
    out = subprocess.run([lcd_program, path, "--dump"], capture_output=True, text=True, timeout=60)
    if out.returncode != 0:
        raise Broken(f"marqel-lcd could not read the line: {out.stderr.strip()}")
    return out.stdout.splitlines()[:4]


# ---- the systems --------------------------------------------------------------------------------


class Lcdproc:
    label = "LCDd + client"
    artists = [a for a, _, _ in PLAYLIST]

    def __init__(self, lcdd, driver_dir):
        self.lcdd, self.driver_dir = lcdd, driver_dir

    def start(self, line, tmp, started):
        port = free_port()
        conf = os.path.join(tmp, "LCDd.conf")
        with open(conf, "w") as f:
            f.write(f"""[server]
DriverPath={self.driver_dir}/
Driver=hd44780
Bind=127.0.0.1
Port={port}
ReportLevel=2
ReportToSyslog=no
User={pwd.getpwuid(os.getuid()).pw_name}
Foreground=yes
ServerScreen=blank
Heartbeat=off
Backlight=off

[hd44780]
ConnectionType=lcdserializer
Device={line.path}
Speed=9600
Keypad=no
Backlight=no
Size=27x4
CharMap=hd44780_default
""")
        env = base_env(tmp)
        lcdd = Proc("LCDd", [self.lcdd, "-f", "-c", conf], env, cwd=tmp)
        started.append(lcdd)
        deadline = time.monotonic() + 10
        while True:
            pump(line, [lcdd], time.monotonic() + 0.02, must_live=[lcdd])
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise Broken(f"LCDd does not listen on port {port}: {lcdd.why()}")
        client = Proc("client", [sys.executable, os.path.join(HERE, "lcdproc_client.py"),
                                 "--port", str(port)], env)
        started.insert(0, client)  # stopped before LCDd
        return lcdd, [lcdd, client]

    @staticmethod
    def title_changes(procs):
        """The client says `title` when it sends a title; the first one is no change."""
        return [t for t, text in procs[1].lines if text == "title"][1:]

    @staticmethod
    def glass(data, lcd_program, tmp):
        return lcdserializer_glass(data)


class MarqelSim:
    label = "marqel-host"
    player = ["--player", "sim"]
    artists = [a for a, _, _ in PLAYLIST]

    def __init__(self, host, module):
        self.host, self.module = host, module

    def host_env(self, tmp):
        return base_env(tmp)

    def start(self, line, tmp, started):
        folder = os.path.join(tmp, "module")
        os.makedirs(folder, exist_ok=True)
        module = os.path.join(folder, "Marqel.so")
        link_or_copy(self.module, module)
        # COM1, contrast 64: a configured plug-in, as a user runs it.
        with open(os.path.join(folder, "gen_marqel.ini"), "wb") as f:
            f.write(b" 1 \r\n 64 \r\n")
        env = self.host_env(tmp)
        env["MARQEL_COM1"] = line.path
        host = Proc("marqel-host", [self.host, "run", *self.player, "--plugin", module,
                                    "--com", f"1={line.path}"], env)
        started.insert(0, host)  # stopped before the player it follows
        return host, [host]

    @staticmethod
    def title_changes(procs):
        """The host prints the player's track on each change (`marqel-host: playing 2/5: ...`)."""
        changes, last = [], None
        for t, text in procs[0].lines:
            m = re.match(r"marqel-host: \w+ (\d+)/", text)
            if m and last is not None and m.group(1) != last:
                changes.append(t)
            last = m.group(1) if m else last
        return changes

    @staticmethod
    def glass(data, lcd_program, tmp):
        return marqel_glass(lcd_program, data, tmp)


MPRIS_TRACKS = [("Kestrel Lane", "Paper Lanterns", 24),
                ("The Halvorsen Quartet", "A Rather Long Title That Needs Two Lines", 42)]


def write_wav(path, seconds, artist, title):
    """Silence with artist and title in the file's INFO list, which mpv reads as its tags."""
    def chunk(tag, body):
        return tag + struct.pack("<I", len(body)) + body + b"\0" * (len(body) % 2)
    rate = 8000
    info = b"INFO" + chunk(b"IART", artist.encode() + b"\0") + chunk(b"INAM", title.encode() + b"\0")
    body = (b"WAVE" + chunk(b"fmt ", struct.pack("<HHIIHH", 1, 1, rate, rate, 1, 8))
            + chunk(b"LIST", info) + chunk(b"data", b"\x80" * (rate * seconds)))
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


class MarqelMpris(MarqelSim):
    """marqel-host following mpv on a private session bus; only the host is measured."""
    label = "marqel-host mpris"
    artists = [a for a, _, _ in MPRIS_TRACKS]

    def __init__(self, host, module, player):
        super().__init__(host, module)
        self.player = ["--player", player]

    @staticmethod
    def unavailable(host):
        """Why this row cannot run here, or None."""
        usage = subprocess.run([host, "run", "--help"], capture_output=True, text=True, timeout=10)
        if "mpris" not in (usage.stdout + usage.stderr).lower():
            return "marqel-host has no MPRIS player (run --player mpris) yet"
        for program in ("mpv", "dbus-daemon"):
            if not shutil.which(program):
                return f"{program} is not installed"
        return None

    def host_env(self, tmp):
        return self.env

    def start(self, line, tmp, started):
        self.env = base_env(tmp)
        bus = Proc("dbus-daemon", ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                   self.env)
        started.append(bus)
        deadline = time.monotonic() + 10
        while not bus.lines:
            pump(line, [bus], time.monotonic() + 0.05, must_live=[bus])
            if time.monotonic() > deadline:
                raise Broken("the private session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.lines[0][1].strip()
        tracks = []
        for i, (artist, title, seconds) in enumerate(MPRIS_TRACKS):
            tracks.append(os.path.join(tmp, f"track{i + 1}.wav"))
            write_wav(tracks[-1], seconds, artist, title)
        mpv = Proc("mpv", ["mpv", "--no-terminal", "--ao=null", "--vo=null", "--idle=no",
                           "--loop-playlist=inf", *tracks], self.env)
        started.insert(0, mpv)
        pump(line, [bus, mpv], time.monotonic() + 1, must_live=[bus, mpv])
        return super().start(line, tmp, started)


# ---- one run ------------------------------------------------------------------------------------


def measure(system, args, lcd_program, write_counting):
    """Runs one system for the warm-up and the window; returns what it cost and what it did."""
    with tempfile.TemporaryDirectory(prefix="marqel-bench-") as tmp:
        line = Line()
        started = []  # everything started, in the order to stop it
        try:
            on_line, procs = system.start(line, tmp, started)
            pump(line, started, on_line.started + args.warmup, must_live=started)
            fd = line_fd(on_line.pid, line.path)
            if fd is None:
                raise Broken(f"{on_line.name} does not hold the line {line.path} open")
            counter = WriteCounter(on_line.pid, fd) if write_counting else None
            if counter:
                pump(line, started, time.monotonic() + 0.3, must_live=started)  # perf attaches
                counter.enable()
            before = {p.name: counters(p.pid) for p in procs}
            opened = time.monotonic()
            pump(line, started, opened + args.seconds, must_live=started)
            closed = time.monotonic()
            if counter:
                counter.disable()
            after = {p.name: counters(p.pid) for p in procs}
            memories = {p.name: memory(p.pid) for p in procs}
            maps = mappings(on_line.pid)
            line_writes = counter.result() if counter else None
        finally:
            stop_all(line, started)
            line.close()

        check_glass(system, line, closed, lcd_program, tmp)
        minutes = (closed - opened) / 60
        window_bytes = sum(len(d) for t, d in line.chunks if opened <= t <= closed)
        result = {"procs": {}, "line_bytes": window_bytes / minutes, "maps": maps,
                  "line_writes": None if line_writes is None else line_writes / minutes}
        for p in procs:
            delta = {k: after[p.name][k] - before[p.name][k] for k in after[p.name]}
            result["procs"][p.name] = {
                "cpu": delta["cpu"] / minutes, "vol": delta["vol"] / minutes / 60,
                "invol": delta["invol"] / minutes / 60, "syscw": delta["syscw"] / minutes,
                **memories[p.name]}
        result["wire"] = wire_times(line.chunks, on_line.started, system.title_changes(procs))
        log("  " + "; ".join(f"{name} {v['cpu']:.3f} CPU s/min, {v['vol']:.1f} + {v['invol']:.1f} "
                             f"wakeups/s" for name, v in result["procs"].items())
            + f"; {result['line_bytes']:.0f} bytes/min on the line")
        return result


def check_glass(system, line, closed, lcd_program, tmp):
    """The glass after the last burst that had ended before the window closed shows an artist
    of the playlist on line 1; otherwise the system did not do the job being measured."""
    ends = [b[-1][0] for b in bursts(line.chunks) if b[-1][0] < closed - QUIET_S]
    if not ends:
        raise Broken(f"{system.label} wrote nothing on the line")
    glass = system.glass(line.data(until=ends[-1]), lcd_program, tmp)
    wanted = {ascii_only(a.upper()) for a in system.artists}
    if not glass or ascii_only(glass[0]).rstrip() not in wanted:
        raise Broken(f"{system.label}: the display does not show the player's artist:\n  "
                     + "\n  ".join(glass))
    system.last_glass = glass


# ---- start-up and redraw on a 9600-baud line ----------------------------------------------------


def bursts(chunks):
    """Reads grouped into bursts: a burst ends where the line was quiet for QUIET_S."""
    groups = []
    for chunk in chunks:
        if groups and chunk[0] - groups[-1][-1][0] < QUIET_S:
            groups[-1].append(chunk)
        else:
            groups.append([chunk])
    return groups


def wire_times(chunks, spawned, changes):
    """Paces the read bytes on a 9600-baud line: a byte leaves one byte time after it was read
    or after the byte before it, whichever is later. Returns the start-up burst (from the
    process start), the first screen, and each title change's redraw."""
    departed, paced = 0.0, []
    for t, data in chunks:
        departed = max(t, departed) + len(data) * BYTE_S
        paced.append((t, len(data), departed))
    groups, i = [], 0
    for group in bursts(chunks):
        groups.append(paced[i:i + len(group)])
        i += len(group)

    def summary(group, since):
        return {"time": group[-1][2] - since, "bytes": sum(n for _, n, _ in group)}
    out = {"redraws": []}
    if groups:
        out["startup"] = summary(groups[0], spawned)
    if len(groups) > 1:
        out["screen"] = summary(groups[1], spawned)
        out["screen"]["bytes"] += out["startup"]["bytes"]
    for change in changes:
        after = [g for g in groups if g[0][0] >= change]
        if after:
            redraw = summary(after[0], change)
            redraw["alone"] = after[0][-1][2] - after[0][0][0]
            out["redraws"].append(redraw)
    return out


# ---- the report ---------------------------------------------------------------------------------


def mean(values):
    values = [v for v in values if v is not None]
    return statistics.fmean(values) if values else None


def cell(value, digits):
    return "-" if value is None else f"{value:.{digits}f}"


def ratio(a, b):
    return None if a is None or not b else a / b


def report(results, systems, args, write_counting):
    """The side-by-side table: means over the rounds."""
    def per(system, name, key):
        return mean([r["procs"][name][key] for r in results[system.label]])

    def whole(system, key):
        return mean([r[key] for r in results[system.label]])

    lcd, marqel = systems[0], systems[1]
    extra = systems[2:]
    rows = []
    for title, key, scale, digits in (("CPU s/min", "cpu", 1, 3),
                                      ("wakeups/s voluntary", "vol", 1, 1),
                                      ("wakeups/s involuntary", "invol", 1, 1),
                                      ("peak RSS MB", "hwm", 1 / 1024, 2),
                                      ("private dirty MB", "dirty", 1 / 1024, 2),
                                      ("write-type calls/min, all", "syscw", 1, 0)):
        d, c = per(lcd, "LCDd", key), per(lcd, "client", key)
        m = per(marqel, "marqel-host", key)
        values = [d, c, d + c, m] + [per(s, "marqel-host", key) for s in extra]
        rows.append((title, [None if v is None else v * scale for v in values],
                     [ratio(m, d), ratio(m, d + c)], digits))
    for title, key in (("line bytes/min", "line_bytes"), ("line write calls/min", "line_writes")):
        d, m = whole(lcd, key), whole(marqel, key)
        values = [d, None, d, m] + [whole(s, key) for s in extra]
        rows.append((title, values, [ratio(m, d), ratio(m, d)], 0))

    heads = ["LCDd", "client", "LCDd+client", "marqel-host"] + [s.label.replace(
        "marqel-host ", "") for s in extra] + ["M/LCDd", "M/(LCDd+cl)"]
    print(f"\nPer minute of following a player: mean of {args.rounds} round(s) of {args.seconds:g} s"
          " each (M: marqel-host with the simulated player)")
    print(f"{'':27}" + "".join(f"{h:>13}" for h in heads))
    for title, values, ratios, digits in rows:
        print(f"{title:27}" + "".join(f"{cell(v, digits):>13}" for v in values)
              + "".join(f"{cell(r, 2):>13}" for r in ratios))
    if not write_counting:
        print("line write calls: perf cannot count system calls here; see the all-calls row")


def wire_report(results, systems):
    print("\nOn a 9600-baud line (1.042 ms a byte): medians over the runs")
    print(f"{'':47}{'measured':>10}{'floor':>10}{'bytes':>7}")

    def row(title, measured, floor, nbytes, note=""):
        print(f"{title:47}{cell(measured * 1000, 0):>7} ms{cell(floor * 1000, 0):>7} ms"
              f"{nbytes:>7}  {note}")

    def median(items, key):
        return statistics.median(i[key] for i in items)
    for system in systems:
        wires = [r["wire"] for r in results[system.label]]
        starts = [w["startup"] for w in wires if "startup" in w]
        screens = [w["screen"] for w in wires if "screen" in w]
        redraws = [r for w in wires for r in w["redraws"]]
        marqel = system.label.startswith("marqel")
        waits = MARQEL_STARTUP_WAITS_S if marqel else 0
        if starts:
            n = round(median(starts, "bytes"))
            row(f"{system.label}: start to start-up sent", median(starts, "time"),
                n * BYTE_S + waits, n,
                f"floor: line time + {MARQEL_STARTUP_WAITS_S * 1000:.0f} ms of waits" if marqel
                else "floor: line time only (its own waits not counted)")
        if screens and marqel:
            n = round(median(screens, "bytes"))
            row(f"{system.label}: start to first screen sent", median(screens, "time"),
                n * BYTE_S + waits, n, "includes the wait for the first 500 ms tick")
        if redraws:
            n = round(median(redraws, "bytes"))
            row(f"{system.label}: title change to redraw sent", median(redraws, "time"),
                n * BYTE_S, n, f"{len(redraws)} change(s); includes the wait for the next "
                + ("tick" if marqel else "frame"))
            row(f"{system.label}: redraw, first to last byte", median(redraws, "alone"),
                n * BYTE_S, n)
        elif not starts:
            print(f"{system.label}: nothing on the line")
        else:
            print(f"{system.label}: no title change in the runs (they are shorter than a track)")


def maps_report(results, systems):
    print("\nResident memory by mapping at the end of the last window (kB)")
    for system in systems:
        top, rest = results[system.label][-1]["maps"]
        name = "LCDd" if system is systems[0] else system.label
        print(f"{name}: " + ", ".join(f"{n} {rss} ({dirty} dirty)" for rss, dirty, n in top if rss)
              + f", the rest {rest}")


# ---- main ---------------------------------------------------------------------------------------


def find_built(build_dir, name, given):
    """The layout of the build tree changes: without a path given, the shallowest file of that
    name is taken (copies made by tests lie deeper)."""
    if given:
        if not os.access(given, os.R_OK):
            raise SystemExit(f"compare.py: cannot read {given}")
        return given
    found = []
    for root, dirs, files in os.walk(build_dir):
        dirs[:] = [d for d in dirs if d != "CMakeFiles"]
        if name in files and os.access(os.path.join(root, name), os.X_OK | os.R_OK):
            found.append((root.count(os.sep), os.path.join(root, name)))
    if not found:
        raise SystemExit(f"compare.py: no {name} under {build_dir}; build it first (cmake --build "
                         "--preset release --target marqel-host --target marqel_plugin "
                         "--target marqel-lcd)")
    return min(found)[1]


def find_lcdd(lcdd):
    if not (lcdd and os.access(lcdd, os.X_OK)):
        raise Missing("LCDd is not installed (Debian package lcdproc; scripts/setup-bench)")
    drivers = sorted(glob.glob("/usr/lib/*/lcdproc/hd44780.so")
                     + glob.glob("/usr/lib/lcdproc/hd44780.so"))
    if not drivers:
        raise Missing("LCDd's hd44780 driver is not installed (Debian package "
                      "lcdproc-extra-drivers; scripts/setup-bench)")
    return os.path.dirname(drivers[0])


def main():
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0],
        epilog="Example: bench/compare.py build/release (bench/compare sets up and builds too)")
    parser.add_argument("build_dir", help="a build tree with marqel-host, Marqel.so, marqel-lcd")
    parser.add_argument("--seconds", type=float, default=60, help="measured window (default 60)")
    parser.add_argument("--warmup", type=float, default=3,
                        help="seconds from start to the window, left out of the rates (default 3)")
    parser.add_argument("--rounds", type=int, default=2, help="rounds of all systems (default 2)")
    parser.add_argument("--host", help="marqel-host (default: found in the build tree)")
    parser.add_argument("--module", help="Marqel.so (default: found in the build tree)")
    parser.add_argument("--lcd", help="marqel-lcd (default: found in the build tree)")
    parser.add_argument("--lcdd", default=shutil.which("LCDd") or "/usr/sbin/LCDd")
    parser.add_argument("--mpris-player", default="mpris",
                        help="the host's --player for the MPRIS row (default mpris)")
    args = parser.parse_args()
    sys.stdout.reconfigure(line_buffering=True)
    if args.seconds <= 0 or args.warmup < 0.5 or args.rounds < 1:
        parser.error("--seconds must be positive, --warmup at least 0.5, --rounds at least 1")
    if not os.path.isdir(args.build_dir):
        parser.error(f"no build tree at {args.build_dir}")

    host = find_built(args.build_dir, "marqel-host", args.host)
    module = find_built(args.build_dir, "Marqel.so", args.module)
    lcd_program = find_built(args.build_dir, "marqel-lcd", args.lcd)
    try:
        systems = [Lcdproc(args.lcdd, find_lcdd(args.lcdd)), MarqelSim(host, module)]
    except Missing as missing:
        print(f"compare.py: skipped: {missing}")
        return SKIPPED
    why_not = MarqelMpris.unavailable(host)
    if why_not:
        log(f"compare.py: no MPRIS row: {why_not}")
    else:
        systems.append(MarqelMpris(host, module, args.mpris_player))
    write_counting = WriteCounter.works()
    if os.getloadavg()[0] > (os.cpu_count() or 1) * 0.5:
        log(f"compare.py: the machine is busy (load {os.getloadavg()[0]:.1f}): figures are noisy")

    results = {s.label: [] for s in systems}
    try:
        for round_ in range(1, args.rounds + 1):
            for system in systems:
                log(f"round {round_}/{args.rounds}: {system.label}, "
                    f"{args.warmup:g} s + {args.seconds:g} s")
                results[system.label].append(measure(system, args, lcd_program, write_counting))
    except Broken as broken:
        print(f"compare.py: {broken}", file=sys.stderr)
        return 1
    report(results, systems, args, write_counting)
    wire_report(results, systems)
    maps_report(results, systems)
    print("\nThe glass at the end of the last window (LCDd's decoded here, marqel's by marqel-lcd)")
    print("".join(f"{s.label:30}" for s in systems))
    for row in range(4):
        print("".join(f"{s.last_glass[row] if row < len(s.last_glass) else '':30}"
                      for s in systems))
    if why_not:
        print(f"MPRIS row skipped: {why_not}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
