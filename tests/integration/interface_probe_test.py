"""The default-program interface probe for real: the installer started with
--check-the-interface asks Wine's shell and answers with its exit code,
with its diagnostics on the debug output (read by exit_code_launcher.exe as
the session's debug-output monitor) and not in its log; and a silent
installation on a Windows 10 build old enough to need the probing copy
passes the copy's answer to the setup."""
import harness
from harness import InstallerTestCase
from install_env import environment
from install_env import setUpModule, tearDownModule  # noqa: F401
from install_test import switches_of

VERSION_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion"
# WindowsRelease of build 17134 (Windows 10 1803).
RELEASE_1803 = 12
APARTMENT_SEAM = {"LITE_INSTALLER_TEST_SEAMS": "report-probe-apartment"}
# A 32-bit copy starting under CPU emulation on a busy machine can need
# more than the 3 s the installer allows it (the limit itself is unit
# tested): the silent installations give it a minute.
SLOW_START = {"LITE_INSTALLER_SEAM_INTERFACE_PROBE_TIMEOUT_MS": "60000"}
# CoGetApartmentType answering S_OK with a single-threaded apartment
# (APTTYPE_STA 0, or APTTYPE_MAINSTA 3 for the process's first one).
APARTMENT_SET = ("Probe apartment: hr=0x00000000 type=0",
                 "Probe apartment: hr=0x00000000 type=3")
# Wine's shell offers none of the candidate registration interfaces.
WINE_ANSWER = "Unsupported Win10 version=%d" % RELEASE_1803
PROBE_FAILURES = ("Unsupported Win10 version=", "QueryInterface(",
                  "SHAssocEnumHandlers", "IEnumAssocHandlers::Next",
                  "IAssocHandler::GetUIName")


def set_windows_10_build(build, ubr):
    """Windows 10 with |build| and update revision |ubr| in both registry
    views, where the 32-bit and the 64-bit installer read them."""
    harness.set_windows_version("win10")
    for view in ("/reg:32", "/reg:64"):
        for name in ("CurrentBuild", "CurrentBuildNumber"):
            harness.wine("reg", "add", VERSION_KEY, "/v", name, "/t",
                         "REG_SZ", "/d", str(build), "/f", view)
    harness.wine("reg", "add", VERSION_KEY, "/v", "UBR", "/t", "REG_DWORD",
                 "/d", str(ubr), "/f", "/reg:64")


class ProbeTestCase(InstallerTestCase):

    def setUp(self):
        super().setUp()
        original = harness.wine("winecfg", "-v").strip() or "win7"
        # winecfg writes the version values of both views afresh.
        self.addCleanup(harness.set_windows_version, original)
        self.addCleanup(harness.wine, "reg", "delete", VERSION_KEY, "/v",
                        "UBR", "/f", "/reg:64")
        set_windows_10_build(17134, 318)


class ProbingCopyTest(ProbeTestCase):

    def probe(self, program, env=None):
        result = self.run_installer(["--check-the-interface"],
                                    program=program, env=env,
                                    debug_output=True)
        # Only this process wrote, nothing else ran.
        self.assertEqual({pid for pid, _ in result.debug_output},
                         {result.pid})
        return result, [text for _, text in result.debug_output]

    def test_probe_answers_as_the_shell_does_inside_an_apartment(self):
        result, diagnostics = self.probe(harness.INSTALLER_SEAMS,
                                         env=APARTMENT_SEAM)
        # The apartment is reported when the probe starts, before any
        # shell call.
        self.assertIn(diagnostics[0], APARTMENT_SET)
        self.assertEqual(diagnostics[1:], [WINE_ANSWER])
        self.assertEqual(result.exit_code, 701)
        # The log has the entry's lines only; the diagnostics are not in it.
        self.assertEqual(self.log_texts(), [
            "-------------------------------------- Start install.",
            "Handled non install cmd line option by win10 default "
            "browser helper, ret code: 701"])

    def test_shipped_installer_probes_the_same_without_seams(self):
        result, diagnostics = self.probe(harness.INSTALLER,
                                         env=APARTMENT_SEAM)
        self.assertEqual(result.exit_code, 701)
        self.assertEqual(diagnostics, [WINE_ANSWER])
        log = "\n".join(self.log_texts())
        for text in PROBE_FAILURES:
            self.assertNotIn(text, log)


class SilentInstallationTest(ProbeTestCase):

    def setUp(self):
        super().setUp()
        environment.serve_archive()

    def install(self, **kwargs):
        result = self.run_installer(
            ["--silent"], program=harness.INSTALLER_SEAMS,
            env=dict(APARTMENT_SEAM, **SLOW_START), debug_output=True,
            **kwargs)
        self.assertEqual(result.exit_code, 0)
        return result, switches_of(self.setup_command_line())

    def test_probing_copy_answer_reaches_the_setup(self):
        result, switches = self.install()
        # State 2 (the copy answered 701), build 17134, revision 318.
        self.assertEqual(switches.get("the-interface-availability"),
                         "2171340318")
        records = [r for r in self.log_records()
                   if r["function"] == "IsInternalInterfaceAvailableSafeCheck"]
        self.assertEqual([r["text"] for r in records], [
            "Successfuly checked Win10 internal interface availability: "
            "availability: 0"])
        # The diagnostics came from the copy, a process of its own, in an
        # apartment; none of them is in the installer's log.
        copies = {pid for pid, _ in result.debug_output}
        self.assertEqual(len(copies), 1)
        self.assertNotIn(result.pid, copies)
        texts = [text for _, text in result.debug_output]
        self.assertIn(texts[0], APARTMENT_SET)
        self.assertEqual(texts[1:], [WINE_ANSWER])
        log = "\n".join(self.log_texts())
        for text in PROBE_FAILURES + ("Probe apartment",):
            self.assertNotIn(text, log)

    def test_copy_is_the_running_image_whatever_the_command_line_says(self):
        # The command line's program part is the caller's text: here it
        # names no file at all.
        result, switches = self.install(
            argv0="Z:\\nowhere\\lite_installer.exe")
        self.assertEqual(switches.get("the-interface-availability"),
                         "2171340318")
        copies = {pid for pid, _ in result.debug_output}
        self.assertEqual(len(copies), 1)
        self.assertNotIn(result.pid, copies)

    def test_newer_revision_needs_no_probing_copy(self):
        harness.wine("reg", "add", VERSION_KEY, "/v", "UBR", "/t",
                     "REG_DWORD", "/d", "319", "/f", "/reg:64")
        result, switches = self.install()
        self.assertEqual(switches.get("the-interface-availability"),
                         "171340319")
        self.assertEqual(result.debug_output, [])
        self.assertNotIn("IsInternalInterfaceAvailableSafeCheck",
                         [r["function"] for r in self.log_records()])


if __name__ == "__main__":
    import unittest
    unittest.main()
