"""The crash-report endpoint of the test service, and the decoding of what
a crashed installer sent to it.

A report is a POST to https://<crash host>/submit?product=..&version=..
with Content-Type "multipart/form-data; boundary=..." and, normally,
Content-Encoding gzip: one form field per annotation, then the minidump as
the file part "upload_file_minidump". decode_crash_report() undoes the
gzip, parses the multipart body (fields kept in their order, names
unescaped from %0a, %0d, %22 and %25) and reads the minidump's annotation
stream back (minidump_reader.py).

The host name is the one of the build configuration
(cmake/build_config.cmake).
"""
import gzip
import re
import struct
import urllib.parse

from minidump_reader import Minidump
from stats_endpoints import build_config_value

CRASH_HOST = build_config_value("KELVRA_CRASH_HOST")
SUBMIT_PATH = "/submit"
FILE_FIELD = "upload_file_minidump"
WINHTTP_SETTINGS_KEY = (r"HKLM\Software\Microsoft\Windows\CurrentVersion"
                        r"\Internet Settings\Connections")

_NAME_ESCAPES = {"%0a": "\n", "%0d": "\r", "%22": '"', "%25": "%"}


class MultipartError(ValueError):
    pass


def unescape_name(name):
    return re.sub(r"%0a|%0d|%22|%25", lambda m: _NAME_ESCAPES[m.group(0)],
                  name)


class FilePart:
    def __init__(self, name, filename, content_type, data):
        self.name = name
        self.filename = filename
        self.content_type = content_type
        self.data = data


def parse_multipart(body, boundary):
    """([(name, value)], [FilePart]) of a multipart/form-data body. Every
    line must end in CR LF and the body must end with the closing
    boundary."""
    delimiter = b"--" + boundary.encode("ascii")
    if not body.startswith(delimiter + b"\r\n"):
        raise MultipartError("body does not start with the boundary")
    closing = b"\r\n" + delimiter + b"--\r\n"
    if not body.endswith(closing):
        raise MultipartError("body does not end with the closing boundary")
    inner = body[len(delimiter) + 2:len(body) - len(closing)]
    fields, files = [], []
    for part in inner.split(b"\r\n" + delimiter + b"\r\n"):
        head, separator, content = part.partition(b"\r\n\r\n")
        if not separator:
            raise MultipartError("part without an empty line: %r" % part[:80])
        headers = {}
        for line in head.split(b"\r\n"):
            name, colon, value = line.decode("utf-8").partition(": ")
            if not colon:
                raise MultipartError("bad header line %r" % line)
            headers[name.lower()] = value
        disposition = headers.get("content-disposition", "")
        match = re.fullmatch(r'form-data; name="([^"]*)"'
                             r'(?:; filename="([^"]*)")?', disposition)
        if not match:
            raise MultipartError("bad disposition %r" % disposition)
        name = unescape_name(match.group(1))
        if match.group(2) is None:
            fields.append((name, content.decode("utf-8")))
        else:
            files.append(FilePart(name, unescape_name(match.group(2)),
                                  headers.get("content-type"), content))
    return fields, files


class CrashReport:
    """One decoded report.

    request: the service's record; query: the parsed query as (name, value)
    pairs in order; boundary; fields: [(name, value)] in order; file: the
    FilePart of the minidump; dump: its Minidump; annotations: the dump's
    annotation stream."""

    def __init__(self, request):
        self.request = request
        self.query = urllib.parse.parse_qsl(request.query,
                                            keep_blank_values=True)
        content_type = request.header("Content-Type") or ""
        match = re.fullmatch(r"multipart/form-data; boundary=(\S+)",
                             content_type)
        if not match:
            raise MultipartError("content type %r" % content_type)
        self.boundary = match.group(1)
        self.encoding = request.header("Content-Encoding")
        body = request.body
        if self.encoding == "gzip":
            body = gzip.decompress(body)
        self.body = body
        self.fields, files = parse_multipart(body, self.boundary)
        if len(files) != 1 or files[0].name != FILE_FIELD:
            raise MultipartError("file parts %r" % [f.name for f in files])
        self.file = files[0]
        self.dump = Minidump(self.file.data)
        self.annotations = self.dump.annotation_stream()

    def field(self, name):
        return dict(self.fields)[name]


def add_route(service, **options):
    """The crash host's /submit answers 200 with an empty body unless
    |options| (the service's route options) say otherwise."""
    options.setdefault("body", b"")
    service.add_route(CRASH_HOST, SUBMIT_PATH, **options)


def crash_requests(service):
    return [r for r in service.requests(host=CRASH_HOST)
            if r.path == SUBMIT_PATH]


def crash_reports(service):
    return [CrashReport(r) for r in crash_requests(service)]


def winhttp_proxy_settings(proxy_address):
    """The binary value WinHttpSettings that makes WinHTTP's default proxy
    |proxy_address| ("127.0.0.1:PORT"), as hex for reg add: structure size
    0x18, a counter, flags 2 (a named proxy), the proxy text and an empty
    bypass list."""
    text = proxy_address.encode("ascii")
    value = struct.pack("<III", 0x18, 0, 2) + struct.pack("<I", len(text)) \
        + text + struct.pack("<I", 0)
    return value.hex()


# Wine keeps HKLM\Software apart for 32- and 64-bit programs: the value is
# written into both views.
_VIEWS = ("/reg:32", "/reg:64")


def winhttp_proxy_reg_commands(proxy_address):
    """Arguments of the reg commands that make |proxy_address| WinHTTP's
    default proxy for 32- and 64-bit programs of a prefix."""
    return [["add", WINHTTP_SETTINGS_KEY, "/v", "WinHttpSettings", "/t",
             "REG_BINARY", "/d", winhttp_proxy_settings(proxy_address), "/f",
             view] for view in _VIEWS]


def winhttp_proxy_clear_commands():
    return [["delete", WINHTTP_SETTINGS_KEY, "/v", "WinHttpSettings", "/f",
             view] for view in _VIEWS]
