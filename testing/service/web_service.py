"""The stand-in for the installer's web services in tests.

One threaded HTTP server on 127.0.0.1 (a free port) that is at the same
time:

- an origin server: requests are routed by (host, path) to what a test
  configured: a setup archive or any other body (with Content-Length and
  single-range support), a status, a redirect, or a handler function;
- the system proxy of a Wine prefix: absolute-URI requests for http:// and
  CONNECT host:port for https://, whose TLS it terminates with a server
  certificate for that host issued by a test root (certificates.py), so it
  sees every request under its real host name;
- a control API under /__control/ (direct requests only, JSON) through
  which a test in another process configures routes and reads the records.

Every request except those to the control API is recorded: method, scheme,
host, path, query, headers and body. Faults are set per route: the
connection cut after N body bytes for the first K requests, any status, a
redirect chain (checked for loops when configured: WinINet follows a loop
without limit), a rate-limited body, a missing or wrong Content-Length and
Range support switched off.

In-process use:

    with WebService() as service:
        service.add_route("download.kelvra.example", "/setup.arc",
                          body=data, drop_after=1000)
        url = service.url("download.kelvra.example", "/setup.arc")
        ...
        service.requests(path="/setup.arc")[0].header("Range")
"""
import base64
import socket
import ssl
import threading
import urllib.parse

from certificates import TestRootCA
from service_control import ServiceControl  # noqa: F401 (for importers)
from service_handler import ServiceServer
from service_model import (ANY_HOST, CONTROL_PREFIX, Request, Route,
                           RouteError)  # noqa: F401 (for importers)

# A redirect chain longer than this is refused when it is configured.
MAX_REDIRECT_HOPS = 16


