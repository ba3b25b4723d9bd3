"""Distribution parameters of the real installer under Wine: the
"distr-info-params" switch, tags stamped into the signature by
tools/stamp_installer_tag.py, the distrib_info file and the registry value,
and the stamped installers' signatures (osslsigncode and WinVerifyTrust)."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import harness
from harness import InstallerTestCase

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                     "tools")
sys.path.insert(0, TOOLS)
import stamp_installer_tag  # noqa: E402
from install_env import setUpModule, tearDownModule  # noqa: F401

STAMP = os.path.join(TOOLS, "stamp_installer_tag.py")
BROWSER_KEY = "HKCU\\Software\\Kelvra\\KelvraBrowser"
VALUE = "DistribInfoParams"


reg = harness.reg


def read_registry_value():
    return harness.read_browser_value(VALUE)


def run_tool(*args):
    return subprocess.run([sys.executable, STAMP] + list(args),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=60)


class StampingTestCase(InstallerTestCase):
    """Stamped copies of the built installers live in their own folder, not
    in the installer's TEMP."""

    def setUp(self):
        super().setUp()
        self.programs = tempfile.mkdtemp(prefix="lite-stamped-")
        self.addCleanup(shutil.rmtree, self.programs, True)

    def stamped(self, *tool_args, source=None, name=harness.INSTALLER):
        source = source or harness.bin_path(harness.INSTALLER)
        target = os.path.join(self.programs, name)
        if tool_args:
            completed = run_tool(source, target, *tool_args)
            self.assertEqual(completed.returncode, 0, completed.stderr)
        else:
            shutil.copy(source, target)
        return target


