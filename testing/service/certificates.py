"""A throw-away root certificate authority for the test service.

The root key and certificate live in a temporary folder; server
certificates for each host name are issued on first use with the openssl
command-line tool and cached, so that the service can terminate TLS for
any production host name a test sends through it. One key pair is shared
by every server certificate: making a 2048-bit key per host would cost
more than the rest of a test. Nothing made here is ever used to sign a
shipped file.
"""
import ipaddress
import os
import re
import secrets
import shutil
import subprocess
import tempfile
import threading

OPENSSL = shutil.which("openssl") or "openssl"
VALID_DAYS = "30"


def _run_openssl(args, cwd):
    completed = subprocess.run([OPENSSL] + args, cwd=cwd,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               stdin=subprocess.DEVNULL, timeout=60)
    if completed.returncode != 0:
        raise RuntimeError("openssl %s failed: %s" % (
            args[0], completed.stderr.decode("utf-8", "replace")))


def _file_name_for_host(host):
    return re.sub(r"[^A-Za-z0-9.-]", "_", host.lower())


class TestRootCA:
    """A root certificate and the server certificates it issues.

    cert_path: the root certificate (PEM); der_path: the same in DER, the
    form Windows' certificate store functions take."""

    def __init__(self, directory=None):
        self._own_directory = directory is None
        self.directory = directory or tempfile.mkdtemp(prefix="lite-test-ca-")
        os.makedirs(self.directory, exist_ok=True)
        self.cert_path = os.path.join(self.directory, "root.pem")
        self.der_path = os.path.join(self.directory, "root.der")
        self._key_path = os.path.join(self.directory, "root.key")
        self._server_key_path = os.path.join(self.directory, "server.key")
        self._issued = {}
        self._lock = threading.Lock()
        if not (os.path.exists(self.cert_path) and
                os.path.exists(self._key_path) and
                os.path.exists(self.der_path) and
                os.path.exists(self._server_key_path)):
            self._make_root()

    def _make_root(self):
        # A random name keeps two roots in one Wine prefix apart.
        subject = "/O=Kelvra test service/CN=Kelvra Test Root %s" % (
            secrets.token_hex(4))
        _run_openssl(["req", "-x509", "-newkey", "rsa:2048", "-nodes",
                      "-sha256", "-days", VALID_DAYS, "-subj", subject,
                      "-keyout", self._key_path, "-out", self.cert_path,
                      "-addext", "basicConstraints=critical,CA:TRUE",
                      "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                      "-addext", "subjectKeyIdentifier=hash"],
                     self.directory)
        _run_openssl(["x509", "-in", self.cert_path, "-outform", "DER",
                      "-out", self.der_path], self.directory)
        _run_openssl(["genpkey", "-algorithm", "RSA", "-pkeyopt",
                      "rsa_keygen_bits:2048", "-out", self._server_key_path],
                     self.directory)

    def issue(self, host):
        """(certificate path, key path) of a server certificate for |host|
        (a DNS name or an IP address), made on first use."""
        host = host.lower()
        with self._lock:
            if host in self._issued:
                return self._issued[host]
            name = _file_name_for_host(host)
            cert_path = os.path.join(self.directory, name + ".pem")
            if not os.path.exists(cert_path):
                self._sign(host, name, cert_path)
            self._issued[host] = (cert_path, self._server_key_path)
            return self._issued[host]

    def _sign(self, host, name, cert_path):
        try:
            ipaddress.ip_address(host)
            alt_name = "IP:" + host
        except ValueError:
            alt_name = "DNS:" + host
        csr_path = os.path.join(self.directory, name + ".csr")
        ext_path = os.path.join(self.directory, name + ".ext")
        with open(ext_path, "w") as f:
            f.write("subjectAltName=%s\n"
                    "basicConstraints=critical,CA:FALSE\n"
                    "keyUsage=critical,digitalSignature,keyEncipherment\n"
                    "extendedKeyUsage=serverAuth\n"
                    "authorityKeyIdentifier=keyid\n" % alt_name)
        _run_openssl(["req", "-new", "-key", self._server_key_path,
                      "-subj", "/CN=" + host, "-out", csr_path],
                     self.directory)
        temp_path = cert_path + ".tmp"
        _run_openssl(["x509", "-req", "-in", csr_path, "-CA", self.cert_path,
                      "-CAkey", self._key_path, "-set_serial",
                      str(secrets.randbits(63)), "-days", VALID_DAYS,
                      "-sha256", "-extfile", ext_path, "-out", temp_path],
                     self.directory)
        os.replace(temp_path, cert_path)

    def remove(self):
        """Deletes the folder when this object made it."""
        if self._own_directory:
            shutil.rmtree(self.directory, ignore_errors=True)