class WebService:
    """The test service; see the module's description."""

    def __init__(self, ca=None):
        self.ca = ca or TestRootCA()
        self._own_ca = ca is None
        self._lock = threading.Lock()
        self._routes = []
        self._records = []
        self._errors = []
        self._tls_contexts = {}
        self._connections = set()
        self._refused_hosts = set()
        self._stopping = threading.Event()
        self._server = None
        self._thread = None

    # --- life ----------------------------------------------------------

    def start(self):
        self._stopping.clear()
        self._server = ServiceServer(self)
        self._thread = threading.Thread(target=self._server.serve_forever,
                                        kwargs={"poll_interval": 0.05},
                                        daemon=True)
        self._thread.start()
        return self.port

    def stop(self):
        if self._server is None:
            return
        self._stopping.set()
        self._server.shutdown()
        self._server.server_close()
        with self._lock:
            connections = list(self._connections)
        for connection in connections:
            try:
                connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        self._thread.join(10)
        self._server = None
        if self._own_ca:
            self.ca.remove()

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    @property
    def port(self):
        return self._server.server_address[1]

    @property
    def proxy_address(self):
        """What a prefix's ProxyServer value names."""
        return "127.0.0.1:%d" % self.port

    def url(self, host, path, scheme="https"):
        """The URL a client uses for a route (through the proxy unless the
        host is 127.0.0.1, which is reached directly)."""
        if host == "127.0.0.1":
            return "http://127.0.0.1:%d%s" % (self.port, path)
        return "%s://%s%s" % (scheme, host, path)

    # --- routes --------------------------------------------------------

    def add_route(self, host, path, **options):
        """Adds or replaces the route of (host, path); host "*" serves any
        host without a route of its own. Refuses a redirect loop and a
        redirect chain longer than MAX_REDIRECT_HOPS."""
        route = Route(host, path, **options)
        with self._lock:
            routes = [r for r in self._routes
                      if not (r.host == route.host and r.path == route.path
                              and r.prefix == route.prefix)]
            routes.append(route)
            self._check_redirects(routes)
            self._routes = routes
        return route

    def add_redirect_chain(self, host, path, target, hops=3, scheme="https",
                           status=302):
        """|path| redirects through |hops| - 1 further paths on |host| to
        |target| (an absolute URL or a path). Returns the chain's paths."""
        if hops < 1:
            raise RouteError("a chain has at least one hop")
        paths = [path] + ["%s/hop%d" % (path.rstrip("/"), i)
                          for i in range(1, hops)]
        next_targets = paths[1:] + [target]
        with self._lock:
            routes = list(self._routes)
            for hop, next_target in zip(paths, next_targets):
                routes = [r for r in routes
                          if not (r.host == host.lower() and r.path == hop)]
                routes.append(Route(host, hop, redirect_to=next_target,
                                    redirect_status=status))
            self._check_redirects(routes)
            self._routes = routes
        return paths

    def refuse_host(self, host, refuse=True):
        """Tunnels to |host| through the proxy end at once, unmade, as if
        the host refused connections."""
        with self._lock:
            if refuse:
                self._refused_hosts.add(host.lower())
            else:
                self._refused_hosts.discard(host.lower())

    def is_refused(self, host):
        with self._lock:
            return host.lower() in self._refused_hosts

    def wait_for_stop(self):
        """Blocks a connection thread until the service stops."""
        self._stopping.wait()

    def remove_route(self, host, path):
        with self._lock:
            self._routes = [r for r in self._routes
                            if not (r.host == host.lower() and r.path == path)]

    def find_route(self, host, path, routes=None):
        routes = self._routes if routes is None else routes
        host = host.lower()
        for wanted_host in (host, ANY_HOST):
            for prefix in (False, True):
                candidates = [r for r in routes if r.host == wanted_host and
                              r.prefix == prefix and r.matches(path)]
                if candidates:
                    # The longest prefix wins.
                    return max(candidates, key=lambda r: len(r.path))
        return None

    def _check_redirects(self, routes):
        for route in routes:
            if route.redirect_to is None:
                continue
            seen = {id(route)}
            current = route
            base = "http://%s%s" % (
                "any.host" if route.host == ANY_HOST else route.host,
                route.path)
            for _ in range(MAX_REDIRECT_HOPS + 1):
                target = urllib.parse.urlsplit(
                    urllib.parse.urljoin(base, current.redirect_to))
                if target.hostname in ("127.0.0.1", "localhost") and \
                        target.port not in (None, self._port_or_none()):
                    break  # another server: not ours to follow
                next_route = self.find_route(target.hostname or "",
                                             target.path or "/", routes)
                if next_route is None or next_route.redirect_to is None:
                    break
                if id(next_route) in seen:
                    raise RouteError("redirect loop through %s%s" % (
                        next_route.host, next_route.path))
                seen.add(id(next_route))
                base = urllib.parse.urlunsplit(target)
                current = next_route
            else:
                raise RouteError("redirect chain from %s%s is longer than %d"
                                 % (route.host, route.path, MAX_REDIRECT_HOPS))

    def _port_or_none(self):
        return self._server.server_address[1] if self._server else None

    # --- records -------------------------------------------------------

    def requests(self, host=None, path=None, method=None):
        """The recorded requests, oldest first, optionally filtered."""
        with self._lock:
            records = list(self._records)
        return [r for r in records
                if (host is None or r.host == host.lower()) and
                (path is None or r.path == path) and
                (method is None or r.method == method)]

    def clear_requests(self):
        with self._lock:
            self._records = []

    def errors(self):
        """Problems the service met (failed TLS handshakes)."""
        with self._lock:
            return list(self._errors)

    def reset(self):
        """Forgets every route, record, error and hit count."""
        with self._lock:
            self._routes = []
            self._records = []
            self._errors = []
            self._refused_hosts = set()

    # --- called by the server's connection threads ----------------------

    def record(self, request, status=None):
        request.status = status
        with self._lock:
            self._records.append(request)

    def count_hit(self, route):
        """How many requests |route| served before this one."""
        with self._lock:
            route.hits += 1
            return route.hits - 1

    def note_error(self, text):
        with self._lock:
            self._errors.append(text)

    def track_connection(self, connection, add):
        with self._lock:
            if add:
                self._connections.add(connection)
            else:
                self._connections.discard(connection)

    def tls_context(self, host):
        with self._lock:
            context = self._tls_contexts.get(host)
        if context is None:
            cert_path, key_path = self.ca.issue(host)
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(cert_path, key_path)
            with self._lock:
                self._tls_contexts[host] = context
        return context

    # --- control API ---------------------------------------------------

    def control(self, method, command, query, body):
        if command == "info":
            return 200, {"port": self.port, "ca_cert": self.ca.cert_path,
                         "ca_cert_der": self.ca.der_path}
        if command == "requests" and method == "GET":
            pick = {k: v[0] for k, v in query.items()}
            return 200, {"requests": [r.to_json() for r in self.requests(
                pick.get("host"), pick.get("path"), pick.get("method"))]}
        if method != "POST":
            return 405, {"error": "POST needed"}
        if command == "reset":
            self.reset()
            return 200, {}
        if command == "clear_requests":
            self.clear_requests()
            return 200, {}
        if command == "routes":
            options = dict(body)
            host, path = options.pop("host"), options.pop("path")
            if "body_base64" in options:
                options["body"] = base64.b64decode(options.pop("body_base64"))
            elif "body_text" in options:
                options["body"] = options.pop("body_text").encode("utf-8")
            self.add_route(host, path, **options)
            return 200, {}
        if command == "redirect_chain":
            paths = self.add_redirect_chain(
                body["host"], body["path"], body["target"],
                hops=body.get("hops", 3), scheme=body.get("scheme", "https"),
                status=body.get("status", 302))
            return 200, {"paths": paths}
        if command == "remove_route":
            self.remove_route(body["host"], body["path"])
            return 200, {}
        return 404, {"error": "unknown command " + command}
