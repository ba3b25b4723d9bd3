"""What the test service serves and what it records: routes (content and
faults per host and path) and requests. Shared by the server, the service
object and the control client."""
import base64
import hashlib
import os
import time
import urllib.parse

CONTROL_PREFIX = "/__control/"
ANY_HOST = "*"


class RouteError(ValueError):
    """A route that must not be served (a redirect loop, bad values)."""


class Route:
    """What the service answers for one (host, path).

    body / file: the content (bytes, or the path of a file read when
      served, so that a large archive need not stay in memory).
    status: the status of a full answer; 206 replaces 200 for a satisfiable
      Range request when |ranges| is true.
    headers: further response headers (name -> value).
    ranges: whether Range requests are honoured (off: every answer is the
      full body with status |status|).
    content_length: None for the true length, "omit" for no Content-Length
      (the connection then closes after the body), or a number to state
      instead of the true one (the whole body is still sent, then the
      connection closes).
    drop_after, drop_count: the first |drop_count| requests get only
      |drop_after| bytes of the body before the connection is cut.
    rate: the body is sent at about this many bytes per second.
    redirect_to: an absolute URL or a path on the same host and scheme; the
      answer is |redirect_status| with that Location and no body.
    handler: a function(request) -> (status, headers, body) for endpoints
      that answer from what they receive; when it returns None the route
      answers as configured (body, faults and all).
    prefix: the route serves every path that starts with its path.
    hang: the request is read and recorded, then never answered: the
      connection stays open until the service stops (a stalled server).
    etag: the answers carry a strong ETag made from the content (it
      changes with the content).
    last_modified: the answers carry this Last-Modified date (text); a
      replacement's date is last_modified_later when given.
    if_range: whether an If-Range that does not match the current ETag (or
      Last-Modified date) makes the answer the whole file (as a server
      must); off: If-Range is ignored.
    replace_after, later_body, later_file: from the replace_after-th
      request on (counting from 0) the content is later_body / later_file:
      the file behind the URL was replaced between two requests.
    header_rate: the status line and headers are sent at about this many
      bytes per second (a host that trickles its answer).
    """

    def __init__(self, host, path, body=b"", file=None, status=200,
                 headers=None, ranges=True, content_length=None,
                 drop_after=None, drop_count=1, rate=None, redirect_to=None,
                 redirect_status=302, handler=None, prefix=False,
                 hang=False, etag=False, last_modified=None,
                 last_modified_later=None, if_range=True, replace_after=None,
                 later_body=None, later_file=None, header_rate=None):
        if not path.startswith("/"):
            raise RouteError("a route path starts with /: %r" % path)
        if path.startswith(CONTROL_PREFIX):
            raise RouteError("the control path is reserved")
        if content_length not in (None, "omit") and (
                not isinstance(content_length, int) or content_length < 0):
            raise RouteError("content_length: None, 'omit' or a count")
        if rate is not None and rate <= 0:
            raise RouteError("rate must be positive")
        if isinstance(body, str):
            body = body.encode("utf-8")
        self.host = host.lower()
        self.path = path
        self.body = body
        self.file = file
        self.status = status
        self.headers = dict(headers or {})
        self.ranges = ranges
        self.content_length = content_length
        self.drop_after = drop_after
        self.drop_count = drop_count
        self.rate = rate
        self.redirect_to = redirect_to
        self.redirect_status = redirect_status
        self.handler = handler
        self.prefix = prefix
        self.hang = hang
        if isinstance(later_body, str):
            later_body = later_body.encode("utf-8")
        if header_rate is not None and header_rate <= 0:
            raise RouteError("header_rate must be positive")
        self.etag = etag
        self.last_modified = last_modified
        self.last_modified_later = last_modified_later
        self.if_range = if_range
        self.replace_after = replace_after
        self.later_body = later_body
        self.later_file = later_file
        self.header_rate = header_rate
        self.hits = 0

    def content(self, ordinal):
        """(body, file) served to the |ordinal|-th request."""
        if self.replace_after is not None and ordinal >= self.replace_after:
            return self.later_body or b"", self.later_file
        return self.body, self.file

    def is_replaced(self, ordinal):
        return self.replace_after is not None and ordinal >= self.replace_after

    def size(self, ordinal=0):
        body, file = self.content(ordinal)
        if file is not None:
            return os.path.getsize(file)
        return len(body)

    def read(self, start, length, ordinal=0):
        body, file = self.content(ordinal)
        if file is not None:
            with open(file, "rb") as f:
                f.seek(start)
                return f.read(length)
        return body[start:start + length]

    def validators(self, ordinal):
        """The ETag and Last-Modified headers of the |ordinal|-th answer."""
        headers = {}
        if self.etag:
            size = self.size(ordinal)
            digest = hashlib.sha256(self.read(0, size, ordinal)).hexdigest()
            headers["ETag"] = '"%s"' % digest[:16]
        date = self.last_modified
        if self.is_replaced(ordinal) and self.last_modified_later:
            date = self.last_modified_later
        if date:
            headers["Last-Modified"] = date
        return headers

    def matches(self, path):
        return path.startswith(self.path) if self.prefix else path == self.path


