"""Crash reports of real installer processes under Wine: the test build
(lite_installer_seams.exe) crashes on demand after its annotations are
set; the test service, WinHTTP's proxy for the prefix, receives the
report, undoes its gzip and multipart form and reads the minidump's
annotation stream back. Also: the service failing in each way, two threads
crashing at once, a crash while the log mutex is held, and a failed
delayed import handed to the crash reporter."""
import os
import re
import sys
import time

import harness
from harness import InstallerTestCase

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
sys.path.insert(0, os.path.join(TOP, "testing", "service"))
import crash_endpoint  # noqa: E402
import wine_proxy  # noqa: E402
from crash_endpoint import CRASH_HOST, crash_reports, crash_requests  # noqa: E402
from web_service import WebService  # noqa: E402

ACCESS_VIOLATION = 0xC0000005
ILLEGAL_INSTRUCTION = 0xC000001D
# Under qemu-i386 a memory fault reaches Wine without its trap number, and
# Wine raises it as an illegal instruction; natively it is an access
# violation. Either way the report carries the code the process ends with.
MEMORY_FAULT = (ILLEGAL_INSTRUCTION if harness.ARCH == "i686" and
                os.environ.get("LITE_WINE_MODE", "").startswith("emulated")
                else ACCESS_VIOLATION)
STACK_OVERFLOW = 0xC00000FD
MISSING_LIBRARY = 0xC06D007E
VERSION = "23.5.4.674"
DISTRIB_PARAMS = "--distr-info-params=partner_id=p7&ver=9.9&guid=id:42&clid=c1"
# The installer's built-in annotations and the entry's, besides the
# distribution parameters and brand values.
BUILT_IN = {"ver": VERSION, "plat": "Win32", "prod": "Kelvra",
            "gzip_enabled": "true", "ptype": "installer"}
GUID_TEXT = re.compile(r"^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}"
                       r"-[0-9A-F]{12}$")
# A crashed run must end well within this (a dump under the emulated 32-bit
# Wine takes tens of seconds).
RUN_SECONDS = 300


class Environment:
    service = None
    proxy = None


def setUpModule():
    if not harness.BUILD_DIR:
        return
    Environment.service = WebService()
    Environment.service.start()
    try:
        Environment.proxy = wine_proxy.PrefixProxy(
            Environment.service, harness.WINE_ENV,
            harness.bin_path("add_root_cert.exe"), harness.WINE)
        Environment.proxy.__enter__()
        for command in crash_endpoint.winhttp_proxy_reg_commands(
                Environment.service.proxy_address):
            if harness.reg(*command).returncode != 0:
                raise AssertionError("reg %r failed" % command)
    except Exception:
        tearDownModule()
        raise


def tearDownModule():
    if Environment.proxy is not None:
        for command in crash_endpoint.winhttp_proxy_clear_commands():
            harness.reg(*command)
        Environment.proxy.restore()
    if Environment.service is not None:
        Environment.service.stop()


