"""HttpDownloader under Wine against the test service, through
download_probe.exe.

For the whole suite the prefix uses the service as its system proxy and
trusts the service's test root (testing/service/wine_proxy.py), so the
downloads go to production-looking https:// host names, as the installer's
do, and the service sees each request under its real host name. The proxy
is switched off again at the end: the prefix is shared with other suites.

Each scenario is what the service does, what the probe is asked for, and
what must come out: the probe's result, the bytes on disk, the requests the
service received and the log lines.
"""
import glob
import hashlib
import os
import sys

import harness
from harness import InstallerTestCase

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "..", "testing", "service"))
import wine_proxy  # noqa: E402
from web_service import WebService  # noqa: E402

PROBE = "download_probe.exe"
HOST = "download.kelvra.example"
MIRROR = "mirror.kelvra.example"
USER_AGENT = "Kelvra.Browser lite installer"
SIZE = 300000
CUT = 100000

_service = None
_prefix_proxy = None


def setUpModule():
    global _service, _prefix_proxy
    if not harness.BUILD_DIR:
        return  # every test then fails in its own setUp
    _service = WebService()
    _service.start()
    _prefix_proxy = wine_proxy.PrefixProxy(
        _service, harness.WINE_ENV, harness.bin_path("add_root_cert.exe"),
        harness.WINE)
    try:
        _prefix_proxy.__enter__()
    except Exception:
        _prefix_proxy.restore()
        _service.stop()
        raise


def tearDownModule():
    if _prefix_proxy is not None:
        _prefix_proxy.restore()
    if _service is not None:
        _service.stop()


class ProbeResult:
    def __init__(self, result):
        self.exit_code = result.exit_code
        self.values = {}
        self.attempts = []
        self.headers = {}
        for line in result.output.replace("\r", "").splitlines():
            if line.startswith("attempt="):
                self.attempts.append(dict(
                    field.split("=", 1) for field in line.split(" ")))
            elif line.startswith("header "):
                name, _, value = line[len("header "):].partition("=")
                self.headers[name] = value
            elif "=" in line:
                name, _, value = line.partition("=")
                self.values.setdefault(name, value)

    @property
    def ok(self):
        return self.values.get("result") == "ok"

    def __getitem__(self, name):
        return self.values[name]


class DownloadTestCase(InstallerTestCase):

    def setUp(self):
        super().setUp()
        self.service = _service
        self.service.reset()
        self.body = os.urandom(SIZE)

    def serve(self, path, host=HOST, **options):
        options.setdefault("body", self.body)
        self.service.add_route(host, path, **options)
        return "https://%s%s" % (host, path)

    def probe(self, *args):
        return ProbeResult(harness.run_program(
            PROBE, args, temp_dir=self.temp_dir, timeout=120))

    def temp_path(self, name):
        return os.path.join(self.temp_dir, name)

    def download_attempts(self, url, count):
        result = self.probe("attempts", url,
                            harness.to_windows_path(self.temp_path("sink")),
                            str(count))
        return result, self.read(self.temp_path("sink"))

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def gets(self, path=None):
        return self.service.requests(method="GET", path=path)

    def log(self, severity=None):
        return [(r["severity"], r["function"], r["text"])
                for r in self.log_records()
                if severity is None or r["severity"] == severity]


