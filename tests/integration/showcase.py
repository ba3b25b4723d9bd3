"""Runs testing/win's control showcase for the window-toolkit tests and
reads back what it placed and reported; screenshots and real pointer input
through the X display (xdotool)."""
import os
import queue
import subprocess
import threading
import time

import harness


class Showcase:
    """control_showcase.exe running in the background; its report lines."""

    def __init__(self, *args, env=None, program="control_showcase.exe"):
        self.process = subprocess.Popen(
            [harness.WINE, harness.bin_path(program)] +
            list(args), env=dict(harness.WINE_ENV, **(env or {})),
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            stdin=subprocess.DEVNULL, start_new_session=True)
        self.lines = []
        self._queue = queue.Queue()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for raw in self.process.stdout:
            self._queue.put(raw.decode("utf-8", "replace").rstrip("\r\n"))
        self._queue.put(None)

    def wait_for(self, predicate, timeout=60):
        """The first line (old or new) for which |predicate| holds."""
        for line in self.lines:
            if predicate(line):
                return line
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                line = self._queue.get(timeout=0.2)
            except queue.Empty:
                continue
            if line is None:
                break
            self.lines.append(line)
            if predicate(line):
                return line
        raise AssertionError("showcase never said it; it said:\n" +
                             "\n".join(self.lines[-40:]))

    def wait_ready(self, ready_line="painted", window_name="Kelvra showcase"):
        # Every control has been painted once the window is shown.
        self.wait_for(lambda l: l == ready_line)
        # And the X server shows it (Wine maps its windows asynchronously;
        # a pointer event sent before that lands on the root window).
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            found = subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--name",
                 window_name], stdout=subprocess.PIPE,
                stderr=subprocess.DEVNULL, timeout=30).stdout.strip()
            if found:
                break
            time.sleep(0.2)
        time.sleep(0.5)
        return self

    def drain(self, seconds=0.5):
        """Collects what arrives within |seconds|."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            try:
                line = self._queue.get(timeout=0.05)
            except queue.Empty:
                continue
            if line is None:
                return
            self.lines.append(line)

    def value(self, key):
        return self.wait_for(lambda l: l.split(" ")[0] == key).split(" ")[1:]

    def controls(self):
        """id -> list of (hwnd, x, y, w, h, visible, text)."""
        self.wait_for(lambda l: l == "ready")
        result = {}
        for line in self.lines:
            if not line.startswith("control "):
                continue
            parts = line.split(" ", 8)
            ident = int(parts[1])
            text = parts[8] if len(parts) > 8 else ""
            result.setdefault(ident, []).append(
                (int(parts[2]), int(parts[3]), int(parts[4]), int(parts[5]),
                 int(parts[6]), int(parts[7]), text))
        return result

    def rect(self, ident):
        hwnd, x, y, w, h, _, _ = self.controls()[ident][0]
        return x, y, w, h

    def window(self):
        return tuple(int(v) for v in self.value("window"))

    def states(self):
        """id -> (kind, detail) of the states screen's controls."""
        self.wait_for(lambda l: l == "ready")
        result = {}
        for line in self.lines:
            if line.startswith("state "):
                _, ident, kind, detail = line.split(" ")
                result[int(ident)] = (kind, int(detail))
        return result

    def close(self):
        if self.process.poll() is None:
            harness.wine("taskkill", "/F", "/PID", self.value("pid")[0])
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, 9)
                self.process.wait()
        self._reader.join(timeout=10)
        if not self._reader.is_alive() and not self.process.stdout.closed:
            self.process.stdout.close()


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True,
                   timeout=30)


class Screenshot:
    """The X display as RGB pixels (ImageMagick's PPM output)."""

    def __init__(self, path):
        subprocess.run(["import", "-window", "root", path], check=True,
                       timeout=60)
        ppm = subprocess.run(["convert", path, "-depth", "8", "ppm:-"],
                             check=True, timeout=60,
                             stdout=subprocess.PIPE).stdout
        # P6\n<w> <h>\n255\n<data>
        fields = ppm.split(b"\n", 3)
        self.width, self.height = (int(v) for v in fields[1].split())
        self.data = fields[3]
        self.path = path

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])


def until_on_screen(path, check, timeout=90):
    """Runs |check| with a fresh screenshot until it passes and returns its
    result. Wine copies painted windows to the X server on its own schedule;
    under emulation on a loaded machine a half-copied window stayed
    unchanged for more than a second, so a steady screen is no proof that
    the copy is done. A real fault fails every screenshot until |timeout|
    and is reported with the last one."""
    deadline = time.monotonic() + timeout
    while True:
        image = Screenshot(path)
        try:
            return check(image)
        except AssertionError:
            if time.monotonic() > deadline:
                raise
        time.sleep(1)
