"""The dialogs and the slide show as a person meets them in the real
installer window: the installation fails, is cancelled, finds a newer
browser or shows slides, and the test answers the dialogs with the pointer
(xdotool) and reads them back with window_probe.exe."""
import datetime
import os
import time

import harness
import main_window_test
from install_env import ARCHIVE_NOT_OBTAINED, environment
from install_env import tearDownModule  # noqa: F401
from main_window_test import (SEAMS, STANDARD_USER, USER_CANCELLED,
                              click_dialog_button, localized)
from stats_endpoints import installation_reports

import slide_endpoints  # noqa: E402 (testing/service, on the path now)

BOX = (397, 174)
# Where the default brand's window looks for its slides.
SLIDE_HOST = "download.kelvra.example"
SLIDE_BASE = "/browser/installer/en/"


def setUpModule():
    main_window_test.setUpModule()


class Dialog:
    """One reading of a dialog the installer shows over its main window."""

    def __init__(self, window):
        self.x, self.y, self.width, self.height = window[1:5]
        self.controls = {}
        for control in window[8]:
            self.controls.setdefault(control.id, control)

    def text(self, ident):
        return self.controls[ident].text

    def shown(self, ident):
        control = self.controls.get(ident)
        return bool(control and control.visible and control.width > 0)

    def button_origin(self, ident):
        control = self.controls[ident]
        return control.x, control.y


def shown_dialog(driver):
    tree = driver.tree()
    for window in tree.dialogs():
        if any(c.visible and c.width > 0 for c in window[8]
               if c.id in (1, 213)):
            return Dialog(window), tree.main()
    return None, tree.main()