class FullDownloadTest(DownloadTestCase):
    """A plain download, to a file and to memory, as the installer sends it."""

    def test_file_download_is_byte_identical_and_cleans_up(self):
        url = self.serve("/browser.arc") + "?from_installer=true"
        target = self.temp_path("browser.arc")
        result = self.probe("file", url, harness.to_windows_path(target))
        self.assertEqual(0, result.exit_code, result.values)
        self.assertTrue(result.ok)
        self.assertEqual("", result["error"])
        self.assertEqual(str(SIZE), result["total_size"])
        self.assertEqual(self.body, self.read(target))
        # The temporary download file is gone; only the log stays beside.
        self.assertEqual(sorted(os.listdir(self.temp_dir)),
                         ["browser.arc", "lite_installer.log"])
        [request] = self.gets()
        self.assertEqual(("https", HOST, "/browser.arc", "from_installer=true"),
                         (request.scheme, request.host, request.path,
                          request.query))
        self.assertEqual(USER_AGENT, request.header("User-Agent"))
        self.assertEqual("*/*", request.header("Accept"))
        self.assertIsNone(request.header("Range"))
        self.assertIn(("INFO", "OpenDownload", "Connection established: " + url),
                      self.log())
        self.assertEqual([], self.log("WARNING") + self.log("ERROR"))

    def test_no_copy_stays_in_the_wininet_cache(self):
        # WinINet keeps what it downloads in the user's cache unless told
        # not to: every archive would be written twice and stay there.
        for scheme in ("https", "http"):
            with self.subTest(scheme=scheme):
                url = self.serve("/cached-%s.arc" % scheme).replace(
                    "https:", scheme + ":")
                target = self.temp_path("browser.arc")
                result = self.probe("file", url,
                                    harness.to_windows_path(target))
                self.assertTrue(result.ok, result.values)
                self.assertEqual(self.body, self.read(target))
                self.assertEqual([], self.cached_copies_of(self.body))

    def cached_copies_of(self, body):
        prefix = harness.WINE_ENV["WINEPREFIX"]
        copies = []
        for cache in glob.glob(os.path.join(
                prefix, "drive_c", "users", "*", "AppData", "Local",
                "Microsoft", "Windows", "INetCache")):
            for folder, _, names in os.walk(cache):
                for name in names:
                    path = os.path.join(folder, name)
                    if os.path.getsize(path) == len(body) and \
                            self.read(path) == body:
                        copies.append(path)
        return copies

    def test_string_download_and_response_headers(self):
        url = self.serve("/seed", headers={"X-Seed-Signature": "c2lnbmF0dXJl",
                                           "X-Country": "de"})
        output = self.temp_path("seed")
        result = self.probe("string", url, harness.to_windows_path(output),
                            "X-Seed-Signature", "X-Country", "Last-Modified")
        self.assertTrue(result.ok, result.values)
        self.assertEqual(self.body, self.read(output))
        self.assertEqual({"X-Seed-Signature": "c2lnbmF0dXJl",
                          "X-Country": "de", "Last-Modified": ""},
                         result.headers)


class ProxyTest(DownloadTestCase):
    """The prefix's proxy settings carry WinINet's requests to the service
    under the real host names: https through CONNECT and the service's TLS
    with a certificate from the trusted test root, http as absolute URIs."""

    def test_prefix_names_the_service_as_its_proxy(self):
        self.assertEqual(("0x1", self.service.proxy_address),
                         wine_proxy.read_proxy(harness.WINE_ENV, harness.WINE))

    def test_https_and_http_reach_production_host_names(self):
        https_url = self.serve("/a.arc")
        http_url = "http://%s/b.arc" % MIRROR
        self.serve("/b.arc", host=MIRROR)
        for url in (https_url, http_url):
            result = self.probe("string", url,
                                harness.to_windows_path(self.temp_path("out")))
            self.assertTrue(result.ok, (url, result.values))
            self.assertEqual(self.body, self.read(self.temp_path("out")))
        connects = self.service.requests(method="CONNECT")
        self.assertEqual([(HOST, 443)], [(r.host, r.port) for r in connects])
        self.assertEqual(
            [("https", HOST, "/a.arc", True), ("http", MIRROR, "/b.arc", True)],
            [(r.scheme, r.host, r.path, r.via_proxy) for r in self.gets()])
        self.assertEqual([], self.service.errors())


