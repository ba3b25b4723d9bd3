"""The installer's entry under Wine: start-up order, exit codes, single
instance, the protected copy and the processor check."""
import os
import shutil
import subprocess
import time
import unittest

import harness
from main_window import MainWindowDriver
from harness import InstallerTestCase
from install_env import ARCHIVE_NOT_VERIFIED, SETUP_EXIT_CODE
from install_env import setUpModule, tearDownModule  # noqa: F401

ENTRY = "wWinMain"


class StartupTest(InstallerTestCase):

    def test_silent_run_logs_start_up_in_order_and_exits_with_setup_code(self):
        result = self.run_installer(["--silent"])
        # The shipped build trusts only the publisher's keys: it downloads
        # the test archive and refuses it.
        self.assertEqual(result.exit_code, ARCHIVE_NOT_VERIFIED)
        records = self.log_records()
        texts = [r["text"] for r in records]
        expected = [
            "-------------------------------------- Start install.",
            "Runned in secure environment.",
            "Lite installer mode.",
            "Installer process id: %d" % result.pid,
            "Temporary path is: %s\\" % harness.to_windows_path(self.temp_dir),
            "Installing in silent mode.",
            "Installer exit with code: 402",
        ]
        positions = [texts.index(t) for t in expected]
        self.assertEqual(positions, sorted(positions))
        for i in positions:
            self.assertEqual(records[i]["function"], ENTRY)
            self.assertEqual(records[i]["severity"], "INFO")
            self.assertEqual(int(records[i]["pid"]), result.pid)
        self.assertEqual(texts[0], expected[0])

    def test_check_the_interface_answers_and_does_nothing_else(self):
        for args in (["--check-the-interface"],
                     ["/CHECK-THE-INTERFACE", "--silent", "--brand-name=tb",
                      "--run-as-admin", "--spawned_in_protected_dir"]):
            with self.subTest(args=args):
                for name in os.listdir(self.temp_dir):
                    os.remove(os.path.join(self.temp_dir, name))
                result = self.run_installer(args)
                self.assertIn(result.exit_code, (700, 701))
                self.assertEqual(self.log_texts(), [
                    "-------------------------------------- Start install.",
                    "Handled non install cmd line option by win10 default "
                    "browser helper, ret code: %d" % result.exit_code])

    def test_unusable_temporary_folder_means_no_log_not_a_failure(self):
        blocker = os.path.join(self.temp_dir, "file")
        with open(blocker, "w") as f:
            f.write("x")
        result = self.run_installer(
            ["--silent"], temp_dir=os.path.join(blocker, "below"))
        self.assertEqual(result.exit_code, 400)
        self.assertEqual(os.listdir(self.temp_dir), ["file"])

    def test_odd_command_lines_neither_crash_nor_hang(self):
        cases = [
            ["--silent", "   ", "\t"],
            ["--silent", "--brand-name=" + "x" * 30000],
            ["--silent", '--brand-name="a\\"b c"', '"unterminated'],
            ["--silent", "--=", "-", "/", "--", "--x=\u0416\u4e2d"],
        ]
        for args in cases:
            with self.subTest(args=[a[:40] for a in args]):
                result = self.run_installer(args)
                self.assertEqual(result.exit_code, ARCHIVE_NOT_VERIFIED)
                self.assertIn("Installer exit with code: 402", self.log_texts())


class SingleInstanceTest(InstallerTestCase):

    def test_mutex_held_elsewhere_exits_600_with_master_id_zero(self):
        holder = harness.MutexHolder("own")
        self.addCleanup(holder.close)
        result = self.run_installer(["--silent"])
        self.assertEqual(result.exit_code, 600)
        records = self.log_records()
        texts = [r["text"] for r in records]
        self.assertIn("Another installer instance is already running.", texts)
        self.assertIn("Master installer process id: 0", texts)
        error = [r for r in records if r["severity"] == "ERROR"]
        self.assertEqual(len(error), 1)
        self.assertTrue(error[0]["text"].startswith(
            "Failed to bring process window to top: wrong process id - "))
        self.assertEqual(error[0]["function"], "BringProcessWindowToTop")
        self.assertNotIn("Installer exit with code: 600", texts)
        self.assertFalse(any(t.startswith("Installer process id") for t in texts))


