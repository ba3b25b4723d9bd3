"""Trust verification of a setup archive under Wine: real copies of the test
setup program, given a trusted list (TRUSTED.JSON), its signature
(SIGNATURE.DAT, made with the build's test keys) and Authenticode
signatures from a throw-away PKI, checked by verify_module_probe.exe with
the installer's own code; and the extended hash-only check on Windows 8.1
against Windows 10, with the test prefix switched to each."""
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import harness

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
sys.path.insert(0, os.path.join(TOP, "tools"))
sys.path.insert(0, os.path.join(TOP, "testing", "certs"))
import signed_setup  # noqa: E402
import trusted_list  # noqa: E402

TRUST_KEYS = os.path.join(harness.BUILD_DIR, "test_signing", "trust_keys")
UNSIGNED_ERROR = -2146762496   # TRUST_E_NOSIGNATURE, 0x800B0100
UNTRUSTED_ROOT = -2146762487   # CERT_E_UNTRUSTEDROOT, 0x800B0109


wine = harness.wine
set_windows_version = harness.set_windows_version


class Verification:
    """What verify_module_probe.exe printed for one file."""

    def __init__(self, path, output):
        self.path = path
        self.lines = [line for line in output.replace("\r", "").splitlines()
                      if line]
        results = [l for l in self.lines if l.startswith("result=")]
        if len(results) != 1:
            raise AssertionError("no result from the probe: %r" % output)
        self.accepted = results[0] == "result=1"
        self.records = [l for l in self.lines if not l.startswith("result=")]

    def has(self, severity, function, text):
        return "%s %s: %s" % (severity, function, text) in self.records

    def texts(self):
        return [r.split(": ", 1)[1] for r in self.records]


class TrustTestCase(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        if not os.path.isdir(TRUST_KEYS):
            raise AssertionError("the build made no test keys: " + TRUST_KEYS)
        cls.work = tempfile.mkdtemp(prefix="lite-trust-")
        cls.pki = signed_setup.make_pki(os.path.join(cls.work, "pki"))
        # The publisher's root is trusted on a user's system; the test root
        # stands in for it. (Wine's WinVerifyTrust refuses an untrusted
        # root only for some chains: one with a SHA-1 certificate, for
        # instance. "untrusted_root" stays untrusted for those cases.)
        added = wine(harness.bin_path("add_root_cert.exe"),
                     harness.to_windows_path(
                         os.path.join(cls.pki, "root.crt")))
        if "added" not in added:
            raise AssertionError("could not trust the test root: %r" % added)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, True)

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="case-", dir=self.work)
        self.addCleanup(shutil.rmtree, self.dir, True)

    def cert(self, name, ext=".crt"):
        return os.path.join(self.pki, name + ext)

    def entry(self, name, pin="key"):
        return self.entry_under(name, "root", pin)

    def entry_under(self, name, issuer, pin="key"):
        return (self.cert(name), self.cert(issuer),
                self.cert(pin) if pin not in ("key", "none") else pin)

    def signature_by(self, name, digest="sha256"):
        return (self.cert(name, ".chain.pem"), self.cert(name, ".key"), digest)

    def trusted_json(self, *entries):
        return trusted_list.make_list(entries)

    def signature_dat(self, json_bytes, index=3, key_index=None):
        key = os.path.join(TRUST_KEYS, "key%d.pem" % (
            index if key_index is None else key_index))
        return trusted_list.sign_list(json_bytes, key, index)

    def setup_program(self, json_bytes, dat=None, signatures=(),
                      name="setup.exe"):
        """A copy of test_setup.exe with the list resources and signatures;
        |dat| defaults to a valid signature of |json_bytes| with key 3."""
        if dat is None and json_bytes is not None:
            dat = self.signature_dat(json_bytes)
        return signed_setup.build_setup(
            harness.bin_path("test_setup.exe"), os.path.join(self.dir, name),
            harness.bin_path("set_resources.exe"), harness.WINE,
            json_bytes, dat, signatures, env=harness.WINE_ENV)

    def verify(self, path, *options, env=None):
        windows_path = harness.to_windows_path(path)
        completed = subprocess.run(
            [harness.WINE, harness.bin_path("verify_module_probe.exe")] +
            list(options) + [windows_path],
            env=dict(harness.WINE_ENV, **(env or {})),
            stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, timeout=120)
        verification = Verification(windows_path,
                                    completed.stdout.decode("utf-8",
                                                            "replace"))
        self.assertEqual(completed.returncode,
                         0 if verification.accepted else 1)
        return verification

    def assert_refused_as_untrusted(self, result):
        self.assertFalse(result.accepted, result.lines)
        self.assertTrue(result.has("ERROR", "VerifyModuleImpl",
                                   "KNOWN_ERROR_untrusted_certificate"),
                        result.lines)
        self.assertTrue(result.has(
            "ERROR", "VerifyModuleImpl",
            "Can not find any trusted certificates. " + result.path))


