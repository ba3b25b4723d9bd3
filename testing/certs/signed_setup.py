#!/usr/bin/env python3
"""Signed test setup programs for the trust-verification tests.

Makes a throw-away PKI (two test roots, code-signing certificates issued
with SHA-256 and with SHA-1, and a self-signed one), and builds copies
of the test setup program that carry a TRUSTED.JSON and a SIGNATURE.DAT
resource and one or two Authenticode signatures. Python 3 standard library,
the openssl and osslsigncode commands, and Wine (set_resources.exe adds the
resources with BeginUpdateResourceW, the way a Windows build step would;
binutils has no tool that adds a resource to a linked program).

  signed_setup.py pki OUT_DIR
  signed_setup.py build --source test_setup.exe --output OUT.exe
      --set-resources set_resources.exe [--wine wine64]
      [--json TRUSTED.JSON] [--signature SIGNATURE.DAT]
      [--sign CERT_CHAIN KEY HASH]...

Nothing made here can sign a shipped build: every key is new and random.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

# Two roots: the tests make "root" trusted in the Wine prefix and leave
# "untrusted_root" untrusted.
ROOTS = {"root": "0xc0ffee01", "untrusted_root": "0xc0ffee02"}
# Serial numbers chosen so that one has its top bit set: its DER form then
# carries a leading zero byte, which is part of the id the installer reads.
CERTIFICATES = {
    # name: (serial, certificate signature digest, issuer or None)
    "signer_a": ("0x9a0b0c0d0e0f", "sha256", "root"),
    "signer_b": ("0x0102030405", "sha256", "root"),
    "signer_sha1": ("0x0102030406", "sha1", "root"),
    "self_signed": ("0x0102030407", "sha256", None),
    "untrusted_sha1": ("0x0102030408", "sha1", "untrusted_root"),
}


def openssl(*args, cwd):
    subprocess.run(["openssl"] + list(args), cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_pki(out_dir):
    """Writes <root>.crt/key for each of ROOTS and <name>.crt/key and
    <name>.chain.pem (the certificate followed by its issuer, what the
    signature carries) for each of CERTIFICATES; returns out_dir."""
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, "signer.ext"), "w") as f:
        f.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                "extendedKeyUsage=codeSigning\n")
    for root, serial in ROOTS.items():
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                root + ".key", "-out", root + ".crt", "-days", "3650",
                "-sha256", "-set_serial", serial, "-subj",
                "/CN=Kelvra Trust Test %s" % root,
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=out_dir)
    for name, (serial, digest, issuer) in CERTIFICATES.items():
        subject = "/CN=Kelvra Trust Test %s" % name
        if issuer:
            openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout",
                    name + ".key", "-out", name + ".csr", "-subj", subject,
                    cwd=out_dir)
            openssl("x509", "-req", "-in", name + ".csr", "-CA",
                    issuer + ".crt", "-CAkey", issuer + ".key", "-set_serial",
                    serial, "-days", "3650", "-" + digest, "-extfile",
                    "signer.ext", "-out", name + ".crt", cwd=out_dir)
            os.remove(os.path.join(out_dir, name + ".csr"))
            parts = [name + ".crt", issuer + ".crt"]
        else:
            openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes",
                    "-keyout", name + ".key", "-out", name + ".crt", "-days",
                    "3650", "-" + digest, "-set_serial", serial, "-subj",
                    subject, "-addext", "extendedKeyUsage=codeSigning",
                    cwd=out_dir)
            parts = [name + ".crt"]
        with open(os.path.join(out_dir, name + ".chain.pem"), "wb") as chain:
            for part in parts:
                with open(os.path.join(out_dir, part), "rb") as f:
                    chain.write(f.read())
    return out_dir


def to_windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def add_resources(exe, resources, set_resources, wine, env=None):
    """resources: list of (type, name, bytes)."""
    with tempfile.TemporaryDirectory() as work:
        args = [wine, set_resources, to_windows_path(exe)]
        for i, (kind, name, data) in enumerate(resources):
            path = os.path.join(work, "resource%d" % i)
            with open(path, "wb") as f:
                f.write(data)
            args += [kind, name, to_windows_path(path)]
        completed = subprocess.run(args, env=env, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, timeout=120)
        if completed.returncode != 0:
            raise RuntimeError("set_resources failed: %r" % completed.stdout)


def authenticode_sign(exe, chain, key, digest, nest=False):
    """Signs |exe| in place; with |nest| the signature is added as a nested
    (secondary) one."""
    signed = exe + ".signed"
    args = ["osslsigncode", "sign", "-certs", chain, "-key", key,
            "-n", "Kelvra Browser Setup", "-h", digest]
    if nest:
        args.append("-nest")
    subprocess.run(args + ["-in", exe, "-out", signed], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    os.replace(signed, exe)


def build_setup(source, output, set_resources, wine, trusted_json=None,
                signature_dat=None, signatures=(), env=None):
    """Copies |source| to |output|, adds the list resources given, and signs
    with each (chain, key, digest) of |signatures| in turn, the first one as
    the primary signature."""
    shutil.copyfile(source, output)
    resources = []
    if signature_dat is not None:
        resources.append(("SIGNATURE_DAT", "SIGNATURE.DAT", signature_dat))
    if trusted_json is not None:
        resources.append(("TRUSTED_JSON", "TRUSTED.JSON", trusted_json))
    if resources:
        add_resources(output, resources, set_resources, wine, env)
    for i, (chain, key, digest) in enumerate(signatures):
        authenticode_sign(output, chain, key, digest, nest=i > 0)
    return output


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    pki = sub.add_parser("pki")
    pki.add_argument("out_dir")
    build = sub.add_parser("build")
    build.add_argument("--source", required=True)
    build.add_argument("--output", required=True)
    build.add_argument("--set-resources", required=True)
    build.add_argument("--wine", default="wine64")
    build.add_argument("--json")
    build.add_argument("--signature")
    build.add_argument("--sign", nargs=3, action="append", default=[],
                       metavar=("CHAIN", "KEY", "HASH"))
    args = parser.parse_args(argv)
    if args.command == "pki":
        make_pki(args.out_dir)
        return 0

    def read(path):
        if path is None:
            return None
        with open(path, "rb") as f:
            return f.read()
    build_setup(args.source, args.output, args.set_resources, args.wine,
                read(args.json), read(args.signature), args.sign)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