class DialogFlowTestCase(main_window_test.MainWindowTestCase):

    def wait_dialog(self, driver, timeout=300):
        """The dialog once it is on screen, and the main window then."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            dialog, main = shown_dialog(driver)
            if dialog is not None:
                return dialog, main
            self.assertTrue(driver.running.is_running(),
                            "the installer ended without a dialog:\n%s"
                            % "\n".join(self.log_texts()[-20:]))
            time.sleep(0.3)
        self.fail("no dialog within %d s" % timeout)

    def wait_no_dialog(self, driver, timeout=60):
        self.assertTrue(harness.wait_until(
            lambda: shown_dialog(driver)[0] is None, timeout),
            "the dialog stayed")

    def answer(self, driver, ident):
        self.assertTrue(click_dialog_button(driver, (ident,)),
                        "no button %d to click" % ident)

    def check_centred(self, dialog, main):
        self.assertEqual((dialog.width, dialog.height), BOX)
        centre = (main[1] + main[3] // 2, main[2] + main[4] // 2)
        self.assertTrue(main_window_test.near(
            centre, (dialog.x + BOX[0] // 2, dialog.y + BOX[1] // 2)),
            (centre, dialog.x, dialog.y))

    def check_texts(self, dialog, heading, text, first, second):
        """String ids of the heading, the text and the two buttons; None
        for a button that must not show."""
        self.assertEqual(dialog.text(107), localized(heading))
        self.assertEqual(dialog.text(-1), localized(text) if text else "")
        for ident, string_id in ((1, first), (213, second)):
            if string_id is None:
                self.assertFalse(dialog.shown(ident), ident)
            else:
                self.assertTrue(dialog.shown(ident), ident)
                self.assertEqual(dialog.text(ident), localized(string_id))


class DownloadErrorFlowTest(DialogFlowTestCase):
    """The archive cannot be had: after Install the download error dialog,
    whose Download button opens the manual download page."""

    def start_failing(self, args=()):
        environment.serve_archive(status=404)
        self.opened = self.temp_dir + ".opened"
        self.addCleanup(lambda: os.path.exists(self.opened) and
                        os.remove(self.opened))
        driver = self.start(list(args), env={
            "LITE_INSTALLER_SEAM_DOWNLOAD_RETRY_DELAY_MS": "10",
            "LITE_INSTALLER_SEAM_OPEN_URL_RECORD":
                harness.to_windows_path(self.opened)})
        driver.wait_first_screen(timeout=300)
        driver.click(1)
        dialog, main = self.wait_dialog(driver)
        self.check_centred(dialog, main)
        self.check_texts(dialog, 423, 431, 435, 436)
        # Layout A, the buttons from the left.
        self.assertEqual(dialog.button_origin(1), (40, 126))
        self.assertEqual(dialog.button_origin(213), (170, 126))
        return driver

    def opened_urls(self):
        if not os.path.exists(self.opened):
            return []
        with open(self.opened, encoding="utf-8") as f:
            return f.read().splitlines()

    def test_download_opens_the_page_with_the_tag_values_encoded(self):
        # Values that would end the query, add a parameter or point the
        # shell at a local file if they went into the address as they are.
        tag = ("lang=en\"&x=file:///C:/Windows/System32/calc.exe&"
               "custo=a b \"q\" #frag")
        # Quoted for the command line, as a shell would pass it.
        driver = self.start_failing(
            ['"--distr-info-params=%s"' % tag.replace('"', '\\"')])
        self.answer(driver, 1)
        self.assertEqual(self.finish(driver), ARCHIVE_NOT_OBTAINED)
        self.assertEqual(self.opened_urls(), [
            "https://browser.kelvra.ru.example/download?"
            "custo=a%20b%20%22q%22%20%23frag&lang=en%22&"
            "full=1&code=lite_install_failed"])
        self.assertIsNone(self.setup_command_line())

    def test_cancel_opens_nothing(self):
        driver = self.start_failing()
        self.answer(driver, 213)
        self.assertEqual(self.finish(driver), ARCHIVE_NOT_OBTAINED)
        self.assertEqual(self.opened_urls(), [])
        self.assertEqual([r.result for r in
                          installation_reports(environment.service)],
                         ["failed"])


class CryptoProFlowTest(DialogFlowTestCase):

    def test_broken_provider_shows_its_dialog(self):
        driver = self.start(env={"LITE_INSTALLER_TEST_SEAMS":
                                 SEAMS["LITE_INSTALLER_TEST_SEAMS"] +
                                 ",cryptopro-load-failure"})
        driver.wait_first_screen(timeout=300)
        driver.click(1)
        dialog, main = self.wait_dialog(driver)
        self.check_centred(dialog, main)
        self.check_texts(dialog, 426, 427, None, 413)
        # Layout B, one centred button.
        self.assertEqual(dialog.button_origin(213), ((397 - 120) // 2, 126))
        self.answer(driver, 213)
        # The download's result 3: the archive was not obtained.
        self.assertEqual(self.finish(driver), ARCHIVE_NOT_OBTAINED)
        self.assertIsNone(self.setup_command_line())


class ConfirmCancelFlowTest(DialogFlowTestCase):

    def test_resume_then_cancel(self):
        # A slow archive keeps the progress screen on the download.
        environment.serve_archive(rate=20000)
        driver = self.start(["--distr-info-params=cancel=1"],
                            env=STANDARD_USER)
        driver.wait_first_screen(timeout=300)
        driver.click(1)
        driver.wait_progress_screen(timeout=300)
        driver.click(212)
        dialog, main = self.wait_dialog(driver)
        self.check_centred(dialog, main)
        self.check_texts(dialog, 414, None, 415, 416)
        # Both buttons at the right edge.
        self.assertEqual(dialog.button_origin(1), (117, 126))
        self.assertEqual(dialog.button_origin(213), (247, 126))
        self.answer(driver, 1)  # Resume
        self.wait_no_dialog(driver)
        tree = driver.tree()
        self.assertEqual(tree.main()[5], 1)
        self.assertTrue(tree.visible_controls(215))
        self.assertTrue(driver.running.is_running())
        # The question runs again on the next press, and Cancel ends it.
        driver.click(212)
        dialog, _ = self.wait_dialog(driver)
        self.check_texts(dialog, 414, None, 415, 416)
        self.answer(driver, 213)
        self.assertEqual(self.finish(driver), USER_CANCELLED)
        self.assertIsNone(self.setup_command_line())
        self.assertEqual([r.result for r in
                          installation_reports(environment.service)],
                         ["cancelled"])


class HigherVersionFlowTest(DialogFlowTestCase):

    def show_notice(self, message, heading, text):
        """Install pressed; the setup (exit code 23, 3 s late) sends
        |message|; the notice shows |heading| and |text| with one button."""
        driver = self.start(
            messages=[message],
            env=dict(STANDARD_USER, LITE_TEST_SETUP_EXIT_CODE="23",
                     LITE_TEST_SETUP_SLEEP_MS="3000"))
        driver.wait_first_screen(timeout=300)
        driver.click(1)
        dialog, main = self.wait_dialog(driver)
        self.check_centred(dialog, main)
        self.check_texts(dialog, heading, text, 437, None)
        self.assertEqual(dialog.button_origin(1), (40, 126))
        return driver

    def test_notice_then_the_window_ends(self):
        driver = self.show_notice("kelvra.higher_version_exist", 432, 433)
        self.answer(driver, 1)
        # The window goes at once; the process ends with the setup's code
        # once the setup is done.
        self.assertTrue(harness.wait_until(
            lambda: not driver.running.is_running() or
            driver.tree().main() is None or not driver.tree().main()[5],
            timeout=60))
        self.assertEqual(self.finish(driver), 23)
        self.assertEqual(self.setup_answers(),
                         ["kelvra.higher_version_exist=0"])

    def test_business_edition_notice_then_the_window_ends(self):
        # The business edition's notice: its own strings, the same course.
        driver = self.show_notice(
            "kelvra.corp.user_higher_version_exist", 466, 467)
        # The main window hides behind the notice.
        self.assertTrue(harness.wait_until(
            lambda: not driver.tree().main()[5], timeout=60))
        # The setup has its answer while the notice is still up: it does
        # not wait for the user.
        self.assertTrue(harness.wait_until(
            lambda: os.path.exists(self.answers) and self.setup_answers(),
            timeout=30))
        self.assertEqual(self.setup_answers(),
                         ["kelvra.corp.user_higher_version_exist=0"])
        self.assertIsNotNone(shown_dialog(driver)[0])
        self.answer(driver, 1)
        self.wait_no_dialog(driver)
        self.assertEqual(self.finish(driver), 23)
        self.assertFalse(self.saw_dialog)
        self.assertEqual(self.setup_answers(),
                         ["kelvra.corp.user_higher_version_exist=0"])


class BrowserExistsFlowTest(DialogFlowTestCase):
    """The setup asks, through the window, whether to replace the browser
    it found; the window shows the question and stays."""

    def ask(self):
        driver = self.start(messages=[
            "kelvra.corp.user_browser_exists", self.wait_go(),
            "kelvra.lite.close_window"])
        driver.wait_first_screen(timeout=300)
        driver.click(1)
        dialog, main = self.wait_dialog(driver)
        self.check_centred(dialog, main)
        self.check_texts(dialog, 462, 463, 464, 465)
        # Layout A, the buttons from the left.
        self.assertEqual(dialog.button_origin(1), (40, 126))
        self.assertEqual(dialog.button_origin(213), (170, 126))
        return driver

    def check_reply_and_window(self, driver, reply):
        # The setup waits up to 10 s for the reply, and writes it down.
        self.assertTrue(harness.wait_until(
            lambda: os.path.exists(self.answers) and self.setup_answers(),
            timeout=60))
        self.assertEqual(self.setup_answers(),
                         ["kelvra.corp.user_browser_exists=%d" % reply])
        self.wait_no_dialog(driver)
        time.sleep(1.0)
        tree = driver.tree()
        self.assertTrue(driver.running.is_running())
        self.assertEqual(tree.main()[5], 1, tree.windows)
        self.assertTrue(tree.visible_controls(215))
        self.let_setup_go()
        self.assertEqual(self.finish(driver), 0)
        self.assertFalse(self.saw_dialog)
        self.assertEqual(self.setup_answers()[-1], "kelvra.lite.close_window=0")

    def test_cancel_replies_0_and_keeps_the_window(self):
        driver = self.ask()
        self.answer(driver, 213)
        self.check_reply_and_window(driver, 0)

    def test_install_replies_1_and_keeps_the_window(self):
        driver = self.ask()
        self.answer(driver, 1)
        self.check_reply_and_window(driver, 1)


def log_time(record):
    return datetime.datetime.strptime(
        record["date"] + " " + record["time"], "%Y-%m-%d %H:%M:%S.%f")


class SlidesInTheWindowTest(DialogFlowTestCase):

    def serve_slides(self, mode="normal"):
        names = slide_endpoints.add_slide_folder(
            environment.service, SLIDE_HOST, SLIDE_BASE, harness.BUILD_DIR,
            "en", mode=mode)
        for name in names:
            self.addCleanup(environment.service.remove_route, SLIDE_HOST,
                            SLIDE_BASE + "x2/" + name)

    def slide_requests(self):
        return [r.path[len(SLIDE_BASE) + 3:]
                for r in environment.service.requests(host=SLIDE_HOST)
                if r.path.startswith(SLIDE_BASE)]

    def test_licence_line_goes_at_the_first_change(self):
        # With the first screen skipped the progress screen starts on the
        # first screen's picture, with the licence line under it.
        self.serve_slides()
        driver = self.start(["--distr-info-params=first=1&def=2&stat=1"],
                            messages=[self.wait_go(),
                                      "kelvra.lite.close_window"],
                            env=STANDARD_USER)
        tree = driver.wait_progress_screen(timeout=300)
        self.assertTrue(tree.visible_controls(1013), tree.main())
        self.assertTrue(tree.visible_controls(1014), tree.main())
        # One period (10 s) later the progress screen's picture replaces
        # it, and the licence line goes.
        tree = driver.wait_for(
            lambda t: not t.controls(1013) and not t.controls(1014),
            timeout=120, what="the first slide change")
        self.assertTrue(tree.visible_controls(215))
        self.assertTrue(harness.wait_until(
            lambda: self.slide_requests()[:2] == ["02.jpg", "03.jpg"],
            timeout=60), self.slide_requests())
        self.let_setup_go()
        self.assertEqual(self.finish(driver), 0)

    def test_facetune_heading_goes_at_the_first_change(self):
        driver = self.start(["--brand-name=ua_uk",
                             "--distr-info-params=first=1&def=2&stat=1"],
                            messages=[self.wait_go(),
                                      "kelvra.lite.close_window"],
                            env=STANDARD_USER)
        tree = driver.wait_progress_screen(timeout=300)
        [heading] = tree.visible_controls(107)
        self.assertEqual(heading.text, localized(406, "uk"))
        tree = driver.wait_for(lambda t: not t.controls(107), timeout=120,
                               what="the first slide change")
        # The rest of the progress screen stays.
        self.assertTrue(tree.visible_controls(215))
        self.assertTrue(tree.visible_controls(213))
        self.let_setup_go()
        self.assertEqual(self.finish(driver), 0)

    def test_stalled_slide_host_does_not_hold_the_closing(self):
        self.serve_slides("stall")
        driver = self.start(messages=[self.wait_go(),
                                      "kelvra.lite.close_window"],
                            env=STANDARD_USER)
        driver.wait_first_screen(timeout=300)
        driver.click(1)
        driver.wait_progress_screen(timeout=300)
        # The slide thread's first request hangs at the service (a reply
        # never comes).
        self.assertTrue(harness.wait_until(
            lambda: "02.jpg" in self.slide_requests(), timeout=60))
        self.let_setup_go()
        self.assertEqual(self.finish(driver), 0)
        records = self.log_records()
        [closing] = [r for r in records if r["text"] ==
                     "--> Installer > MainWindow::OnCloseWindow"]
        # The installer's last record: the window, its slide show and the
        # process after them are done.
        ended = [r for r in records if r["pid"] == closing["pid"]][-1]
        took = (log_time(ended) - log_time(closing)).total_seconds()
        print("window closed %.2f s after close_window" % took)
        # The stalled request is given up after its time-out (5 s); without
        # that bound the window would wait for the service, which never
        # answers.
        self.assertLess(took, 8.0, [r["raw"] for r in records[-15:]])


if __name__ == "__main__":
    import unittest
    unittest.main()