class ProtectedCopyTest(InstallerTestCase):
    """Systems without SetDefaultDllDirectories: the seam build pretends the
    hardening functions are missing."""

    SEAMS = "LITE_INSTALLER_TEST_SEAMS"

    def copy_installer_to(self, folder):
        os.makedirs(folder, exist_ok=True)
        target = os.path.join(folder, harness.INSTALLER_SEAMS)
        shutil.copy(harness.bin_path(harness.INSTALLER_SEAMS), target)
        return target

    def test_copy_role_refuses_to_run_beside_a_dll(self):
        folder = os.path.join(self.temp_dir, "copy")
        program = self.copy_installer_to(folder)
        # A name no system library imports: Wine's own libraries would load a
        # planted system name (version.dll) while the command line is read.
        open(os.path.join(folder, "planted.dll"), "w").close()
        result = self.run_installer(
            ["--spawned_in_protected_dir", "--silent"], program=program,
            env={self.SEAMS: "no-dll-hardening"})
        self.assertEqual(result.exit_code, -200)
        self.assertEqual(self.log_texts()[-1],
                         "Exiting, DLL files found in working directory")

    def test_copy_role_without_dll_runs_the_installation(self):
        folder = os.path.join(self.temp_dir, "copy")
        program = self.copy_installer_to(folder)
        os.mkdir(os.path.join(folder, "not_a_file.dll"))  # folders do not count
        result = self.run_installer(
            ["--spawned_in_protected_dir", "--silent"], program=program,
            env={self.SEAMS: "no-dll-hardening"})
        self.assertEqual(result.exit_code, SETUP_EXIT_CODE)
        self.assertIn("Runned in secure environment.", self.log_texts())

    def launched_copies(self, records, launcher_pid):
        return {int(r["pid"]) for r in records} - {launcher_pid}

    def test_launching_role_runs_a_copy_and_passes_its_code_on(self):
        result = self.run_installer(
            ["--silent"], program=harness.INSTALLER_SEAMS,
            env={self.SEAMS: "no-dll-hardening"})
        self.assertEqual(result.exit_code, SETUP_EXIT_CODE)
        records = self.log_records()
        mine = [r["text"] for r in records if int(r["pid"]) == result.pid]
        # ChildFinished: the launcher only logged its start.
        self.assertEqual(mine, [
            "-------------------------------------- Start install."])
        copies = self.launched_copies(records, result.pid)
        self.assertEqual(len(copies), 1)
        copy_texts = [r["text"] for r in records if int(r["pid"]) in copies]
        self.assertIn("Runned in secure environment.", copy_texts)
        self.assertIn("Installer exit with code: %d" % SETUP_EXIT_CODE,
                      copy_texts)
        # The protected folder, the copy and the archive are gone; the data
        # files stay for the browser, the brand package is cleaned up.
        self.assertEqual(sorted(os.listdir(self.temp_dir)), [
            "abt_config_resource", "clids.xml", "lite_installer.log",
            "master_preferences"])

    def test_launching_role_reports_insecure_copy(self):
        result = self.run_installer(
            ["--silent"], program=harness.INSTALLER_SEAMS,
            env={self.SEAMS: "no-dll-hardening,plant-dll-in-protected-dir"})
        self.assertEqual(result.exit_code, -200)
        records = self.log_records()
        mine = [r["text"] for r in records if int(r["pid"]) == result.pid]
        self.assertEqual(mine[-1], "Exiting, because of insecure environment.")
        copy_texts = [r["text"] for r in records if int(r["pid"]) != result.pid]
        self.assertEqual(copy_texts[-1],
                         "Exiting, DLL files found in working directory")
        self.assertEqual(sorted(os.listdir(self.temp_dir)),
                         ["lite_installer.log"])

    def test_shipped_installer_ignores_the_seams(self):
        result = self.run_installer(
            ["--silent"], env={self.SEAMS: "no-dll-hardening,cpu-no-sse3"})
        self.assertEqual(result.exit_code, ARCHIVE_NOT_VERIFIED)
        self.assertIn("Runned in secure environment.", self.log_texts())


