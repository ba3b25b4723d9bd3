"""Runs the real installer under Wine for the integration tests.

The test script (scripts/test.sh) has made a private Wine prefix and started
its server; CTest hands over the build folder and the architecture.
"""
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

BUILD_DIR = os.environ.get("LITE_BUILD_DIR", "")
ARCH = os.environ.get("LITE_ARCH", "")
BIN = os.path.join(BUILD_DIR, "bin")
# 32-bit programs need the 32-bit loader; 64-bit ones the 64-bit loader.
WINE = "wine" if ARCH == "i686" else "wine64"
WINE_ENV = dict(os.environ,
                PATH=os.environ.get("PATH", "") + ":/usr/lib/wine",
                WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")

INSTALLER = "lite_installer.exe"
INSTALLER_SEAMS = "lite_installer_seams.exe"
MUTEX_NAME = ("Local\\KelvraBrowserLiteInstallerMutex-"
              "E523E369-4A72-4B13-AD57-5B956174172A")

# 2023-05-04 10:11:12.345 4321:5678 INFO: text (Function:208); a destructor
# logs as "~Class".
LOG_LINE = re.compile(
    r"^(?P<date>\d{4}-\d{2}-\d{2}) (?P<time>\d{2}:\d{2}:\d{2}\.\d{3}) "
    r"(?P<pid>\d{2,}):(?P<tid>\d{2,}) (?P<severity>INFO|ERROR|WARNING): "
    r"(?P<text>.*) \((?P<function>~?[A-Za-z_][A-Za-z0-9_]*):(?P<line>\d+)\)$")


BROWSER_KEY = "HKCU\\Software\\Kelvra\\KelvraBrowser"


def wine(*args):
    """Runs a program of the prefix (reg, winecfg, ...); returns its output."""
    return subprocess.run([WINE] + list(args), env=WINE_ENV,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          timeout=120).stdout.decode("utf-8", "replace")


def set_windows_version(name):
    """Switches the prefix to a Windows version ("win7", "win81", "win10")."""
    wine("winecfg", "-v", name)


def reg(*args):
    """Runs the prefix's reg.exe."""
    return subprocess.run([WINE, "reg"] + list(args), env=WINE_ENV,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          timeout=60)


def read_browser_value(name):
    """A string value of the browser's key; None when it is absent."""
    completed = reg("query", BROWSER_KEY, "/v", name)
    if completed.returncode != 0:
        return None
    for line in completed.stdout.decode("utf-8", "replace").splitlines():
        parts = line.strip().split(None, 2)
        if parts[:2] == [name, "REG_SZ"]:
            return parts[2] if len(parts) > 2 else ""
    return None


def store_browser_text(name, text):
    """Stores |text| (which may hold line breaks, unlike what reg add can
    write) as string value |name| of the browser's key."""
    data = ",".join("%02x" % b for b in (text + "\0").encode("utf-16-le"))
    with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False,
                                     encoding="utf-16") as f:
        f.write("Windows Registry Editor Version 5.00\r\n\r\n[%s]\r\n"
                "\"%s\"=hex(1):%s\r\n" % (
                    BROWSER_KEY.replace("HKCU", "HKEY_CURRENT_USER"), name,
                    data))
        path = f.name
    try:
        completed = reg("import", to_windows_path(path))
        if completed.returncode != 0:
            raise AssertionError("reg import failed for " + name)
    finally:
        os.remove(path)


def to_windows_path(unix_path):
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def bin_path(name):
    return os.path.join(BIN, name)


class Result:
    def __init__(self, exit_code, pid, output):
        self.exit_code = exit_code
        self.pid = pid
        self.output = output
        # (process id, text) of each debug-output line, when the launcher
        # was asked to monitor them.
        self.debug_output = []
        for line in output.replace("\r", "").splitlines():
            if line.startswith("debug_output="):
                pid_text, _, text = line[len("debug_output="):].partition(" ")
                self.debug_output.append((int(pid_text), text))


