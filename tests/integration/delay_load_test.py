"""The delayed-load failure hook, through delay_load_failure_test_program.exe:
exit codes, the log line, and when the message box is shown. The message box
cases need a display (scripts/test.sh starts Xvfb): without one a box could
not appear, and the silent cases would pass whatever the hook did."""
import os
import subprocess
import time

import harness
from harness import InstallerTestCase

PROGRAM = "delay_load_failure_test_program.exe"
MISSING_LIBRARY = 0xC06D007E
MISSING_PROCEDURE = 0xC06D007F
CAPTION = "Kelvra Browser installer"
LIBRARY_MESSAGE = "Windows dll is not found: nonexistent_lite_test.dll"
# A silent run must end on its own well within this; a box would hold it.
SILENT_RUN_SECONDS = 20


class DelayLoadTestCase(InstallerTestCase):

    def start(self, args):
        running = harness.Running(PROGRAM, args, temp_dir=self.temp_dir)
        self.addCleanup(running.kill_launcher)
        return running

    def run_to_end(self, args):
        """Exit code of a run that must end by itself (no message box)."""
        running = self.start(args)
        try:
            exit_code = running.wait(timeout=SILENT_RUN_SECONDS)
        except subprocess.TimeoutExpired:
            windows = harness.list_windows(running.pid)
            running.terminate_windows_process()
            self.fail("%r did not end by itself; windows: %r" % (args, windows))
        self.assertIsNotNone(exit_code)
        return exit_code & 0xFFFFFFFF

    def error_records(self):
        return [r for r in self.log_records() if r["severity"] == "ERROR"]

    def assert_logged(self, message):
        records = self.error_records()
        self.assertEqual([r["text"] for r in records], [message])
        self.assertEqual(records[0]["function"], "DelayLoadFailureHook")


class ExitCodeAndLogTest(DelayLoadTestCase):
    """What every failure does: one ERROR line, then the process ends with
    the code Windows gives the delay-load helper's exception."""

    def test_missing_library(self):
        self.assertEqual(self.run_to_end(["missing-library", "--silent"]),
                         MISSING_LIBRARY)
        self.assert_logged(LIBRARY_MESSAGE)

    def test_missing_procedure_by_name(self):
        self.assertEqual(self.run_to_end(["missing-procedure", "--silent"]),
                         MISSING_PROCEDURE)
        self.assert_logged("Function NoSuchProcedureForLiteTest not found in "
                           "Windows dll version.dll")

    def test_missing_procedure_by_ordinal_is_named_by_number(self):
        self.assertEqual(self.run_to_end(["missing-ordinal", "--silent"]),
                         MISSING_PROCEDURE)
        self.assert_logged("Function #999 not found in Windows dll version.dll")


class MessageBoxTest(DelayLoadTestCase):
    """The box appears only when user32 was requested before, the failing
    library is not user32, and the command line asks for no silence in any
    form the installer's parser accepts."""

    def setUp(self):
        super().setUp()
        if not os.environ.get("DISPLAY"):
            self.fail("message box tests need a display "
                      "(scripts/test.sh starts Xvfb)")

    def box_texts(self, pid):
        return [text for _, _, text in harness.list_windows(pid)]

    def assert_box_shown(self, args):
        running = self.start(args)
        try:
            shown = harness.wait_until(
                lambda: LIBRARY_MESSAGE in self.box_texts(running.pid),
                timeout=30)
            texts = self.box_texts(running.pid)
            self.assertTrue(shown, "no message box for %r: %r" % (args, texts))
            self.assertIn(CAPTION, texts)
            # The box holds the process until someone answers it.
            time.sleep(3)
            self.assertTrue(running.is_running(), args)
            # The line is written before the box is shown.
            self.assert_logged(LIBRARY_MESSAGE)
        finally:
            if running.is_running():
                running.terminate_windows_process()

    def test_box_when_user32_was_requested_and_not_silent(self):
        self.assert_box_shown(["missing-library", "use-user32"])

    def test_box_for_arguments_that_only_resemble_silent(self):
        for form in ["--silently", "--silent-mode", "--sil", "silent",
                     "---silent", "x--silent", '\\"--silent',
                     "--semi-silentx", '"--silent =1"']:
            with self.subTest(form=form):
                self.remove_log()
                self.assert_box_shown(["missing-library", "use-user32", form])

    def test_no_box_in_any_silent_form(self):
        forms = [
            "--silent", "-silent", "/silent", "--SILENT", "-SiLeNt",
            "/Silent", "--silent=1", "/silent=", '"--silent"',
            '"--silent=a b"', '" --silent "', '--"silent"', "x\t--silent",
            "--semi-silent", "-Semi-Silent", "/SEMI-SILENT=yes",
            '"-semi-silent"',
        ]
        for form in forms:
            with self.subTest(form=form):
                self.remove_log()
                exit_code = self.run_to_end(
                    ["missing-library", "use-user32", form])
                self.assertEqual(exit_code, MISSING_LIBRARY)
                self.assert_logged(LIBRARY_MESSAGE)

    def test_no_box_before_user32_was_requested(self):
        self.assertEqual(self.run_to_end(["missing-library"]), MISSING_LIBRARY)
        self.assert_logged(LIBRARY_MESSAGE)

    def test_no_box_when_user32_itself_fails(self):
        self.assertEqual(
            self.run_to_end(["missing-user32-procedure", "use-user32"]),
            MISSING_PROCEDURE)
        self.assert_logged("Function NoSuchUser32ProcedureForLiteTest not "
                           "found in Windows dll user32.dll")

    def remove_log(self):
        """Starts a case of a loop with no log."""
        path = os.path.join(self.temp_dir, "lite_installer.log")
        if os.path.exists(path):
            os.remove(path)


if __name__ == "__main__":
    import unittest
    unittest.main()
