"""The side downloads of a silent installation under Wine: the variations
and ABT seeds, the server configuration bundle and the wallpapers, fetched
from the test service while the setup archive downloads; the paths the
setup receives, the files in TEMP during and after the run, and an
installer whose side download stalls."""
import base64
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

import harness
from harness import InstallerTestCase
from install_env import environment
from install_env import setUpModule, tearDownModule  # noqa: F401

STAMP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                     "tools", "stamp_installer_tag.py")
API_HOST = "api.browser.kelvra.example"
ABT_HOST = "abt.browser.kelvra.example"
VARIATIONS_PATH = "/content/get/experiments/browser.proto"
ABT_PATH = "/ab/get"
SERVER_CONFIG_PATH = "/configs/all_zip"
WALLPAPERS_PATH = "/wallpapers/preloaded"
SIDE_SWITCHES = ("variations-update-path", "abt-update-path", "webntp-path",
                 "server-config-bundle-path",
                 "preloaded-wallpaper-bundle-path")
# Seconds the slowed archive takes, so that the side downloads (answered at
# once) are over well before the setup starts.
ARCHIVE_SECONDS = 4

VARIATIONS_BODY = b"\x00variations seed\xff"
ABT_BODY = b"abt seed"


def switches_of(command_line):
    """The --name[=value] switches of a command line, values unquoted."""
    found = {}
    for match in re.finditer(r'--([a-z0-9-]+)(?:=("[^"]*"|\S*))?',
                             command_line):
        found[match.group(1)] = (match.group(2) or "").strip('"')
    return found


def seed_route(host, path, body, headers=None):
    environment.service.add_route(host, path, body=body,
                                  headers=headers or {})