class TrustedSignerTest(TrustTestCase):
    """The acceptance table on signed files (the prefix's own Windows
    version; only refused signatures depend on it)."""

    def test_listed_certificate_with_matching_key_is_accepted(self):
        json_bytes = self.trusted_json(self.entry("signer_b"),
                                       self.entry("signer_a"))
        result = self.verify(self.setup_program(
            json_bytes, signatures=[self.signature_by("signer_a")]))
        self.assertTrue(result.accepted, result.lines)
        self.assertEqual(result.records, [
            "INFO VerifyModule: Verifying " + result.path,
            "INFO VerifyModuleImpl: File successfully verified with sha256. " +
            result.path])

    def test_listed_id_with_another_key_is_refused(self):
        json_bytes = self.trusted_json(self.entry("signer_a", pin="signer_b"))
        result = self.verify(self.setup_program(
            json_bytes, signatures=[self.signature_by("signer_a")]))
        self.assertTrue(result.has("ERROR", "VerifyModuleImpl",
                                   "Public key is not match. " + result.path))
        self.assertTrue(result.has("ERROR", "VerifyModuleImpl",
                                   "SHA256 verification failed. " +
                                   result.path))
        self.assert_refused_as_untrusted(result)

    def test_unlisted_certificate_is_refused(self):
        json_bytes = self.trusted_json(self.entry("signer_b"))
        result = self.verify(self.setup_program(
            json_bytes, signatures=[self.signature_by("signer_a")]))
        self.assertTrue(result.has(
            "ERROR", "VerifyModuleImpl",
            "Can not find sertificate in trusted list. " + result.path))
        self.assert_refused_as_untrusted(result)

    def test_every_signature_of_a_dual_signed_file_is_looked_at(self):
        # Both signatures by the same unlisted certificate, so that each
        # must fail on its own whichever signature the system verifies for
        # an index (Wine's WinVerifyTrust verifies the primary one for
        # every index; the orders of different signatures are decided in
        # signer_decision_unittest.cc).
        json_bytes = self.trusted_json(self.entry("signer_a"))
        not_found = "Can not find sertificate in trusted list. "
        for signatures, count in (
                ([self.signature_by("signer_b")], 1),
                ([self.signature_by("signer_b"),
                  self.signature_by("signer_b", "sha1")], 2)):
            with self.subTest(signatures=len(signatures)):
                result = self.verify(self.setup_program(
                    json_bytes, signatures=signatures,
                    name="signed%d.exe" % len(signatures)))
                self.assertEqual(result.texts().count(not_found + result.path),
                                 count, result.lines)
                self.assert_refused_as_untrusted(result)

    def test_entry_without_pub_key_accepts_any_key(self):
        json_bytes = self.trusted_json(self.entry("signer_a", pin="none"))
        result = self.verify(self.setup_program(
            json_bytes, signatures=[self.signature_by("signer_a")]))
        self.assertTrue(result.accepted, result.lines)

    def test_malformed_pub_key_accepts_no_certificate(self):
        # The listed certificate and its own key: only the pin's spelling
        # is wrong. Read as "no pin", each would accept any key.
        good = trusted_list.public_key_hash(self.cert("signer_a"))
        signer_id = trusted_list.certificate_id(self.cert("signer_a"),
                                                self.cert("root"))
        spellings = [good[:63], " " + good, "0x" + good,
                     ":".join(good[i:i + 2] for i in range(0, 64, 2)),
                     int(good[:15], 16), None]
        for spelling in spellings:
            with self.subTest(pub_key=spelling):
                document = {"trusted_info": {"certificates": [{
                    "id": base64.b64encode(signer_id).decode(),
                    "pub_key": spelling}]}}
                json_bytes = json.dumps(document).encode("utf-8")
                # The release tool refuses to write or sign such a list.
                with self.assertRaises(ValueError):
                    trusted_list.check_list(json_bytes)
                result = self.verify(self.setup_program(
                    json_bytes, signatures=[self.signature_by("signer_a")]))
                self.assertTrue(result.has(
                    "ERROR", "VerifyModuleImpl",
                    "Public key is not match. " + result.path), result.lines)
                self.assert_refused_as_untrusted(result)
        with self.assertRaises(ValueError):
            trusted_list.make_list([(self.cert("signer_a"), self.cert("root"),
                                     good[:63])])

    def test_sha1_certificate_is_accepted_after_the_last_signature(self):
        json_bytes = self.trusted_json(self.entry("signer_sha1"))
        result = self.verify(self.setup_program(
            json_bytes, signatures=[self.signature_by("signer_sha1", "sha1")]))
        self.assertTrue(result.accepted, result.lines)
        self.assertEqual(result.records[-1],
                         "INFO VerifyModuleImpl: File successfully verified. "
                         + result.path)
        self.assertNotIn("File successfully verified with sha256. " +
                         result.path, result.texts())

    def test_chain_of_one_certificate_does_not_count(self):
        self_signed = self.cert("self_signed")
        json_bytes = self.trusted_json((self_signed, self_signed, "none"))
        result = self.verify(self.setup_program(
            json_bytes, signatures=[self.signature_by("self_signed")]))
        self.assertTrue(result.has("WARNING", "ExtractCertParams",
                                   "ExtractCertParams failed. " +
                                   result.path), result.lines)
        self.assert_refused_as_untrusted(result)

    def test_unsigned_and_changed_files_are_refused(self):
        json_bytes = self.trusted_json(self.entry("signer_a"))
        unsigned = self.setup_program(json_bytes, name="unsigned.exe")
        changed = self.setup_program(
            json_bytes, signatures=[self.signature_by("signer_a")],
            name="changed.exe")
        # One byte of the code section, which the signature's hash covers.
        with open(changed, "r+b") as f:
            f.seek(0x600)
            byte = f.read(1)
            f.seek(0x600)
            f.write(bytes([byte[0] ^ 0x01]))
        for path in (unsigned, changed):
            with self.subTest(file=os.path.basename(path)):
                result = self.verify(path)
                self.assert_refused_as_untrusted(result)
                self.assertFalse(any("successfully" in t
                                     for t in result.texts()))


