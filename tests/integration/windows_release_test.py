"""The Windows release as the installer sees it, on real version answers:
the test prefix is switched to Windows 7, 8.1 and 10 and back."""
import unittest

import harness

# The installer reads the 64-bit view of the key (KEY_WOW64_64KEY), where
# Windows keeps it; a 32-bit reg.exe writes there only when told to.
UBR_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion"


wine = harness.wine
set_windows_version = harness.set_windows_version


def probe():
    output = wine(harness.bin_path("windows_release_probe.exe"))
    fields = dict(item.split("=") for item in output.split())
    return int(fields["release"]), int(fields["build"]), int(fields["ubr"])


class WindowsReleaseTest(unittest.TestCase):

    def setUp(self):
        self.original = wine("winecfg", "-v").strip() or "win7"
        self.addCleanup(set_windows_version, self.original)
        self.addCleanup(wine, "reg", "delete", UBR_KEY, "/v", "UBR", "/f",
                        "/reg:64")

    def test_releases_seen_for_real(self):
        cases = [("win7", 4, 7601), ("win81", 6, 9600), ("win10", 14, 18362)]
        for name, release, build in cases:
            with self.subTest(version=name):
                set_windows_version(name)
                self.assertEqual(probe(), (release, build, 0))

    def test_update_build_revision_of_windows_10(self):
        set_windows_version("win10")
        wine("reg", "add", UBR_KEY, "/v", "UBR", "/t", "REG_DWORD",
             "/d", "1234", "/f", "/reg:64")
        self.assertEqual(probe(), (14, 18362, 1234))
        # Before Windows 10 there is no revision to report.
        set_windows_version("win7")
        self.assertEqual(probe()[2], 0)


if __name__ == "__main__":
    unittest.main()