class ProcessorCheckTest(InstallerTestCase):

    SEAMS = "LITE_INSTALLER_TEST_SEAMS"

    def test_missing_sse_exits_404_silently(self):
        for seam in ("cpu-no-sse2", "cpu-no-sse3"):
            with self.subTest(seam=seam):
                log = os.path.join(self.temp_dir, "lite_installer.log")
                if os.path.exists(log):
                    os.remove(log)
                result = self.run_installer(
                    ["--silent"], program=harness.INSTALLER_SEAMS,
                    env={self.SEAMS: seam}, timeout=60)
                self.assertEqual(result.exit_code, 404)
                records = self.log_records()
                errors = [r for r in records if r["severity"] == "ERROR"]
                self.assertEqual(len(errors), 1)
                self.assertTrue(errors[0]["text"].startswith(
                    "CPU is not supported - "))
                texts = [r["text"] for r in records]
                self.assertFalse(any(t.startswith("Installer exit with code")
                                     for t in texts))
                self.assertNotIn("Installing in silent mode.", texts)


class DiskSpaceTest(InstallerTestCase):
    """Free space comes through a seam of the test build."""

    REQUIRED = 629145600

    def run_with_free_space(self, free, args):
        return self.run_installer(
            args, program=harness.INSTALLER_SEAMS,
            env={"LITE_INSTALLER_SEAM_FREE_DISK_BYTES": str(free)})

    def test_not_enough_space_shows_the_notice_and_exits_403(self):
        if not os.environ.get("DISPLAY"):
            self.fail("the notice needs a display (scripts/test.sh starts Xvfb)")
        running = harness.Running(
            harness.INSTALLER_SEAMS, [], temp_dir=self.temp_dir,
            env={"LITE_INSTALLER_SEAM_FREE_DISK_BYTES":
                 str(self.REQUIRED - 1)})
        self.addCleanup(running.kill_launcher)
        # The notice's title is its heading's first line; its OK button
        # sits at (40, 126), 120 x 28, in the 397 x 174 box.
        window = None
        deadline = time.monotonic() + 60
        while window is None and time.monotonic() < deadline:
            found = subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--name",
                 "^Not enough disk space"], stdout=subprocess.PIPE,
                stderr=subprocess.DEVNULL, timeout=30).stdout.split()
            window = found[0].decode() if found else None
            time.sleep(0.3)
        self.assertIsNotNone(window, "the notice never showed")
        time.sleep(0.5)
        geometry = subprocess.run(
            ["xdotool", "getwindowgeometry", "--shell", window],
            stdout=subprocess.PIPE, timeout=30, check=True).stdout.decode()
        values = dict(l.split("=") for l in geometry.split())
        self.assertEqual((values["WIDTH"], values["HEIGHT"]), ("397", "174"))
        # Esc does not end it.
        subprocess.run(["xdotool", "key", "--window", window, "Escape"],
                       timeout=30)
        time.sleep(1.0)
        self.assertTrue(running.is_running())
        subprocess.run(["xdotool", "mousemove", str(int(values["X"]) + 100),
                        str(int(values["Y"]) + 140), "click", "1"],
                       timeout=30, check=True)
        self.assertEqual(running.wait(timeout=60), 403)
        texts = self.log_texts()
        self.assertIn("Notice 446/447 ended with 1", texts)
        self.assertIn("There is not enough disk space to install browser", texts)
        self.assertTrue(any(t.startswith("Notice 446/447") for t in texts))
        self.assertEqual(texts[-1], "Installer exit with code: 403")

    def test_exactly_enough_space_goes_on_to_the_window(self):
        if not os.environ.get("DISPLAY"):
            self.fail("the window needs a display (scripts/test.sh starts Xvfb)")
        driver = MainWindowDriver(
            harness.INSTALLER_SEAMS, temp_dir=self.temp_dir,
            env={"LITE_INSTALLER_SEAM_FREE_DISK_BYTES": str(self.REQUIRED)})
        self.addCleanup(driver.close)
        # The first screen comes; its close button ends the installation.
        driver.wait_first_screen()
        driver.click(213)
        self.assertEqual(driver.wait(), 500)
        texts = self.log_texts()
        self.assertNotIn("There is not enough disk space to install browser",
                         texts)
        self.assertIn("User cancelled installation.", texts)

    def test_silent_run_is_not_stopped_by_low_space(self):
        result = self.run_with_free_space(0, ["--silent"])
        self.assertEqual(result.exit_code, SETUP_EXIT_CODE)
        texts = self.log_texts()
        self.assertIn("There is not enough disk space to install browser", texts)
        self.assertIn("Installing in silent mode.", texts)


if __name__ == "__main__":
    unittest.main()
