"""The statistics and installation-report endpoints of the test service,
and the decoding of what the installer sent to them.

A statistics request is a GET of
  /installstats/send/dtype=stred/pid=457/cid=<counter>/path=<kind>
  /vars=-<name>=<value>,-<name>=<value>.../*
where names and values had "-", "," and "=" replaced by "_" and were then
percent-escaped; the installation report is a GET of
  /get/browser/install?ui=...&result=...&time=...[&download_time=...]
  [&install_time=...]
Both are answered 200 with an empty body unless a test asks otherwise.

The host names are those of the build configuration (cmake/build_config.cmake).
"""
import os
import re
import urllib.parse

STATS_PREFIX = "/installstats/send/"
REPORT_PATH = "/get/browser/install"
KINDS = {"72992": "extended_stat", "72696": "kvbrowser_reinstall_dialog"}

_TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


def build_config_value(name):
    """A host name (or other value) set in cmake/build_config.cmake."""
    with open(os.path.join(_TOP, "cmake", "build_config.cmake")) as f:
        match = re.search(r'set\(%s "([^"]*)"\)' % re.escape(name), f.read())
    if not match:
        raise KeyError(name)
    return match.group(1)


STATS_HOST = build_config_value("KELVRA_STATS_HOST")
STORAGE_HOST = build_config_value("KELVRA_STORAGE_HOST")

_STATS_PATH = re.compile(
    r"^/installstats/send/dtype=stred/pid=457/cid=(?P<cid>\d+)"
    r"/path=(?P<path>[^/]+)(?:/vars=(?P<vars>[^/]*))?/\*$")


class StatEvent:
    """One decoded statistics request.

    cid, kind: the counter id and the path segment of its kind.
    raw: field name -> value as it travelled (still escaped).
    fields: field name -> value, percent-decoded once (UTF-8).
    names: the field names in the order they travelled.
    """

    def __init__(self, request, cid, kind, raw, names):
        self.request = request
        self.cid = cid
        self.kind = kind
        self.raw = raw
        self.names = names
        self.fields = {name: urllib.parse.unquote(value, errors="strict")
                       for name, value in raw.items()}

    @property
    def action(self):
        return self.fields.get("action")

    @property
    def stage(self):
        return self.fields.get("stage")

    def __getitem__(self, name):
        return self.fields[name]

    def get(self, name, default=None):
        return self.fields.get(name, default)

    def __repr__(self):
        return "<stat %s/%s %s>" % (self.action, self.stage, self.fields)


def decode_stat_path(path, request=None):
    """The StatEvent of a statistics request path; ValueError for a path
    that is not one."""
    match = _STATS_PATH.match(path)
    if not match:
        raise ValueError("not a statistics path: %r" % path)
    raw, names = {}, []
    if match.group("vars"):
        for item in match.group("vars").split(","):
            if not item.startswith("-") or "=" not in item:
                raise ValueError("bad field %r in %r" % (item, path))
            name, _, value = item[1:].partition("=")
            if name in raw:
                raise ValueError("field %r twice in %r" % (name, path))
            raw[name] = value
            names.append(urllib.parse.unquote(name))
    raw = {urllib.parse.unquote(name): value for name, value in raw.items()}
    return StatEvent(request, match.group("cid"), match.group("path"), raw,
                     names)


class InstallationReport:
    """One decoded installation report: its query values (None when
    absent)."""

    KEYS = ("ui", "result", "time", "download_time", "install_time")

    def __init__(self, request):
        self.request = request
        params = request.query_params()
        self.keys = [k for k, _ in urllib.parse.parse_qsl(
            request.query, keep_blank_values=True)]
        for key in self.KEYS:
            setattr(self, key, params.get(key, [None])[0])

    def __repr__(self):
        return "<report %s>" % {k: getattr(self, k) for k in self.KEYS}


def add_routes(service, stats=None, report=None):
    """Serves both endpoints; |stats| and |report| are further route
    options (status=500, hang=True, ...)."""
    service.add_route(STATS_HOST, STATS_PREFIX, prefix=True, **(stats or {}))
    service.add_route(STORAGE_HOST, REPORT_PATH, **(report or {}))


def stat_events(service):
    """The statistics requests received, decoded, oldest first."""
    return [decode_stat_path(r.path, r)
            for r in service.requests(host=STATS_HOST, method="GET")
            if r.path.startswith(STATS_PREFIX)]


def installation_reports(service):
    return [InstallationReport(r)
            for r in service.requests(host=STORAGE_HOST, path=REPORT_PATH,
                                      method="GET")]