def parse_launcher_output(text):
    pid = None
    exit_code = None
    for line in text.replace("\r", "").splitlines():
        if line.startswith("pid="):
            pid = int(line[4:])
        elif line.startswith("exit_code="):
            exit_code = int(line[len("exit_code="):].split()[0])
        elif line.startswith("launch_error="):
            raise AssertionError("could not start the program: " + line)
    return pid, exit_code


def launcher_command(program, args, temp_dir=None, env=None, cwd=None,
                     debug_output=False, argv0=None):
    command = [WINE, bin_path("exit_code_launcher.exe")]
    if debug_output:
        command.append("--debug-output")
    if argv0 is not None:
        command += ["--argv0", argv0]
    if temp_dir is not None:
        win_temp = to_windows_path(temp_dir)
        command += ["--env", "TEMP=" + win_temp, "--env", "TMP=" + win_temp]
    for name, value in (env or {}).items():
        command += ["--env", "%s=%s" % (name, value)]
    if cwd is not None:
        command += ["--cwd", to_windows_path(cwd)]
    program_path = program if os.path.isabs(program) else bin_path(program)
    command.append(to_windows_path(program_path))
    return command + list(args)


def read_line(process):
    """One line of a program's standard output, read byte by byte from the
    pipe, so that nothing after it is held in a buffer the later readers of
    the pipe would not see."""
    fd = process.stdout.fileno()
    line = b""
    while not line.endswith(b"\n"):
        byte = os.read(fd, 1)
        if not byte:
            break
        line += byte
    return line


def read_launcher_output(process, timeout, already=b""):
    """What the launcher printed, up to and including its exit_code= (or
    launch_error=) line.

    Does not wait for the end of the pipe: every Wine process started below
    the launcher inherits its standard output at the Unix level, so a
    process that outlives the program (the browser the test setup leaves
    behind, a copy of the installer, or Wine's own desktop process started
    by the first window) would hold the pipe open long after the program
    ended. Raises subprocess.TimeoutExpired (with what was read as its
    output) when no exit code arrives within |timeout| seconds."""
    data = already
    fd = process.stdout.fileno()
    deadline = time.time() + timeout
    while not re.search(rb"^(exit_code|launch_error)=[^\n]*\n", data, re.M):
        left = deadline - time.time()
        if left <= 0:
            raise subprocess.TimeoutExpired(process.args, timeout, output=data)
        ready, _, _ = select.select([fd], [], [], left)
        if not ready:
            continue
        chunk = os.read(fd, 4096)
        if not chunk:  # the launcher ended without an exit code
            break
        data += chunk
    # The launcher ends right after its last line.
    try:
        process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
    return data


def start_launcher(command, env):
    """Starts the launcher with its standard error in a temporary file, so
    that a launcher that dies before it reports anything can say why."""
    errors = tempfile.TemporaryFile()
    process = subprocess.Popen(
        command, env=env, stdout=subprocess.PIPE, stderr=errors,
        stdin=subprocess.DEVNULL, start_new_session=True)
    process.errors = errors
    return process


def launcher_failure(process):
    """How a launcher that reported nothing ended: its status and the end of
    what Wine wrote to its standard error."""
    try:
        process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
    process.errors.seek(0)
    text = process.errors.read().decode("utf-8", "replace")
    return "launcher status %s, stderr: %r" % (process.returncode,
                                               text[-2000:])


# Under CPU emulation (a kernel without 32-bit ELF support, see README) the
# 32-bit Wine loader very rarely dies while starting the launcher, before
# the launcher has started anything. Natively, a loaded machine once saw
# the launcher's CreateProcessW fail with 1359 (ERROR_INTERNAL_ERROR: Wine's
# new process ended before it had initialised), so the program under test
# never ran. In both cases the launcher is started once more; the cause
# goes to the test output all the same. Any other launch error, or a
# second failure, fails the test.
LAUNCH_ATTEMPTS = 2
PROCESS_START_FAILED = "launch_error=1359"


def started_nothing(reported):
    """Whether the launcher printed nothing at all, or only that Wine could
    not start the program."""
    return reported.strip() in ("", PROCESS_START_FAILED)