class CrashTestCase(InstallerTestCase):

    def setUp(self):
        super().setUp()
        self.service = Environment.service
        self.service.reset()
        crash_endpoint.add_route(self.service)

    def crash(self, seam, args=(DISTRIB_PARAMS, "--silent"), env=None):
        environment = {"LITE_INSTALLER_TEST_SEAMS": seam}
        environment.update(env or {})
        started = time.time()
        result = self.run_installer(list(args),
                                    program=harness.INSTALLER_SEAMS,
                                    env=environment, timeout=RUN_SECONDS)
        self.elapsed = time.time() - started
        return result.exit_code & 0xFFFFFFFF

    def temp_files(self):
        return sorted(os.listdir(self.temp_dir))

    def dumps_left(self):
        return [name for name in self.temp_files()
                if name.endswith((".dmp", ".upload"))]

    def only_report(self):
        reports = crash_reports(self.service)
        self.assertEqual(len(reports), 1, (self.temp_files(),
                                           harness.read_log(self.temp_dir)))
        return reports[0]

    def send_report_errors(self):
        return [r["text"] for r in self.log_records()
                if r["function"] == "SendReport"]

    def assert_report_of_installer(self, report, exception_code):
        names = [name for name, _ in report.fields]
        self.assertEqual(names, sorted(names))
        fields = dict(report.fields)
        for name, value in BUILT_IN.items():
            self.assertEqual(fields[name], value, name)
        self.assertRegex(fields["uid"], GUID_TEXT)
        self.assertRegex(fields["report_id"], GUID_TEXT)
        self.assertNotEqual(fields["uid"], fields["report_id"])
        # Distribution parameters, except the one named like a built-in.
        self.assertEqual(fields["partner_id"], "p7")
        self.assertEqual(fields["guid"], "id:42")
        self.assertEqual(fields["clid"], "c1")
        for name in ("brand_id", "brand_name", "default_language"):
            self.assertIn(name, fields)
        self.assertEqual(
            [r["text"] for r in self.log_records()
             if "built-in crash annotation" in r["text"]],
            ["Distribution parameter ver would replace a built-in crash "
             "annotation, skipped"])

        # The query: product, version and guid, escaped with upper-case hex.
        self.assertEqual(report.request.method, "POST")
        self.assertEqual(report.request.scheme, "https")
        self.assertEqual(report.request.query,
                         "product=Kelvra&version=%s&guid=id%%3A42" % VERSION)
        self.assertEqual(report.encoding, "gzip")
        self.assertEqual(int(report.request.header("Content-Length")),
                         len(report.request.body))
        self.assertIsNone(report.request.header("Transfer-Encoding"))
        self.assertRegex(report.boundary,
                         r"^---MultipartBoundary-[0-9A-Za-z]{32}---$")
        # Wine's kernel32 does not mark its version for Windows NT, so the
        # system part is left out there (the unit tests build it).
        self.assertRegex(
            report.request.header("User-Agent"),
            r"^Crashpad/0\.8\.0 WinHTTP/\d+\.\d+\.\d+\.\d+"
            r"( Windows_NT/\d+\.\d+\.\d+\.\d+ \(%s\))?$" % (
                r"x86; WoW64" if harness.ARCH == "i686" else "x64"))

        # The file part: a minidump named after the client id.
        self.assertEqual(report.file.filename, fields["uid"] + ".dmp")
        self.assertEqual(report.file.content_type, "application/octet-stream")
        dump = report.dump
        for stream in (3, 4, 6):
            self.assertIn(stream, dump.stream_types)
        self.assertEqual(dump.exception_code, exception_code)
        stream = report.annotations
        self.assertEqual(stream.version, 1)
        self.assertEqual(str(stream.report_id).upper(), fields["report_id"])
        self.assertEqual(str(stream.client_id).upper(), fields["uid"])
        self.assertEqual(stream.annotations, report.fields)
        # The positions the fix-up wrote are absolute file offsets: the
        # dictionary right after the fixed part, the records after the
        # entries, each key record followed by its value record.
        self.assertEqual(stream.dictionary_position, stream.position + 52)
        offset = stream.dictionary_position + 4 + 8 * len(stream.annotations)
        for (key_at, value_at), (key, value) in zip(stream.positions,
                                                    stream.annotations):
            self.assertEqual(key_at, offset)
            value_offset = key_at + 4 + len(key.encode()) + 1
            self.assertEqual(value_at, value_offset)
            offset = value_offset + 4 + len(value.encode()) + 1
        self.assertEqual(stream.dictionary_size,
                         offset - stream.dictionary_position)
        return fields


class UploadedReportTest(CrashTestCase):

    def test_access_violation_is_reported_and_its_dump_deleted(self):
        self.assertEqual(self.crash("crash-access-violation"),
                         MEMORY_FAULT)
        report = self.only_report()
        self.assert_report_of_installer(report, MEMORY_FAULT)
        self.assertEqual(report.request.status, 200)
        self.assertEqual(self.dumps_left(), [])
        self.assertEqual(self.send_report_errors(), [])

    def test_stack_overflow_is_reported(self):
        self.assertEqual(self.crash("crash-stack-overflow"), STACK_OVERFLOW)
        report = self.only_report()
        # Under qemu-i386 the overflowing fault itself reaches the filter
        # as the emulation's illegal instruction (see MEMORY_FAULT).
        self.assert_report_of_installer(
            report, STACK_OVERFLOW if MEMORY_FAULT == ACCESS_VIOLATION
            else MEMORY_FAULT)
        self.assertEqual(self.dumps_left(), [])

    def test_two_threads_crashing_make_one_report(self):
        self.assertEqual(self.crash("crash-two-threads"), MEMORY_FAULT)
        report = self.only_report()
        self.assert_report_of_installer(report, MEMORY_FAULT)
        self.assertEqual(self.dumps_left(), [])

    def test_crash_while_the_log_mutex_is_held_is_reported(self):
        self.assertEqual(self.crash("crash-holding-log-mutex"),
                         MEMORY_FAULT)
        report = self.only_report()
        self.assert_report_of_installer(report, MEMORY_FAULT)
        self.assertEqual(self.dumps_left(), [])


