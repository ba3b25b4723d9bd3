"""The installer's windows under Xvfb: the processor message box, and a
first instance kept open by it for the single-instance cases."""
import os
import unittest

import harness
from harness import InstallerTestCase
from install_env import ARCHIVE_NOT_VERIFIED
from install_env import setUpModule, tearDownModule  # noqa: F401

NBSP = "\u00a0"
SEAMS = {"LITE_INSTALLER_TEST_SEAMS": "cpu-no-sse3"}


class ProcessorMessageBoxTest(InstallerTestCase):

    def setUp(self):
        super().setUp()
        if not os.environ.get("DISPLAY"):
            self.fail("window tests need a display (scripts/test.sh starts Xvfb)")

    def start_first_instance(self, unix_env=None):
        first = harness.Running(harness.INSTALLER_SEAMS, [],
                                temp_dir=self.temp_dir, env=SEAMS,
                                unix_env=unix_env)
        self.addCleanup(first.kill_launcher)
        found = harness.wait_until(
            lambda: any(k == "child" and "SSE3" in t or "SSE3" in t
                        for k, _, t in harness.list_windows(first.pid)),
            timeout=30)
        self.assertTrue(found, harness.list_windows(first.pid))
        return first

    def box_texts(self, pid):
        return [t for k, c, t in harness.list_windows(pid) if t]

    def test_box_shows_its_texts_and_holds_the_instance(self):
        before = harness.screenshot(os.path.join(self.temp_dir, "before.png"))
        first = self.start_first_instance()
        texts = self.box_texts(first.pid)
        self.assertIn("Kelvra" + NBSP + "Browser Installation", texts)
        self.assertIn("Couldn't install Kelvra" + NBSP +
                      "Browser on this computer.\n"
                      "The processor doesn't support SSE3.", texts)
        shot = os.path.join(harness.BUILD_DIR, "window_test_processor_box.png")
        self.assertGreater(harness.screenshot(shot), before + 0.001)
        self.assertTrue(first.is_running())

        # A second instance of the same file finds the first one's id in the
        # shared section and brings its window forward.
        second = self.run_installer(["--silent"],
                                    program=harness.INSTALLER_SEAMS)
        self.assertEqual(second.exit_code, 600)
        records = [r for r in self.log_records()
                   if int(r["pid"]) == second.pid]
        texts = [r["text"] for r in records]
        self.assertIn("Master installer process id: %d" % first.pid, texts)
        self.assertFalse([r for r in records if r["severity"] == "ERROR"])
        self.assertEqual(harness.foreground_process_id(), first.pid)

        # Killed while a third process keeps the mutex object alive, the
        # first instance leaves an abandoned mutex: still not acquired.
        holder = harness.MutexHolder("open")
        self.addCleanup(holder.close)
        first.terminate_windows_process()
        for _ in range(2):
            third = self.run_installer(["--silent"])
            self.assertEqual(third.exit_code, 600)
        holder.close()
        fourth = self.run_installer(["--silent"])
        self.assertEqual(fourth.exit_code, ARCHIVE_NOT_VERIFIED)

        first_texts = [r["text"] for r in self.log_records()
                       if int(r["pid"]) == first.pid]
        self.assertTrue(any(t.startswith("CPU is not supported")
                            for t in first_texts))

    def test_box_speaks_the_interface_language(self):
        first = self.start_first_instance(
            unix_env={"LC_ALL": "ru_RU.UTF-8", "LANG": "ru_RU.UTF-8"})
        texts = "\n".join(self.box_texts(first.pid))
        self.assertIn("SSE3", texts)
        self.assertRegex(texts, "[а-яА-Я]")
        self.assertNotIn("Couldn't install", texts)
        first.terminate_windows_process()


if __name__ == "__main__":
    unittest.main()