class StatusTest(DownloadTestCase):
    """A status other than 200 fails without writing the body."""

    def test_error_status_writes_nothing(self):
        for status in (404, 503):
            with self.subTest(status=status):
                url = self.serve("/missing%d" % status, status=status,
                                 body=b"<html>not here</html>")
                target = self.temp_path("target%d" % status)
                result = self.probe("file", url,
                                    harness.to_windows_path(target))
                self.assertEqual(1, result.exit_code)
                self.assertRegex(result["error"],
                                 r"^final_query_info-%d-\d+$" % status)
                self.assertFalse(os.path.exists(target))
                self.assertIn(("WARNING", "FinalizeDownload",
                               "Unsuccessful download: " + url), self.log())

                result, data = self.download_attempts(url, 1)
                self.assertEqual("0", result.attempts[0]["bytes_written"])
                self.assertEqual(b"", data)


class RedirectTest(DownloadTestCase):
    """Redirects are followed and the last target is recorded."""

    def test_chain_on_one_host(self):
        self.serve("/setup.arc")
        paths = self.service.add_redirect_chain(HOST, "/latest", "/setup.arc",
                                                hops=3)
        result = self.probe("string", "https://%s/latest" % HOST,
                            harness.to_windows_path(self.temp_path("out")))
        self.assertTrue(result.ok, result.values)
        self.assertEqual("https://%s/setup.arc" % HOST, result["redirect_url"])
        self.assertEqual("https://%s/latest" % HOST, result["url"])
        self.assertEqual(self.body, self.read(self.temp_path("out")))
        self.assertEqual(paths + ["/setup.arc"], [r.path for r in self.gets()])
        self.assertEqual({USER_AGENT},
                         {r.header("User-Agent") for r in self.gets()})

    def test_redirect_to_another_host(self):
        self.serve("/mirrored.arc", host=MIRROR)
        self.serve("/setup.arc",
                   redirect_to="https://%s/mirrored.arc" % MIRROR)
        result = self.probe("string", "https://%s/setup.arc" % HOST,
                            harness.to_windows_path(self.temp_path("out")))
        self.assertTrue(result.ok, result.values)
        self.assertEqual("https://%s/mirrored.arc" % MIRROR,
                         result["redirect_url"])
        self.assertEqual(self.body, self.read(self.temp_path("out")))
        self.assertEqual([HOST, MIRROR],
                         [r.host for r in self.service.requests(
                             method="CONNECT")])


