"""The interactive installation: the real installer (test build) with its
main window under Xvfb, against the test service and the test setup, driven
as a person would (xdotool clicks and keys), its windows read back with
window_probe.exe, screenshots sampled, statistics decoded at the service."""
import os
import re
import time

import harness
import main_window
from install_env import environment
from install_env import setUpModule as setUpInstallEnvironment
from install_env import tearDownModule  # noqa: F401
from main_window import MainWindowDriver, pixels

import stats_endpoints
from stats_endpoints import installation_reports, stat_events

SEAMS = {"LITE_INSTALLER_TEST_SEAMS": "log-window-progress"}
# Under Wine the user is an administrator, so the window starts the elevated
# copy after Install and the process ends with the copy's result. A
# standard user's installation runs the setup itself and ends with the
# setup's own exit code.
STANDARD_USER = {"LITE_INSTALLER_TEST_SEAMS":
                 "log-window-progress,token-not-in-admin-group"}
YELLOW = (255, 204, 0)
USER_CANCELLED = 500
TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


def setUpModule():
    setUpInstallEnvironment()
    stats_endpoints.add_routes(environment.service)


def near(a, b, tolerance=4):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def localized(string_id, language="en"):
    path = os.path.join(TOP, "resources", "strings",
                        "strings_%s.rc.in" % language)
    with open(path, encoding="utf-8") as f:
        for line in f:
            match = re.match(r'\s*%d,\s*"(.*)"' % string_id, line)
            if match:
                return match.group(1)
    raise AssertionError("no string %d" % string_id)


