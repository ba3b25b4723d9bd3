"""Drives the installer's main window from outside as a person would, for
the main job and the window tests: the window's geometry read back with
window_probe.exe, real pointer and keyboard input through the X display
(xdotool), and screenshots of the window."""
import ctypes
import ctypes.util
import os
import subprocess
import time

import harness

# The dialog class every template window has.
DIALOG_CLASS = "#32770"


class Control:
    def __init__(self, fields, text):
        (self.id, self.hwnd, self.x, self.y, self.width, self.height,
         self.visible, self.position, self.check) = fields
        self.window_class, _, self.text = text.partition(" ")

    @property
    def rect(self):
        return (self.x, self.y, self.width, self.height)


class WindowTree:
    """One reading of the installer's windows (window_probe.exe --tree)."""

    def __init__(self, pid):
        output = subprocess.run(
            [harness.WINE, harness.bin_path("window_probe.exe"), "--tree",
             str(pid)], env=harness.WINE_ENV, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, timeout=120).stdout.decode(
                "utf-8", "replace")
        self.windows = []  # (hwnd, x, y, w, h, visible, class, text, children)
        for line in output.splitlines():
            line = line.rstrip("\r")
            if line.startswith("window "):
                parts = line.split(" ", 8)
                numbers = [int(v) for v in parts[1:7]]
                window_class = parts[7] if len(parts) > 7 else ""
                text = parts[8] if len(parts) > 8 else ""
                self.windows.append(numbers + [window_class, text, []])
            elif line.startswith("child ") and self.windows:
                parts = line.split(" ", 10)
                fields = [int(v) for v in parts[1:10]]
                self.windows[-1][8].append(
                    Control(fields, " ".join(parts[10:])))

    def main(self):
        """The main window (the dialog that has the progress bar 215)."""
        for window in self.windows:
            if window[6] == DIALOG_CLASS and any(
                    c.id == 215 for c in window[8]):
                return window
        return None

    def dialogs(self):
        """The shown dialogs besides the main window (notices, errors,
        questions)."""
        main = self.main()
        return [w for w in self.windows
                if w[6] == DIALOG_CLASS and w[5] and w is not main]

    def controls(self, ident):
        window = self.main()
        return [c for c in window[8] if c.id == ident] if window else []

    def control(self, ident):
        found = self.controls(ident)
        return found[0] if found else None

    def visible_controls(self, ident):
        return [c for c in self.controls(ident) if c.visible]


