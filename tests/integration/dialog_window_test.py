"""The notice and error dialogs on real windows under Xvfb, through the
dialogs' showcase (testing/win/dialog_showcase.cc): each variant over an
owner window the size of the installer window, its geometry and texts read
back, buttons clicked with real pointer events (xdotool), Esc pressed, the
shadow, a missing picture, and the download page opened through the
showcase's URL opener with the values of a tampered tag."""
import os
import subprocess
import time
import unittest

import harness
from showcase import Showcase, until_on_screen, xdotool

BOX = (397, 174)
BUTTON = (120, 28)
# Layout A: text margins 40/30/20 and bands 20 + 30; B: 40/20/20, 30 + 40.
LAYOUT_A = {"heading": (40, 30, 327, 46), "text": (40, 76, 327, 50)}
LAYOUT_B = {"heading": (40, 20, 337, 36), "text": (40, 56, 337, 70)}
LEFT_BUTTONS = {1: (40, 126), 213: (170, 126)}
RIGHT_BUTTONS = {1: (117, 126), 213: (247, 126)}
CENTRED_BUTTON = {213: ((397 - 120) // 2, 126)}

# variant -> (switches, heading, text, first, second, buttons, margins)
VARIANTS = {
    "confirm": ((), "Installation not complete. Resume?", "", "Resume",
                "Cancel", RIGHT_BUTTONS, LAYOUT_A),
    "disk-space": ((), "Not enough disk space\\nto install Kelvra\u00a0Browser",
                   "Free up at least 600 MB and try again.", "OK", None,
                   {1: (40, 126)}, LAYOUT_A),
    "higher-version": ((), "You already have a newer version\\nof the browser "
                       "installed on your computer", None, "OK", None,
                       {1: (40, 126)}, LAYOUT_A),
    "corp-replace": ((), None, None, None, None, LEFT_BUTTONS, LAYOUT_A),
    "crypto": ((), "Couldn't install Kelvra\u00a0Browser",
               "You computer has an old version\\nof CryptoPro Revocation "
               "Provider installed.\\nPlease update it\\nto install Kelvra\u00a0"
               "Browser.", None, "Cancel", CENTRED_BUTTON, LAYOUT_B),
    "error": ((), "Installation error", "You can't run the 64-bit version of "
              "Kelvra Browser on a 32-bit OS. Download 32-bit Kelvra Browser.",
              None, "Cancel", CENTRED_BUTTON, LAYOUT_B),
    "download": (("--variant=factory", "--code=2"), "Installation error",
                 "Try to download the installation file and\\nrepeat the "
                 "installation manually.", "Download", "Cancel",
                 LEFT_BUTTONS, LAYOUT_A),
    "log-error": (("--variant=factory", "--code=2",
                   "--disable-error-dialog-download-button"),
                  "Installation error", None, None, "Cancel", CENTRED_BUTTON,
                  LAYOUT_B),
}
RUSSIAN = {
    "confirm": ("Установка не завершена. Продолжить?", "Продолжить", "Отмена"),
    "disk-space": ("Недостаточно места на диске\\nдля установки Кельвра\u00a0"
                   "Браузера", "Понятно", None),
    "download": ("Ошибка установки", "Скачать", "Отмена"),
}


def args_for(variant):
    switches = VARIANTS[variant][0]
    return list(switches) if switches else ["--variant=" + variant]


class DialogShowcase(Showcase):

    def __init__(self, *args, env=None):
        super().__init__(*args, env=env, program="dialog_showcase.exe")

    def wait_ready(self):
        # The showcase titles the dialog once it has reported it.
        return super().wait_ready("ready", "Kelvra dialog")

    def dialog(self):
        return tuple(int(v) for v in self.value("dialog")[1:])

    def owner(self):
        return tuple(int(v) for v in self.value("owner"))

    def next_ready(self, count):
        """Waits for the |count|-th "ready" (a dialog run again)."""
        self.wait_for(lambda l: sum(1 for x in self.lines if x == "ready")
                      >= count)

    def result(self, timeout=60):
        return int(self.wait_for(lambda l: l.startswith("result "),
                                 timeout=timeout).split()[1])

    def click(self, ident):
        x, y, _, _ = self.dialog()
        bx, by, bw, bh, _, _, _ = self.controls()[ident][-1][1:]
        xdotool("mousemove", x + bx + bw // 2, y + by + bh // 2)
        time.sleep(0.3)
        xdotool("click", 1)

    def controls(self):
        """id -> list of (hwnd, x, y, w, h, visible, enabled, text)."""
        result = {}
        for line in self.lines:
            if not line.startswith("control "):
                continue
            parts = line.split(" ", 9)
            text = parts[9] if len(parts) > 9 else ""
            result.setdefault(int(parts[1]), []).append(
                (int(parts[2]),) + tuple(int(v) for v in parts[3:9]) + (text,))
        return result


class DialogTestCase(unittest.TestCase):

    def setUp(self):
        if not os.environ.get("DISPLAY"):
            self.fail("window tests need a display (scripts/test.sh starts Xvfb)")

    def start(self, *args):
        s = DialogShowcase(*args)
        self.addCleanup(s.close)
        return s.wait_ready()

    def control(self, s, ident):
        return s.controls()[ident][-1]


class GeometryTest(DialogTestCase):

    def check_variant(self, variant):
        _, heading, text, first, second, buttons, margins = VARIANTS[variant]
        s = self.start(*args_for(variant))
        ox, oy, ow, oh = s.owner()
        x, y, w, h = s.dialog()
        self.assertEqual((w, h), BOX)
        self.assertEqual(s.value("client"), [str(BOX[0]), str(BOX[1])])
        # Centred over the owner window.
        self.assertEqual((x, y), ((ox + ox + ow) // 2 - w // 2,
                                  (oy + oy + oh) // 2 - h // 2))
        for ident in (1, 213):
            _, bx, by, bw, bh, visible, enabled, label = self.control(s, ident)
            if ident in buttons:
                self.assertEqual((bx, by, bw, bh), buttons[ident] + BUTTON,
                                 (variant, ident))
                self.assertEqual((visible, enabled), (1, 1), (variant, ident))
                want = first if ident == 1 else second
                if want is not None:
                    self.assertEqual(label, want)
            else:
                self.assertEqual((visible, enabled), (0, 0), (variant, ident))
        for ident in (212, 214):
            self.assertEqual(self.control(s, ident)[3:6], (0, 0, 0))
        _, hx, hy, hw, hh, _, _, heading_text = self.control(s, 107)
        self.assertEqual((hx, hy, hw, hh), margins["heading"])
        _, tx, ty, tw, th, _, _, body = self.control(s, -1)
        self.assertEqual((tx, ty, tw, th), margins["text"])
        if heading is not None:
            self.assertEqual(heading_text, heading)
        if text is not None:
            self.assertEqual(body, text)
        # The shadow: grown by 7, 4, 6 and 8, click-through, not activated.
        sx, sy, sw, sh, ex_style, visible = s.value("shadow")
        self.assertEqual((int(sx), int(sy), int(sw), int(sh)),
                         (x - 7, y - 4, w + 13, h + 12))
        self.assertEqual(int(ex_style, 16) & 0x08080020, 0x08080020)
        self.assertEqual(visible, "1")
        return s

    def test_every_variant_at_scale_one(self):
        for variant in VARIANTS:
            with self.subTest(variant=variant):
                self.check_variant(variant).close()

    def test_log_error_names_the_log_file(self):
        s = self.check_variant("log-error")
        body = self.control(s, -1)[7]
        self.assertTrue(body.startswith("See the log file for details\\n"), body)
        self.assertTrue(body.endswith("lite_installer.log"), body)

    def test_russian_texts(self):
        for variant, (heading, first, second) in RUSSIAN.items():
            with self.subTest(variant=variant):
                s = self.start(*(args_for(variant) + ["--language=1049"]))
                self.assertEqual(self.control(s, 107)[7], heading)
                if first:
                    self.assertEqual(self.control(s, 1)[7], first)
                if second:
                    self.assertEqual(self.control(s, 213)[7], second)
                s.close()

    def test_scale_one_and_a_half(self):
        s = self.start("--variant=confirm", "--force-device-scale-factor=1.5")
        x, y, w, h = s.dialog()
        # Picture 104 at 1.5 (615 x 279) without the shadow's scaled widths.
        self.assertEqual((w, h), (615 - 10 - 9, 279 - 6 - 12))
        _, bx, by, bw, bh, _, _, _ = self.control(s, 213)
        self.assertEqual((bw, bh), (180, 42))
        self.assertEqual(bx + bw, w - 45)
        self.assertEqual(by + bh, h - 30)

    def test_missing_picture_keeps_the_plain_box(self):
        s = self.start("--variant=confirm", "--missing-picture")
        self.assertEqual(s.dialog()[2:], BOX)
        self.assertEqual(self.control(s, 213)[3:5], BUTTON)
        self.assertTrue(any("missing" in l for l in s.lines if l.startswith("log")))
        s.click(213)
        self.assertEqual(s.result(), 213)


class InputTest(DialogTestCase):

    def test_buttons_end_with_their_ids(self):
        cases = [("confirm", 1, 1), ("confirm", 213, 213),
                 ("disk-space", 1, 1), ("corp-replace", 213, 213),
                 ("crypto", 213, 213), ("error", 213, 213)]
        for variant, button, result in cases:
            with self.subTest(variant=variant, button=button):
                s = self.start(*args_for(variant))
                s.click(button)
                self.assertEqual(s.result(), result)
                s.close()

    def test_confirmation_runs_again_after_resume(self):
        s = self.start("--variant=confirm", "--runs=2")
        s.click(1)
        self.assertEqual(s.result(), 1)
        s.next_ready(2)
        time.sleep(0.5)
        s.click(213)
        self.wait_results(s, [1, 213])

    def wait_results(self, s, want):
        s.wait_for(lambda l: len([x for x in s.lines
                                  if x.startswith("result ")]) >= len(want))
        got = [int(x.split()[1]) for x in s.lines if x.startswith("result ")]
        self.assertEqual(got, want)

    def test_escape_does_not_close(self):
        for variant in ("confirm", "error", "download"):
            with self.subTest(variant=variant):
                s = self.start(*args_for(variant))
                x, y, w, h = s.dialog()
                # Focus the dialog by its surface, then press Esc and Enter
                # is not tried: only Esc must do nothing.
                xdotool("mousemove", x + w - 10, y + 10)
                xdotool("click", 1)
                time.sleep(0.3)
                xdotool("key", "Escape")
                time.sleep(0.5)
                xdotool("key", "Escape")
                s.drain(2.0)
                self.assertFalse([l for l in s.lines if l.startswith("result")])
                self.assertIsNone(s.process.poll())
                s.click(213)
                self.assertEqual(s.result(), 213)
                s.close()

    def test_download_opens_the_encoded_page(self):
        tag = ("lang=en\"&x=file:///C:/Windows/System32/calc.exe&"
               "custo=a b \"q\" #frag")
        s = self.start("--variant=factory", "--code=2",
                       "--distr-info-params=" + tag)
        s.click(1)
        self.assertEqual(s.result(), 1)
        opened = [l[len("open "):] for l in s.lines if l.startswith("open ")]
        self.assertEqual(opened, [
            "https://browser.kelvra.ru.example/download?"
            "custo=a%20b%20%22q%22%20%23frag&lang=en%22&"
            "full=1&code=lite_install_failed"])

    def test_download_cancel_opens_nothing(self):
        s = self.start("--variant=factory", "--code=2")
        s.click(213)
        self.assertEqual(s.result(), 213)
        self.assertFalse([l for l in s.lines if l.startswith("open ")])


class PixelTest(DialogTestCase):

    def test_box_is_white_with_the_buttons_drawn(self):
        s = self.start("--variant=confirm")
        path = os.path.join(harness.BUILD_DIR, "dialog_window_test_confirm.png")
        x, y, w, h = s.dialog()
        buttons = [self.control(s, ident) for ident in (1, 213)]

        def check(image):
            # The box's surface away from text and buttons.
            for px, py in ((8, 8), (w - 8, 8), (8, h - 8), (20, 110)):
                self.assertEqual(image.pixel(x + px, y + py),
                                 (255, 255, 255), (px, py))
            # Each button is drawn from its strip: not the white box.
            for ident, (_, bx, by, bw, bh, _, _, _) in zip((1, 213), buttons):
                self.assertNotEqual(image.pixel(x + bx + 3, y + by + bh // 2),
                                    (255, 255, 255), ident)
        until_on_screen(path, check)


if __name__ == "__main__":
    unittest.main()