class TruncationAndResumeTest(DownloadTestCase):
    """A body cut before its Content-Length is a failed attempt; the next
    attempt continues with a Range request when the server can, and starts
    from zero when it cannot."""

    def test_truncated_body_with_length_fails(self):
        url = self.serve("/cut.arc", drop_after=CUT)
        result, data = self.download_attempts(url, 1)
        self.assertEqual(1, result.exit_code)
        self.assertEqual({"attempt": "1", "ok": "0",
                          "error": "internet_read-12030",
                          "bytes_written": str(CUT),
                          "total_size": str(SIZE)}, result.attempts[0])
        self.assertEqual(self.body[:CUT], data)
        self.assertIn(("WARNING", "FinalizeDownload",
                       "Incomplete download: %d of %d bytes from %s"
                       % (CUT, SIZE, url)), self.log())

    def test_longer_stated_length_than_body_fails(self):
        url = self.serve("/lying.arc", content_length=SIZE + 5000)
        result, _ = self.download_attempts(url, 1)
        self.assertEqual("internet_read-12030", result.attempts[0]["error"])
        self.assertEqual(str(SIZE + 5000), result.attempts[0]["total_size"])

    def test_resume_requests_only_the_missing_bytes(self):
        url = self.serve("/resume.arc", drop_after=CUT)
        result, data = self.download_attempts(url, 3)
        self.assertEqual(0, result.exit_code)
        self.assertEqual(["0", "1"], [a["ok"] for a in result.attempts])
        self.assertEqual(str(SIZE), result["total_size"])
        self.assertEqual(self.body, data)
        first, second = self.gets()
        self.assertIsNone(first.header("Range"))
        self.assertEqual("bytes=%d-" % CUT, second.header("Range"))
        self.assertEqual((200, 206), (first.status, second.status))
        self.assertIn(("INFO", "CheckResumedAnswer",
                       "Download resumed at byte %d of %d" % (CUT, SIZE)),
                      self.log())

    def test_resume_through_a_redirect(self):
        # The range travels with the redirect to the mirror.
        self.serve("/m.arc", host=MIRROR, drop_after=CUT)
        url = self.serve("/r.arc",
                         redirect_to="https://%s/m.arc" % MIRROR)
        result, data = self.download_attempts(url, 3)
        self.assertEqual(["0", "1"], [a["ok"] for a in result.attempts])
        self.assertEqual("https://%s/m.arc" % MIRROR, result["redirect_url"])
        self.assertEqual(self.body, data)
        self.assertEqual([(MIRROR, 200, None),
                          (MIRROR, 206, "bytes=%d-" % CUT)],
                         [(r.host, r.status, r.header("Range"))
                          for r in self.gets("/m.arc")])

    def test_whole_file_answer_to_a_range_restarts_from_zero(self):
        url = self.serve("/norange.arc", drop_after=CUT, ranges=False)
        result, data = self.download_attempts(url, 3)
        self.assertEqual(0, result.exit_code)
        self.assertEqual(["0", "1"], [a["ok"] for a in result.attempts])
        self.assertEqual(self.body, data)
        second = self.gets()[1]
        self.assertEqual("bytes=%d-" % CUT, second.header("Range"))
        self.assertEqual(200, second.status)
        self.assertIn(("INFO", "CheckResumedAnswer",
                       "The server ignored the range; downloading from the "
                       "start"), self.log())

    def test_range_that_does_not_continue_the_file_starts_over(self):
        answers = {
            "wrong-start": (206, {"Content-Range": "bytes 0-%d/%d"
                                  % (SIZE - CUT - 1, SIZE)},
                            self.body[:SIZE - CUT]),
            # Reaches the end of the file, so only the start is wrong.
            "wrong-start-to-the-end": (
                206, {"Content-Range": "bytes %d-%d/%d"
                      % (CUT - 10, SIZE - 1, SIZE)},
                self.body[CUT - 10:]),
            "not-satisfiable": (416, {"Content-Range": "bytes */%d" % SIZE},
                                b""),
        }
        for name, answer in answers.items():
            with self.subTest(answer=name):
                self.service.reset()

                def refuse_ranges(request, answer=answer):
                    return answer if request.header("Range") else None

                url = self.serve("/%s.arc" % name, drop_after=CUT,
                                 handler=refuse_ranges)
                result, data = self.download_attempts(url, 3)
                self.assertEqual(0, result.exit_code, result.attempts)
                self.assertEqual(
                    [("0", "internet_read-12030"),
                     ("0", "internet_set_file_pointer-12016"), ("1", "")],
                    [(a["ok"], a["error"]) for a in result.attempts])
                self.assertEqual("0", result.attempts[1]["bytes_written"])
                self.assertEqual(self.body, data)
                self.assertEqual([None, "bytes=%d-" % CUT, None],
                                 [r.header("Range") for r in self.gets()])


    def test_resume_asks_for_the_same_file_and_takes_a_replaced_one_whole(self):
        """The file behind the URL is replaced between the attempts: the
        resume names the stored bytes' ETag, or their Last-Modified date
        when there is no ETag, so the server sends the whole new file
        instead of the end of it."""
        later = os.urandom(SIZE)
        for validator in ("etag", "last-modified"):
            with self.subTest(validator=validator):
                self.service.reset()
                options = {"etag": True} if validator == "etag" else {
                    "last_modified": "Mon, 01 Jan 2024 10:00:00 GMT",
                    "last_modified_later": "Tue, 02 Jan 2024 10:00:00 GMT"}
                url = self.serve("/%s.arc" % validator, drop_after=CUT,
                                 replace_after=1, later_body=later, **options)
                result, data = self.download_attempts(url, 3)
                self.assertEqual(0, result.exit_code, result.attempts)
                self.assertEqual(["0", "1"],
                                 [a["ok"] for a in result.attempts])
                self.assertEqual(later, data)
                first, second = self.gets()
                self.assertEqual("bytes=%d-" % CUT, second.header("Range"))
                self.assertEqual(200, second.status)
                if validator == "etag":
                    # The first answer's ETag (the service makes it from
                    # the content).
                    self.assertEqual(
                        '"%s"' % hashlib.sha256(self.body).hexdigest()[:16],
                        second.header("If-Range"))
                else:
                    self.assertEqual("Mon, 01 Jan 2024 10:00:00 GMT",
                                     second.header("If-Range"))
                self.assertIn(("INFO", "CheckResumedAnswer",
                               "The server ignored the range; downloading "
                               "from the start"), self.log())

    def test_a_changed_length_on_a_resume_starts_over(self):
        """A server that ignores If-Range continues the new, longer file:
        its complete length differs from the first answer's, so the stored
        bytes are dropped and the next attempt starts from zero."""
        later = os.urandom(SIZE + 1000)
        url = self.serve("/grown.arc", drop_after=CUT, etag=True,
                         if_range=False, replace_after=1, later_body=later)
        result, data = self.download_attempts(url, 3)
        self.assertEqual(0, result.exit_code, result.attempts)
        self.assertEqual(
            [("0", "internet_read-12030"),
             ("0", "internet_set_file_pointer-12016"), ("1", "")],
            [(a["ok"], a["error"]) for a in result.attempts])
        self.assertEqual(later, data)
        self.assertEqual([(None, 200), ("bytes=%d-" % CUT, 206), (None, 200)],
                         [(r.header("Range"), r.status) for r in self.gets()])
        self.assertTrue([t for _, f, t in self.log("WARNING")
                         if t.startswith("The file changed on the server: ")])

    def test_error_status_on_a_resume_keeps_what_was_stored(self):
        refusals = []

        def busy_once(request):
            if request.header("Range") and not refusals:
                refusals.append(request)
                return 503, {}, b"busy"
            return None

        url = self.serve("/busy.arc", drop_after=CUT, handler=busy_once)
        result, data = self.download_attempts(url, 3)
        self.assertEqual(
            [("0", str(CUT)), ("0", str(CUT)), ("1", str(SIZE))],
            [(a["ok"], a["bytes_written"]) for a in result.attempts])
        self.assertRegex(result.attempts[1]["error"],
                         r"^final_query_info-503-\d+$")
        self.assertEqual(self.body, data)
        self.assertEqual([None, "bytes=%d-" % CUT, "bytes=%d-" % CUT],
                         [r.header("Range") for r in self.gets()])