class TrustedListResourceTest(TrustTestCase):
    """The list must be authenticated by a built-in key; otherwise it is
    empty and every file is refused, before any signature is looked at."""

    def assert_list_rejected(self, result, error):
        self.assertFalse(result.accepted, result.lines)
        self.assertEqual(result.records, [
            "ERROR GetTrustJsonFromModule: " + error,
            "INFO VerifyModule: Verifying " + result.path])

    def test_list_signed_with_each_key_index(self):
        json_bytes = self.trusted_json(self.entry("signer_a"))
        for index in (0, 9):
            with self.subTest(index=index):
                result = self.verify(self.setup_program(
                    json_bytes, self.signature_dat(json_bytes, index),
                    [self.signature_by("signer_a")], name="k%d.exe" % index))
                self.assertTrue(result.accepted, result.lines)

    def test_list_changed_after_signing(self):
        json_bytes = self.trusted_json(self.entry("signer_a"))
        dat = self.signature_dat(json_bytes)
        changed = json_bytes.replace(b'"id"', b'"iD"', 1)
        self.assertNotEqual(changed, json_bytes)
        result = self.verify(self.setup_program(
            changed, dat, [self.signature_by("signer_a")]))
        self.assertFalse(result.accepted)
        self.assertIn("ERROR GetTrustJsonFromModule: Verify error",
                      result.records)
        self.assertEqual(result.records[-1],
                         "INFO VerifyModule: Verifying " + result.path)

    def test_signature_by_another_key_than_its_index(self):
        json_bytes = self.trusted_json(self.entry("signer_a"))
        result = self.verify(self.setup_program(
            json_bytes, self.signature_dat(json_bytes, 4, key_index=5),
            [self.signature_by("signer_a")]))
        self.assertFalse(result.accepted)
        self.assertIn("ERROR GetTrustJsonFromModule: Verify error",
                      result.records)

    def test_key_index_10_has_no_key(self):
        json_bytes = self.trusted_json(self.entry("signer_a"))
        dat = b"\x0a\x00" + self.signature_dat(json_bytes)[2:]
        result = self.verify(self.setup_program(
            json_bytes, dat, [self.signature_by("signer_a")]))
        self.assert_list_rejected(result, "Cannot find key")

    def test_missing_resources(self):
        json_bytes = self.trusted_json(self.entry("signer_a"))
        dat = self.signature_dat(json_bytes)
        cases = [
            ("no_signature.exe", json_bytes, None,
             "Cannot find resource SIGNATURE_DAT"),
            ("short_signature.exe", json_bytes, b"\x03\x00",
             "Cannot find resource SIGNATURE_DAT"),
            ("no_list.exe", None, dat, "Cannot find resource TRUSTED_JSON"),
        ]
        for name, list_bytes, dat_bytes, error in cases:
            with self.subTest(case=name):
                path = os.path.join(self.dir, name)
                signed_setup.build_setup(
                    harness.bin_path("test_setup.exe"), path,
                    harness.bin_path("set_resources.exe"), harness.WINE,
                    list_bytes, dat_bytes, [self.signature_by("signer_a")],
                    env=harness.WINE_ENV)
                self.assert_list_rejected(self.verify(path), error)


