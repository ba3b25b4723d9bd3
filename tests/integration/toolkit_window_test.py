"""The window toolkit on real windows under Xvfb, through the control
showcase: geometry read back at scale factors 1, 1.5 and 2 in both
variants, pixels sampled from screenshots, real pointer input (xdotool),
accessible objects read from a second process, and bad inputs."""
import os
import subprocess
import time
import unittest

import harness
from showcase import Showcase, until_on_screen, xdotool

SCALES = ("1", "1.5", "2")
VARIANTS = ("origin", "facetune")
WINDOW = {"origin": (728, 400), "facetune": (802, 430)}
YELLOW = (255, 204, 0)
HOT_YELLOW = (255, 217, 77)
PRESSED_YELLOW = (230, 184, 0)
CO_E_OBJNOTCONNECTED = 0x80040104
RPC_E_DISCONNECTED = 0x80010108
# What Wine's COM answers for an object whose stub was disconnected
# (HRESULT of RPC_S_UNKNOWN_IF); Windows answers RPC_E_DISCONNECTED.
WINE_DISCONNECTED = 0x800706B5
DISCONNECTED = (CO_E_OBJNOTCONNECTED, RPC_E_DISCONNECTED, WINE_DISCONNECTED)


def scale(value, factor):
    return int(value * float(factor))


def scale_rect(rect, factor):
    return tuple(scale(v, factor) for v in rect)


def near(a, b, tolerance=3):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


class ToolkitTestCase(unittest.TestCase):

    def setUp(self):
        if not os.environ.get("DISPLAY"):
            self.fail("window tests need a display (scripts/test.sh starts Xvfb)")
        self.temp_dir = harness.tempfile.mkdtemp(prefix="toolkit_")
        self.addCleanup(harness.shutil.rmtree, self.temp_dir, True)

    def start(self, *args, env=None):
        showcase = Showcase(*args, env=env)
        self.addCleanup(showcase.close)
        return showcase.wait_ready()

    def on_screen(self, s, name, check):
        """|check| with a reader of the window's pixels (window coordinates)
        on a screenshot, until it passes."""
        def run(image):
            x, y, _, _ = s.window()
            return check(lambda px, py: image.pixel(x + px, y + py))
        return until_on_screen(os.path.join(self.temp_dir, name + ".png"), run)


