#!/usr/bin/env python3
"""Checks of the test service itself, with Python's own HTTP and TLS
clients: the tests of the installer rely on every fault being what it
claims to be. Needs only python3 and openssl; runs in seconds."""
import http.client
import os
import ssl
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from certificates import TestRootCA  # noqa: E402
import web_service  # noqa: E402
from web_service import RouteError, ServiceControl, WebService  # noqa: E402
import stats_endpoints  # noqa: E402

HOST = "download.kelvra.example"
BODY = bytes(range(256)) * 200  # 51200 bytes

_ca = None


def setUpModule():
    # One root for the whole file: making keys is the slow part.
    global _ca
    _ca = TestRootCA()


def tearDownModule():
    _ca.remove()


def sent_counts(read_requests, timeout=10):
    """The body bytes of each answer, once every answer has ended."""
    deadline = time.time() + timeout
    requests = read_requests()
    while any(r.finished is None for r in requests) and \
            time.time() < deadline:
        time.sleep(0.02)
        requests = read_requests()
    return [r.sent for r in requests]


class ServiceTestCase(unittest.TestCase):

    def setUp(self):
        self.service = WebService(_ca)
        self.service.start()
        self.addCleanup(self.service.stop)

    def direct(self):
        """A connection to the service as an origin server."""
        connection = http.client.HTTPConnection("127.0.0.1", self.service.port,
                                                timeout=10)
        self.addCleanup(connection.close)
        return connection

    def get(self, path, headers=None, host=HOST, method="GET", body=None):
        """A request for http://host/path through the service as a proxy;
        returns (response, body bytes or the IncompleteRead's part,
        whether the body was complete)."""
        connection = self.direct()
        connection.request(method, "http://%s%s" % (host, path), body=body,
                           headers=headers or {})
        response = connection.getresponse()
        try:
            return response, response.read(), True
        except http.client.IncompleteRead as error:
            return response, error.partial, False


class RangeTest(ServiceTestCase):

    def setUp(self):
        super().setUp()
        self.service.add_route(HOST, "/setup.arc", body=BODY)

    def test_full_answer_states_length_and_range_support(self):
        response, body, complete = self.get("/setup.arc")
        self.assertEqual(200, response.status)
        self.assertEqual(str(len(BODY)), response.getheader("Content-Length"))
        self.assertEqual("bytes", response.getheader("Accept-Ranges"))
        self.assertTrue(complete)
        self.assertEqual(BODY, body)

    def test_satisfiable_ranges(self):
        size = len(BODY)
        for header, first, last in (("bytes=1000-", 1000, size - 1),
                                    ("bytes=10-19", 10, 19),
                                    ("bytes=-100", size - 100, size - 1),
                                    ("bytes=50000-99999", 50000, size - 1)):
            with self.subTest(header=header):
                response, body, _ = self.get("/setup.arc", {"Range": header})
                self.assertEqual(206, response.status)
                self.assertEqual("bytes %d-%d/%d" % (first, last, size),
                                 response.getheader("Content-Range"))
                self.assertEqual(str(last - first + 1),
                                 response.getheader("Content-Length"))
                self.assertEqual(BODY[first:last + 1], body)

    def test_unsatisfiable_and_ignored_ranges(self):
        response, body, _ = self.get("/setup.arc",
                                     {"Range": "bytes=%d-" % len(BODY)})
        self.assertEqual(416, response.status)
        self.assertEqual("bytes */%d" % len(BODY),
                         response.getheader("Content-Range"))
        for header in ("bytes=0-1,5-6", "bytes=x-", "items=0-1", "bytes=9-2"):
            with self.subTest(header=header):
                response, body, _ = self.get("/setup.arc", {"Range": header})
                self.assertEqual(200, response.status)
                self.assertEqual(BODY, body)

    def test_ranges_switched_off(self):
        self.service.add_route(HOST, "/plain.arc", body=BODY, ranges=False)
        response, body, _ = self.get("/plain.arc", {"Range": "bytes=100-"})
        self.assertEqual(200, response.status)
        self.assertIsNone(response.getheader("Accept-Ranges"))
        self.assertIsNone(response.getheader("Content-Range"))
        self.assertEqual(BODY, body)

    def test_file_backed_route(self):
        with tempfile.NamedTemporaryFile(delete=False) as f:
            f.write(BODY)
        self.addCleanup(os.remove, f.name)
        self.service.add_route(HOST, "/big.arc", file=f.name)
        response, body, _ = self.get("/big.arc", {"Range": "bytes=51000-"})
        self.assertEqual(206, response.status)
        self.assertEqual(BODY[51000:], body)


    def test_validators_and_if_range(self):
        later = BODY[::-1]
        self.service.add_route(HOST, "/v.arc", body=BODY, etag=True,
                               last_modified="Mon, 01 Jan 2024 00:00:00 GMT",
                               last_modified_later="Tue, 02 Jan 2024 "
                               "00:00:00 GMT", replace_after=3,
                               later_body=later)
        response, _, _ = self.get("/v.arc")
        etag = response.getheader("ETag")
        self.assertRegex(etag, r'^"[0-9a-f]{16}"$')
        # The same file: If-Range with its ETag or date keeps the range.
        for validator in (etag, "Mon, 01 Jan 2024 00:00:00 GMT"):
            with self.subTest(validator=validator):
                response, body, _ = self.get(
                    "/v.arc", {"Range": "bytes=100-", "If-Range": validator})
                self.assertEqual(206, response.status)
                self.assertEqual(BODY[100:], body)
        # The file was replaced: a new ETag and date, and an If-Range with
        # the old ones gets the whole new file.
        response, body, _ = self.get(
            "/v.arc", {"Range": "bytes=100-", "If-Range": etag})
        self.assertEqual(200, response.status)
        self.assertEqual(later, body)
        self.assertNotEqual(etag, response.getheader("ETag"))
        self.assertEqual("Tue, 02 Jan 2024 00:00:00 GMT",
                         response.getheader("Last-Modified"))

    def test_if_range_ignored_when_switched_off(self):
        self.service.add_route(HOST, "/i.arc", body=BODY, etag=True,
                               if_range=False)
        response, body, _ = self.get(
            "/i.arc", {"Range": "bytes=100-", "If-Range": '"other"'})
        self.assertEqual(206, response.status)
        self.assertEqual(BODY[100:], body)


