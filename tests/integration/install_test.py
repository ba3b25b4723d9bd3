"""Silent installations of the real installer under Wine against the test
service and the signed test setup: the test build (which trusts the
build's test keys) downloads, verifies and runs the archive; what the setup
received, the exit code, and what is left in TEMP and in the registry."""
import os
import re

import harness
from harness import InstallerTestCase
from install_env import (ARCHIVE_NOT_OBTAINED, ARCHIVE_NOT_VERIFIED,
                         environment)
from install_env import setUpModule, tearDownModule  # noqa: F401

DATA_FILES = ["abt_config_resource", "clids.xml", "master_preferences"]
INSTALL_VALUES = ["InstallerData", "ClidsFile", "KelvraWebsiteIconFile",
                  "AbtConfigResourceFile", "brand", "BrandFile",
                  "PartnerFile", "DistribInfoParams"]


def switches_of(command_line):
    """The --name[=value] switches of a command line, values unquoted."""
    found = {}
    for match in re.finditer(r'--([a-z0-9-]+)(?:=("[^"]*"|\S*))?',
                             command_line):
        found[match.group(1)] = (match.group(2) or "").strip('"')
    return found


class InstallTestCase(InstallerTestCase):

    def setUp(self):
        super().setUp()
        environment.serve_archive()
        environment.service.clear_requests()
        for name in INSTALL_VALUES:
            harness.reg("delete", harness.BROWSER_KEY, "/v", name, "/f")

    def install(self, *args, setup_exit_code=None, env=None):
        env = dict(env or {})
        if setup_exit_code is not None:
            env["LITE_TEST_SETUP_EXIT_CODE"] = str(setup_exit_code)
        return self.run_installer(["--silent"] + list(args),
                                  program=harness.INSTALLER_SEAMS, env=env)

    def temp(self, name=""):
        return harness.to_windows_path(self.temp_dir) + "\\" + name


