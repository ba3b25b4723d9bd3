"""Points a Wine prefix at the test service.

WinINet opened with the system's proxy configuration reads
HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings:
ProxyEnable = 1 and ProxyServer = 127.0.0.1:PORT send every http:// request
to the service as an absolute-URI request and every https:// one as
CONNECT host:443. The service's test root is added to the prefix's machine
ROOT store (testing/win/add_root_cert.exe), so that the server certificates
it issues for production host names are trusted.

The prefix is shared by the test suites of one run: restore() (or leaving
the context of PrefixProxy) switches the proxy off again.

    with PrefixProxy(service, wine_env, add_root_program):
        ... run WinINet programs ...
"""
import subprocess

INTERNET_SETTINGS = (r"HKCU\Software\Microsoft\Windows\CurrentVersion"
                     r"\Internet Settings")


def _wine(wine, args, wine_env, timeout=60):
    completed = subprocess.run([wine] + args, env=wine_env,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               stdin=subprocess.DEVNULL, timeout=timeout)
    return completed.returncode, completed.stdout.decode("utf-8", "replace")


def set_proxy(proxy_address, wine_env, wine="wine64"):
    """ProxyEnable = 1 and ProxyServer = |proxy_address| ("127.0.0.1:PORT")."""
    if not proxy_address.startswith("127.0.0.1:"):
        raise ValueError("the test proxy must be on 127.0.0.1")
    for value in (["/v", "ProxyServer", "/t", "REG_SZ", "/d", proxy_address],
                  ["/v", "ProxyEnable", "/t", "REG_DWORD", "/d", "1"]):
        code, output = _wine(wine, ["reg", "add", INTERNET_SETTINGS] + value +
                             ["/f"], wine_env)
        if code != 0:
            raise RuntimeError("reg add failed: %s" % output)


def clear_proxy(wine_env, wine="wine64"):
    """ProxyEnable = 0 and no ProxyServer: direct connections again."""
    _wine(wine, ["reg", "add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t",
                 "REG_DWORD", "/d", "0", "/f"], wine_env)
    _wine(wine, ["reg", "delete", INTERNET_SETTINGS, "/v", "ProxyServer",
                 "/f"], wine_env)


def read_proxy(wine_env, wine="wine64"):
    """The prefix's (ProxyEnable, ProxyServer) as reg query prints them;
    None for a value that is not set."""
    values = {}
    for name in ("ProxyEnable", "ProxyServer"):
        code, output = _wine(wine, ["reg", "query", INTERNET_SETTINGS, "/v",
                                    name], wine_env)
        values[name] = None
        if code == 0:
            for line in output.splitlines():
                fields = line.split()
                if len(fields) >= 3 and fields[0] == name:
                    values[name] = fields[-1]
    return values["ProxyEnable"], values["ProxyServer"]


def trust_root(der_path, add_root_program, wine_env, wine="wine64"):
    """Adds the certificate file |der_path| (DER or PEM, Unix path) to the
    prefix's LocalMachine ROOT store."""
    windows_path = "Z:" + der_path.replace("/", "\\")
    code, output = _wine(wine, [add_root_program, windows_path], wine_env)
    if code != 0 or "added" not in output:
        raise RuntimeError("add_root_cert failed (%d): %s" % (code, output))


class PrefixProxy:
    """The prefix uses |service| as its proxy and trusts its root for the
    time of a with-block."""

    def __init__(self, service, wine_env, add_root_program, wine="wine64"):
        self.service = service
        self.wine_env = wine_env
        self.add_root_program = add_root_program
        self.wine = wine

    def __enter__(self):
        trust_root(self.service.ca.der_path, self.add_root_program,
                   self.wine_env, self.wine)
        set_proxy(self.service.proxy_address, self.wine_env, self.wine)
        return self

    def restore(self):
        clear_proxy(self.wine_env, self.wine)

    def __exit__(self, *exc):
        self.restore()


def start_service_with_prefix_proxy(wine_env, add_root_cert, wine):
    """A started WebService that the prefix uses as its proxy, and its
    PrefixProxy (restore() it, then stop() the service, at the end)."""
    from web_service import WebService
    service = WebService()
    service.start()
    prefix_proxy = PrefixProxy(service, wine_env, add_root_cert, wine)
    try:
        prefix_proxy.__enter__()
    except Exception:
        prefix_proxy.restore()
        service.stop()
        raise
    return service, prefix_proxy