class MainWindowDriver:
    """The installer started in the background, its main window driven."""

    def __init__(self, program, args=(), temp_dir=None, env=None):
        self.running = harness.Running(program, args, temp_dir=temp_dir,
                                       env=env)
        self.pid = self.running.pid
        self.temp_dir = temp_dir

    def tree(self):
        return WindowTree(self.pid)

    def focused(self):
        """The id of the control that has the keyboard focus in the
        installer's window thread (the window's own id for the dialog
        itself), None when nothing has it."""
        return self.focus()[0]

    def focus(self):
        """(id, window handle) of the control that has the keyboard focus
        in the installer's window thread; (None, None) when nothing has
        it."""
        output = subprocess.run(
            [harness.WINE, harness.bin_path("window_probe.exe"), "--focus",
             str(self.pid)], env=harness.WINE_ENV, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, timeout=120).stdout.decode(
                "utf-8", "replace")
        for line in output.splitlines():
            parts = line.split()
            if parts[:1] == ["focus"] and len(parts) >= 3:
                return int(parts[1]), int(parts[2])
        return None, None

    def wait_for(self, predicate, timeout=120, what="the window"):
        """The first reading of the windows for which |predicate| holds."""
        deadline = time.monotonic() + timeout
        while True:
            tree = self.tree()
            if tree.main() is not None and predicate(tree):
                return tree
            if time.monotonic() > deadline:
                raise AssertionError("%s never came; the windows were:\n%s"
                                     % (what, tree.windows))
            if not self.running.is_running():
                log = harness.read_log(self.temp_dir) if self.temp_dir else []
                raise AssertionError(
                    "the installer ended before %s, exit code %r; the log "
                    "ends:\n%s" % (what, self.running.wait(timeout=60),
                                    "\n".join(log[-30:])))
            time.sleep(0.3)

    def wait_first_screen(self, timeout=120):
        tree = self.wait_for(
            lambda t: t.main()[5] == 1 and any(
                c.visible and c.width > 0 for c in t.controls(1)),
            timeout, "the first screen")
        self.wait_mapped()
        return tree

    def wait_progress_screen(self, timeout=120):
        tree = self.wait_for(
            lambda t: t.main()[5] == 1 and any(
                c.visible and c.width > 0 for c in t.controls(215)),
            timeout, "the progress screen")
        return tree

    def wait_mapped(self, timeout=60):
        """Until the X server shows the window (Wine maps its windows on its
        own schedule; a pointer event before that lands on the root)."""
        title = self.tree().main()[7]
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--name", title],
                stdout=subprocess.PIPE,
                stderr=subprocess.DEVNULL, timeout=30).stdout.strip()
            if found:
                break
            time.sleep(0.3)
        time.sleep(0.5)

    def point_of(self, tree, ident, dx=None, dy=None):
        window = tree.main()
        control = tree.visible_controls(ident)[0]
        x = window[1] + control.x + (control.width // 2 if dx is None else dx)
        y = window[2] + control.y + (control.height // 2 if dy is None else dy)
        return x, y

    def click(self, ident, dx=None, dy=None):
        """A real click: the pointer arrives from elsewhere, rests, clicks."""
        x, y = self.point_of(self.tree(), ident, dx, dy)
        xdotool("mousemove", x - 30, y - 30)
        time.sleep(0.3)
        xdotool("mousemove", x, y)
        time.sleep(0.5)
        xdotool("click", 1)

    def point_to_surface(self):
        """The pointer rests on the window's own surface, on no control:
        without a window manager the X server gives the keys to the window
        under the pointer."""
        x, y = self.tree().main()[1:3]
        xdotool("mousemove", x + 20, y + 20)
        time.sleep(0.5)

    def key(self, name):
        xdotool("key", name)

    def screenshot(self, path, settle=True):
        """The main window's area of the screen as a PNG, once the picture
        is steady (Wine copies painted windows to X on its own schedule)."""
        x, y, w, h = self.tree().main()[1:5]
        previous = None
        for _ in range(20 if settle else 1):
            grab(path, x, y, w, h)
            with open(path, "rb") as f:
                data = f.read()
            if data == previous:
                break
            previous = data
            time.sleep(1.0)
        return path

    def wait(self, timeout=120):
        return self.running.wait(timeout=timeout)

    def close(self):
        if self.running.is_running():
            self.running.terminate_windows_process()
        self.running.kill_launcher()
        if not self.running.process.stdout.closed:
            self.running.process.stdout.close()


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True,
                   timeout=30)


def x_windows(title):
    """The X windows (ids) that show a window with |title|."""
    found = subprocess.run(["xdotool", "search", "--name", title],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           timeout=30).stdout.split()
    return [int(v) for v in found]


def set_wm_state(window, state):
    """Sets the ICCCM WM_STATE of X window |window| (1 normal, 3 iconic) as
    a window manager does when the user minimises or restores a window
    from its task bar. Xvfb runs no window manager and Wine no task bar:
    this stands in for the click on the task bar button."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XChangeProperty.argtypes = [
        ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong,
        ctypes.c_int, ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        raise AssertionError("no X display")
    try:
        atom = x11.XInternAtom(display, b"WM_STATE", 0)
        # state, icon window; format 32 items are C longs.
        data = (ctypes.c_long * 2)(state, 0)
        x11.XChangeProperty(display, window, atom, atom, 32, 0,  # Replace
                            data, 2)
        x11.XSync(display, 0)
    finally:
        x11.XCloseDisplay(display)


def grab(path, x, y, w, h):
    subprocess.run(["import", "-window", "root", "-crop",
                    "%dx%d+%d+%d" % (w, h, x, y), "+repage", path],
                   check=True, timeout=60, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def pixels(path):
    """(width, height, pixel(x, y)) of a PNG through ImageMagick's PPM."""
    ppm = subprocess.run(["convert", path, "-depth", "8", "ppm:-"],
                         check=True, timeout=60,
                         stdout=subprocess.PIPE).stdout
    fields = ppm.split(b"\n", 3)
    width, height = (int(v) for v in fields[1].split())
    data = fields[3]

    def pixel(x, y):
        i = (y * width + x) * 3
        return tuple(data[i:i + 3])
    return width, height, pixel