class UnknownLengthTest(DownloadTestCase):
    """Without a Content-Length the end of the connection is the end of the
    file: such a download cannot be told from a complete one."""

    def test_missing_length_completes(self):
        url = self.serve("/nolength.arc", content_length="omit")
        result, data = self.download_attempts(url, 1)
        self.assertTrue(result.ok, result.attempts)
        self.assertEqual("0", result["total_size"])
        self.assertEqual(self.body, data)

    def test_missing_length_and_cut_body_pass_for_complete(self):
        url = self.serve("/nolength-cut.arc", content_length="omit",
                         drop_after=CUT)
        result, data = self.download_attempts(url, 1)
        self.assertTrue(result.ok, result.attempts)
        self.assertEqual(self.body[:CUT], data)

    def test_shorter_stated_length_ends_the_body_there(self):
        url = self.serve("/short.arc", content_length=CUT)
        result, data = self.download_attempts(url, 1)
        self.assertTrue(result.ok, result.attempts)
        self.assertEqual(self.body[:CUT], data)


class SlowBodyTest(DownloadTestCase):

    def test_rate_limited_body_completes(self):
        rate = 150000
        url = self.serve("/slow.arc", rate=rate)
        result, data = self.download_attempts(url, 1)
        self.assertTrue(result.ok, result.attempts)
        self.assertEqual(self.body, data)
        [request] = self.gets()
        # The service really was slow: 300000 bytes at 150000 bytes/s. It
        # notes the end just after the client may have seen the last byte.
        self.assertTrue(harness.wait_until(
            lambda: request.finished is not None, timeout=10))
        self.assertGreaterEqual(request.finished - request.time,
                                SIZE / rate * 0.9)