class Request:
    """One recorded request."""

    def __init__(self, method, scheme, host, port, path, query, headers,
                 body, via_proxy, target):
        self.method = method
        self.scheme = scheme
        self.host = host
        self.port = port
        self.path = path
        self.query = query
        self.headers = headers  # [(name, value)] in the order received
        self.body = body
        self.via_proxy = via_proxy
        self.target = target
        self.status = None  # of the answer, once sent
        self.time = time.time()
        # When the last byte of the answer was handed to the connection.
        self.finished = None
        # Body bytes of the answer handed to the connection.
        self.sent = 0
        # Status-line and header bytes sent, for an answer whose headers
        # trickle (header_rate); None otherwise.
        self.header_sent = None

    def header(self, name, default=None):
        for key, value in self.headers:
            if key.lower() == name.lower():
                return value
        return default

    def query_params(self):
        return urllib.parse.parse_qs(self.query, keep_blank_values=True)

    def to_json(self):
        return {"method": self.method, "scheme": self.scheme,
                "host": self.host, "port": self.port, "path": self.path,
                "query": self.query, "headers": self.headers,
                "body_base64": base64.b64encode(self.body).decode("ascii"),
                "via_proxy": self.via_proxy, "target": self.target,
                "status": self.status, "time": self.time,
                "finished": self.finished, "sent": self.sent,
                "header_sent": self.header_sent}

    @staticmethod
    def from_json(value):
        request = Request(value["method"], value["scheme"], value["host"],
                          value["port"], value["path"], value["query"],
                          [tuple(h) for h in value["headers"]],
                          base64.b64decode(value["body_base64"]),
                          value["via_proxy"], value["target"])
        request.status = value["status"]
        request.time = value["time"]
        request.finished = value["finished"]
        request.sent = value.get("sent", 0)
        request.header_sent = value.get("header_sent")
        return request

    def __repr__(self):
        return "<%s %s://%s%s%s -> %s>" % (
            self.method, self.scheme, self.host, self.path,
            "?" + self.query if self.query else "", self.status)

def parse_range(value, size):
    """(start, end) inclusive for a single "bytes=" range, "unsatisfiable",
    or None when the header is to be ignored (malformed, several ranges)."""
    if not value or not value.startswith("bytes=") or "," in value:
        return None
    first, dash, last = value[len("bytes="):].strip().partition("-")
    if not dash:
        return None
    try:
        if first == "":
            suffix = int(last)
            if suffix <= 0:
                return "unsatisfiable"
            return (max(0, size - suffix), size - 1)
        start = int(first)
        end = int(last) if last else size - 1
    except ValueError:
        return None
    if start >= size:
        return "unsatisfiable"
    if end < start:
        return None
    return (start, min(end, size - 1))