class WindowsVersionTest(TrustTestCase):
    """The extended (hash-only) check runs for every refused signature on
    Windows 8.1 and older, never on Windows 10."""

    def setUp(self):
        super().setUp()
        self.original = wine("winecfg", "-v").strip() or "win7"
        self.addCleanup(set_windows_version, self.original)
        json_bytes = self.trusted_json(self.entry("signer_a"))
        self.good = self.setup_program(
            json_bytes, signatures=[self.signature_by("signer_a")],
            name="good.exe")
        self.unsigned = self.setup_program(json_bytes, name="unsigned.exe")
        # Listed, but under a root the system does not trust: WinVerifyTrust
        # refuses the chain.
        json_bytes = self.trusted_json(self.entry_under(
            "untrusted_sha1", "untrusted_root"))
        self.untrusted_chain = self.setup_program(
            json_bytes, signatures=[self.signature_by("untrusted_sha1")],
            name="untrusted_chain.exe")
        self.untrusted_dual = self.setup_program(
            json_bytes, signatures=[self.signature_by("untrusted_sha1"),
                                    self.signature_by("untrusted_sha1",
                                                      "sha1")],
            name="untrusted_dual.exe")

    def extended_lines(self, result):
        return [r for r in result.records
                if "Start additional sha256 verification" in r
                or "Extended verification" in r]

    def test_windows_81_checks_refused_signatures_again(self):
        set_windows_version("win81")
        for path, error in ((self.unsigned, UNSIGNED_ERROR),
                            (self.untrusted_chain, UNTRUSTED_ROOT)):
            with self.subTest(file=os.path.basename(path)):
                result = self.verify(path)
                self.assertIn(
                    "WARNING VerifyModuleImpl: Start additional sha256 "
                    "verification. %s Error code: %d" % (result.path, error),
                    result.records)
                # Wine's WinVerifyTrust ignores WTD_HASH_ONLY_FLAG: the
                # second answer is the first one again.
                self.assertIn(
                    "INFO VerifyModuleImpl: Extended verification failed. "
                    "%s Error code: %d" % (result.path, error),
                    result.records)
                self.assert_refused_as_untrusted(result)
        # Every refused signature gets its second look.
        result = self.verify(self.untrusted_dual)
        self.assertEqual(len(self.extended_lines(result)), 4, result.lines)
        # A signature WinVerifyTrust accepts needs no second look.
        result = self.verify(self.good)
        self.assertTrue(result.accepted)
        self.assertEqual(self.extended_lines(result), [])

    def test_revoked_or_distrusted_signers_get_no_second_look(self):
        # WinVerifyTrust's answer for the good file is replaced through the
        # seam; the hash-only answer stays Wine's real one (which accepts).
        set_windows_version("win81")
        for status, second_look in (("800B010C", False),   # CERT_E_REVOKED
                                    ("800B0111", False),   # explicit distrust
                                    ("800B0109", True)):   # untrusted root
            with self.subTest(status=status):
                result = self.verify(self.good, env={
                    "LITE_INSTALLER_SEAM_VERIFY_TRUST_STATUS": status})
                self.assertEqual(bool(self.extended_lines(result)),
                                 second_look, result.lines)
                self.assertEqual(result.accepted, second_look, result.lines)

    def test_windows_10_does_not(self):
        set_windows_version("win10")
        for path in (self.unsigned, self.untrusted_chain,
                     self.untrusted_dual):
            with self.subTest(file=os.path.basename(path)):
                result = self.verify(path)
                self.assertEqual(self.extended_lines(result), [])
                self.assert_refused_as_untrusted(result)

    def test_feature_and_version_limits_on_windows_81(self):
        set_windows_version("win81")
        cases = [
            ((), True),
            (("--no-win7update",), False),
            # The limit must be older than the running 6.3.9600.
            (("--win7-version", "6.3.9600"), False),
            (("--win7-version", "6.3"), True),
            (("--win7-version", "not.a.version"), True),
            (("--crypt-version", "99"), False),
            (("--crypt-version", "1.0"), True),
        ]
        for options, extended in cases:
            with self.subTest(options=options):
                result = self.verify(self.unsigned, *options)
                self.assertFalse(result.accepted)
                self.assertEqual(bool(self.extended_lines(result)), extended,
                                 result.lines)

    def test_signer_check_only_with_the_extended_check(self):
        set_windows_version("win81")
        result = self.verify(self.good, "--verify-signer")
        self.assertTrue(result.accepted, result.lines)
        self.assertIn("INFO VerifyModuleImpl: Trying to verify the signer of "
                      "file " + result.path, result.records)
        self.assertIn("INFO VerifyModuleImpl: Signer verified",
                      result.records)
        set_windows_version("win10")
        result = self.verify(self.good, "--verify-signer")
        self.assertTrue(result.accepted, result.lines)
        self.assertFalse(any("signer" in t for t in result.texts()))


class TestSetupProgramTest(unittest.TestCase):
    """The stand-in setup records its command line beside itself and exits
    with the code it is told, also after resources and signatures were
    added to it."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="lite-setup-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.program = os.path.join(self.dir, "setup.exe")
        shutil.copyfile(harness.bin_path("test_setup.exe"), self.program)

    def recorded_command_line(self):
        with open(self.program + ".cmdline", "rb") as f:
            return f.read().decode("utf-8")

    def test_records_command_line_and_exits_as_told(self):
        args = ["--source=lite", "--progress-window=0",
                "--brand-name=k\u00e9lvra"]
        result = harness.run_program(self.program, args)
        self.assertEqual(result.exit_code, 0)
        self.assertTrue(self.recorded_command_line().endswith(
            " ".join(args)), self.recorded_command_line())

        with open(self.program + ".exitcode", "w") as f:
            f.write("8")
        self.assertEqual(harness.run_program(self.program).exit_code, 8)
        # The environment wins over the file; the full 32 bits arrive.
        result = harness.run_program(
            self.program, env={"LITE_TEST_SETUP_EXIT_CODE": "3221225477"})
        self.assertEqual(result.exit_code & 0xFFFFFFFF, 3221225477)


if __name__ == "__main__":
    unittest.main()