def fail_unless_launch_again(process, program, reported, attempt, what):
    """After a launcher that ended without reporting an exit code (or a pid):
    raises |what| with the launcher's status, unless it started nothing and
    has an attempt left; then says it starts it again."""
    failure = launcher_failure(process)
    if not started_nothing(reported) or attempt + 1 == LAUNCH_ATTEMPTS:
        raise AssertionError("%s: %r (%s)" % (what, reported, failure))
    print("the launcher ended before it started %s (%s); starting it again"
          % (program, failure), flush=True)


def run_program(program, args=(), temp_dir=None, env=None, cwd=None,
                timeout=90, debug_output=False, argv0=None):
    """Runs a Windows program to its end; returns its full exit code and,
    with |debug_output|, what it and the programs it started wrote to the
    debug output. |argv0| replaces the program part of its command line.

    A program still running after |timeout| seconds is ended (so that it
    holds no single-instance mutex over later tests) and the test fails
    with the end of its log, which tells where it stood."""
    command = launcher_command(program, args, temp_dir, env, cwd,
                               debug_output, argv0)
    for attempt in range(LAUNCH_ATTEMPTS):
        process = start_launcher(command, WINE_ENV)
        try:
            stdout = read_launcher_output(process, timeout)
        except subprocess.TimeoutExpired as expired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            pid, _ = parse_launcher_output(
                (expired.output or b"").decode("utf-8", "replace"))
            if pid is not None:
                subprocess.run([WINE, "taskkill", "/F", "/PID", str(pid)],
                               env=WINE_ENV, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=60)
            log = read_log(temp_dir) if temp_dir else []
            raise AssertionError("%s did not end within %d s; its log ends:\n%s"
                                 % (program, timeout, "\n".join(log[-30:])))
        output = stdout.decode("utf-8", "replace")
        if not started_nothing(output):
            pid, exit_code = parse_launcher_output(output)
            if exit_code is not None:
                return Result(exit_code, pid, output)
        fail_unless_launch_again(process, program, output, attempt,
                                 "no exit code reported")


