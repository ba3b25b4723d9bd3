#!/usr/bin/env python3
"""The trusted certificate list of a setup archive and its signature.

A setup archive carries two resources that the installer checks before it
runs the archive: TRUSTED.JSON, the list of signing certificates it may be
signed with, and SIGNATURE.DAT, an RSA signature over that list made with
one of the ten keys built into the installer. Python 3 standard library and
the openssl command.

  trusted_list.py make-json -o TRUSTED.JSON --entry SIGNER.pem ISSUER.pem PIN ...
  trusted_list.py sign --json TRUSTED.JSON --key KEY.pem --index N -o SIGNATURE.DAT
  trusted_list.py show TRUSTED.JSON
  trusted_list.py cert-id SIGNER.pem ISSUER.pem

PIN is "key" (pin the signer's own public key), "none" (pin nothing: any
key of a certificate with that id is accepted), the path of another
certificate (pin that certificate's key) or 64 hexadecimal digits. The tool
refuses to write or sign a list with an entry whose pub_key is present but
not 64 hexadecimal digits: the installer accepts no certificate for it.
"""
import argparse
import base64
import hashlib
import json
import os
import ssl
import struct
import subprocess
import sys
import tempfile


class DerError(Exception):
    pass


def read_tlv(data, pos):
    """(tag, content start, content end) of the DER element at |pos|."""
    if pos + 2 > len(data):
        raise DerError("truncated element")
    tag = data[pos]
    length = data[pos + 1]
    start = pos + 2
    if length & 0x80:
        count = length & 0x7F
        if count == 0 or count > 4 or start + count > len(data):
            raise DerError("bad length")
        length = int.from_bytes(data[start:start + count], "big")
        start += count
    end = start + length
    if end > len(data):
        raise DerError("element runs past its container")
    return tag, start, end


def children(data, start, end):
    pos = start
    while pos < end:
        tag, cstart, cend = read_tlv(data, pos)
        yield tag, cstart, cend
        pos = cend


def load_certificate(path):
    """DER bytes of a PEM or DER certificate file."""
    with open(path, "rb") as f:
        raw = f.read()
    if b"-----BEGIN CERTIFICATE-----" in raw:
        return ssl.PEM_cert_to_DER_cert(raw.decode("ascii"))
    return raw


def certificate_fields(der):
    """Serial number (DER content bytes, most significant first, sign byte
    included, as Windows reads it) and the public-key bits of the
    certificate's SubjectPublicKeyInfo."""
    tag, start, end = read_tlv(der, 0)
    if tag != 0x30:
        raise DerError("not a certificate")
    tag, tbs_start, tbs_end = read_tlv(der, start)
    fields = list(children(der, tbs_start, tbs_end))
    if fields and fields[0][0] == 0xA0:  # explicit version
        fields = fields[1:]
    if len(fields) < 6 or fields[0][0] != 0x02:
        raise DerError("unexpected TBSCertificate")
    serial = der[fields[0][1]:fields[0][2]]
    spki = fields[5]
    parts = list(children(der, spki[1], spki[2]))
    if len(parts) != 2 or parts[1][0] != 0x03:
        raise DerError("unexpected SubjectPublicKeyInfo")
    bit_string = der[parts[1][1]:parts[1][2]]
    if not bit_string or bit_string[0] != 0:
        raise DerError("public key with unused bits")
    return serial, bit_string[1:]


def certificate_id(signer_path, issuer_path):
    """Issuer serial then signer serial: the id the list names a
    certificate by."""
    signer_serial, _ = certificate_fields(load_certificate(signer_path))
    issuer_serial, _ = certificate_fields(load_certificate(issuer_path))
    return issuer_serial + signer_serial


def public_key_hash(cert_path):
    _, bits = certificate_fields(load_certificate(cert_path))
    return hashlib.sha256(bits).hexdigest()


def is_readable_pub_key(value):
    """What the installer reads as a pin: a string of exactly 64
    hexadecimal digits. Any other pub_key (63 digits, a space, colons,
    "0x", a number, null) makes the installer accept no certificate for
    that entry."""
    return (isinstance(value, str) and len(value) == 64 and
            all(c in "0123456789abcdefABCDEF" for c in value))