class FaultTest(ServiceTestCase):

    def test_connection_cut_for_the_first_requests_only(self):
        self.service.add_route(HOST, "/cut.arc", body=BODY, drop_after=1000,
                               drop_count=2)
        for attempt in range(2):
            response, body, complete = self.get("/cut.arc")
            self.assertEqual(str(len(BODY)),
                             response.getheader("Content-Length"))
            self.assertFalse(complete, attempt)
            self.assertEqual(BODY[:1000], body)
        response, body, complete = self.get("/cut.arc")
        self.assertTrue(complete)
        self.assertEqual(BODY, body)
        # The records count the body bytes each answer really carried (the
        # last count lands just after the client may have read the body).
        self.assertEqual([1000, 1000, len(BODY)],
                         sent_counts(self.service.requests))

    def test_cut_counts_bytes_of_a_ranged_answer(self):
        self.service.add_route(HOST, "/cut.arc", body=BODY, drop_after=10)
        response, body, complete = self.get("/cut.arc",
                                            {"Range": "bytes=100-"})
        self.assertEqual(206, response.status)
        self.assertFalse(complete)
        self.assertEqual(BODY[100:110], body)

    def test_any_status(self):
        for status in (404, 500, 503):
            self.service.add_route(HOST, "/s%d" % status, status=status,
                                   body=b"oops")
            response, body, _ = self.get("/s%d" % status)
            self.assertEqual(status, response.status)
            self.assertEqual(b"oops", body)
        response, body, _ = self.get("/no-such-route")
        self.assertEqual(404, response.status)

    def test_missing_content_length_ends_with_the_connection(self):
        self.service.add_route(HOST, "/omit", body=BODY,
                               content_length="omit")
        response, body, complete = self.get("/omit")
        self.assertIsNone(response.getheader("Content-Length"))
        self.assertEqual("close", response.getheader("Connection"))
        self.assertTrue(complete)
        self.assertEqual(BODY, body)

    def test_stated_length_shorter_or_longer_than_the_body(self):
        self.service.add_route(HOST, "/short", body=BODY, content_length=100)
        self.service.add_route(HOST, "/long", body=BODY,
                               content_length=len(BODY) + 1)
        response, body, complete = self.get("/short")
        self.assertEqual("100", response.getheader("Content-Length"))
        self.assertEqual(BODY[:100], body)
        response, body, complete = self.get("/long")
        self.assertEqual(str(len(BODY) + 1),
                         response.getheader("Content-Length"))
        self.assertFalse(complete)
        self.assertEqual(BODY, body)

    def test_rate_limited_body(self):
        self.service.add_route(HOST, "/slow", body=BODY[:20000], rate=40000)
        start = time.monotonic()
        _, body, _ = self.get("/slow")
        elapsed = time.monotonic() - start
        self.assertEqual(BODY[:20000], body)
        self.assertGreaterEqual(elapsed, 0.45)
        self.assertLess(elapsed, 5)

    def test_trickled_headers(self):
        self.service.add_route(HOST, "/t", body=b"ok", header_rate=200)
        start = time.monotonic()
        response, body, _ = self.get("/t")
        elapsed = time.monotonic() - start
        self.assertEqual(200, response.status)
        self.assertEqual(b"ok", body)
        [request] = self.service.requests(path="/t")
        # Every header byte went out on its own, at the rate asked for.
        self.assertGreater(request.header_sent, 60)
        self.assertGreaterEqual(elapsed, request.header_sent / 200 * 0.9)

    def test_handler_answers_or_falls_back_to_the_route(self):
        def answer_ranges_only(request):
            if request.header("Range"):
                return 418, {"X-Seen": request.header("Range")}, b"teapot"
            return None

        self.service.add_route(HOST, "/h", body=b"plain",
                               handler=answer_ranges_only)
        response, body, _ = self.get("/h", {"Range": "bytes=1-"})
        self.assertEqual((418, "bytes=1-", b"teapot"),
                         (response.status, response.getheader("X-Seen"), body))
        response, body, _ = self.get("/h")
        self.assertEqual((200, b"plain"), (response.status, body))