def click_dialog_button(driver, button_ids, tree=None):
    """Clicks, in a dialog the installer shows besides its main window, the
    first button of |button_ids| that is there (in |tree|, a reading of the
    windows, when given); True when it clicked."""
    for window in (tree or driver.tree()).dialogs():
        for ident in button_ids:
            for button in window[8]:
                if button.id == ident and button.visible and button.width > 0:
                    main_window.xdotool(
                        "mousemove", window[1] + button.x + button.width // 2,
                        window[2] + button.y + button.height // 2)
                    time.sleep(0.5)
                    main_window.xdotool("click", 1)
                    return True
    return False


class ExitCode(int):
    """An exit code that shows the installer's log when it is not the one
    a test expected."""

    def __new__(cls, value, log):
        code = super().__new__(cls, value)
        code.log = log
        return code

    def __repr__(self):
        return "%d (the log ends:\n%s)" % (int(self), self.log)


class MainWindowTestCase(harness.InstallerTestCase):

    def setUp(self):
        super().setUp()
        if not os.environ.get("DISPLAY"):
            self.fail("window tests need a display (scripts/test.sh starts Xvfb)")
        environment.service.clear_requests()
        environment.serve_archive()
        # The pointer away from where windows open: one left resting where
        # the last test clicked Install shows the next window's button hot.
        main_window.xdotool("mousemove", 0, 0)
        self.saw_dialog = False
        self.answers = self.temp_dir + ".answers"
        self.go = self.temp_dir + ".go"
        for path in (self.answers, self.go):
            self.addCleanup(lambda p=path: os.path.exists(p) and os.remove(p))

    def start(self, args=(), messages=(), env=None):
        """The installer with its window; the test setup will send
        |messages| (its LITE_TEST_SETUP_MESSAGES items)."""
        environment_values = dict(SEAMS)
        environment_values.update({
            "LITE_TEST_SETUP_RECORD": harness.to_windows_path(self.setup_record),
            "LITE_TEST_SETUP_ANSWERS": harness.to_windows_path(self.answers),
            "LITE_TEST_SETUP_MESSAGES": ",".join(messages),
        })
        environment_values.update(env or {})
        driver = MainWindowDriver(harness.INSTALLER_SEAMS, list(args),
                                  temp_dir=self.temp_dir,
                                  env=environment_values)
        self.addCleanup(driver.close)
        return driver

    def wait_go(self):
        return "wait-file:" + harness.to_windows_path(self.go)

    def let_setup_go(self):
        with open(self.go, "w"):
            pass

    def shown_progress(self):
        return [int(t.split(": ")[1]) for t in self.log_texts()
                if t.startswith("Progress shown: ")]

    def setup_answers(self):
        with open(self.answers, encoding="utf-8") as f:
            return [line.strip() for line in f if line.strip()]

    def events(self):
        return stat_events(environment.service)

    def dialog_events(self):
        return [(k, e.fields[k]) for e in self.events()
                for k in ("clicked_button", "clicked_link", "choosen_checkbox")
                if k in e.fields]

    def wait_events(self, predicate, timeout=60):
        self.assertTrue(harness.wait_until(lambda: predicate(self.events()),
                                           timeout), self.events())

    def finish(self, driver, timeout=300):
        """Waits for the end; answers any dialog the window shows (the
        second button, else the first) as a person would. The exit code
        comes with the end of the log, for the failure message."""
        return ExitCode(self.finish_run(driver, timeout),
                        "\n".join(harness.read_log(self.temp_dir)[-40:]))

    def finish_run(self, driver, timeout):
        deadline = time.monotonic() + timeout
        while driver.running.is_running() and time.monotonic() < deadline:
            if click_dialog_button(driver, (213, 1)):
                self.saw_dialog = True
            time.sleep(0.5)
        return driver.wait(timeout=60)


class InteractiveInstallationTest(MainWindowTestCase):

    def test_full_installation_with_clicks(self):
        driver = self.start(messages=[
            "kelvra.lite.set_install_progress:5",
            "kelvra.lite.set_install_progress:6",
            "kelvra.lite.set_install_progress:7",
            self.wait_go(),
            "kelvra.lite.set_import_progress:0",
            "kelvra.lite.set_import_progress:50",
            "kelvra.lite.set_import_progress:50",
            "kelvra.lite.close_window"])
        tree = driver.wait_first_screen(timeout=300)
        window = tree.main()
        # Origin at scale 1, centred on the 1920 x 1040 work area.
        self.assertEqual(tuple(window[1:5]), (596, 320, 728, 400))
        self.assertEqual(tree.control(1).rect, (557, 305, 112, 32))
        self.assertEqual(tree.control(213).rect[:2], (698, 18))
        # Check-box set 3: statistics at (60, 305), default browser at
        # (314, 305); the privacy link under the statistics box.
        stat, default = tree.control(110), tree.control(109)
        self.assertEqual((stat.x, stat.y, stat.width), (60, 305, 248))
        self.assertEqual((default.x, default.y, default.width), (314, 305, 223))
        privacy = tree.control(218)
        self.assertEqual((privacy.x, privacy.y), (84 + 4, stat.y + stat.height))
        self.assertTrue(privacy.visible and privacy.width > 0)
        self.assertEqual(tree.control(107).rect, (0, 182, 728, 68))
        self.assertFalse(tree.visible_controls(215))
        # The Install button is drawn from its picture: opaque yellow.
        shot = driver.screenshot(os.path.join(self.temp_dir, "first.png"))
        _, _, at = pixels(shot)
        self.assertTrue(near(at(557 + 4, 305 + 16), YELLOW), at(561, 321))

        # The download runs while the first screen is shown; its progress
        # does not reach the bar before Install.
        self.wait_events(lambda events: any(
            e.action == "download" and e.stage == "finished" for e in events),
            timeout=300)
        self.assertEqual(self.shown_progress(), [])

        driver.click(109)  # the default-browser box: off
        self.wait_events(lambda events: any(
            e.get("choosen_checkbox") == "default" for e in events))
        driver.click(1)
        tree = driver.wait_for(lambda t: any(c.position == 79
                                             for c in t.controls(215)),
                               timeout=300, what="progress 79")
        bar = tree.control(215)
        self.assertEqual(bar.rect, (392, 56, 292, 4))
        self.assertEqual(tree.control(224).text, "79%")
        for gone in (1, 109, 110, 218, 222, 223):
            self.assertFalse(tree.controls(gone), gone)
        shot = driver.screenshot(os.path.join(self.temp_dir, "progress.png"))
        _, _, at = pixels(shot)
        # 79 % of the bar is the opaque fill, the rest the dark track.
        self.assertEqual(at(392 + 10, 57), YELLOW)
        self.assertEqual(at(392 + 292 * 79 // 100 - 3, 57), YELLOW)
        self.assertNotEqual(at(392 + 292 * 79 // 100 + 3, 57), YELLOW)
        # Enter presses Install again: nothing happens a second time.
        driver.key("Return")
        time.sleep(1.0)
        self.let_setup_go()

        exit_code = self.finish(driver)
        self.assertEqual(exit_code, 0)
        # Stage 6 changes nothing; the repeated 90 is not shown twice.
        self.assertEqual(self.shown_progress()[-4:], [75, 79, 80, 90])
        self.assertNotIn(76, self.shown_progress())
        self.assertTrue(all(0 <= p <= 100 for p in self.shown_progress()))
        self.assertEqual(self.shown_progress().count(90), 1)
        self.assertEqual(
            self.setup_answers(),
            ["kelvra.lite.set_install_progress=0"] * 3 +
            ["kelvra.lite.set_import_progress=0"] * 3 +
            ["kelvra.lite.close_window=0"])
        texts = self.log_texts()
        self.assertIn("--> Installer > MainWindow::OnInstallProgress: 75", texts)
        self.assertIn("--> Installer > MainWindow::OnImportProgress: 50", texts)
        self.assertIn("--> Installer > MainWindow::OnCloseWindow", texts)
        # The user's choices: default browser unchecked, statistics kept.
        command_line = self.setup_command_line()
        self.assertNotIn("--make-browser-default-after-import", command_line)
        self.assertIn("--send-statistics", command_line)
        self.assertIn("--progress-window=%d" % window[0], command_line)
        self.assertEqual(self.dialog_events(),
                         [("choosen_checkbox", "default"),
                          ("clicked_button", "install")])
        actions = [e.action for e in self.events()]
        self.assertEqual(actions.count("install_browser_button_clicked"), 1)
        install_click = [i for i, e in enumerate(self.events())
                         if e.get("clicked_button") == "install"][0]
        self.assertEqual(actions[install_click + 1],
                         "install_browser_button_clicked")
        for event in self.events():
            if "clicked_button" in event.fields or \
                    "choosen_checkbox" in event.fields:
                self.assertEqual(event["dialog_window"], "liteinstall")
                self.assertEqual(event.kind, "kvbrowser_reinstall_dialog")
        reports = installation_reports(environment.service)
        self.assertEqual([r.result for r in reports], ["success"])


class ElevationThroughTheWindowTest(MainWindowTestCase):
    """The distribution parameter "uac" decides when the window starts the
    elevated copy (under Wine "runas" starts it without a prompt); the copy
    runs the setup, whose progress reaches the first window. A refused
    prompt, which Wine cannot show, comes from the test build's seam."""

    MESSAGES = ["kelvra.lite.set_install_progress:5",
                "kelvra.lite.set_install_progress:7",
                "kelvra.lite.close_window"]

    def relaunches(self):
        return [t for t in self.log_texts()
                if t.startswith("Relaunch as admin: ")]

    def install(self, params, started_before_install, env=None):
        driver = self.start(["--distr-info-params=" + params],
                            messages=self.MESSAGES, env=env)
        driver.wait_first_screen(timeout=300)
        self.assertEqual(bool(self.relaunches()), started_before_install,
                         self.log_texts())
        driver.click(1)
        exit_code = self.finish(driver)
        return driver, exit_code

    def check_elevated_run(self, driver, exit_code):
        texts = self.log_texts()
        # Every check below shows the end of the log when it fails.
        context = "\n".join(texts[-40:])
        self.assertEqual(exit_code, 0)
        relaunches = self.relaunches()
        self.assertEqual(len(relaunches), 1, context)
        relaunch = relaunches[0]
        self.assertIn("--run-as-admin", relaunch)
        self.assertIn("--parent-installer-process-id=%d" % driver.pid,
                      relaunch)
        self.assertIn("fake_browser_arc", relaunch)
        # The copy logs into the same file: it ran the real archive.
        self.assertIn("Start installer as admin", texts, context)
        self.assertTrue(any(t.startswith("Verification succeeded: ")
                            for t in texts), context)
        self.assertIn("RunModule results: success=1 error_code=0", texts,
                      context)
        self.assertNotIn("Declined running the installer as admin", texts)
        # The setup the copy ran had the archive, the data files and the
        # user's choices in place of the placeholder.
        command_line = self.setup_command_line()
        self.assertIsNotNone(command_line, context)
        self.assertNotIn("fake_browser_arc", command_line)
        self.assertIn("--send-statistics", command_line)
        self.assertIn("--make-browser-default-after-import", command_line)
        self.assertIn("--installerdata=", command_line)
        # Its progress reached the first window's bar.
        self.assertIn(75, self.shown_progress(), context)
        self.assertIn(79, self.shown_progress(), context)

    def test_uac_1_starts_the_copy_when_the_window_opens(self):
        driver, exit_code = self.install("uac=1", started_before_install=True)
        self.check_elevated_run(driver, exit_code)

    def test_uac_0_starts_the_copy_after_install(self):
        driver, exit_code = self.install("uac=0", started_before_install=False)
        self.check_elevated_run(driver, exit_code)

    def test_uac_2_starts_no_copy_and_tells_the_setup(self):
        _, exit_code = self.install("uac=2", started_before_install=False)
        self.assertEqual(exit_code, 0)
        self.assertEqual(self.relaunches(), [])
        self.assertNotIn("Start installer as admin", self.log_texts())
        self.assertIn("--show-uac-at-browser-start",
                      self.setup_command_line())

    def test_uac_abc_counts_as_0_with_the_first_screen(self):
        # Not a number: mode 0, and with the first screen shown the rule
        # keeps it 0, so the copy starts only after Install.
        driver, exit_code = self.install("uac=abc",
                                         started_before_install=False)
        self.check_elevated_run(driver, exit_code)

    def test_uac_abc_without_the_first_screen_starts_the_copy_at_once(self):
        # The parameters skip the first screen (first=1 with both choices
        # given): the rule makes mode 0 into 1.
        # No close_window: without the first screen the end of the
        # installation ends the window. The setup waits until the test has
        # seen the progress screen.
        driver = self.start(
            ["--distr-info-params=uac=abc&first=1&def=1&stat=1"],
            messages=["kelvra.lite.set_install_progress:5",
                      "kelvra.lite.set_install_progress:7", self.wait_go()])
        tree = driver.wait_progress_screen(timeout=300)
        self.assertFalse(tree.controls(1))
        # Mode 1 relaunches as the window initialises, before it lays out
        # anything (its first use of the display scale); mode 0 would
        # relaunch only in the progress layout, after that.
        own = [r["text"] for r in self.log_records()
               if int(r["pid"]) == driver.pid]
        relaunch = [i for i, t in enumerate(own)
                    if t.startswith("Relaunch as admin: ")]
        layout = [i for i, t in enumerate(own)
                  if t.startswith("Display scale factor: ")]
        self.assertEqual(len(relaunch), 1, own[-40:])
        self.assertTrue(layout, own[-40:])
        self.assertLess(relaunch[0], layout[0], own[-40:])
        self.let_setup_go()
        self.check_elevated_run(driver, self.finish(driver))

    def install_with_failed_relaunch(self, failure):
        """UAC mode 1 with the relaunch failing as |failure| ("ERROR,
        INSTANCE"); returns the setup's command line after a click on
        Install."""
        driver = self.start(["--distr-info-params=uac=1"],
                            messages=self.MESSAGES,
                            env={"LITE_INSTALLER_SEAM_RUNAS_FAILURE": failure})
        driver.wait_first_screen(timeout=300)
        # The window tried the relaunch as it opened; the installer's own
        # process logged the failure and goes on alone. Nothing ran the
        # setup before Install.
        own = [r for r in self.log_records() if int(r["pid"]) == driver.pid]
        context = "\n".join(r["raw"] for r in own[-40:])
        self.assertEqual(len(self.relaunches()), 1, context)
        declined = [r for r in own
                    if r["text"] == "Declined running the installer as admin"]
        self.assertEqual([r["function"] for r in declined], ["OnInitDialog"],
                         context)
        self.assertIsNone(self.setup_command_line())

        driver.click(1)
        exit_code = self.finish(driver)
        texts = self.log_texts()
        context = "\n".join(texts[-40:])
        # The standard run: the first process ran the setup itself, whose
        # exit code is the installer's, and its progress reached the bar.
        self.assertEqual(exit_code, 0)
        self.assertEqual(len(self.relaunches()), 1, context)
        for text in ("Start installer as admin", "Waiting for the go",
                     "RunModule results: "):
            self.assertFalse([t for t in texts if t.startswith(text)],
                             context)
        self.assertTrue([r for r in self.log_records()
                         if int(r["pid"]) == driver.pid and
                         r["text"].startswith("Process created: ")], context)
        self.assertIn(75, self.shown_progress(), context)
        self.assertIn(79, self.shown_progress(), context)
        command_line = self.setup_command_line()
        self.assertIsNotNone(command_line, context)
        self.assertNotIn("--run-as-admin", command_line)
        self.assertIn("--send-statistics", command_line)
        failed = [t for t in texts if t.startswith("ShellExecuteExW failed")]
        return command_line, failed

    def test_refused_prompt_installs_unelevated_with_disable_uac(self):
        command_line, failed = self.install_with_failed_relaunch("1223,0")
        self.assertEqual(len(failed), 1)
        self.assertTrue(failed[0].startswith(
            "ShellExecuteExW failed, instance code=0 declined=1"), failed)
        self.assertIn("--disable-uac", command_line)

    def test_other_start_failure_installs_unelevated_without_disable_uac(self):
        command_line, failed = self.install_with_failed_relaunch("2,0")
        self.assertEqual(len(failed), 1)
        self.assertTrue(failed[0].startswith(
            "ShellExecuteExW failed, instance code=0 declined=0"), failed)
        self.assertNotIn("--disable-uac", command_line)


class ClosingTest(MainWindowTestCase):

    def test_close_button_on_the_first_screen(self):
        driver = self.start()
        driver.wait_first_screen(timeout=300)
        driver.click(213)
        self.assertEqual(driver.wait(timeout=180), USER_CANCELLED)
        self.assertIn("User cancelled installation.", self.log_texts())
        self.assertIn(("clicked_button", "cancel"), self.dialog_events())
        reports = installation_reports(environment.service)
        self.assertEqual([r.result for r in reports], ["cancelled"])
        self.assertIsNone(self.setup_command_line())

    def test_escape_records_cancel_and_alt_f4_closes(self):
        driver = self.start()
        driver.wait_first_screen(timeout=300)
        driver.click(223)  # the licence link
        self.wait_events(lambda events: any("clicked_link" in e.fields
                                            for e in events))
        driver.key("Escape")
        self.wait_events(lambda events: any(
            e.get("clicked_button") == "cancel" for e in events))
        time.sleep(1.0)
        tree = driver.tree()
        self.assertTrue(driver.running.is_running())
        self.assertEqual(tree.main()[5], 1)
        self.assertTrue(tree.visible_controls(1))
        link = [v for k, v in self.dialog_events() if k == "clicked_link"]
        # As the statistics carry it ("=" travels as "_").
        self.assertEqual(
            link, ["https://legal.kelvra.example/browser_agreement/?lang_en"])
        # Alt+F4: the system close command.
        driver.click(107)  # focus back on the window's surface
        driver.key("alt+F4")
        self.assertEqual(driver.wait(timeout=180), USER_CANCELLED)
        self.assertEqual([k for k, _ in self.dialog_events()],
                         ["clicked_link", "clicked_button"])

    def test_close_window_while_waiting_and_bad_values(self):
        # The window waits for the install thread, which waits for the
        # setup, which waits for the answer to close_window.
        bad = ["1000", "-1", "0xFFFFFFFF"]
        messages = (
            ["kelvra.lite.set_import_progress:" + v for v in bad] +
            ["kelvra.lite.set_install_progress:" + v for v in bad] +
            ["#32868:" + v for v in bad] +
            ["wait:500", "kelvra.lite.close_window"])
        driver = self.start(messages=messages,
                            env=dict(STANDARD_USER,
                                     LITE_TEST_SETUP_EXIT_CODE="17",
                                     LITE_TEST_SETUP_SLEEP_MS="2000"))
        driver.wait_first_screen(timeout=300)
        driver.click(1)
        self.assertEqual(self.finish(driver), 17)
        answers = self.setup_answers()
        # Answered before the window waited, not after 10 s without one.
        self.assertEqual(answers[-1], "kelvra.lite.close_window=0")
        # The private progress message is clamped: 1000 shows 100, -1
        # shows 0, and 0xFFFFFFFF is -1 where WPARAM has 32 bits and a
        # large positive value where it has 64. Only changes are shown;
        # before them only the download's values (up to 40) were.
        expected = [100, 0] + ([100] if harness.ARCH == "x86_64" else [])
        shown = self.shown_progress()
        self.assertEqual(shown[-len(expected):], expected, shown)
        self.assertTrue(all(0 <= p <= 40 for p in shown[:-len(expected)]),
                        shown)
        texts = self.log_texts()
        self.assertEqual(texts.count("Import progress out of range ignored"), 3)
        self.assertFalse([t for t in texts if "OnInstallProgress" in t])


class MissingPictureTest(MainWindowTestCase):

    def test_window_keeps_the_layout_size_without_its_picture(self):
        # Sized from its picture alone the window would be 0 x 0: a modal
        # window nobody could see or close.
        driver = self.start(env={"LITE_INSTALLER_TEST_SEAMS":
                                 SEAMS["LITE_INSTALLER_TEST_SEAMS"] +
                                 ",no-first-screen-background"})
        tree = driver.wait_first_screen(timeout=300)
        # Origin's 728 x 400, centred on the 1920 x 1040 work area.
        self.assertEqual(tuple(tree.main()[1:5]), (596, 320, 728, 400))
        self.assertIn("No background picture; using the layout's size",
                      self.log_texts())
        self.assertEqual(tree.control(213).rect[:2], (698, 18))
        driver.click(213)
        self.assertEqual(driver.wait(timeout=180), USER_CANCELLED)
        self.assertIn(("clicked_button", "cancel"), self.dialog_events())
        self.assertIsNone(self.setup_command_line())


class DoublePressTest(MainWindowTestCase):
    """Install pressed twice in quick succession starts one installation:
    one progress screen, one elevated copy, one pair of statistics."""

    def install_twice(self, press):
        driver = self.start(messages=[
            "kelvra.lite.set_install_progress:5", "kelvra.lite.close_window"])
        driver.wait_first_screen(timeout=300)
        press(driver)
        tree = driver.wait_progress_screen(timeout=300)
        self.assertEqual(len(tree.controls(215)), 1)
        self.assertEqual(len(tree.controls(224)), 1)
        self.assertFalse(tree.controls(1))
        self.assertEqual(self.finish(driver), 0)
        self.assertFalse(self.saw_dialog)
        clicks = [v for k, v in self.dialog_events() if k == "clicked_button"]
        self.assertEqual(clicks, ["install"])
        actions = [e.action for e in self.events()]
        self.assertEqual(actions.count("install_browser_button_clicked"), 1)
        # The progress screen starts the elevated copy (an administrator
        # under Wine): laid out twice, it would start two.
        relaunches = [t for t in self.log_texts()
                      if t.startswith("Relaunch as admin: ")]
        self.assertEqual(len(relaunches), 1, self.log_texts()[-40:])
        self.assertEqual(self.setup_answers(),
                         ["kelvra.lite.set_install_progress=0",
                          "kelvra.lite.close_window=0"])

    def test_double_click_on_install(self):
        def double_click(driver):
            x, y = driver.point_of(driver.tree(), 1)
            main_window.xdotool("mousemove", x - 30, y - 30)
            time.sleep(0.3)
            main_window.xdotool("mousemove", x, y)
            time.sleep(0.5)
            main_window.xdotool("click", "--repeat", 2, "--delay", 40, 1)
        self.install_twice(double_click)

    def test_return_twice_on_install(self):
        def return_twice(driver):
            # The Install button has the focus when the window opens; the
            # keys go to the window under the pointer (no window manager).
            self.assertEqual(driver.focused(), 1)
            driver.point_to_surface()
            main_window.xdotool("key", "--delay", 40, "Return", "Return")
        self.install_twice(return_twice)


class ChoicesAndLinksTest(MainWindowTestCase):
    """The first screen's check boxes and links and the window's system
    commands, used with the pointer."""

    def test_statistics_box_unticked(self):
        driver = self.start(messages=["kelvra.lite.close_window"])
        tree = driver.wait_first_screen(timeout=300)
        self.assertEqual(tree.control(110).check, 1)
        driver.click(110, dx=8)  # on the box
        self.wait_events(lambda events: any(
            e.get("choosen_checkbox") == "sendstat" for e in events))
        # No BM_GETCHECK read after the click: without themes (the 32-bit
        # prefix) the box is owner-drawn and the button keeps no state of
        # its own. The setup's command line below tells the choice.
        driver.click(1)
        self.assertEqual(self.finish(driver), 0)
        command_line = self.setup_command_line()
        self.assertNotIn("--send-statistics", command_line)
        # The other choice stays as it was.
        self.assertIn("--make-browser-default-after-import", command_line)
        self.assertEqual(self.dialog_events(),
                         [("choosen_checkbox", "sendstat"),
                          ("clicked_button", "install")])

    def test_privacy_and_licence_links_open_their_pages(self):
        opened = self.temp_dir + ".opened"
        self.addCleanup(lambda: os.path.exists(opened) and os.remove(opened))
        driver = self.start(env={"LITE_INSTALLER_SEAM_OPEN_URL_RECORD":
                                 harness.to_windows_path(opened)})
        driver.wait_first_screen(timeout=300)
        driver.click(218)
        self.wait_events(lambda events: any(
            "clicked_link" in e.fields for e in events))
        driver.click(223)
        self.wait_events(lambda events: len(
            [e for e in events if "clicked_link" in e.fields]) == 2)
        def opened_urls():
            if not os.path.exists(opened):
                return []
            with open(opened, encoding="utf-8") as f:
                return f.read().splitlines()
        self.assertTrue(harness.wait_until(lambda: len(opened_urls()) == 2))
        self.assertEqual(opened_urls(), [
            "https://legal.kelvra.example/confidential/?lang=en",
            "https://legal.kelvra.example/browser_agreement/?lang=en"])
        # As the statistics carry them ("=" travels as "_").
        self.assertEqual(self.dialog_events(), [
            ("clicked_link",
             "https://legal.kelvra.example/confidential/?lang_en"),
            ("clicked_link",
             "https://legal.kelvra.example/browser_agreement/?lang_en")])
        # The links leave the first screen as it was.
        tree = driver.tree()
        self.assertTrue(driver.running.is_running())
        self.assertTrue(tree.visible_controls(1))
        driver.click(213)
        self.assertEqual(driver.wait(timeout=180), USER_CANCELLED)

    def test_minimise_then_restore(self):
        driver = self.start(["--brand-name=ua_uk"], messages=[
            self.wait_go(), "kelvra.lite.close_window"])
        tree = driver.wait_first_screen(timeout=300)
        shown = tuple(tree.main()[1:5])
        x_windows = main_window.x_windows(tree.main()[7])
        self.assertTrue(x_windows)
        driver.click(1)
        driver.wait_progress_screen(timeout=300)
        driver.click(214)
        # Minimised: Windows keeps the window far off the screen.
        driver.wait_for(lambda t: t.main()[1:3] == [-32000, -32000],
                        timeout=60, what="the minimised window")
        # Restored from the task bar: the window manager's state goes
        # from iconic back to normal, and Wine sends the restore command.
        for window in x_windows:
            main_window.set_wm_state(window, 3)
        time.sleep(0.5)
        for window in x_windows:
            main_window.set_wm_state(window, 1)
        tree = driver.wait_for(lambda t: tuple(t.main()[1:5]) == shown,
                               timeout=60, what="the restored window")
        self.assertTrue(tree.visible_controls(215))
        self.wait_events(lambda events: any(
            e.get("clicked_button") == "restore" for e in events))
        self.let_setup_go()
        self.assertEqual(self.finish(driver), 0)
        self.assertEqual(self.dialog_events(),
                         [("clicked_button", "install"),
                          ("clicked_button", "minimize"),
                          ("clicked_button", "restore")])

    def kvpin_run(self, untick):
        # The "tb" brand offers the taskbar shortcut, pre-selected; the
        # other two choices are given.
        driver = self.start(["--brand-name=tb",
                             "--distr-info-params=def=1&stat=1"],
                            messages=["kelvra.lite.close_window"])
        tree = driver.wait_first_screen(timeout=300)
        self.assertEqual(tree.control(112).check, 1)
        if untick:
            driver.click(112, dx=8)
            self.wait_events(lambda events: any(
                e.get("choosen_checkbox") == "kvpin_trial" for e in events))
            # The choice shows in the setup's command line (an owner-drawn
            # box keeps no button state to read back).
        driver.click(1)
        self.assertEqual(self.finish(driver), 0)
        return self.setup_command_line()

    def test_kvpin_box_unticked(self):
        self.assertIn("--disablekvpin", self.kvpin_run(untick=True))
        self.assertEqual(self.dialog_events(),
                         [("choosen_checkbox", "kvpin_trial"),
                          ("clicked_button", "install")])

    def test_kvpin_box_kept(self):
        self.assertNotIn("--disablekvpin", self.kvpin_run(untick=False))
        self.assertEqual(self.dialog_events(), [("clicked_button", "install")])


class KeyboardTest(MainWindowTestCase):
    """The first screen's focus under real key presses: Tab follows the
    chain the window stacks its controls in; the window's keyboard hook
    moves Left from the Install button to the licence link and Right from
    the link back, on every second key event it sees there."""

    def first_screen(self):
        driver = self.start()
        driver.wait_first_screen(timeout=300)
        # Keys go to the window under the pointer (no window manager).
        driver.point_to_surface()
        self.assertEqual(driver.focused(), 1)
        return driver

    def press(self, driver, key):
        """Presses |key| (each press here moves the focus) and returns
        where the focus settles: two readings in a row that agree, after
        the first that differs from where it was."""
        before = driver.focused()
        driver.key(key)
        deadline = time.monotonic() + 30
        previous = None
        while time.monotonic() < deadline:
            time.sleep(0.2)
            now = driver.focused()
            if now != before and now == previous:
                return now
            previous = now
        return previous

    def test_tab_follows_the_chain(self):
        driver = self.first_screen()
        # Install, close, default browser, statistics, privacy link,
        # licence link (the taskbar-shortcut box is not offered here).
        self.assertEqual([self.press(driver, "Tab") for _ in range(6)],
                         [213, 109, 110, 218, 223, 1])
        self.assertEqual(self.press(driver, "shift+Tab"), 223)
        self.assertEqual(self.press(driver, "shift+Tab"), 218)

    def test_left_and_right_wrap_through_the_hook(self):
        driver = self.first_screen()
        # Left on the close button: the dialog's own arrow handling moves
        # the focus to Install on the key's press; the hook sees its
        # release there, the first such event: the focus stays.
        self.assertEqual(self.press(driver, "Tab"), 213)
        self.assertEqual(self.press(driver, "Left"), 1)
        # The second: on to the licence link.
        self.assertEqual(self.press(driver, "Tab"), 213)
        self.assertEqual(self.press(driver, "Left"), 223)
        # Right from the privacy link reaches the licence link on the
        # press; the hook's first event there keeps it, the second moves
        # the focus back to Install.
        self.assertEqual(self.press(driver, "shift+Tab"), 218)
        self.assertEqual(self.press(driver, "Right"), 223)
        self.assertEqual(self.press(driver, "shift+Tab"), 218)
        self.assertEqual(self.press(driver, "Right"), 1)
        # The keys moved the focus only: no statistics, no installation.
        self.assertEqual(self.dialog_events(), [])
        self.assertTrue(driver.tree().visible_controls(1))


class DownloadProgressTest(MainWindowTestCase):

    def test_half_the_archive_shows_22(self):
        # The archive comes slowly and its first answer is cut at half; the
        # retry waits far longer than the test: the bar keeps what the
        # download's fraction 0.5 maps to, 0.5 x 40 + 0.5 x 5 = 22.5 -> 22.
        size = os.path.getsize(environment.archive)
        environment.serve_archive(rate=max(size // 30, 1000),
                                  drop_after=size // 2)
        driver = self.start(env=dict(
            STANDARD_USER, LITE_INSTALLER_SEAM_DOWNLOAD_RETRY_DELAY_MS="600000"))
        driver.wait_first_screen(timeout=300)
        driver.click(1)
        tree = driver.wait_for(
            lambda t: any(c.position == 22 for c in t.controls(215)),
            timeout=300, what="progress 22")
        self.assertEqual(tree.control(224).text, "22%")
        # The cut: one request so far, and nothing beyond 22 shown.
        time.sleep(3.0)
        self.assertEqual(len([r for r in environment.archive_requests()
                              if r.path.endswith(".arc")]), 1)
        shown = self.shown_progress()
        self.assertEqual(shown[-1], 22, shown)
        self.assertEqual(max(shown), 22, shown)
        self.assertEqual(driver.tree().control(215).position, 22)
        # 22 % of the bar is the opaque fill.
        shot = driver.screenshot(os.path.join(self.temp_dir, "half.png"))
        _, _, at = pixels(shot)
        self.assertEqual(at(392 + 292 * 22 // 100 - 3, 57), YELLOW)
        self.assertNotEqual(at(392 + 292 * 22 // 100 + 3, 57), YELLOW)
        self.assertIsNone(self.setup_command_line())


class EdgeCaseTest(MainWindowTestCase):

    def test_first_screen_skipped_by_the_parameters(self):
        driver = self.start(
            ["--distr-info-params=first=1&def=2&stat=1"],
            messages=["kelvra.lite.set_install_progress:5"])
        tree = driver.wait_progress_screen(timeout=300)
        self.assertFalse(tree.controls(1))
        self.assertFalse(tree.controls(109))
        # The licence line on the progress screen until the first slide
        # change.
        self.assertTrue(tree.controls(1014))
        # No close_window: the end of the installation ends the window,
        # as the progress screen counts as the confirmed installation.
        self.assertEqual(self.finish(driver), 0)
        command_line = self.setup_command_line()
        self.assertNotIn("--make-browser-default-after-import", command_line)
        self.assertIn("--send-statistics", command_line)
        self.assertIn(75, self.shown_progress())

    def layout_of(self, args):
        driver = self.start(args)
        tree = driver.wait_first_screen(timeout=300)
        placed = {i: tree.control(i).rect for i in (107, 109, 110, 112, 218)
                  if tree.control(i) and tree.control(i).visible and
                  tree.control(i).width > 0}
        driver.close()
        return placed

    def test_check_box_sets(self):
        H = 400
        origin = {  # set: {id: (left, top, right)}
            0: {},
            1: {109: (60, 305, 525)},
            2: {110: (60, 305, 308)},
            3: {110: (60, 305, 308), 109: (314, 305, 537)},
            4: {112: (60, 315, 525)},
            5: {109: (60, 294, 525), 112: (60, 324, 525)},
            6: {110: (60, 309, 525), 112: (60, 279, 525)},
            7: {110: (60, 310, 525), 109: (60, 250, 525), 112: (60, 280, 525)},
        }
        parameters = {0: "def=1&stat=1", 1: "stat=1", 2: "def=1", 3: "def=3"}
        for check_box_set, expected in sorted(origin.items()):
            with self.subTest(set=check_box_set):
                args = []
                if check_box_set & 4:
                    args.append("--brand-name=tb")
                given = ("def=1&" if not check_box_set & 1 else "") + \
                        ("stat=1" if not check_box_set & 2 else "")
                given = parameters.get(check_box_set, given)
                if given:
                    args.append("--distr-info-params=" + given.strip("&"))
                placed = self.layout_of(args)
                for ident, (left, top, right) in expected.items():
                    x, y, w, h = placed[ident]
                    self.assertEqual((x, y, w), (left, top, right - left), ident)
                    self.assertTrue(0 < h <= H - top, (ident, h))
                boxes = {i for i in placed if i in (109, 110, 112)}
                self.assertEqual(boxes, set(expected))
                # The privacy link only with the statistics box.
                self.assertEqual(218 in placed, 110 in expected)
                tagline = placed[107]
                self.assertEqual(tagline[1], 152 if check_box_set == 7 else 182)

    def test_facetune_prefixes_and_buttons(self):
        driver = self.start(["--brand-name=ua_uk"], messages=[
            "kelvra.lite.set_import_progress:50", self.wait_go(),
            "kelvra.lite.set_import_progress:56", "wait:30000"])
        tree = driver.wait_first_screen(timeout=300)
        self.assertEqual(tuple(tree.main()[3:5]), (802, 430))
        self.assertEqual(tree.control(1).rect, (61, 333, 144, 48))
        driver.click(1)
        tree = driver.wait_for(lambda t: any(c.position == 90
                                             for c in t.controls(215)),
                               timeout=300, what="progress 90")
        self.assertEqual(tree.control(224).text, localized(408, "uk") + "90%")
        # The Facetune progress screen keeps its close button and shows
        # the minimize button.
        self.assertEqual(tree.visible_controls(213)[0].rect[:2], (767, 11))
        self.assertEqual(tree.visible_controls(214)[0].rect[:2], (723, 11))
        self.let_setup_go()
        tree = driver.wait_for(lambda t: any(c.position == 91
                                             for c in t.controls(215)),
                               timeout=300, what="progress 91")
        self.assertEqual(tree.control(224).text, localized(409, "uk") + "91%")
        driver.click(214)
        self.wait_events(lambda events: any(
            e.get("clicked_button") == "minimize" for e in events))
        driver.close()


class NoticeTest(MainWindowTestCase):

    def test_cancel_button_resumes_and_goes_when_the_setup_runs(self):
        # A slow archive: the progress screen shows the download for a while.
        environment.serve_archive(rate=30000)
        driver = self.start(["--distr-info-params=cancel=1"], messages=[
            self.wait_go(), "kelvra.lite.close_window"])
        driver.wait_first_screen(timeout=300)
        driver.click(1)
        tree = driver.wait_progress_screen(timeout=300)
        self.assertEqual(tree.visible_controls(212)[0].rect, (698, 18, 12, 12))
        driver.click(212)
        # The question (a dialog, once there is one) answered with Resume.
        self.answer_dialog(driver, 1)
        time.sleep(1.0)
        self.assertTrue(driver.running.is_running())
        self.assertEqual(driver.tree().main()[5], 1)
        # Once the setup runs it cannot be cancelled from here: the button
        # is gone (destroyed by the window, or hidden by the elevated copy
        # that runs the setup for an administrator).
        self.assertTrue(harness.wait_until(
            lambda: os.path.exists(self.setup_record), timeout=300))
        self.assertTrue(harness.wait_until(
            lambda: not driver.tree().visible_controls(212), timeout=60))
        self.let_setup_go()
        self.assertEqual(self.finish(driver), 0)

    def test_cancel_button_destroyed_when_a_standard_users_setup_runs(self):
        # A standard user's window runs the setup itself: when it starts,
        # the window destroys its cancel button.
        environment.serve_archive(rate=30000)
        driver = self.start(["--distr-info-params=cancel=1"], messages=[
            self.wait_go(), "kelvra.lite.close_window"], env=STANDARD_USER)
        driver.wait_first_screen(timeout=300)
        driver.click(1)
        tree = driver.wait_progress_screen(timeout=300)
        self.assertEqual(tree.visible_controls(212)[0].rect, (698, 18, 12, 12))
        self.assertIsNone(self.setup_command_line())
        driver.click(212)
        # The question answered with Resume.
        self.assertTrue(self.answer_dialog(driver, 1, timeout=60))
        self.assertTrue(harness.wait_until(
            lambda: not driver.tree().dialogs(), timeout=60))
        self.assertTrue(driver.running.is_running())
        self.assertEqual(driver.tree().main()[5], 1)
        self.assertTrue(harness.wait_until(
            lambda: os.path.exists(self.setup_record), timeout=300))
        # Gone, not hidden: no window with the id is left.
        self.assertTrue(harness.wait_until(
            lambda: not driver.tree().controls(212), timeout=60),
            [(c.hwnd, c.visible) for c in driver.tree().controls(212)])
        self.let_setup_go()
        self.assertEqual(self.finish(driver), 0)
        self.assertFalse(self.saw_dialog)
        self.assertEqual([t for t in self.log_texts()
                          if t.startswith("Relaunch as admin: ")], [])

    def answer_dialog(self, driver, button_id, timeout=5):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if click_dialog_button(driver, (button_id,)):
                return True
            time.sleep(0.3)
        return False

    def test_errors_before_and_after_install(self):
        # Before Install: the archive cannot be had; shown when Install is
        # pressed.
        environment.serve_archive(status=404)
        driver = self.start(
            env={"LITE_INSTALLER_SEAM_DOWNLOAD_RETRY_DELAY_MS": "10"})
        driver.wait_first_screen(timeout=300)
        self.wait_events(lambda events: any(
            e.action == "download" and e.stage == "error" for e in events),
            timeout=300)
        self.assertTrue(driver.running.is_running())
        self.assertEqual(driver.tree().main()[5], 1)
        driver.click(1)
        self.assertEqual(self.finish(driver), 401)
        self.assertTrue(self.error_was_shown(), self.headings)

    def test_error_after_install_is_shown_at_once(self):
        # The archive is the unsigned test setup: refused after Install.
        environment.serve_archive(file=harness.bin_path("test_setup.exe"))
        driver = self.start()
        driver.wait_first_screen(timeout=300)
        driver.click(1)
        self.assertEqual(self.finish(driver), 402)
        self.assertTrue(self.error_was_shown(), self.headings)
        self.assertIsNone(self.setup_command_line())

    def finish_run(self, driver, timeout):
        # Notes the heading of every dialog before answering it.
        self.headings = []
        deadline = time.monotonic() + timeout
        while driver.running.is_running() and time.monotonic() < deadline:
            tree = driver.tree()
            for window in tree.dialogs():
                self.headings += [c.text for c in window[8] if c.id == 107]
            if click_dialog_button(driver, (213, 1), tree):
                self.saw_dialog = True
            time.sleep(0.5)
        return driver.wait(timeout=60)

    def error_was_shown(self):
        # A dialog the test answered, with the error dialogs' heading.
        return self.saw_dialog and localized(423) in self.headings


if __name__ == "__main__":
    import unittest
    unittest.main()