def check_entries(document):
    """Raises ValueError for a list the installer would not read as meant:
    an entry whose pub_key is present but unreadable."""
    try:
        certificates = document["trusted_info"]["certificates"]
    except (KeyError, TypeError):
        raise ValueError("no trusted_info.certificates array")
    if not isinstance(certificates, list):
        raise ValueError("no trusted_info.certificates array")
    for entry in certificates:
        if (isinstance(entry, dict) and "pub_key" in entry and
                not is_readable_pub_key(entry["pub_key"])):
            raise ValueError("unreadable pub_key %r: not 64 hexadecimal "
                             "digits" % (entry["pub_key"],))


def make_entry(signer, issuer, pin):
    entry = {"id": base64.b64encode(certificate_id(signer, issuer)).decode()}
    if pin == "key":
        entry["pub_key"] = public_key_hash(signer)
    elif pin == "none":
        pass
    elif is_readable_pub_key(pin):
        entry["pub_key"] = pin
    elif os.path.isfile(pin):
        entry["pub_key"] = public_key_hash(pin)
    else:
        raise ValueError("PIN %r is neither key, none, 64 hexadecimal digits "
                         "nor a certificate file" % pin)
    return entry


def make_list(entries):
    """The JSON text (UTF-8 bytes) of a list of (signer, issuer, pin)."""
    document = {"trusted_info": {"certificates": [
        make_entry(signer, issuer, pin) for signer, issuer, pin in entries]}}
    check_entries(document)
    return (json.dumps(document, indent=2) + "\n").encode("utf-8")


def check_list(json_bytes):
    """Raises ValueError unless |json_bytes| is a list the installer reads
    as written (see check_entries)."""
    try:
        document = json.loads(json_bytes.decode("utf-8"))
    except (UnicodeDecodeError, json.JSONDecodeError) as e:
        raise ValueError("not a JSON list: %s" % e)
    check_entries(document)


def sign_list(json_bytes, key_path, index):
    """SIGNATURE.DAT: the key index (16-bit little-endian) and the RSA
    PKCS #1 v1.5 SHA-1 signature of the exact list bytes."""
    if not 0 <= index <= 0xFFFF:
        raise ValueError("key index out of range")
    with tempfile.TemporaryDirectory() as work:
        data = os.path.join(work, "trusted.json")
        with open(data, "wb") as f:
            f.write(json_bytes)
        signature = subprocess.run(
            ["openssl", "dgst", "-sha1", "-sign", key_path, data],
            check=True, stdout=subprocess.PIPE).stdout
    return struct.pack("<H", index) + signature


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    make = sub.add_parser("make-json")
    make.add_argument("-o", "--output", required=True)
    make.add_argument("--entry", nargs=3, action="append", required=True,
                      metavar=("SIGNER", "ISSUER", "PIN"))
    sign = sub.add_parser("sign")
    sign.add_argument("--json", required=True)
    sign.add_argument("--key", required=True)
    sign.add_argument("--index", type=int, required=True)
    sign.add_argument("-o", "--output", required=True)
    show = sub.add_parser("show")
    show.add_argument("json")
    cert_id = sub.add_parser("cert-id")
    cert_id.add_argument("signer")
    cert_id.add_argument("issuer")
    args = parser.parse_args(argv)
    try:
        if args.command == "make-json":
            with open(args.output, "wb") as f:
                f.write(make_list(args.entry))
        elif args.command == "sign":
            with open(args.json, "rb") as f:
                json_bytes = f.read()
            check_list(json_bytes)
            dat = sign_list(json_bytes, args.key, args.index)
            with open(args.output, "wb") as f:
                f.write(dat)
        elif args.command == "show":
            with open(args.json, "rb") as f:
                document = json.loads(f.read().decode("utf-8"))
            for entry in document["trusted_info"]["certificates"]:
                print(base64.b64decode(entry["id"]).hex(),
                      entry.get("pub_key", "-"))
        else:
            print(certificate_id(args.signer, args.issuer).hex())
    except (OSError, DerError, ValueError, subprocess.CalledProcessError) as e:
        print("trusted_list.py: %s" % e, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