class SilentInstallTest(InstallTestCase):

    def test_successful_installation_runs_the_setup_and_cleans_up(self):
        result = self.install("--distr-info-params=lang=tr&partner_id=p7",
                              "--send-statistics")
        self.assertEqual(result.exit_code, 0)
        switches = switches_of(self.setup_command_line())
        # The program is the downloaded archive, a temporary "kb" file.
        program = self.setup_command_line().split('"')[1]
        self.assertRegex(program, r"\\kb[0-9A-Fa-f]+\.tmp$")
        for name, value in {
                "source": "lite", "brand-name": "kelvra",
                "progress-window": "0", "verbose-logging": "",
                "silent": "", "send-statistics": "",
                "installerdata": self.temp("master_preferences"),
                "clids-file": self.temp("clids.xml"),
                "abt-config-resource-file": self.temp("abt_config_resource"),
                "brand-package": self.temp("BrandFile"),
                "distr-info-file": self.temp("distrib_info")}.items():
            self.assertEqual(switches.get(name), value, name)
        for name in ("install-start-time-no-uac",
                     "install-start-time-no-uac-with-suspension"):
            self.assertRegex(switches[name], r"^[1-9][0-9]*$")
        for name in ("partner-package", "make-browser-default-after-import",
                     "disablekvpin"):
            self.assertNotIn(name, switches)
        # This build has no website icon: its path is passed on all the
        # same, naming a file that was never made (a direct run passes the
        # path as it is; only the elevated copy checks the file).
        self.assertEqual(switches["kelvra-website-icon-file"],
                         self.temp("website.ico"))

        # The archive, the brand package and the registry values of the run
        # are gone; the data files, distrib_info and lang stay.
        self.assertEqual(sorted(os.listdir(self.temp_dir)), sorted(
            DATA_FILES + ["distrib_info", "lite_installer.log"]))
        for name in INSTALL_VALUES:
            if name != "AbtConfigResourceFile":
                self.assertIsNone(harness.read_browser_value(name), name)
        self.assertEqual(harness.read_browser_value("AbtConfigResourceFile"),
                         self.temp("abt_config_resource"))
        # The distribution parameter "lang" chose the language.
        self.assertEqual(harness.read_browser_value("lang"), "tr")

        requests = environment.archive_requests()
        self.assertTrue(requests)
        last = requests[-1]
        self.assertIn("from_installer=true", last.query)
        self.assertEqual(dict(last.headers).get("User-Agent"),
                         "Kelvra.Browser lite installer")
        texts = self.log_texts()
        for text in ("Install Browser.", "Module downloaded: " + program,
                     "Verification succeeded: " + program,
                     "Installer exit with code: 0"):
            self.assertIn(text, texts)

    def test_setup_exit_codes_become_the_installers(self):
        for code in (1, 7, 8):
            with self.subTest(code=code):
                result = self.install(setup_exit_code=code)
                self.assertEqual(result.exit_code, code)
                self.assertTrue([t for t in self.log_texts() if t.startswith(
                    "Setup process exit with code: ")])

    def test_failed_setup_leaves_its_files_and_values(self):
        result = self.install(setup_exit_code=7)
        self.assertEqual(result.exit_code, 7)
        self.assertEqual(sorted(os.listdir(self.temp_dir)), sorted(
            ["BrandFile", "lite_installer.log"] + DATA_FILES))
        self.assertEqual(harness.read_browser_value("InstallerData"),
                         self.temp("master_preferences"))
        self.assertEqual(harness.read_browser_value("BrandFile"),
                         self.temp("BrandFile"))
        self.assertEqual(harness.read_browser_value("brand"), "kelvra")

    def test_archive_that_is_not_signed_is_refused(self):
        environment.serve_archive(file=None, body=b"MZ" + b"\0" * 5000)
        result = self.install()
        self.assertEqual(result.exit_code, ARCHIVE_NOT_VERIFIED)
        self.assertIsNone(self.setup_command_line())
        # Only what a failed run keeps: no archive, no side-download file.
        self.assertEqual(sorted(os.listdir(self.temp_dir)), sorted(
            ["BrandFile", "lite_installer.log"] + DATA_FILES))

    def test_unreachable_archive_ends_with_401(self):
        environment.serve_archive(file=None, status=404)
        result = self.install(env={
            "LITE_INSTALLER_SEAM_DOWNLOAD_RETRY_DELAY_MS": "10"})
        self.assertEqual(result.exit_code, ARCHIVE_NOT_OBTAINED)
        self.assertIsNone(self.setup_command_line())
        # Every planned attempt asked the service once.
        planned = [t for t in self.log_texts()
                   if t.startswith("Max download attempts failed (")]
        self.assertEqual(len(planned), 1)
        count = int(planned[0].split("(")[1].split(")")[0])
        self.assertIn(count, (6, 9))
        self.assertEqual(len(environment.archive_requests()), count)
        self.assertEqual(sorted(os.listdir(self.temp_dir)), sorted(
            ["BrandFile", "lite_installer.log"] + DATA_FILES))

    def test_installer_data_switch_names_the_file_passed_on(self):
        result = self.install("--installerdata=C:\\given\\prefs.json")
        self.assertEqual(result.exit_code, 0)
        switches = switches_of(self.setup_command_line())
        self.assertEqual(switches["installerdata"], "C:\\given\\prefs.json")
        self.assertNotIn("master_preferences", os.listdir(self.temp_dir))


class UnwritableFilesTest(InstallTestCase):
    """A data file that cannot be written, and no temporary folder at all:
    nothing stale is handed to the setup, nothing lands elsewhere."""

    def test_stale_clids_file_that_cannot_be_replaced_is_not_passed_on(self):
        stale = b"<vendor name=\"another partner\"/>"
        path = os.path.join(self.temp_dir, "clids.xml")
        with open(path, "wb") as f:
            f.write(stale)
        # Held open with read-only sharing: neither written nor deleted.
        holder = harness.MutexHolder("file", self.temp("clids.xml"))
        try:
            result = self.install(setup_exit_code=7)
        finally:
            holder.close()
        self.assertEqual(result.exit_code, 7)
        switches = switches_of(self.setup_command_line())
        self.assertNotIn("clids-file", switches)
        # The other data files are passed on as usual.
        self.assertEqual(switches.get("installerdata"),
                         self.temp("master_preferences"))
        self.assertIn(harness.read_browser_value("ClidsFile"), (None, ""))
        with open(path, "rb") as f:
            self.assertEqual(f.read(), stale)
        self.assertIn("An older file that could not be replaced is left at " +
                      self.temp("clids.xml") + ", its path is not passed on",
                      self.log_texts())

    def test_no_usable_temporary_folder_writes_nothing_anywhere(self):
        work = os.path.join(self.temp_dir, "working-directory")
        os.mkdir(work)
        long_temp = "C:\\" + "t" * 300
        result = harness.run_program(
            harness.INSTALLER_SEAMS, ["--silent"], cwd=work, env={
                "TEMP": long_temp, "TMP": long_temp,
                "LITE_TEST_SETUP_RECORD":
                    harness.to_windows_path(self.setup_record),
                "LITE_INSTALLER_SEAM_DOWNLOAD_RETRY_DELAY_MS": "10"})
        self.assertNotEqual(result.exit_code, 0)
        self.assertIsNone(self.setup_command_line())
        self.assertEqual(os.listdir(work), [])
        self.assertEqual(sorted(os.listdir(self.temp_dir)),
                         ["working-directory"])
        # No package file was written: its registry value names none.
        self.assertIn(harness.read_browser_value("BrandFile"), (None, ""))