class Running:
    """A Windows program started in the background through the launcher."""

    def __init__(self, program, args=(), temp_dir=None, env=None,
                 unix_env=None):
        command = launcher_command(program, args, temp_dir, env)
        for attempt in range(LAUNCH_ATTEMPTS):
            self.process = start_launcher(
                command, dict(WINE_ENV, **(unix_env or {})))
            line = read_line(self.process).decode().strip()
            if line.startswith("pid="):
                break
            fail_unless_launch_again(self.process, program, line, attempt,
                                     "program did not start")
        self.pid = int(line[4:])

    def is_running(self):
        return self.process.poll() is None

    def terminate_windows_process(self):
        """TerminateProcess of the Windows program, as a crash would end it.

        Should taskkill or the end of the program not come within 30 s
        (a Wine process start can be slow on a loaded machine), the Unix
        processes of the launcher and the program (one process group) are
        killed instead: Wine then counts the program as ended all the same,
        its mutexes abandoned. Returns the exit code, None after a kill."""
        try:
            subprocess.run([WINE, "taskkill", "/F", "/PID", str(self.pid)],
                           env=WINE_ENV, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30)
            return self.wait(timeout=30)
        except subprocess.TimeoutExpired:
            print("taskkill of %d took over 30 s; killing its processes"
                  % self.pid, flush=True)
            self.kill_launcher()
            return None

    def wait(self, timeout=60):
        self.output = read_launcher_output(self.process, timeout)
        _, exit_code = parse_launcher_output(
            self.output.decode("utf-8", "replace"))
        return exit_code

    def kill_launcher(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()


class MutexHolder:
    """mutex_holder.exe keeping a named mutex owned or only open, or
    ("file") a file open with read-only sharing."""

    def __init__(self, mode, name=MUTEX_NAME):
        self.process = subprocess.Popen(
            [WINE, bin_path("mutex_holder.exe"), mode, name, "120"],
            env=WINE_ENV, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL)
        line = self.process.stdout.readline().decode().strip()
        if line != "ready":
            self.close()
            raise AssertionError("mutex holder failed: %r" % line)

    def close(self):
        if self.process.poll() is None:
            self.process.stdin.close()
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()


def list_windows(pid):
    """(kind, class, text) of the windows of a Windows process."""
    completed = subprocess.run(
        [WINE, bin_path("window_probe.exe"), str(pid)], env=WINE_ENV,
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)
    rows = []
    for line in completed.stdout.decode("utf-8", "replace").splitlines():
        kind, _, rest = line.rstrip("\r").partition(" ")
        window_class, _, text = rest.partition(" ")
        if kind == "window":
            _, _, text = text.partition(" ")  # visibility flag
        rows.append((kind, window_class, text.replace("\\n", "\n")))
    return rows


def foreground_process_id():
    completed = subprocess.run(
        [WINE, bin_path("window_probe.exe"), "--foreground"], env=WINE_ENV,
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)
    return int(completed.stdout.decode().strip() or 0)


def screenshot(path):
    """The whole X display as a PNG; returns the mean brightness (0..1)."""
    subprocess.run(["import", "-window", "root", path], check=True,
                   timeout=60, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    mean = subprocess.run(["convert", path, "-colorspace", "Gray", "-format",
                           "%[fx:mean]", "info:"], check=True, timeout=60,
                          stdout=subprocess.PIPE).stdout.decode()
    return float(mean)


def read_log(temp_dir, name="lite_installer.log"):
    path = os.path.join(temp_dir, name)
    if not os.path.exists(path):
        return []
    with open(path, "rb") as f:
        return f.read().decode("utf-8").split("\n")[:-1]


LINE_PREFIX = re.compile(r"^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} \d{2,}:\d{2,} ")


def parse_log(lines):
    """Parses every record; fails on any record that is not well-formed.

    A Windows error text ends with a line break, so the function and line of
    such a record stand at the start of the next physical line: a line
    without the time prefix continues the record before it."""
    joined = []
    for line in lines:
        if joined and not LINE_PREFIX.match(line):
            joined[-1] += "\n" + line
        else:
            joined.append(line)
    records = []
    for record in joined:
        match = LOG_LINE.match(record.replace("\r\n", " ").replace("\n", " "))
        if not match:
            raise AssertionError("malformed log record: %r" % record)
        fields = match.groupdict()
        fields["raw"] = record
        records.append(fields)
    return records


def wait_until(predicate, timeout=20.0, interval=0.2):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if predicate():
            return True
        time.sleep(interval)
    return predicate()


class InstallerTestCase(unittest.TestCase):
    """Gives every test its own temporary folder (the installer's TEMP)."""

    def setUp(self):
        if not BUILD_DIR or not os.path.isdir(BIN):
            self.fail("LITE_BUILD_DIR does not name a build folder")
        self.temp_dir = tempfile.mkdtemp(prefix="lite-it-")
        self.addCleanup(shutil.rmtree, self.temp_dir, True)
        # Where the test setup writes the command line it was given: outside
        # TEMP, so that TEMP shows only what the installer leaves.
        self.setup_record = self.temp_dir + ".setup-cmdline"
        for record in (self.setup_record,
                       self.setup_record + ".install_stat"):
            self.addCleanup(lambda path=record: os.path.exists(path) and
                            os.remove(path))

    def run_installer(self, args=(), program=INSTALLER, **kwargs):
        kwargs.setdefault("temp_dir", self.temp_dir)
        env = dict(kwargs.pop("env", None) or {})
        env.setdefault("LITE_TEST_SETUP_RECORD",
                       to_windows_path(self.setup_record))
        return run_program(program, args, env=env, **kwargs)

    def setup_command_line(self):
        """The command line the test setup last received; None if it did
        not run."""
        if not os.path.exists(self.setup_record):
            return None
        with open(self.setup_record, "rb") as f:
            return f.read().decode("utf-8")

    def log_records(self):
        return parse_log(read_log(self.temp_dir))

    def log_texts(self):
        return [r["text"] for r in self.log_records()]
