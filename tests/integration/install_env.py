"""The world a silent installation meets in the tests: the test service as
the prefix's system proxy, answering every setup-archive URL of the brand
settings (any path on https://download.kelvra.example) with a signed copy
of the test setup program whose trusted list the test builds' keys accept.

A suite that runs the installer with --silent uses it for the whole module
(setUpModule/tearDownModule below): without it every silent run would spend
its download attempts and their 15-second pauses on a host that does not
exist. The shipped installer trusts only the publisher's keys, which this
repository does not hold, so it refuses the test archive (exit code 402);
the test build (lite_installer_seams.exe) carries the build's test keys
and installs it.
"""
import os
import shutil
import subprocess
import sys
import tempfile

import harness

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
sys.path.insert(0, os.path.join(TOP, "testing", "service"))
sys.path.insert(0, os.path.join(TOP, "testing", "certs"))
sys.path.insert(0, os.path.join(TOP, "tools"))
import signed_setup  # noqa: E402
import trusted_list  # noqa: E402
import wine_proxy  # noqa: E402
from web_service import WebService  # noqa: E402

ARCHIVE_HOST = "download.kelvra.example"
ARCHIVE_PREFIX = "/"
TRUST_KEYS = os.path.join(harness.BUILD_DIR, "test_signing", "trust_keys")
# What the test setup exits with unless a test chooses otherwise.
SETUP_EXIT_CODE = 0
# Exit codes of a silent run that never reached the setup's own code.
ARCHIVE_NOT_OBTAINED = 401
ARCHIVE_NOT_VERIFIED = 402


class InstallEnvironment:
    def __init__(self):
        self.work = None
        self.pki = None
        self.service = None
        self.proxy = None
        self.archive = None

    def start(self):
        self.work = tempfile.mkdtemp(prefix="lite-install-env-")
        self.pki = signed_setup.make_pki(os.path.join(self.work, "pki"))
        added = subprocess.run(
            [harness.WINE, harness.bin_path("add_root_cert.exe"),
             harness.to_windows_path(os.path.join(self.pki, "root.crt"))],
            env=harness.WINE_ENV, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, timeout=120).stdout.decode()
        if "added" not in added:
            raise AssertionError("could not trust the test root: %r" % added)
        self.archive = self.build_archive(
            harness.bin_path("test_setup.exe"),
            os.path.join(self.work, "browser-setup.arc"))
        self.service = WebService()
        self.service.start()
        self.serve_archive()
        self.proxy = wine_proxy.PrefixProxy(
            self.service, harness.WINE_ENV,
            harness.bin_path("add_root_cert.exe"), harness.WINE)
        self.proxy.__enter__()

    def build_archive(self, source, output):
        """A signed copy of the program |source| with a trusted list that
        the test builds accept."""
        trusted = trusted_list.make_list([(
            os.path.join(self.pki, "signer_a.crt"),
            os.path.join(self.pki, "root.crt"), "key")])
        dat = trusted_list.sign_list(
            trusted, os.path.join(TRUST_KEYS, "key3.pem"), 3)
        return signed_setup.build_setup(
            source, output, harness.bin_path("set_resources.exe"),
            harness.WINE, trusted, dat,
            [(os.path.join(self.pki, "signer_a.chain.pem"),
              os.path.join(self.pki, "signer_a.key"), "sha256")],
            env=harness.WINE_ENV)

    def build_padded_archive(self, work, parts=7, part_size=15 << 20):
        """A signed test setup padded with |parts| resources of random bytes
        (about 105 MiB by default), for the benchmarks."""
        padded = os.path.join(work, "padded_setup.exe")
        shutil.copyfile(harness.bin_path("test_setup.exe"), padded)
        signed_setup.add_resources(
            padded, [("PADDING", "PART%d" % i, os.urandom(part_size))
                     for i in range(parts)],
            harness.bin_path("set_resources.exe"), harness.WINE,
            harness.WINE_ENV)
        return self.build_archive(padded,
                                  os.path.join(work, "browser-setup.arc"))

    def serve_archive(self, **options):
        """Every setup-archive URL answers with the signed test setup, or as
        |options| (the service's route options) say."""
        options.setdefault("file", self.archive)
        self.service.add_route(ARCHIVE_HOST, ARCHIVE_PREFIX, prefix=True,
                               **options)

    def archive_requests(self):
        return [r for r in self.service.requests()
                if r.host == ARCHIVE_HOST and
                r.path.startswith(ARCHIVE_PREFIX)]

    def stop(self):
        if self.proxy is not None:
            self.proxy.restore()
        if self.service is not None:
            self.service.stop()
        if self.work is not None:
            shutil.rmtree(self.work, True)


environment = InstallEnvironment()


def setUpModule():
    if not harness.BUILD_DIR:
        return  # every test then fails in its own setUp
    try:
        environment.start()
    except Exception:
        environment.stop()
        raise


def tearDownModule():
    environment.stop()
