"""The elevated relaunch and its handshake across real processes: the
elevation probe (testing/win/elevation_probe.cc) plays the first installer
process with a plain window and an Installer against the test service, and
starts the test build of the installer as its elevated copy ("runas" starts
it without a prompt here); the copy runs the signed test setup. Then the
copy's ways to fail (aborted, parent gone, no events, archive missing), a
stranger who fills the shared block and gives the go, and the relaunch
failures this platform cannot produce, through the test build's seams."""
import os
import shutil
import tempfile

import harness
from harness import InstallerTestCase
from install_env import environment
from install_env import setUpModule, tearDownModule  # noqa: F401

PROBE = "elevation_probe.exe"
WAITING = ("Waiting for the go of the first installer process: go_event=1 "
           "abort_event=1")


def split_windows_args(text):
    """The arguments of a Windows command line, as CommandLineToArgvW
    splits them (the program part by the same rules, which is enough for
    the command lines the installer writes)."""
    args, current, in_quotes, have_arg = [], "", False, False
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\\":
            run = 0
            while i < len(text) and text[i] == "\\":
                run += 1
                i += 1
            if i < len(text) and text[i] == '"':
                current += "\\" * (run // 2)
                if run % 2:
                    current += '"'
                    i += 1
            else:
                current += "\\" * run
            have_arg = True
            continue
        if c == '"':
            in_quotes = not in_quotes
            have_arg = True
        elif c in " \t" and not in_quotes:
            if have_arg:
                args.append(current)
            current, have_arg = "", False
        else:
            current += c
            have_arg = True
        i += 1
    if have_arg:
        args.append(current)
    return args


def switches(args):
    """{name: value} of the --name[=value] arguments."""
    found = {}
    for arg in args:
        if arg.startswith("--"):
            name, _, value = arg[2:].partition("=")
            found[name] = value
    return found


def probe_values(output):
    values = {}
    for line in output.replace("\r", "").splitlines():
        name, sep, value = line.partition("=")
        if sep and name not in ("pid", "exit_code"):
            values[name] = value
    return values


class ElevationTestCase(InstallerTestCase):

    def setUp(self):
        super().setUp()
        environment.serve_archive()
        self.installer = harness.to_windows_path(
            harness.bin_path(harness.INSTALLER_SEAMS))

    def probe_args(self, mode, *extra):
        return ["--probe-mode=" + mode, "--probe-installer=" + self.installer,
                "--do-not-launch-browser"] + list(extra)

    def install(self, *extra, env=None):
        result = self.run_installer(self.probe_args("install", *extra),
                                    program=PROBE, env=env, timeout=180)
        return result, probe_values(result.output)

    def start_waiting_installation(self, go):
        """A probe installation whose copy runs a setup that waits until
        the file |go| exists."""
        self.addCleanup(lambda: os.path.exists(go) and os.remove(go))
        first = harness.Running(
            PROBE, self.probe_args("install"), temp_dir=self.temp_dir,
            env={"LITE_TEST_SETUP_RECORD":
                 harness.to_windows_path(self.setup_record),
                 "LITE_TEST_SETUP_MESSAGES":
                 "wait-file:" + harness.to_windows_path(go)})
        self.addCleanup(first.kill_launcher)
        return first

    def start_holder(self, release_file, env=None):
        env = dict(env or {})
        env.setdefault("LITE_TEST_SETUP_RECORD",
                       harness.to_windows_path(self.setup_record))
        holder = harness.Running(
            PROBE, self.probe_args(
                "hold", "--probe-release-file=" +
                harness.to_windows_path(release_file)),
            temp_dir=self.temp_dir, env=env)
        self.addCleanup(holder.kill_launcher)
        return holder

    def records_by(self, pid):
        return [r for r in self.log_records() if int(r["pid"]) == pid]

    def copy_records(self, first_pid):
        """Records of processes other than |first_pid| (the copy)."""
        return [r for r in self.log_records() if int(r["pid"]) != first_pid]

    def wait_for_waiting_copy(self, first_pid):
        """The process id of the copy once it waits for the go, with the
        go and abort events and its parent's handle open (it logs "Start
        installer as admin" before it opens the events: a first process
        that ended in between would leave it no events to open)."""
        def waiting():
            return [r for r in self.copy_records(first_pid)
                    if r["text"] == WAITING]
        self.assertTrue(harness.wait_until(waiting, timeout=60),
                        "the copy did not start")
        return int(waiting()[0]["pid"])

    def attack(self, archive):
        result = harness.run_program(
            PROBE, ["--probe-mode=attack", "--probe-installer=" +
                    self.installer, "--probe-archive=" + archive],
            temp_dir=self.temp_dir)
        self.assertEqual(probe_values(result.output).get("signalled"), "1")


class ElevatedInstallationTest(ElevationTestCase):

    def test_copy_runs_the_verified_archive_and_reports_to_the_window(self):
        result, values = self.install()
        self.assertEqual(result.exit_code, 0, result.output)
        for name, value in {"block_mapped": "1", "need_elevation": "1",
                            "relaunched": "1", "uac_declined": "0",
                            "finished": "1", "error": "0",
                            "setup_exit_code": "0",
                            "copy_exit_code": "0"}.items():
            self.assertEqual(values.get(name), value, name)
        copy_pid = int(values["copy_pid"])
        # What the copy posted reached the window: the setup's start (40 %)
        # and the cancel control hidden. The copy downloads nothing, so no
        # remaining time.
        self.assertEqual(values["progress_messages"], "1")
        self.assertEqual(values["progress_values"], "40")
        self.assertEqual(values["remaining_time_messages"], "0")
        self.assertEqual(values["cancel_visible"], "0")

        # The copy's command line, as the first process started it.
        texts = [r["text"] for r in self.records_by(result.pid)]
        relaunch = [t for t in texts if t.startswith("Relaunch as admin: ")]
        self.assertEqual(len(relaunch), 1)
        args = split_windows_args(relaunch[0][len("Relaunch as admin: "):])
        self.assertEqual(os.path.basename(args[0].replace("\\", "/")),
                         harness.INSTALLER_SEAMS)
        copy_switches = switches(args[1:])
        self.assertIn("run-as-admin", copy_switches)
        self.assertEqual(copy_switches["parent-installer-process-id"],
                         str(result.pid))
        self.assertEqual(copy_switches["probe-mode"], "install")
        setup_args = split_windows_args(copy_switches["setup-cmd-line"])
        self.assertEqual(setup_args[0], "fake_browser_arc")
        prepared = switches(setup_args[1:])
        self.assertEqual(prepared["progress-window"], values["window"])
        # The data files and choices come later, through the block.
        for name in ("installerdata", "clids-file", "brand-package",
                     "send-statistics", "run-as-admin"):
            self.assertNotIn(name, prepared)

        # The setup ran from the copy with the block filled in.
        setup = split_windows_args(self.setup_command_line())
        self.assertRegex(setup[0], r"\\kb[0-9A-Fa-f]+\.tmp$")
        given = switches(setup[1:])
        temp = harness.to_windows_path(self.temp_dir) + "\\"
        for name, value in {
                "source": "lite", "progress-window": values["window"],
                "installerdata": temp + "master_preferences",
                "clids-file": temp + "clids.xml",
                "brand-package": temp + "BrandFile",
                "make-browser-default-after-import": "",
                "send-statistics": "", "disablekvpin": "",
                "verbose-logging": ""}.items():
            self.assertEqual(given.get(name), value, name)
        self.assertRegex(given["histogram-download-time"], r"^[0-9]+$")
        self.assertRegex(given["install-start-time-no-uac"], r"^[1-9][0-9]*$")
        for name in ("run-as-admin", "setup-cmd-line", "disable-uac",
                     "parent-installer-process-id",
                     "kelvra-website-icon-file"):
            self.assertNotIn(name, given)

        # The copy logged into the same file, verified the archive itself,
        # ran the setup and never took the single-instance mutex.
        copy_texts = [r["text"] for r in self.records_by(copy_pid)]
        for text in ("Start installer as admin", WAITING,
                     "Verification succeeded: " + setup[0],
                     "RunModule results: success=1 error_code=0"):
            self.assertIn(text, copy_texts)
        self.assertTrue(any(t.startswith("Process created: ")
                            for t in copy_texts))
        for text in ("Lite installer mode.", "Installer process id: "):
            self.assertFalse(any(t.startswith(text) for t in copy_texts))
        self.assertIn("Started waiting the elevated installer has finished "
                      "its work.", texts)
        self.assertIn("The elevated installer has finished, success=1",
                      texts)
        # The archive is gone after the run.
        self.assertFalse([n for n in os.listdir(self.temp_dir)
                          if n.startswith("kb")])


class RelaunchFailureTest(ElevationTestCase):
    """What this platform cannot produce, through the test build's seams;
    the first process then installs without elevation."""

    def assert_direct_install(self, result, values):
        self.assertEqual(result.exit_code, 0, result.output)
        self.assertEqual(values.get("finished"), "1")
        self.assertNotIn("copy_pid", values)
        self.assertFalse(self.copy_records(result.pid))
        return switches(split_windows_args(self.setup_command_line())[1:])

    def test_refused_prompt_passes_disable_uac_to_the_setup(self):
        result, values = self.install(env={
            "LITE_INSTALLER_SEAM_RUNAS_FAILURE": "1223,0"})
        self.assertEqual(values["relaunched"], "0")
        self.assertEqual(values["uac_declined"], "1")
        given = self.assert_direct_install(result, values)
        self.assertIn("disable-uac", given)
        texts = self.log_texts()
        self.assertIn("Declined running the installer as admin", texts)
        self.assertTrue(any(t.startswith("ShellExecuteExW failed, instance "
                                         "code=0 declined=1") for t in texts))

    def test_other_start_failure_leaves_the_uac_to_the_setup(self):
        result, values = self.install(
            "--distr-info-params=uac=2",
            env={"LITE_INSTALLER_SEAM_RUNAS_FAILURE": "2,2"})
        self.assertEqual(values["relaunched"], "0")
        self.assertEqual(values["uac_declined"], "0")
        given = self.assert_direct_install(result, values)
        self.assertNotIn("disable-uac", given)
        # The UAC mode 2 of the distribution parameters.
        self.assertIn("show-uac-at-browser-start", given)

    def test_user_outside_the_admin_group_gets_no_copy(self):
        result, values = self.install(env={
            "LITE_INSTALLER_TEST_SEAMS": "token-not-in-admin-group"})
        self.assertEqual(values["need_elevation"], "0")
        self.assertNotIn("relaunched", values)
        self.assert_direct_install(result, values)
        self.assertIn("User is not in admin group.", self.log_texts())

    def test_non_install_switch_gets_no_copy(self):
        result, values = self.install("--show-eula")
        self.assertEqual(values["need_elevation"], "0")
        self.assert_direct_install(result, values)
        self.assertIn("Found non install-switch:show-eula", self.log_texts())


class HandshakeFailureTest(ElevationTestCase):

    def test_copy_gives_up_when_the_first_process_lets_it_go_early(self):
        release = os.path.join(self.temp_dir, "release")
        holder = self.start_holder(release)
        copy_pid = self.wait_for_waiting_copy(holder.pid)
        open(release, "w").close()
        self.assertEqual(holder.wait(timeout=90), 0)
        self.assertEqual(probe_values(holder.output.decode())
                         .get("copy_exit_code"), "-1")
        self.assertIn("Installer started as admin has been unexpectedly "
                      "synced, wr=1",
                      [r["text"].split(" - ")[0]
                       for r in self.records_by(copy_pid)])
        self.assertIsNone(self.setup_command_line())

    def test_copy_gives_up_when_the_first_process_dies(self):
        holder = self.start_holder(os.path.join(self.temp_dir, "never"))
        copy_pid = self.wait_for_waiting_copy(holder.pid)
        watcher = harness.Running(PROBE, ["--probe-mode=watch",
                                          "--probe-pid=%d" % copy_pid],
                                  temp_dir=self.temp_dir)
        self.addCleanup(watcher.kill_launcher)
        self.assertEqual(harness.read_line(watcher.process).strip(),
                         b"watching=1")
        holder.terminate_windows_process()
        self.assertEqual(watcher.wait(timeout=90), 0)
        self.assertIn("copy_exit_code=-1", watcher.output.decode())
        self.assertIn("Installer started as admin has been unexpectedly "
                      "synced, wr=2",
                      [r["text"].split(" - ")[0]
                       for r in self.records_by(copy_pid)])

    def test_copy_running_its_setup_leaves_the_next_installation_free(self):
        # The first installation's copy runs a setup that waits; its first
        # process is gone (as when the window ended on a notice).
        go = self.temp_dir + ".go"
        first = self.start_waiting_installation(go)
        self.assertTrue(harness.wait_until(
            lambda: os.path.exists(self.setup_record), timeout=120))
        first.terminate_windows_process()
        # The next installation elevates all the same.
        second_dir = tempfile.mkdtemp(prefix="lite-it-")
        self.addCleanup(shutil.rmtree, second_dir, True)
        second_record = os.path.join(second_dir, "setup-cmdline")
        result = harness.run_program(
            PROBE, self.probe_args("install"), temp_dir=second_dir,
            env={"LITE_TEST_SETUP_RECORD":
                 harness.to_windows_path(second_record)}, timeout=180)
        values = probe_values(result.output)
        texts = [r["text"] for r in
                 harness.parse_log(harness.read_log(second_dir))]
        self.assertEqual(values.get("relaunched"), "1", texts[-20:])
        self.assertEqual(values.get("uac_declined"), "0")
        self.assertEqual(values.get("copy_exit_code"), "0")
        self.assertEqual(result.exit_code, 0)
        self.assertTrue(os.path.exists(second_record))
        # The first copy was still in its setup all that time.
        self.assertNotIn("RunModule results: success=1 error_code=0",
                         self.log_texts())
        open(go, "w").close()
        self.assertTrue(harness.wait_until(
            lambda: "RunModule results: success=1 error_code=0" in
            self.log_texts(), timeout=120))

    def test_copy_started_by_hand_without_events_ends_at_once(self):
        result = self.run_installer(
            ["--run-as-admin", "--parent-installer-process-id=12ab"],
            program=harness.INSTALLER_SEAMS)
        self.assertEqual(result.exit_code, -1)
        texts = [r["text"].split(" - ")[0] for r in self.log_records()]
        self.assertIn("Suspicious process id=12ab", texts)
        self.assertIn("Installer started as admin has been unexpectedly "
                      "synced, wr=4294967295", texts)
        # The copy's role: no mutex, no installation.
        self.assertNotIn("Lite installer mode.", texts)
        self.assertIsNone(self.setup_command_line())

    def test_missing_archive_ends_the_copy(self):
        release = os.path.join(self.temp_dir, "release")
        holder = self.start_holder(release)
        copy_pid = self.wait_for_waiting_copy(holder.pid)
        missing = harness.to_windows_path(self.temp_dir) + "\\no-archive.exe"
        self.attack(missing)
        open(release, "w").close()
        self.assertEqual(holder.wait(timeout=90), 0)
        self.assertEqual(probe_values(holder.output.decode())
                         .get("copy_exit_code"), "-1")
        self.assertIn("Browser archive %s does not exist" % missing,
                      [r["text"].split(" - ")[0]
                       for r in self.records_by(copy_pid)])


class ArchiveHoldTest(ElevationTestCase):
    """The copy opens the archive without write or delete sharing before
    it verifies it, and keeps it so until its setup has ended: what it
    verified is what runs. Share modes hold only between Windows processes,
    so another program under Wine tries the writes. (A running program's
    file does not keep writers out under Wine: only the copy's handle does
    here.)"""

    def tamper(self, path):
        result = harness.run_program(
            PROBE, ["--probe-mode=tamper", "--probe-file=" + path],
            temp_dir=self.temp_dir)
        self.assertEqual(result.exit_code, 0, result.output)
        values = probe_values(result.output)
        return ((values.get("opened_for_writing"), values.get("write_error")),
                (values.get("deleted"), values.get("delete_error")))

    def test_archive_is_held_against_writers_until_the_setup_ends(self):
        go = self.temp_dir + ".go"
        first = self.start_waiting_installation(go)
        # The copy's setup has started and waits for the go file.
        self.assertTrue(harness.wait_until(
            lambda: os.path.exists(self.setup_record), timeout=120))
        archive = split_windows_args(self.setup_command_line())[0]
        self.assertRegex(archive, r"\\kb[0-9A-Fa-f]+\.tmp$")
        archive_here = os.path.join(self.temp_dir, archive.rsplit("\\", 1)[1])
        copy_pid = int(self.copy_records(first.pid)[0]["pid"])
        # The first process holds the archive too; without it only the
        # copy's handle is left.
        first.terminate_windows_process()

        def copy_texts():
            return [r["text"] for r in self.records_by(copy_pid)]
        self.assertIn("Verification succeeded: " + archive, copy_texts())
        self.assertNotIn("RunModule results: success=1 error_code=0",
                         copy_texts())
        # ERROR_SHARING_VIOLATION both times: the file stays as verified.
        self.assertEqual(self.tamper(archive), (("0", "32"), ("0", "32")))
        self.assertTrue(os.path.exists(archive_here))

        open(go, "w").close()
        self.assertTrue(harness.wait_until(
            lambda: "RunModule results: success=1 error_code=0" in
            copy_texts(), timeout=120), copy_texts()[-20:])
        # The setup has ended: the copy has let the file go.
        self.assertEqual(self.tamper(archive), (("1", "0"), ("1", "0")))
        self.assertFalse(os.path.exists(archive_here))


class StrangerTest(ElevationTestCase):
    """Any process of the user can write the installer image's shared
    block and set the go event: the copy runs only a verified archive."""

    def test_copy_refuses_a_program_named_by_a_stranger(self):
        # The stranger's program: the test setup, unsigned, which would
        # leave its command line beside itself if it ran.
        other = os.path.join(self.temp_dir, "other.exe")
        shutil.copy(harness.bin_path("test_setup.exe"), other)
        release = os.path.join(self.temp_dir, "release")
        holder = self.start_holder(release)
        copy_pid = self.wait_for_waiting_copy(holder.pid)
        self.attack(harness.to_windows_path(other))
        open(release, "w").close()
        self.assertEqual(holder.wait(timeout=90), 0)
        self.assertEqual(probe_values(holder.output.decode())
                         .get("copy_exit_code"), "-1")
        copy_texts = [r["text"].split(" - ")[0]
                      for r in self.records_by(copy_pid)]
        self.assertIn("Module verification failed: " +
                      harness.to_windows_path(other), copy_texts)
        self.assertIn("RunModule results: success=0 error_code=402",
                      copy_texts)
        # Nothing ran: no process was created, and the program left no trace.
        self.assertFalse([t for t in copy_texts
                          if t.startswith(("Run: ", "Process created: "))])
        self.assertIsNone(self.setup_command_line())
        self.assertFalse(os.path.exists(other + ".cmdline"))