class GeometryTest(ToolkitTestCase):

    def check_first_screen(self, variant, factor):
        s = self.start("--variant=" + variant,
                       "--force-device-scale-factor=" + factor)
        self.assertAlmostEqual(float(s.value("scale")[0]), float(factor))
        w, h = WINDOW[variant]
        x, y, width, height = s.window()
        self.assertEqual((width, height), (scale(w, factor), scale(h, factor)))
        origin = variant == "origin"
        two_x = not origin and factor != "1"
        unit = float(factor) / (2 if two_x else 1)
        self.assertAlmostEqual(float(s.value("picture")[3]), unit, places=3)
        # Buttons: their origin from the layout, one state of the strip.
        install = (557, 305) if origin else (61, 333)
        strip = (336, 32) if origin else (432, 48)
        self.assertEqual(s.rect(1), (
            scale(install[0], factor), scale(install[1], factor),
            int(strip[0] * float(factor)) // 3, int(strip[1] * float(factor))))
        close = (698, 18) if origin else (767, 11)
        if origin:
            close_size = (int(36 * float(factor)) // 3, int(12 * float(factor)))
        else:
            pixels = (60, 20) if factor == "1" else (120, 40)
            close_size = (int(pixels[0] * unit) // 3, int(pixels[1] * unit))
        self.assertEqual(s.rect(213), (scale(close[0], factor),
                                       scale(close[1], factor)) + close_size)
        if not origin:
            self.assertEqual(s.rect(214)[:2], (scale(723, factor), scale(11, factor)))
        # Tagline and check boxes in their layout rectangles.
        tagline = (0, 152, 728, 250) if origin else (61, 139, 454, 358)
        t = scale_rect(tagline, factor)
        self.assertEqual(s.rect(107), (t[0], t[1], t[2] - t[0], t[3] - t[1]))
        boxes = {109: (60, 250, 525), 110: (60, 310, 525), 112: (60, 280, 525)}
        if not origin:
            boxes = {109: (61, 207, 454), 110: (61, 235, 454)}
        heights = {int(l.split()[1]): (int(l.split()[2]), int(l.split()[3]))
                   for l in s.lines if l.startswith("box ")}
        for ident, (left, top, right) in boxes.items():
            bx, by, bw, bh = s.rect(ident)
            self.assertEqual((bx, by, bw),
                             (scale(left, factor), scale(top, factor),
                              scale(right, factor) - scale(left, factor)))
            required, box_height = heights[ident]
            self.assertEqual(bh, required)
            self.assertGreaterEqual(bh, 4 + box_height)
        # The privacy link hangs below the statistics box.
        sx, sy, sw, sh = s.rect(110)
        px, py, _, _ = s.rect(218)
        self.assertEqual(py, sy + sh)
        self.assertEqual(px, scale(84 if origin else 61, factor) +
                         (4 if origin else int(s.wait_for(
                             lambda l: l.startswith("box 110")).split()[4])))
        self.check_license_runs(s, factor,
                                (400, 38, 667) if origin else (555, 333, 757))
        return s

    def check_license_runs(self, s, factor, area):
        controls = s.controls()
        runs = sorted(((y, x, w, h, ident, text)
                       for ident in (222, 223)
                       for _, x, y, w, h, _, text in controls.get(ident, [])))
        self.assertTrue(runs)
        left, top, right = (scale(v, factor) for v in area)
        line_height = runs[0][3]
        self.assertEqual((runs[0][0], runs[0][1]), (top, left))
        for y, x, w, h, ident, text in runs:
            self.assertEqual(h, line_height)
            self.assertEqual((y - top) % line_height, 0)
            self.assertGreaterEqual(x, left)
            if text not in (".",):
                self.assertLessEqual(x + w, right, text)
        links = [r for r in runs if r[4] == 223]
        self.assertTrue(links)
        # The full stop after the link sits right after it on its line.
        stops = [r for r in runs if r[5] == "."]
        if stops:
            stop, link = stops[0], links[-1]
            self.assertEqual(stop[0], link[0])
            self.assertEqual(stop[1], link[1] + link[2])

    def test_first_screen_at_each_scale(self):
        for variant in VARIANTS:
            for factor in SCALES:
                with self.subTest(variant=variant, factor=factor):
                    self.check_first_screen(variant, factor).close()

    def test_origin_at_one_and_a_half_is_1092_wide(self):
        s = self.start("--force-device-scale-factor=1.5")
        self.assertEqual(s.window()[2:], (1092, 600))

    def test_facetune_2x_pictures_at_unit_scale_three_quarters(self):
        s = self.start("--variant=facetune", "--force-device-scale-factor=1.5")
        _, width, height, unit = s.value("picture")
        self.assertEqual((int(width), int(height), float(unit)),
                         (1203, 645, 0.75))

    def test_centred_on_the_work_area(self):
        s = self.start()
        self.assertEqual(s.value("workarea"), ["0", "0", "1920", "1040"])
        self.assertEqual(s.window(), (596, 320, 728, 400))

    def test_progress_screen_at_each_scale(self):
        for variant in VARIANTS:
            for factor in SCALES:
                with self.subTest(variant=variant, factor=factor):
                    s = self.start("--variant=" + variant, "--screen=progress",
                                   "--force-device-scale-factor=" + factor)
                    bar = (392, 56, 684, 60) if variant == "origin" else (61, 358, 454, 363)
                    b = scale_rect(bar, factor)
                    self.assertEqual(s.rect(215), (b[0], b[1], b[2] - b[0], b[3] - b[1]))
                    text = (352, 50, 376, 66) if variant == "origin" else (61, 374, 454, 428)
                    t = scale_rect(text, factor)
                    self.assertEqual(s.rect(224), (t[0], t[1], t[2] - t[0], t[3] - t[1]))
                    # The licence line repeats on the progress screen in
                    # Origin only.
                    self.assertEqual(bool(s.controls().get(1014)),
                                     variant == "origin")
                    s.close()

    def test_text_without_markers_gives_plain_runs_only(self):
        s = self.start("--license=Plain words only, with no link anywhere in "
                       "this rather long line of text that has to wrap.")
        controls = s.controls()
        self.assertGreater(len(controls.get(222, [])), 1)
        self.assertNotIn(223, controls)

    def test_full_stop_stays_on_the_link_line(self):
        # The link ends near the right edge: the full stop stays beside it.
        for filler in range(0, 12):
            text = "x " * filler + "((License Agreement))."
            s = self.start("--license=" + text)
            self.check_license_runs(s, "1", (400, 38, 667))
            s.close()

    def test_empty_check_box_text_is_box_high(self):
        for variant in VARIANTS:
            with self.subTest(variant=variant):
                s = self.start("--variant=" + variant, "--screen=states")
                empty = [i for i, (k, _) in s.states().items() if k == "empty"][0]
                line = s.wait_for(lambda l: l.startswith("box %d " % empty))
                _, _, required, box_height, _ = line.split()
                self.assertEqual(int(required), 4 + int(box_height))
                self.assertEqual(s.rect(empty)[3], 4 + int(box_height))
                s.close()


class PixelTest(ToolkitTestCase):

    def check_states(self, variant, factor):
        s = self.start("--variant=" + variant, "--screen=states",
                       "--force-device-scale-factor=" + factor)
        self.on_screen(s, "states_%s_%s" % (variant, factor),
                       lambda at: self.check_state_pixels(s, at, variant,
                                                          factor))
        return s

    def check_state_pixels(self, s, at, variant, factor):
        states = s.states()
        kinds = [k for k, _ in states.values()]
        # Every picture strip in three states (Origin has no minimize
        # button), two rows of three check boxes, three bars, one sample.
        self.assertEqual(kinds.count("button"), 9 if variant == "origin" else 12)
        self.assertEqual((kinds.count("check0"), kinds.count("check1")), (3, 3))
        self.assertEqual(sorted(d for k, d in states.values() if k == "bar"),
                         [0, 37, 100])
        self.assertEqual(kinds.count("text"), 1)
        # Progress bars: 0 % only the track, 37 % split, 100 % only fill.
        for ident, (kind, percent) in states.items():
            if kind != "bar":
                continue
            x, y, w, h = s.rect(ident)
            split = w * percent // 100
            for column in (0, 1, w // 4, split - 2, split + 1, w - 2):
                if column < 0 or column >= w:
                    continue
                got = at(x + column, y + h // 2)
                above = at(x + column, y - max(2, h))
                if column < split:
                    self.assertEqual(got, YELLOW, (percent, column))
                else:
                    # Black at alpha 76 over the picture.
                    want = tuple(round(c * (255 - 76) / 255) for c in above)
                    self.assertTrue(near(got, want, 6),
                                    (percent, column, got, want, above))
        # Buttons: the middle of the left end of each state.
        buttons = sorted(i for i, (k, _) in states.items() if k == "button")
        install = buttons[:3]
        want = {0: YELLOW, 1: HOT_YELLOW, 2: PRESSED_YELLOW}
        for n, ident in enumerate(install):
            x, y, w, h = s.rect(ident)
            row = (h * 40 // 48) // 2 if variant == "facetune" else h // 2
            self.assertTrue(near(at(x + scale(4, factor), y + row), want[n]),
                            (n, at(x + scale(4, factor), y + row)))
        # Check boxes: checked boxes yellow by state; unchecked ones move
        # away from the picture from normal to hot to pressed (lighter on
        # the dark Origin picture, darker on the light Facetune one).
        for checked in (0, 1):
            idents = sorted(i for i, (k, _) in states.items()
                            if k == "check%d" % checked)
            samples = []
            for n, ident in enumerate(idents):
                x, y, w, h = s.rect(ident)
                box = int(16 * float(factor))
                px, py = x + 4 + box // 2, y + 4 + box * 8 // 10
                samples.append(at(px, py))
            if checked:
                for n in range(3):
                    self.assertTrue(near(samples[n], want[n], 4), samples)
            else:
                light = [sum(p) for p in samples]
                if variant == "facetune":
                    light = [-v for v in light]
                self.assertLess(light[0], light[1], samples)
                self.assertLess(light[1], light[2], samples)
        # Text over the picture at the style's opacity: the strongest glyph
        # pixel is the text colour blended at that opacity.
        sample = [i for i, (k, _) in states.items() if k == "text"][0]
        opacity = states[sample][1]
        x, y, w, h = s.rect(sample)
        pixels = [at(x + i, y + j) for i in range(0, w, 1) for j in range(0, h, 2)]
        if variant == "origin":
            background = min(pixels, key=sum)
            strongest = max(pixels, key=sum)
            want_text = tuple(round(b + (255 - b) * opacity / 255) for b in background)
        else:
            background = max(pixels, key=sum)
            strongest = min(pixels, key=sum)
            want_text = tuple(round(b * (255 - opacity) / 255) for b in background)
        self.assertTrue(near(strongest, want_text, 10),
                        (strongest, want_text, background))

    def test_states_at_each_scale(self):
        for variant in VARIANTS:
            for factor in SCALES:
                with self.subTest(variant=variant, factor=factor):
                    self.check_states(variant, factor).close()


THEME_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager"
DESKTOP_KEY = "HKCU\\Control Panel\\Desktop"


def moves(s):
    return [tuple(int(v) for v in l.split()[1:]) for l in s.lines
            if l.startswith("moved ")]


def position_on_x():
    """The showcase window's position as the X server has it."""
    geometry = subprocess.run(
        ["xdotool", "search", "--name", "Kelvra showcase",
         "getwindowgeometry"], stdout=subprocess.PIPE, timeout=30,
        check=True).stdout.decode()
    return geometry.split("Position: ")[1].split()[0]


class InputTest(ToolkitTestCase):
    """Real pointer events from the X server (xdotool)."""

    # A point of the Origin first screen's surface with no control on it.
    SURFACE = (300, 110)

    def press_on_surface(self, s):
        x, y, _, _ = s.window()
        start = (x + self.SURFACE[0], y + self.SURFACE[1])
        xdotool("mousemove", *start)
        time.sleep(0.3)
        xdotool("mousedown", 1)
        time.sleep(0.3)
        return start

    def tearDown(self):
        xdotool("mouseup", 1)

    def test_drag_moves_the_window_by_the_mouse_offset(self):
        s = self.start()
        x, y, _, _ = s.window()
        start = self.press_on_surface(s)
        for step in (10, 25, 40):
            xdotool("mousemove", start[0] + step + 10, start[1] + step)
            time.sleep(0.3)
        xdotool("mouseup", 1)
        s.drain(1.0)
        self.assertEqual(moves(s)[-1], (x + 50, y + 40))
        self.assertEqual(position_on_x(), "%d,%d" % (x + 50, y + 40))
        # Released: the window no longer follows the pointer.
        count = len(moves(s))
        xdotool("mousemove", start[0] + 200, start[1] + 150)
        s.drain(1.0)
        self.assertEqual(len(moves(s)), count)

    def start_drag(self, s):
        """Presses on the surface and moves the pointer once; returns the
        pointer's position after the move, once the window has followed."""
        start = self.press_on_surface(s)
        s.wait_for(lambda l: l.startswith("pressed "), timeout=20)
        self.assertIn("pressed dragging=1", s.lines)
        point = (start[0] + 20, start[1] + 10)
        xdotool("mousemove", *point)
        s.wait_for(lambda l: l.startswith("moved "), timeout=20)
        return point

    def test_release_outside_the_window_ends_the_drag(self):
        s = self.start()
        x, y, w, h = s.window()
        point = self.start_drag(s)
        self.assertEqual(moves(s)[0], (x + 20, y + 10))
        # The pointer jumps past the window's right edge and is released
        # there at once; the captured window still sees the release.
        xdotool("mousemove", x + w + 150, point[1] + 30, "mouseup", 1)
        s.wait_for(lambda l: l.startswith("released "), timeout=20)
        self.assertIn("released dragging=0", s.lines)
        s.drain(1.0)
        count = len(moves(s))
        xdotool("mousemove", x + 100, y + 300)
        time.sleep(0.3)
        xdotool("mousemove", x + 120, y + 320)
        s.drain(1.0)
        self.assertEqual(len(moves(s)), count)
        final = s.window() if not moves(s) else moves(s)[-1]
        self.assertLessEqual(final[0], x + w + 150)

    def test_lost_capture_ends_the_drag(self):
        s = self.start("--steal-capture-ms=400")
        x, y, _, _ = s.window()
        start = self.press_on_surface(s)
        s.wait_for(lambda l: l.startswith("capture stolen"), timeout=20)
        # The press started a drag, which was still on when the capture
        # went.
        self.assertIn("pressed dragging=1", s.lines)
        self.assertIn("capture stealing dragging=1", s.lines)
        self.assertIn("capture stolen dragging=0", s.lines)
        xdotool("mousemove", start[0] + 40, start[1] + 40)
        time.sleep(0.3)
        xdotool("mousemove", start[0] + 80, start[1] + 60)
        s.drain(1.0)
        self.assertEqual(moves(s), [])

    def test_move_without_the_button_ends_the_drag(self):
        s = self.start("--stray-move")
        x, y, _, _ = s.window()
        point = self.start_drag(s)
        s.wait_for(lambda l: l.startswith("stray move after"), timeout=20)
        self.assertIn("stray move before dragging=1", s.lines)
        self.assertIn("stray move after dragging=0", s.lines)
        s.drain(0.5)
        count = len(moves(s))
        self.assertEqual(moves(s)[-1], (x + 20, y + 10))
        # The button is still down on the X side, yet the window no longer
        # follows the pointer.
        for step in (30, 60, 90):
            xdotool("mousemove", point[0] + step, point[1] + step)
            time.sleep(0.3)
        s.drain(1.0)
        self.assertEqual(len(moves(s)), count)
        self.assertEqual(position_on_x(), "%d,%d" % (x + 20, y + 10))

    def click_box_twice(self, s, after_click=None):
        x, y, _, _ = s.window()
        bx, by, _, _ = s.rect(109)
        point = (x + bx + 4 + 8, y + by + 4 + 8)
        results = []
        for _ in range(2):
            # A real approach: the pointer comes from elsewhere, so that the
            # window sees it arrive before the button goes down.
            xdotool("mousemove", point[0] - 40, point[1] - 40)
            time.sleep(0.3)
            xdotool("mousemove", *point)
            time.sleep(0.5)
            xdotool("click", 1)
            line = s.wait_for(lambda l: l.startswith("clicked 109") and
                              l not in results, timeout=20)
            results.append(line)
            if after_click:
                # Away from the box, which then shows its normal state.
                xdotool("mousemove", point[0] - 40, point[1] - 40)
                after_click(line)
        return results

    def check_box_shows_its_state(self, s, name):
        """After each click, the box at 109 shows the state the click left:
        unchecked (far from the yellow check it showed before), then
        checked (the yellow check) again."""
        bx, by, _, _ = s.rect(109)
        mark = (4 + 8, 4 + 13)
        count = []

        def check(line):
            count.append(line)
            checked = line.endswith("checked 1")

            def pixels(at):
                got = at(bx + mark[0], by + mark[1])
                if checked:
                    self.assertTrue(near(got, YELLOW, 4), got)
                else:
                    self.assertFalse(near(got, YELLOW, 60), got)
            self.on_screen(s, "%s_%d" % (name, len(count)), pixels)
        return check

    def test_clicks_toggle_check_boxes_with_the_prefix_theme(self):
        harness.reg("add", THEME_KEY, "/v", "ThemeActive", "/t", "REG_SZ",
                    "/d", "1", "/f")
        self.addCleanup(harness.reg, "delete", THEME_KEY, "/v", "ThemeActive",
                        "/f")
        s = self.start()
        self.assertEqual(s.value("themed"), ["1"])
        self.assertEqual(
            self.click_box_twice(s, self.check_box_shows_its_state(s, "themed")),
            ["clicked 109 checked 0", "clicked 109 checked 1"])

    def test_clicks_toggle_owner_drawn_check_boxes_without_themes(self):
        harness.reg("add", THEME_KEY, "/v", "ThemeActive", "/t", "REG_SZ",
                    "/d", "0", "/f")
        self.addCleanup(harness.reg, "delete", THEME_KEY, "/v", "ThemeActive",
                        "/f")
        s = self.start()
        self.assertEqual(s.value("themed"), ["0"])
        # The owner-drawn box shows its own state: unchecked, then checked.
        self.assertEqual(
            self.click_box_twice(s, self.check_box_shows_its_state(
                s, "owner_drawn")),
            ["clicked 109 checked 0", "clicked 109 checked 1"])


def accessible(*hwnds):
    output = subprocess.run(
        [harness.WINE, harness.bin_path("accessibility_probe.exe")] +
        [str(h) for h in hwnds], env=harness.WINE_ENV, timeout=120,
        stdout=subprocess.PIPE, check=True).stdout.decode("utf-8")
    result = {}
    for line in output.splitlines():
        hwnd, rest = line.rstrip("\r").split(" ", 1)
        fields = {}
        for key in ("role", "name", "value"):
            start = rest.index(key + "=") + len(key) + 1
            ends = [rest.index(" %s=" % k) for k in ("name", "value")
                    if " %s=" % k in rest and rest.index(" %s=" % k) >= start]
            fields[key] = rest[start:min(ends) if ends else len(rest)]
        result[int(hwnd)] = fields
    return result


class AccessibilityTest(ToolkitTestCase):
    """Accessible objects read from a second process."""

    def test_roles_and_names_of_the_first_screen(self):
        s = self.start()
        controls = s.controls()
        install, close = controls[1][0][0], controls[213][0][0]
        link = controls[223][0][0]
        privacy = controls[218][0][0]
        objects = accessible(install, close, link, privacy)
        self.assertEqual(objects[install]["role"], "43")
        self.assertEqual(objects[install]["name"], controls[1][0][6])
        self.assertEqual(objects[close]["role"], "43")
        self.assertTrue(objects[close]["name"])
        self.assertEqual(objects[link]["role"], "30")
        runs = sorted((c[2], c[1], c[6]) for i in (222, 223) for c in controls[i])
        sentence = "".join(t for _, _, t in runs)
        self.assertEqual(objects[link]["name"], sentence)
        self.assertNotIn("(", objects[link]["name"])
        self.assertEqual(objects[privacy]["role"], "30")
        self.assertEqual(objects[privacy]["name"], controls[218][0][6])

    def test_progress_value_and_a_reference_kept_after_destruction(self):
        s = self.start("--screen=progress", "--progress=37")
        bar = s.controls()[215][0][0]
        objects = accessible(bar)
        self.assertEqual(objects[bar]["role"], "48")
        self.assertEqual(objects[bar]["value"], "37%")
        held = subprocess.run(
            [harness.WINE, harness.bin_path("accessibility_probe.exe"),
             "--hold", str(bar), s.value("dialog")[0], "215"],
            env=harness.WINE_ENV, timeout=120, stdout=subprocess.PIPE)
        text = held.stdout.decode()
        self.assertEqual(held.returncode, 0, text)
        self.assertIn("role=48", text)
        self.assertIn("gone=1", text)
        after = text.split("after ")[1].split()
        codes = {k: int(v, 16) for k, v in (f.split("=") for f in after)}
        for code in codes.values():
            self.assertIn(code, DISCONNECTED, text)
        s.wait_for(lambda l: l == "destroyed 215")
        self.assertIsNone(s.process.poll())


    def test_position_change_raises_a_value_event(self):
        s = self.start("--screen=progress", "--progress=37")
        bar = s.controls()[215][0][0]
        listened = subprocess.run(
            [harness.WINE, harness.bin_path("accessibility_probe.exe"),
             "--value-events", str(bar), s.value("dialog")[0], "42"],
            env=harness.WINE_ENV, timeout=120, stdout=subprocess.PIPE)
        text = listened.stdout.decode()
        self.assertEqual(listened.returncode, 0, text)
        events = [l.split() for l in text.splitlines()
                  if l.startswith("event %d " % bar)]
        # OBJID_CLIENT, the control itself, its value already the new one.
        self.assertIn(["event", str(bar), "object=-4", "child=0", "value=42%"],
                      events, text)


class BadInputTest(ToolkitTestCase):

    def test_bad_scale_factors_leave_it_to_the_screen(self):
        harness.reg("add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD",
                    "/d", "120", "/f")
        self.addCleanup(harness.reg, "delete", DESKTOP_KEY, "/v", "LogPixels",
                        "/f")
        for bad in ("0", "-1", "1e9", "abc", "8.5", "nan"):
            with self.subTest(bad=bad):
                s = self.start("--force-device-scale-factor=" + bad)
                self.assertEqual(s.value("scale"), ["1.2500"])
                self.assertEqual(s.window()[2:], (910, 500))
                s.close()
        s = self.start("--force-device-scale-factor=8")
        self.assertEqual(s.value("scale"), ["8.0000"])

    def test_missing_and_damaged_pictures_are_empty(self):
        for ident, message in ((9001, "Failed to load a bitmap"),
                               (9999, "not found")):
            with self.subTest(picture=ident):
                s = Showcase("--picture=%d" % ident)
                self.addCleanup(s.close)
                self.assertEqual(s.value("picture"), [str(ident), "1", "0", "0"])
                log = s.wait_for(lambda l: l.startswith("log ERROR"))
                self.assertIn("Load: ", log)
                self.assertIn(message, log)
                self.assertEqual(s.process.wait(timeout=60), 0)


if __name__ == "__main__":
    unittest.main()