class RedirectTest(ServiceTestCase):

    def test_chain_is_followed_to_its_target(self):
        self.service.add_route("127.0.0.1", "/final", body=b"done")
        paths = self.service.add_redirect_chain("127.0.0.1", "/start",
                                                "/final", hops=3)
        self.assertEqual(["/start", "/start/hop1", "/start/hop2"], paths)
        with urllib.request.urlopen(
                "http://127.0.0.1:%d/start" % self.service.port,
                timeout=10) as response:
            self.assertEqual(b"done", response.read())
            self.assertEqual("http://127.0.0.1:%d/final" % self.service.port,
                             response.geturl())
        self.assertEqual(paths + ["/final"],
                         [r.path for r in self.service.requests()])
        self.assertEqual([302, 302, 302, 200],
                         [r.status for r in self.service.requests()])

    def test_location_keeps_scheme_and_host(self):
        self.service.add_route(HOST, "/old", redirect_to="/new",
                               redirect_status=301)
        response, _, _ = self.get("/old")
        self.assertEqual(301, response.status)
        self.assertEqual("http://%s/new" % HOST, response.getheader("Location"))

    def test_loops_are_refused_when_configured(self):
        self.service.add_route(HOST, "/a", redirect_to="/b")
        with self.assertRaises(RouteError):
            self.service.add_route(HOST, "/b", redirect_to="https://%s/a" % HOST)
        with self.assertRaises(RouteError):
            self.service.add_route(HOST, "/self", redirect_to="/self")
        with self.assertRaises(RouteError):
            # A wildcard route that sends every host back to itself.
            self.service.add_route("*", "/x", redirect_to="/x")
        # The refused routes were not added: /b has no route.
        response, _, _ = self.get("/b")
        self.assertEqual(404, response.status)

    def test_overlong_chain_is_refused(self):
        with self.assertRaises(RouteError):
            self.service.add_redirect_chain(
                HOST, "/far", "/end", hops=web_service.MAX_REDIRECT_HOPS + 2)
        self.assertEqual(3, len(self.service.add_redirect_chain(
            HOST, "/near", "/end", hops=3)))