class SideDownloadsTest(InstallerTestCase):

    def setUp(self):
        super().setUp()
        environment.serve_archive()
        for host, path in ((API_HOST, VARIATIONS_PATH), (ABT_HOST, ABT_PATH),
                           (API_HOST, SERVER_CONFIG_PATH),
                           (API_HOST, WALLPAPERS_PATH)):
            environment.service.remove_route(host, path)
        environment.service.clear_requests()

    # --- helpers -------------------------------------------------------

    def slow_archive(self):
        """The archive's answer waits until wait_for_temp_files has seen
        what it waits for (so that a slow machine cannot finish the
        installation first), then comes slowly."""
        self.archive_release = threading.Event()
        self.addCleanup(self.archive_release.set)

        def hold(request):
            self.archive_release.wait(120)
            return None  # then the route's own answer
        size = os.path.getsize(environment.archive)
        environment.serve_archive(rate=max(1, size // ARCHIVE_SECONDS),
                                  handler=hold)

    def start(self, *args):
        env = {"LITE_TEST_SETUP_RECORD":
               harness.to_windows_path(self.setup_record)}
        running = harness.Running(harness.INSTALLER_SEAMS,
                                  ["--silent"] + list(args),
                                  temp_dir=self.temp_dir, env=env)
        self.addCleanup(running.kill_launcher)
        return running

    def temp(self, name):
        return harness.to_windows_path(self.temp_dir) + "\\" + name

    def temp_files(self):
        """name -> bytes of the files in TEMP that the side downloads use
        (GetTempFileName names: the archive is "kb*", the log is left out)."""
        found = {}
        for name in os.listdir(self.temp_dir):
            if name.lower().startswith("kb") or not name.endswith(".tmp"):
                continue
            try:
                with open(os.path.join(self.temp_dir, name), "rb") as f:
                    found[name] = f.read()
            except OSError:
                pass
        return found

    def wait_for_temp_files(self, predicate, running, timeout=60):
        """Polls TEMP while the installer runs until |predicate| accepts
        what is there; returns that view."""
        deadline = time.time() + timeout
        while time.time() < deadline and running.is_running():
            view = self.temp_files()
            if predicate(view):
                if getattr(self, "archive_release", None) is not None:
                    self.archive_release.set()
                return view
            time.sleep(0.05)
        self.fail("TEMP never held the expected side-download files: %r"
                  % self.temp_files())

    def side_switches(self):
        command_line = self.setup_command_line()
        self.assertIsNotNone(command_line, "the setup did not run")
        switches = switches_of(command_line)
        return {name: switches[name] for name in SIDE_SWITCHES
                if name in switches}

    def requests_to(self, host, path):
        return [r for r in environment.service.requests()
                if r.host == host and r.path == path]

    def name_of(self, windows_path):
        self.assertTrue(windows_path.lower().startswith(
            self.temp("").lower()), windows_path)
        return windows_path[len(self.temp("")):]

    # --- tests ---------------------------------------------------------

    def test_without_parameters_both_seeds_arrive_before_the_setup(self):
        seed_route(API_HOST, VARIATIONS_PATH, VARIATIONS_BODY, {
            "X-Seed-Signature": "c2lnbmF0dXJl", "X-Country": "tr",
            "Last-Modified": "Tue, 09 May 2023 10:00:00 GMT"})
        # No Last-Modified and no X-Country: they are stored empty.
        seed_route(ABT_HOST, ABT_PATH, ABT_BODY,
                   {"X-Seed-Signature": "YWJ0"})
        self.slow_archive()
        running = self.start()

        def both_seeds(view):
            return len([b for b in view.values() if b.endswith(b"}")]) == 2
        during = self.wait_for_temp_files(both_seeds, running)
        self.assertEqual(running.wait(120), 0)

        switches = self.side_switches()
        self.assertEqual(sorted(switches),
                         ["abt-update-path", "variations-update-path"])
        variations = self.name_of(switches["variations-update-path"])
        abt = self.name_of(switches["abt-update-path"])
        # The files the setup was pointed at were complete in TEMP while
        # the archive was still downloading.
        self.assertEqual(during[variations].decode("ascii"), json.dumps({
            "variations_seed_base64":
                base64.b64encode(VARIATIONS_BODY).decode("ascii"),
            "variations_seed_signature": "c2lnbmF0dXJl",
            "variations_last_modified_time": "Tue, 09 May 2023 10:00:00 GMT",
            "variations_country": "tr"}))
        self.assertEqual(during[abt].decode("ascii"), json.dumps({
            "variations_seed_base64":
                base64.b64encode(ABT_BODY).decode("ascii"),
            "variations_seed_signature": "YWJ0",
            "variations_last_modified_time": "",
            "variations_country": ""}))
        # Gone once the installer has ended.
        left = os.listdir(self.temp_dir)
        self.assertNotIn(variations, left)
        self.assertNotIn(abt, left)

        seeds = (self.requests_to(API_HOST, VARIATIONS_PATH) +
                 self.requests_to(ABT_HOST, ABT_PATH))
        self.assertEqual(len(seeds), 2)
        for request in seeds:
            params = request.query_params()
            self.assertEqual(params["brand"], ["kelvra"])
            self.assertEqual(params["version"], ["23.5.4.674"])
            self.assertRegex(params["uid"][0], r"^[0-9A-F-]{36}$")
            self.assertEqual(request.header("User-Agent"),
                             "Kelvra.Browser lite installer")
            self.assertEqual(request.scheme, "https")
        # One after the other: the ABT seed is asked for after the
        # variations seed was answered.
        self.assertLessEqual(seeds[0].finished, seeds[1].time)
        self.assertFalse(self.requests_to(API_HOST, SERVER_CONFIG_PATH))
        texts = self.log_texts()
        for name in (variations, abt):
            self.assertIn("Variations are saved in " + self.temp(name), texts)

    def test_seed_without_signature_is_not_written(self):
        seed_route(API_HOST, VARIATIONS_PATH, VARIATIONS_BODY,
                   {"X-Country": "tr"})
        seed_route(ABT_HOST, ABT_PATH, ABT_BODY, {"X-Seed-Signature": "YWJ0"})
        self.slow_archive()
        running = self.start()
        # The ABT seed is fetched after the variations seed: once its file
        # is there, the variations task is over.
        during = self.wait_for_temp_files(
            lambda view: any(b.endswith(b"}") for b in view.values()),
            running)
        self.assertEqual(running.wait(120), 0)
        switches = self.side_switches()
        variations = self.name_of(switches["variations-update-path"])
        abt = self.name_of(switches["abt-update-path"])
        self.assertIn(abt, during)
        self.assertNotIn(variations, during)
        self.assertEqual(len(self.requests_to(API_HOST, VARIATIONS_PATH)), 1)
        errors = [r for r in self.log_records()
                  if r["function"] == "DownloadAndSaveVariations"]
        self.assertEqual(
            [(r["severity"], r["text"]) for r in errors],
            [("ERROR", "Failed to get variations seed signature"),
             ("INFO", "Variations are saved in " + self.temp(abt))])

    def test_webntp_and_wallpapers_without_address_only_pass_paths(self):
        # The default brand has no wallpaper address; the seeds get no
        # answer (404) and write nothing.
        result = self.run_installer(
            ["--silent", "--distr-info-params=webntp=1&pwexp=w7"],
            program=harness.INSTALLER_SEAMS)
        self.assertEqual(result.exit_code, 0)
        switches = self.side_switches()
        self.assertEqual(sorted(switches), sorted(
            ["variations-update-path", "abt-update-path", "webntp-path",
             "preloaded-wallpaper-bundle-path"]))
        self.assertEqual(len(set(switches.values())), 4)
        left = os.listdir(self.temp_dir)
        for path in switches.values():
            self.assertNotIn(self.name_of(path), left)
        self.assertFalse([r for r in environment.service.requests()
                          if r.path.startswith(WALLPAPERS_PATH)])
        texts = self.log_texts()
        self.assertIn("Failed to download variations seed: "
                      "final_query_info-404-0", texts)
        self.assertFalse([t for t in texts if "wallpaper bundle" in t])

    def test_bundles_are_fetched_and_only_wallpapers_stay(self):
        environment.service.add_route(API_HOST, SERVER_CONFIG_PATH,
                                      body=b"PK server config")
        environment.service.add_route(API_HOST, WALLPAPERS_PATH,
                                      body=b"wallpaper bundle")
        self.slow_archive()
        # Brand tb names a wallpaper address; the seeds are switched off.
        running = self.start(
            "--brand-name=tb",
            "--distr-info-params=vup=0&abtup=0&webntp=1&scup=1&pwexp=w7")
        during = self.wait_for_temp_files(
            lambda view: b"wallpaper bundle" in view.values(), running)
        self.assertEqual(running.wait(120), 0)
        switches = self.side_switches()
        self.assertEqual(sorted(switches), sorted(
            ["webntp-path", "server-config-bundle-path",
             "preloaded-wallpaper-bundle-path"]))
        config = self.name_of(switches["server-config-bundle-path"])
        wallpapers = self.name_of(switches["preloaded-wallpaper-bundle-path"])
        webntp = self.name_of(switches["webntp-path"])
        self.assertEqual(during.get(config), b"PK server config")
        left = os.listdir(self.temp_dir)
        self.assertNotIn(config, left)
        self.assertNotIn(webntp, left)
        # The wallpapers stay for the browser.
        with open(os.path.join(self.temp_dir, wallpapers), "rb") as f:
            self.assertEqual(f.read(), b"wallpaper bundle")

        [config_request] = self.requests_to(API_HOST, SERVER_CONFIG_PATH)
        self.assertEqual(config_request.query, "brandID=tb")
        [wallpaper_request] = self.requests_to(API_HOST, WALLPAPERS_PATH)
        self.assertEqual(wallpaper_request.query, "pwexp=w7")
        self.assertFalse(self.requests_to(API_HOST, VARIATIONS_PATH))
        self.assertFalse(self.requests_to(ABT_HOST, ABT_PATH))

    def stamped_installer(self, tag):
        """A copy of the test installer carrying |tag| as its parameters
        (unsigned: anyone can change them)."""
        folder = tempfile.mkdtemp(prefix="lite-stamped-")
        self.addCleanup(shutil.rmtree, folder, True)
        target = os.path.join(folder, harness.INSTALLER_SEAMS)
        completed = subprocess.run(
            [sys.executable, STAMP, harness.bin_path(harness.INSTALLER_SEAMS),
             target, "--tag-a", tag], stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, timeout=60)
        self.assertEqual(completed.returncode, 0, completed.stderr)
        return target

    def test_wallpaper_parameter_cannot_add_headers(self):
        environment.service.add_route(API_HOST, WALLPAPERS_PATH,
                                      body=b"wallpaper bundle")
        for value, query in (("w7 x?y=1#z/%41", "pwexp=w7%20x%3Fy%3D1%23z"
                              "%2F%2541"),
                             ("w7 HTTP/1.1\r\nX-Injected: yes\r\nX: 1", None)):
            with self.subTest(value=value):
                environment.service.clear_requests()
                program = self.stamped_installer(
                    "vup=0&abtup=0&pwexp=" + value)
                result = self.run_installer(
                    ["--silent", "--brand-name=tb"], program=program,
                    env={"LITE_TEST_SETUP_RECORD":
                         harness.to_windows_path(self.setup_record)},
                    timeout=180)
                self.assertEqual(result.exit_code, 0)
                requests = self.requests_to(API_HOST, WALLPAPERS_PATH)
                self.assertFalse([r for r in environment.service.requests()
                                  if r.header("X-Injected")])
                if query is None:
                    # A line break refuses the value: no request at all.
                    self.assertEqual([], requests)
                    self.assertIn("The wallpaper address holds a control "
                                  "character", self.log_texts())
                else:
                    [request] = requests
                    self.assertEqual(query, request.query)

    def test_abandoned_bundle_download_leaves_no_file(self):
        """A server-config bundle trickling a byte a second is abandoned
        when the installer ends: the file its task created goes with the
        process."""
        environment.service.add_route(API_HOST, SERVER_CONFIG_PATH,
                                      body=b"z" * 65536, rate=1)
        running = self.start("--distr-info-params=vup=0&abtup=0&scup=1")
        try:
            exit_code = running.wait(90)
        except Exception:
            running.terminate_windows_process()
            self.fail("the installer did not end")
        self.assertEqual(exit_code, 0)
        config = self.name_of(
            self.side_switches()["server-config-bundle-path"])
        [request] = self.requests_to(API_HOST, SERVER_CONFIG_PATH)
        self.assertIsNone(request.finished)
        left = [n for n in os.listdir(self.temp_dir) if n.endswith(".tmp")]
        self.assertEqual([], left)
        self.assertNotIn(config, os.listdir(self.temp_dir))

    def test_stalled_side_download_does_not_hold_the_exit(self):
        """A seed server that accepts the request and then goes quiet,
        before its headers or in the middle of its body. WinINet has no
        time-out of its own here, and a cancel is seen only between two
        chunks: the installer stops waiting for the side downloads a few
        seconds after the setup has finished instead of hanging."""
        release = threading.Event()
        self.addCleanup(release.set)

        def stall_before_headers(request):
            release.wait(600)
            return (200, {"X-Seed-Signature": "late"}, b"late")
        timings = {}
        for kind in ("headers", "body"):
            with self.subTest(stall=kind):
                environment.service.clear_requests()
                if kind == "headers":
                    environment.service.add_route(
                        API_HOST, VARIATIONS_PATH,
                        handler=stall_before_headers)
                else:
                    # 64 KiB at one byte a second: open and nearly quiet
                    # for far longer than any test runs.
                    environment.service.add_route(
                        API_HOST, VARIATIONS_PATH, body=b"s" * 65536,
                        headers={"X-Seed-Signature": "slow"}, rate=1)
                running = self.start()
                begun = time.time()
                try:
                    exit_code = running.wait(90)
                except Exception:
                    running.terminate_windows_process()
                    self.fail("the installer did not end")
                timings[kind] = time.time() - begun
                self.assertEqual(exit_code, 0)
                self.assertTrue(self.setup_command_line())
                [request] = self.requests_to(API_HOST, VARIATIONS_PATH)
                self.assertIsNone(request.finished)
                # The seed never arrived: no file, and no ABT request
                # after the cancel.
                variations = self.name_of(
                    self.side_switches()["variations-update-path"])
                self.assertNotIn(variations, os.listdir(self.temp_dir))
                self.assertFalse(self.requests_to(ABT_HOST, ABT_PATH))
                texts = self.log_texts()
                self.assertIn("Installer exit with code: 0", texts)
                timings[kind + " left"] = any(
                    t.startswith("Async install tasks did not stop")
                    for t in texts)
        print("stalled side download: installer run %.1f s (left running: "
              "%s) with quiet headers, %.1f s (%s) with a quiet body" % (
                  timings["headers"], timings["headers left"],
                  timings["body"], timings["body left"]))


if __name__ == "__main__":
    import unittest
    unittest.main()