class ResumedArchiveTest(InstallTestCase):
    """An archive put together from two answers can hold the start of one
    file and the end of another; when it fails verification it is
    downloaded once more from its start."""

    def test_spliced_archive_is_fetched_again_from_the_start(self):
        with open(environment.archive, "rb") as f:
            archive = f.read()
        half = len(archive) // 2
        # The end of another file of the same length, sent by a server that
        # had no validator to check (a file replaced during the pause).
        other = archive[:half] + bytes(b ^ 0x5A for b in archive[half:])

        def other_end(request):
            wanted = request.header("Range")
            if not wanted:
                return None
            start = int(wanted[len("bytes="):].rstrip("-"))
            return (206, {"Content-Range": "bytes %d-%d/%d"
                          % (start, len(other) - 1, len(other))},
                    other[start:])

        environment.serve_archive(drop_after=half, handler=other_end)
        result = self.install(env={
            "LITE_INSTALLER_SEAM_DOWNLOAD_RETRY_DELAY_MS": "10"})
        self.assertEqual(result.exit_code, 0)
        self.assertIsNotNone(self.setup_command_line())
        self.assertEqual(
            [(None, 200), ("bytes=%d-" % half, 206), (None, 200)],
            [(r.header("Range"), r.status)
             for r in environment.archive_requests()])
        self.assertIn("The resumed archive failed verification; downloading "
                      "it again from the start", self.log_texts())
        # Neither archive is left behind.
        self.assertFalse([n for n in os.listdir(self.temp_dir)
                          if n.lower().startswith("kb")])


class ArchiveLockTest(InstallTestCase):
    """The distribution parameter setup_arc_permanent_lock keeps writers out
    of the archive from its download to the setup's launch."""

    LOCK = "--distr-info-params=setup_arc_permanent_lock=1"

    def test_locked_archive_is_installed(self):
        result = self.install(self.LOCK)
        self.assertEqual(result.exit_code, 0)
        self.assertIsNotNone(self.setup_command_line())
        self.assertNotIn("Cannot lock file: ",
                         "\n".join(self.log_texts()))

    def test_locked_archive_that_fails_verification_is_removed(self):
        environment.serve_archive(file=None, body=b"MZ" + b"\0" * 5000)
        result = self.install(self.LOCK)
        self.assertEqual(result.exit_code, ARCHIVE_NOT_VERIFIED)
        self.assertEqual(sorted(os.listdir(self.temp_dir)), sorted(
            ["BrandFile", "distrib_info", "lite_installer.log"] + DATA_FILES))

    def test_writer_slipping_in_while_reopening_stops_the_launch(self):
        # Between the two opens that turn the download handle into a read
        # handle, writers may briefly get in; the test build lets one in.
        result = self.install(self.LOCK, env={
            "LITE_INSTALLER_TEST_SEAMS": "archive-writer-between-reopens"})
        self.assertEqual(result.exit_code, 400)
        self.assertIsNone(self.setup_command_line())
        self.assertTrue([t for t in self.log_texts()
                         if t.startswith("Cannot lock file: ")])
        self.assertFalse([n for n in os.listdir(self.temp_dir)
                          if n.startswith("kb")])


if __name__ == "__main__":
    import unittest
    unittest.main()