class RecordingTest(ServiceTestCase):

    def test_every_field_is_recorded(self):
        self.service.add_route(HOST, "/installstats/send/", prefix=True)
        self.get("/installstats/send/dtype=stred/pid=457?a=1&b=x%20y",
                 {"User-Agent": "Kelvra.Browser installer", "X-Custom": "v"},
                 method="POST", body=b"payload")
        [request] = self.service.requests()
        self.assertEqual(("POST", "http", HOST, 80,
                          "/installstats/send/dtype=stred/pid=457",
                          "a=1&b=x%20y", b"payload", True, 200),
                         (request.method, request.scheme, request.host,
                          request.port, request.path, request.query,
                          request.body, request.via_proxy, request.status))
        self.assertEqual({"a": ["1"], "b": ["x y"]}, request.query_params())
        self.assertEqual("Kelvra.Browser installer",
                         request.header("user-agent"))
        names = [name for name, _ in request.headers]
        self.assertLess(names.index("User-Agent"), names.index("X-Custom"))

    def test_chunked_body_is_decoded(self):
        self.service.add_route(HOST, "/submit", body=b"ok")
        connection = self.direct()
        connection.request("POST", "http://%s/submit?product=p" % HOST,
                           body=iter([b"abc", b"defg"]),
                           headers={"Transfer-Encoding": "chunked"},
                           encode_chunked=True)
        self.assertEqual(b"ok", connection.getresponse().read())
        self.assertEqual(b"abcdefg", self.service.requests()[0].body)

    def test_direct_requests_and_filters(self):
        self.service.add_route("127.0.0.1", "/x", body=b"1")
        self.service.add_route("*", "/y", body=b"2")
        connection = self.direct()
        connection.request("GET", "/x")
        self.assertEqual(b"1", connection.getresponse().read())
        self.get("/y", host="other.kelvra.example")
        self.assertEqual([("127.0.0.1", False)],
                         [(r.host, r.via_proxy) for r in
                          self.service.requests(path="/x")])
        self.assertEqual(["other.kelvra.example"],
                         [r.host for r in self.service.requests(path="/y")])
        self.service.clear_requests()
        self.assertEqual([], self.service.requests())

    def test_routes_are_keyed_on_host(self):
        self.service.add_route(HOST, "/p", body=b"download")
        self.service.add_route("api.kelvra.example", "/p", body=b"api")
        self.service.add_route("*", "/p", body=b"any")
        self.assertEqual(b"download", self.get("/p")[1])
        self.assertEqual(b"api", self.get("/p", host="API.kelvra.example")[1])
        self.assertEqual(b"any", self.get("/p", host="x.example")[1])


class ProxyTlsTest(ServiceTestCase):
    """CONNECT host:443 ends in the service's TLS with a certificate for
    that host, issued by the test root."""

    def https(self, host, context):
        connection = http.client.HTTPSConnection(
            "127.0.0.1", self.service.port, timeout=10, context=context)
        connection.set_tunnel(host, 443)
        self.addCleanup(connection.close)
        return connection

    def trusting_context(self):
        return ssl.create_default_context(cafile=self.service.ca.cert_path)

    def test_requests_arrive_under_their_real_host_names(self):
        self.service.add_route(HOST, "/setup.arc", body=BODY)
        self.service.add_route("api.kelvra.example", "/configs/all_zip",
                               body=b"zip")
        for host, path, expected in ((HOST, "/setup.arc", BODY),
                                     ("api.kelvra.example",
                                      "/configs/all_zip?brandID=1", b"zip")):
            connection = self.https(host, self.trusting_context())
            connection.request("GET", path, headers={"Range": "bytes=0-"})
            response = connection.getresponse()
            self.assertEqual(expected, response.read())
            names = dict(x[0] for x in connection.sock.getpeercert()["subject"])
            self.assertEqual(host, names["commonName"])
            self.assertIn(("DNS", host),
                          connection.sock.getpeercert()["subjectAltName"])
        self.assertEqual(
            [("CONNECT", "tcp", HOST, ""),
             ("GET", "https", HOST, "/setup.arc"),
             ("CONNECT", "tcp", "api.kelvra.example", ""),
             ("GET", "https", "api.kelvra.example", "/configs/all_zip")],
            [(r.method, r.scheme, r.host, r.path)
             for r in self.service.requests()])
        self.assertEqual("brandID=1", self.service.requests()[3].query)

    def test_keep_alive_inside_the_tunnel(self):
        self.service.add_route(HOST, "/a", body=b"A")
        connection = self.https(HOST, self.trusting_context())
        for _ in range(3):
            connection.request("GET", "/a")
            self.assertEqual(b"A", connection.getresponse().read())
        self.assertEqual(1, len(self.service.requests(method="CONNECT")))
        self.assertEqual(3, len(self.service.requests(method="GET")))

    def test_client_without_the_root_refuses_the_certificate(self):
        self.service.add_route(HOST, "/a", body=b"A")
        connection = self.https(HOST, ssl.create_default_context(
            cafile=_other_root().cert_path))
        with self.assertRaises(ssl.SSLCertVerificationError):
            connection.request("GET", "/a")
        self.assertTrue(web_service_errors_arrive(self.service))

    def test_cut_inside_tls(self):
        self.service.add_route(HOST, "/cut", body=BODY, drop_after=500)
        connection = self.https(HOST, self.trusting_context())
        connection.request("GET", "/cut")
        response = connection.getresponse()
        with self.assertRaises((http.client.IncompleteRead, ssl.SSLError)):
            response.read()