class FailedUploadTest(CrashTestCase):
    """The dump stays in TEMP, named by the report id, and the process
    still ends with the crash's code."""

    def assert_dump_kept(self, report_id=None):
        dumps = [name for name in self.temp_files() if name.endswith(".dmp")]
        self.assertEqual(len(dumps), 1, self.temp_files())
        self.assertRegex(dumps[0][:-4], GUID_TEXT)
        if report_id is not None:
            self.assertEqual(dumps[0], report_id + ".dmp")
        self.assertNotIn(".upload", " ".join(self.temp_files()))
        with open(os.path.join(self.temp_dir, dumps[0]), "rb") as f:
            return f.read()

    def test_status_500_keeps_the_dump(self):
        crash_endpoint.add_route(self.service, status=500)
        self.assertEqual(self.crash("crash-access-violation"),
                         MEMORY_FAULT)
        report = self.only_report()
        fields = self.assert_report_of_installer(report, MEMORY_FAULT)
        self.assertEqual(self.assert_dump_kept(fields["report_id"]),
                         report.file.data)
        self.assertEqual(self.send_report_errors(), ["HTTP status 500"])

    def test_refused_connection_keeps_the_dump(self):
        self.service.refuse_host(CRASH_HOST)
        self.assertEqual(self.crash("crash-access-violation"),
                         MEMORY_FAULT)
        self.assertEqual(crash_requests(self.service), [])
        self.assert_dump_kept()
        errors = self.send_report_errors()
        self.assertEqual(len(errors), 1, errors)
        # The call, then the system's text and the code, or (Wine's
        # winhttp.dll has no text for some codes) the fallback form.
        self.assertRegex(errors[0], r"^WinHttp\w+: (.* \(0x[0-9a-f]+\)|"
                         r"error 0x[0-9a-f]+ while retrieving error "
                         r"0x[0-9a-f]+)$")

    def test_service_that_never_answers_does_not_hold_the_process(self):
        crash_endpoint.add_route(self.service, hang=True)
        # The crashing thread waits 30 s for the upload instead of 60 s:
        # long enough for the request to arrive whole under the emulated
        # 32-bit Wine.
        self.assertEqual(
            self.crash("crash-access-violation",
                       env={"LITE_INSTALLER_SEAM_CRASH_UPLOAD_WAIT_MS":
                            "30000"}),
            MEMORY_FAULT)
        self.assertEqual(len(crash_requests(self.service)), 1)
        self.assert_dump_kept()


class DelayLoadFailureReportTest(CrashTestCase):
    """A failed delayed import goes through the crash reporter: a report
    whose dump holds the failing thread's stack with the message, then the
    process ends with the helper's exception code."""

    def test_missing_library_is_reported(self):
        result = harness.run_program(
            "delay_load_failure_test_program.exe",
            ["missing-library", "with-crash-reporter", "--silent"],
            temp_dir=self.temp_dir, timeout=RUN_SECONDS)
        self.assertEqual(result.exit_code & 0xFFFFFFFF, MISSING_LIBRARY)
        report = self.only_report()
        fields = dict(report.fields)
        self.assertEqual(sorted(fields), ["gzip_enabled", "plat", "prod",
                                          "report_id", "uid", "ver"])
        self.assertEqual(report.dump.exception_code, MISSING_LIBRARY)
        self.assertEqual(report.annotations.annotations, report.fields)
        self.assertIn(b"Windows dll is not found: nonexistent_lite_test.dll",
                      report.file.data)
        self.assertEqual(self.dumps_left(), [])


if __name__ == "__main__":
    import unittest
    unittest.main()
