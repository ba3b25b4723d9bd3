"""The slide show's downloads under Wine against the test service, through
slide_probe.exe: a SlideSource with the installer's downloader and the
prefix's proxy, so that the slides come from an https slide folder on a
production-looking host. Each scenario is the folder's mode, what the
probe reports (pictures, sizes, the end of the thread, how long its
destruction took) and the requests the service saw."""
import os
import sys
import time

import harness
from harness import InstallerTestCase

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "..", "testing", "service"))
import slide_endpoints  # noqa: E402
import wine_proxy  # noqa: E402

PROBE = "slide_probe.exe"
HOST = "download.cdn.kelvra.example"

_service = None
_prefix_proxy = None


def setUpModule():
    global _service, _prefix_proxy
    if not harness.BUILD_DIR:
        return
    _service, _prefix_proxy = wine_proxy.start_service_with_prefix_proxy(
        harness.WINE_ENV, harness.bin_path("add_root_cert.exe"), harness.WINE)


def tearDownModule():
    if _prefix_proxy is not None:
        _prefix_proxy.restore()
    if _service is not None:
        _service.stop()


class Probe:
    def __init__(self, output):
        self.lines = output.replace("\r", "").splitlines()
        self.values = {}
        self.pictures = []
        for line in self.lines:
            parts = line.split(" ")
            if parts[0] == "picture":
                self.pictures.append((int(parts[2]), int(parts[3])))
            elif len(parts) == 2:
                self.values.setdefault(parts[0], parts[1])

    def int(self, name):
        return int(self.values[name])

    def logs(self, text):
        return [l for l in self.lines if l.startswith("log ") and text in l]


class SlideTest(InstallerTestCase):
    count = 0

    def setUp(self):
        super().setUp()
        if _service is None:
            self.fail("no build directory")
        SlideTest.count += 1
        # A folder of its own per test: requests are told apart by path.
        self.base_path = "/browser/installer/t%d/facetune/en/" % SlideTest.count
        self.base = "https://%s%s" % (HOST, self.base_path)

    def serve(self, mode="normal", **options):
        return slide_endpoints.add_slide_folder(
            _service, HOST, self.base_path, harness.BUILD_DIR, "facetune/en",
            mode=mode, **options)

    def probe(self, *args, timeout=300):
        result = harness.run_program(PROBE, ["--base=" + self.base] +
                                     list(args), timeout=timeout)
        self.assertEqual(result.exit_code, 0, result.output)
        return Probe(result.output)

    def names_asked(self):
        return [r.path[len(self.base_path) + 3:]
                for r in _service.requests(host=HOST)
                if r.path.startswith(self.base_path)]

    def test_two_slides_then_ten_failures(self):
        self.serve()
        p = self.probe()
        self.assertEqual(p.int("ended"), 1)
        self.assertEqual(p.int("downloaded"), 2)
        self.assertEqual(p.int("count"), 3)
        self.assertEqual(self.names_asked(),
                         ["02.jpg", "03.jpg"] + ["04.jpg"] * 10)
        # The progress-screen picture, then the two slides at 802 x 430
        # (1604 x 860 files at unit scale 1 / 2), cycling.
        self.assertEqual(p.pictures, [(802, 430)] * 5)
        self.assertTrue(p.logs("Slide downloads end after 10 failed attempts"))

    def test_first_screen_skipped_shows_its_background_once(self):
        # Offline: the folder does not exist.
        p = self.probe("--skip-first-screen")
        self.assertEqual(p.int("ended"), 1)
        self.assertEqual(p.int("downloaded"), 0)
        self.assertEqual(self.names_asked(), ["02.jpg"] * 10)
        # Two initial pictures; index 1 retires the first screen's one.
        self.assertEqual(p.int("count"), 2)
        self.assertEqual(len(p.pictures), 4)

    def test_offline_keeps_one_picture(self):
        _service.refuse_host(HOST)
        self.addCleanup(_service.refuse_host, HOST, False)
        p = self.probe()
        self.assertEqual(p.int("ended"), 1)
        self.assertEqual(p.int("count"), 1)
        self.assertEqual(p.pictures, [(802, 430)] * 3)

    def test_stalled_host_bounds_the_destruction(self):
        self.serve("stall")
        started = time.monotonic()
        p = self.probe("--wait-ms=1000", timeout=120)
        self.assertEqual(p.int("ended"), 0)
        self.assertEqual(p.int("downloaded"), 0)
        # The destructor waits at most 5 s for a request stuck in WinINet.
        self.assertLessEqual(p.int("destroyed_ms"), 6000)
        self.assertTrue(time.monotonic() - started < 90)

    def test_catch_all_server_stops_at_ninety_nine(self):
        self.serve("catch_all")
        p = self.probe(timeout=900)
        self.assertEqual(p.int("ended"), 1)
        self.assertEqual(p.int("downloaded"), 98)
        names = self.names_asked()
        self.assertEqual(names[0], "02.jpg")
        self.assertEqual(names[-1], "99.jpg")
        self.assertEqual(len(names), 98)
        self.assertTrue(p.logs("Slide downloads end at 99 slides"))

    def test_garbage_body_is_logged_and_the_show_goes_on(self):
        self.serve("garbage")
        p = self.probe()
        lines = p.logs("Failed to load a background slide bitmap from data "
                       "downloaded from " + self.base + "x2/02.jpg")
        self.assertEqual(len(lines), 1)
        self.assertIn(" DownloadImage: ", lines[0])
        self.assertEqual(p.int("downloaded"), 2)
        self.assertEqual(self.names_asked(),
                         ["02.jpg", "02.jpg", "03.jpg"] + ["04.jpg"] * 10)


if __name__ == "__main__":
    import unittest
    unittest.main()