_other = None


def _other_root():
    """A second root that did not issue the service's certificates."""
    global _other
    if _other is None:
        _other = TestRootCA()
        unittest.addModuleCleanup(_other.remove)
    return _other


def web_service_errors_arrive(service, timeout=5):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if any("TLS handshake" in e for e in service.errors()):
            return True
        time.sleep(0.05)
    return False


class StalledAndRefusedTest(ServiceTestCase):
    """The two ways a host can fail the installer without answering."""

    https = ProxyTlsTest.https
    trusting_context = ProxyTlsTest.trusting_context

    def test_hanging_route_records_the_request_and_never_answers(self):
        self.service.add_route(HOST, "/stall", hang=True)
        connection = self.direct()
        connection.timeout = 1
        connection.request("GET", "http://%s/stall" % HOST)
        with self.assertRaises(OSError):  # socket.timeout
            connection.getresponse()
        requests = self.service.requests(path="/stall")
        self.assertEqual(1, len(requests))
        self.assertIsNone(requests[0].status)

    def test_refused_host_ends_the_tunnel_unmade(self):
        self.service.add_route(HOST, "/a", body=b"A")
        self.service.add_route("other.kelvra.example", "/a", body=b"B")
        self.service.refuse_host(HOST)
        with self.assertRaises((OSError, http.client.HTTPException)):
            connection = self.https(HOST, self.trusting_context())
            connection.request("GET", "/a")
            connection.getresponse().read()
        connection = self.https("other.kelvra.example",
                                self.trusting_context())
        connection.request("GET", "/a")
        self.assertEqual(b"B", connection.getresponse().read())
        self.service.refuse_host(HOST, False)
        connection = self.https(HOST, self.trusting_context())
        connection.request("GET", "/a")
        self.assertEqual(b"A", connection.getresponse().read())
        self.assertEqual([None, 200, 200], [
            r.status for r in self.service.requests(method="CONNECT")])


