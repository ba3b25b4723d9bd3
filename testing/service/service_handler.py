"""The test service's HTTP side: one thread per connection, origin and
proxy requests, CONNECT tunnels with TLS, the faults of a route, and the
control API's transport. What to answer comes from the WebService the
server belongs to (web_service.py)."""
import http.server
import json
import socket
import socketserver
import ssl
import time
import traceback
import urllib.parse

from service_model import (CONTROL_PREFIX, Request, RouteError,
                           parse_range)

WRITE_BLOCK = 65536
# Idle keep-alive connections end after this many seconds.
IDLE_TIMEOUT = 30


class ServiceServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    block_on_close = False

    def __init__(self, service):
        self.service = service
        super().__init__(("127.0.0.1", 0), ServiceHandler)

    def handle_error(self, request, client_address):
        self.service.note_error(traceback.format_exc())


class ServiceHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KelvraTestService/1.0"
    timeout = IDLE_TIMEOUT
    tunnel_host = None
    tunnel_port = None

    def log_message(self, format, *args):
        pass

    def setup(self):
        super().setup()
        self.server.service.track_connection(self.request, True)

    def finish(self):
        try:
            super().finish()
        except OSError:
            pass
        self.server.service.track_connection(self.request, False)
        self.server.service.track_connection(self.connection, False)
        if self.tunnel_host is not None:
            try:
                self.connection.close()
            except OSError:
                pass

    @property
    def service(self):
        return self.server.service

    # --- proxy tunnel -------------------------------------------------

    def do_CONNECT(self):
        host, _, port = self.path.rpartition(":")
        if not host or not port.isdigit() or self.tunnel_host is not None:
            self._simple_answer(400, b"bad CONNECT target")
            return
        host = host.strip("[]").lower()
        refused = self.service.is_refused(host)
        self.service.record(Request("CONNECT", "tcp", host, int(port), "",
                                     "", list(self.headers.items()), b"",
                                     True, self.path),
                            None if refused else 200)
        if refused:
            # As if the host refused the connection: the tunnel ends unmade.
            self.close_connection = True
            self._cut_connection()
            return
        self.send_response(200, "Connection Established")
        self.end_headers()
        self.wfile.flush()
        try:
            tls = self.service.tls_context(host).wrap_socket(
                self.connection, server_side=True)
        except (ssl.SSLError, OSError) as error:
            self.service.note_error("TLS handshake for %s: %s" % (host, error))
            self.close_connection = True
            return
        self.connection = tls
        self.rfile = tls.makefile("rb", -1)
        self.wfile = socketserver._SocketWriter(tls)
        self.tunnel_host = host
        self.tunnel_port = int(port)
        self.service.track_connection(tls, True)
        self.close_connection = False

    # --- requests -----------------------------------------------------

    def do_GET(self):
        try:
            self._dispatch()
        except (ConnectionError, ssl.SSLError, socket.timeout, OSError):
            self.close_connection = True

    do_POST = do_PUT = do_DELETE = do_HEAD = do_OPTIONS = do_GET

    def _read_body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            chunks = []
            while True:
                size_line = self.rfile.readline(1024)
                size = int(size_line.split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    # Trailers end with an empty line.
                    while self.rfile.readline(1024) not in (b"\r\n", b"\n", b""):
                        pass
                    return b"".join(chunks)
                chunks.append(self.rfile.read(size))
                self.rfile.readline(1024)
        length = int(self.headers.get("Content-Length", "0") or "0")
        return self.rfile.read(length) if length > 0 else b""

    def _dispatch(self):
        target = self.path
        via_proxy = False
        if target.startswith(("http://", "https://")):
            parts = urllib.parse.urlsplit(target)
            scheme, host = parts.scheme, (parts.hostname or "").lower()
            port = parts.port or (443 if scheme == "https" else 80)
            path, query = parts.path or "/", parts.query
            via_proxy = True
        else:
            path, _, query = target.partition("?")
            if self.tunnel_host is not None:
                scheme, host, port = "https", self.tunnel_host, self.tunnel_port
                via_proxy = True
            else:
                scheme = "http"
                host_header = self.headers.get("Host", "")
                parsed = urllib.parse.urlsplit("//" + host_header)
                host = (parsed.hostname or "").lower()
                port = parsed.port or self.server.server_address[1]
        body = self._read_body()
        if not via_proxy and path.startswith(CONTROL_PREFIX):
            self._control(path[len(CONTROL_PREFIX):], query, body)
            return
        request = Request(self.command, scheme, host, port, path, query,
                          list(self.headers.items()), body, via_proxy, target)
        self.service.record(request)
        self._serve(request)

    def _serve(self, request):
        route = self.service.find_route(request.host, request.path)
        if route is None:
            self._answer(request, 404, {}, b"no route for %s%s" % (
                request.host.encode(), request.path.encode()))
            return
        ordinal = self.service.count_hit(route)
        if route.hang:
            self.service.wait_for_stop()
            self.close_connection = True
            return
        if route.handler is not None:
            answer = route.handler(request)
            if answer is not None:
                status, headers, body = answer
                self._answer(request, status, headers, body)
                return
        if route.redirect_to is not None:
            default_port = 443 if request.scheme == "https" else 80
            netloc = request.host if request.port == default_port else \
                "%s:%d" % (request.host, request.port)
            location = urllib.parse.urljoin(
                "%s://%s%s" % (request.scheme, netloc, request.path),
                route.redirect_to)
            headers = dict(route.headers, Location=location)
            self._answer(request, route.redirect_status, headers, b"")
            return
        self._send_content(request, route, ordinal)

    def _send_content(self, request, route, ordinal):
        size = route.size(ordinal)
        status, start, length = route.status, 0, size
        headers = dict(route.headers)
        validators = route.validators(ordinal)
        headers.update(validators)
        if route.ranges and route.status == 200:
            headers.setdefault("Accept-Ranges", "bytes")
            range_header = request.header("Range")
            if_range = request.header("If-Range")
            if (route.if_range and if_range is not None and
                    if_range not in validators.values()):
                # The file changed since the client's copy: all of it.
                range_header = None
            wanted = parse_range(range_header, size)
            if wanted == "unsatisfiable":
                headers["Content-Range"] = "bytes */%d" % size
                self._answer(request, 416, headers, b"")
                return
            if wanted is not None:
                start, end = wanted
                status, length = 206, end - start + 1
                headers["Content-Range"] = "bytes %d-%d/%d" % (start, end, size)
        drop = route.drop_after is not None and ordinal < route.drop_count
        close = drop or route.content_length is not None
        request.status = status
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        if route.content_length is None:
            self.send_header("Content-Length", str(length))
        elif route.content_length != "omit":
            self.send_header("Content-Length", str(route.content_length))
        if close:
            self.send_header("Connection", "close")
        if route.header_rate:
            self._trickle_headers(request, route.header_rate)
        else:
            self.end_headers()
        if self.command == "HEAD":
            self.wfile.flush()
            return
        to_send = min(length, route.drop_after) if drop else length
        self._write_body(request, route, start, to_send, ordinal)
        self.wfile.flush()
        request.finished = time.time()
        if close:
            self.close_connection = True
            self._cut_connection()

    def _trickle_headers(self, request, rate):
        """Sends the buffered status line and headers at |rate| bytes a
        second; request.header_sent counts what went out."""
        self._headers_buffer.append(b"\r\n")
        data = b"".join(self._headers_buffer)
        self._headers_buffer = []
        request.header_sent = 0
        for i in range(len(data)):
            self.wfile.write(data[i:i + 1])
            self.wfile.flush()
            request.header_sent = i + 1
            time.sleep(1.0 / rate)

    def _write_body(self, request, route, start, length, ordinal=0):
        sent = 0
        begun = time.monotonic()
        block = WRITE_BLOCK
        if route.rate:
            # About twenty writes a second.
            block = max(1, min(WRITE_BLOCK, route.rate // 20))
        while sent < length:
            data = route.read(start + sent, min(block, length - sent),
                              ordinal)
            if not data:
                break
            if route.rate:
                # Each block leaves when the ones before it have had their
                # time, so the last byte goes out at length / rate.
                pause = begun + (sent + len(data)) / route.rate - \
                    time.monotonic()
                if pause > 0:
                    time.sleep(pause)
            self.wfile.write(data)
            sent += len(data)
            request.sent = sent

    def _cut_connection(self):
        """Ends the connection at once: the client sees the end of data."""
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def _answer(self, request, status, headers, body):
        if request is not None:
            request.status = status
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)
        if request is not None:
            request.sent = 0 if self.command == "HEAD" else len(body)
            request.finished = time.time()

    def _simple_answer(self, status, body):
        self._answer(None, status, {"Content-Type": "text/plain"}, body)
        self.close_connection = True

    # --- control API ---------------------------------------------------

    def _control(self, command, query, body):
        try:
            status, answer = self.service.control(
                self.command, command, urllib.parse.parse_qs(query),
                json.loads(body.decode("utf-8")) if body else {})
        except (RouteError, ValueError, KeyError, TypeError) as error:
            status, answer = 400, {"error": str(error)}
        self._answer(None, status, {"Content-Type": "application/json"},
                     json.dumps(answer).encode("utf-8"))