class DistribParamsRunTest(StampingTestCase):

    def setUp(self):
        super().setUp()
        reg("delete", BROWSER_KEY, "/v", VALUE, "/f")

    def run_stamped(self, program, args=()):
        self.run_installer(["--silent"] + list(args), program=program,
                           timeout=180)
        return self.log_records()

    def distrib_info(self):
        path = os.path.join(self.temp_dir, "distrib_info")
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read().decode("utf-8")

    def tag_errors(self, records):
        return [(r["function"], r["text"]) for r in records
                if r["severity"] == "ERROR" and r["function"] in (
                    "ExtractTagFromFakeCertificate", "ReadAllBytesFromFile",
                    "CreateJsonFromDistribParams", "Load")]

    def assert_parameters(self, records, text):
        self.assertEqual(read_registry_value(), text)
        expected = stamp_installer_tag_params(text)
        written = self.distrib_info()
        self.assertIsNotNone(written, "no distrib_info file")
        self.assertEqual(json.loads(written), expected)
        # Members in key order, indented by 2.
        self.assertEqual(written, json.dumps(dict(sorted(expected.items())),
                                             indent=2, ensure_ascii=False,
                                             separators=(",", ": ")))
        self.assertEqual(self.tag_errors(records), [])

    def test_switch_value_wins_over_the_tag(self):
        program = self.stamped("--tag-a", "lang=tr&from=tag",
                               "--tag-b", "from=trailer")
        records = self.run_stamped(program,
                                   ["--distr-info-params=lang=kk&def=1"])
        self.assert_parameters(records, "lang=kk&def=1")
        self.assertEqual(self.distrib_info(),
                         '{\n  "def": "1",\n  "lang": "kk"\n}')

    def test_tag_a_with_one_and_two_dummy_certificates(self):
        for tags, text in ((["lang=uk&stat=2"], "lang=uk&stat=2"),
                           (["lang=uk&", "b=x=y&&c"], "lang=uk&b=x=y&&c")):
            with self.subTest(tags=tags):
                reg("delete", BROWSER_KEY, "/v", VALUE, "/f")
                args = []
                for tag in tags:
                    args += ["--tag-a", tag]
                records = self.run_stamped(self.stamped(*args))
                self.assert_parameters(records, text)

    def test_damaged_carrier_contributes_nothing_others_count(self):
        program = self.stamped("--tag-a", "a=1&", "--tag-a-damaged", "bad=1&",
                               "--tag-a", "c=3")
        self.assert_parameters(self.run_stamped(program), "a=1&c=3")

    def test_tag_b_only_when_tag_a_is_empty(self):
        records = self.run_stamped(self.stamped("--tag-b", "first=1&uac=2"))
        self.assert_parameters(records, "first=1&uac=2")
        reg("delete", BROWSER_KEY, "/v", VALUE, "/f")
        records = self.run_stamped(self.stamped("--tag-b", "b=1",
                                                "--tag-a", "a=1"))
        self.assert_parameters(records, "a=1")

    def test_signed_installer_without_tag_has_no_parameters(self):
        reg("add", BROWSER_KEY, "/v", VALUE, "/t", "REG_SZ", "/d", "earlier",
            "/f")
        records = self.run_stamped(self.stamped())
        self.assertIsNone(self.distrib_info())
        self.assertEqual(self.tag_errors(records), [])
        self.assertEqual(read_registry_value(), "earlier")

    def test_unsigned_installer_logs_and_has_no_parameters(self):
        reg("add", BROWSER_KEY, "/v", VALUE, "/t", "REG_SZ", "/d", "earlier",
            "/f")
        unsigned = os.path.join(self.programs, harness.INSTALLER)
        completed = subprocess.run(
            ["osslsigncode", "remove-signature", "-in",
             harness.bin_path(harness.INSTALLER), "-out", unsigned],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        self.assertEqual(completed.returncode, 0)
        records = self.run_stamped(unsigned)
        self.assertEqual(self.tag_errors(records), [(
            "ExtractTagFromFakeCertificate",
            "Failed to find certificate table in "
            + harness.to_windows_path(unsigned))])
        self.assertIsNone(self.distrib_info())
        self.assertEqual(read_registry_value(), "earlier")


def stamp_installer_tag_params(text):
    """The parameter map of a text, by the installer's rules."""
    params = {}
    for pair in text.split("&"):
        key, _, value = pair.partition("=")
        params[key] = value
    return params


class StampedSignatureTest(StampingTestCase):
    """Stamping leaves the Authenticode signature valid, for both
    architectures' installers."""

    VARIANTS = (
        ("tag_a", ["--tag-a", "lang=tr&def=1"]),
        ("tag_a_twice", ["--tag-a", "a=1&", "--tag-a", "b=2"]),
        ("tag_b", ["--tag-b", "first=1"]),
        ("both", ["--tag-a", "a=1", "--tag-b", "b=2"]),
    )

    def build_dirs(self):
        parent = os.path.dirname(os.path.abspath(harness.BUILD_DIR))
        dirs = []
        for arch in ("i686", "x86_64"):
            folder = os.path.join(parent, arch)
            if os.path.exists(os.path.join(folder, "bin", harness.INSTALLER)):
                dirs.append((arch, folder))
        if len(dirs) < 2:
            self.skipTest("both architectures must be built beside %s"
                          % harness.BUILD_DIR)
        return dirs

    def test_stamped_installers_verify(self):
        files = []
        for arch, folder in self.build_dirs():
            ca = os.path.join(folder, "test_signing", "ca.crt")
            for program in (harness.INSTALLER, harness.INSTALLER_SEAMS):
                source = os.path.join(folder, "bin", program)
                for variant, args in self.VARIANTS:
                    name = "%s_%s_%s" % (arch, variant, program)
                    stamped = self.stamped(*args, source=source, name=name)
                    with self.subTest(file=name):
                        completed = subprocess.run(
                            ["osslsigncode", "verify", "-CAfile", ca,
                             "-in", stamped], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=60)
                        output = completed.stdout.decode("utf-8", "replace")
                        self.assertEqual(completed.returncode, 0, output)
                        self.assertIn("Signature verification: ok", output)
                        self.assertNotIn("invalid PE checksum", output)
                    files.append((ca, stamped, True))
            # A changed byte in the signed part must be caught.
            tampered = os.path.join(self.programs, arch + "_tampered.exe")
            with open(files[-1][1], "rb") as f:
                data = bytearray(f.read())
            data[0x400] ^= 0x01
            with open(tampered, "wb") as f:
                f.write(data)
            files.append((ca, tampered, False))

        for ca in sorted({ca for ca, _, _ in files}):
            completed = subprocess.run(
                [harness.WINE, harness.bin_path("verify_trust.exe"),
                 "--add-root", harness.to_windows_path(ca)] +
                [harness.to_windows_path(p) for c, p, _ in files if c == ca],
                env=harness.WINE_ENV, stdout=subprocess.PIPE,
                stderr=subprocess.DEVNULL, timeout=120)
            lines = completed.stdout.decode("utf-8", "replace").splitlines()
            results = {}
            for line in lines:
                path, _, fields = line.strip().rpartition(" result=")
                results[path] = "result=" + fields
            for c, path, valid in files:
                if c != ca:
                    continue
                with self.subTest(verify_trust=os.path.basename(path)):
                    answer = results.get(harness.to_windows_path(path))
                    if valid:
                        self.assertEqual(
                            answer, "result=0x00000000 chain_status=0x00000000")
                    else:
                        self.assertTrue(answer.startswith("result=0x80096010"),
                                        answer)


class StampToolTest(StampingTestCase):

    def test_refuses_what_it_cannot_stamp(self):
        installer = harness.bin_path(harness.INSTALLER)
        unsigned = os.path.join(self.programs, "unsigned.exe")
        subprocess.run(["osslsigncode", "remove-signature", "-in", installer,
                        "-out", unsigned], check=True,
                       stdout=subprocess.DEVNULL, timeout=60)
        text = os.path.join(self.programs, "text.exe")
        with open(text, "wb") as f:
            f.write(b"MZ not really a program" * 10)
        appended = os.path.join(self.programs, "appended.exe")
        with open(installer, "rb") as f:
            data = f.read()
        with open(appended, "wb") as f:
            f.write(data + b"overlay")
        cases = [
            (unsigned, ["--tag-a", "a=1"], "not signed"),
            (text, ["--tag-a", "a=1"], "not a PE image"),
            (installer, ["--tag-a", "x" * 65536], "tag A too long"),
            (installer, ["--tag-b", "x" * 65536], "tag B too long"),
            (appended, ["--tag-b", "a=1"], "not at the end of the file"),
        ]
        for source, args, message in cases:
            with self.subTest(message=message):
                output = os.path.join(self.programs, "out.exe")
                completed = run_tool(source, output, *args)
                self.assertEqual(completed.returncode, 2)
                self.assertIn(message, completed.stderr.decode())
                self.assertFalse(os.path.exists(output))
                # Nothing half-written is left beside it either.
                self.assertFalse([n for n in os.listdir(self.programs)
                                  if n.startswith(".stamp-")])

    def test_stamping_again_keeps_earlier_tags(self):
        once = self.stamped("--tag-a", "a=1&", "--tag-b", "b=2")
        completed = run_tool(once, once, "--tag-a", "c=3")
        self.assertEqual(completed.returncode, 0, completed.stderr)
        with open(once, "rb") as f:
            data = f.read()
        self.assertEqual(stamp_installer_tag.read_tag_a(data), b"a=1&c=3")
        self.assertEqual(stamp_installer_tag.Image(data).trailer_tag, b"b=2")
        completed = run_tool(once, once, "--tag-b", "d=4")
        with open(once, "rb") as f:
            data = f.read()
        self.assertEqual(stamp_installer_tag.Image(data).trailer_tag, b"d=4")
        self.assertEqual(len(data) % 8, 0)


if __name__ == "__main__":
    unittest.main()