class StatsEndpointsTest(ServiceTestCase):
    """Decoding of what the installer sends to the statistics and storage
    services."""

    PATH = ("/installstats/send/dtype=stred/pid=457/cid=72992/"
            "path=extended_stat/vars=-action=download_attempt,"
            "-brand_id=kelvra,-error=attempt_1_final_query_info_404,"
            "-old_style=0,-url=a%252Fb%2520c,-v=%D0%AF%20x/*")

    def test_statistics_path_is_decoded_field_by_field(self):
        event = stats_endpoints.decode_stat_path(self.PATH)
        self.assertEqual(("72992", "extended_stat"), (event.cid, event.kind))
        self.assertEqual(["action", "brand_id", "error", "old_style", "url",
                          "v"], event.names)
        self.assertEqual("download_attempt", event.action)
        self.assertIsNone(event.stage)
        self.assertEqual("a%252Fb%2520c", event.raw["url"])
        self.assertEqual("a%2Fb%20c", event["url"])
        self.assertEqual("\u042f x", event["v"])
        dialog = stats_endpoints.decode_stat_path(
            "/installstats/send/dtype=stred/pid=457/cid=72696/"
            "path=kvbrowser_reinstall_dialog/*")
        self.assertEqual(({}, "kvbrowser_reinstall_dialog"),
                         (dialog.fields, dialog.kind))

    def test_malformed_statistics_paths_are_refused(self):
        for path in ("/installstats/send/dtype=stred/pid=457/cid=1/path=x/",
                     "/installstats/send/dtype=stred/pid=1/cid=1/path=x/*",
                     "/installstats/send/dtype=stred/pid=457/cid=1/path=x/"
                     "vars=action=a/*",
                     "/installstats/send/dtype=stred/pid=457/cid=1/path=x/"
                     "vars=-a=1,-a=2/*",
                     "/installstats/send/dtype=stred/pid=457/cid=1/path=x/"
                     "vars=-a=%FF/*"):
            with self.assertRaises(ValueError, msg=path):
                stats_endpoints.decode_stat_path(path)

    def test_endpoints_answer_and_are_read_back_in_order(self):
        stats_endpoints.add_routes(self.service)
        for path in (self.PATH, self.PATH.replace("download_attempt", "x")):
            response, _, _ = self.get(path, host=stats_endpoints.STATS_HOST)
            self.assertEqual(200, response.status)
        response, _, _ = self.get(
            "/get/browser/install?ui=AB&result=success&time=3",
            host=stats_endpoints.STORAGE_HOST)
        self.assertEqual(200, response.status)
        self.assertEqual(["download_attempt", "x"], [
            e.action for e in stats_endpoints.stat_events(self.service)])
        (report,) = stats_endpoints.installation_reports(self.service)
        self.assertEqual(("AB", "success", "3", None, None), (
            report.ui, report.result, report.time, report.download_time,
            report.install_time))


class ControlApiTest(unittest.TestCase):
    """The service in its own process, driven through /__control/."""

    def setUp(self):
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                              "run_service.py")
        self.process = subprocess.Popen(
            [sys.executable, script, "--ca-dir", _ca.directory],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.addCleanup(self.stop)
        lines = [self.process.stdout.readline().decode().strip()
                 for _ in range(3)]
        values = dict(line.split("=", 1) for line in lines)
        self.port = int(values["port"])
        self.assertEqual(_ca.cert_path, values["ca_cert"])
        self.control = ServiceControl(self.port)

    def stop(self):
        self.process.stdin.close()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()

    def fetch(self, path, headers=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port,
                                                timeout=10)
        try:
            connection.request("GET", "http://%s%s" % (HOST, path),
                               headers=headers or {})
            response = connection.getresponse()
            try:
                return response.status, response.read()
            except http.client.IncompleteRead as error:
                return response.status, error.partial
        finally:
            connection.close()

    def test_routes_faults_and_records_through_the_api(self):
        self.assertEqual(self.port, self.control.info()["port"])
        self.control.add_route(HOST, "/setup.arc", body=BODY, drop_after=100)
        self.assertEqual((200, BODY[:100]), self.fetch("/setup.arc"))
        self.assertEqual((206, BODY[100:]),
                         self.fetch("/setup.arc", {"Range": "bytes=100-"}))
        records = self.control.requests(path="/setup.arc")
        self.assertEqual([None, "bytes=100-"],
                         [r.header("Range") for r in records])
        self.assertEqual([200, 206], [r.status for r in records])
        self.assertEqual([100, len(BODY) - 100],
                         sent_counts(lambda: self.control.requests(
                             path="/setup.arc")))
        self.assertEqual([], self.control.requests(path="/__control/info"))

        self.control.add_redirect_chain(HOST, "/r", "/setup.arc", hops=2)
        self.assertEqual(302, self.fetch("/r")[0])
        with self.assertRaises(RouteError):
            self.control.add_route(HOST, "/setup.arc", redirect_to="/r")

        self.control.reset()
        self.assertEqual([], self.control.requests())
        self.assertEqual(404, self.fetch("/setup.arc")[0])


if __name__ == "__main__":
    unittest.main(verbosity=2)
