#!/usr/bin/env python3
"""Stamps distribution parameters into an already signed installer.

Two places hold the parameter text without breaking the Authenticode
signature, because the signature's hash leaves the certificate table out:

  tag A  a dummy, unsigned certificate appended to the certificate list of
         the signature's SignedData; its fourth extension's value holds a
         16-bit big-endian length and the text. Several dummy certificates
         give their texts concatenated, in certificate order.
  tag B  a block "Kact", a 16-bit big-endian length and the text, placed
         right after the SignedData padded to 8 bytes, inside the
         certificate table. The installer reads it only when tag A is empty.

The file is written to a temporary file beside the output and renamed over
it, so an interrupted or refused run never leaves a half-stamped file.
Python 3 standard library only. See tools/README.md.
"""
import argparse
import os
import struct
import sys
import tempfile

# The first 112 bytes of a dummy certificate's TBSCertificate contents, which
# the installer compares to recognise a tag carrier: version 3, serial
# number 1, sha1WithRSAEncryption, issuer CN "Unknown issuer", validity
# 2013-01-01 10:00:00Z to 2013-04-01 10:00:00Z, subject CN "Dummy
# certificate".
DUMMY_TBS_PREFIX = bytes.fromhex(
    "a0 03 02 01 02 02 01 01 30 0d 06 09 2a 86 48 86 f7 0d 01 01 05 05 00 30"
    "19 31 17 30 15 06 03 55 04 03 13 0e 55 6e 6b 6e 6f 77 6e 20 69 73 73 75"
    "65 72 30 1e 17 0d 31 33 30 31 30 31 31 30 30 30 30 30 5a 17 0d 31 33 30"
    "34 30 31 31 30 30 30 30 30 5a 30 1c 31 1a 30 18 06 03 55 04 03 13 11 44"
    "75 6d 6d 79 20 63 65 72 74 69 66 69 63 61 74 65")
assert len(DUMMY_TBS_PREFIX) == 112

# A public key for the dummy certificate, so that every certificate parser
# accepts it; nothing is ever signed or verified with it.
DUMMY_PUBLIC_KEY_INFO = bytes.fromhex(
    "30819f300d06092a864886f70d010101050003818d0030818902818100bb6513710aad"
    "c0b8c75bc0ce3afb3bf6909686ff99203dba3afed416e9411d321b7a02b20cf649feaf"
    "87658bafbd5283895ff4b78a74227f26ba7daaee4f1b3fd70575f860d2f278555a214a"
    "9b93f54388e592d1d14c88246fc5c3309ce657ef27a046992a465fc1394e059735f925"
    "198359227c369082ad5079e772aa2430bb0203010001")

SHA1_WITH_RSA = bytes.fromhex("300d06092a864886f70d0101050500")
OID_SIGNED_DATA = bytes.fromhex("2a864886f70d010702")
# The tag extension's identifier: an OID of the UUID arc 2.25, which needs
# no registration.
TAG_EXTENSION_UUID = 43866444616987629654423372046250383726

WIN_CERT_REVISION_2_0 = 0x0200
WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0002
TRAILER_MAGIC = b"Kact"
MAX_TAG_LENGTH = 0xFFFF


class StampError(Exception):
    """Input the tool refuses, with the reason for the user."""


# --------------------------------------------------------------------------
# DER

def der_length(length):
    if length < 0x80:
        return bytes([length])
    body = length.to_bytes((length.bit_length() + 7) // 8, "big")
    return bytes([0x80 + len(body)]) + body


def der(tag, contents, two_byte_length=False):
    if two_byte_length:
        if len(contents) > 0xFFFF:
            raise StampError("element too long for a 2-byte length")
        return bytes([tag, 0x82]) + struct.pack(">H", len(contents)) + contents
    return bytes([tag]) + der_length(len(contents)) + contents


def der_oid(first_arcs, *arcs):
    def base128(value):
        out = [value & 0x7F]
        value >>= 7
        while value:
            out.append(0x80 | (value & 0x7F))
            value >>= 7
        return bytes(reversed(out))
    body = base128(first_arcs[0] * 40 + first_arcs[1])
    for arc in arcs:
        body += base128(arc)
    return der(0x06, body)


def read_element(data, pos, end):
    """(tag, contents start, contents end) of the element at pos.

    The same length forms as the installer's reader: one byte below 0x80, or
    0x81 to 0x84 followed by 1 to 4 big-endian bytes."""
    if pos + 2 > end:
        raise StampError("truncated DER element at offset %d" % pos)
    tag, first = data[pos], data[pos + 1]
    pos += 2
    if first < 0x80:
        length = first
    elif 0x81 <= first <= 0x84:
        count = first - 0x80
        if pos + count > end:
            raise StampError("truncated DER length at offset %d" % pos)
        length = int.from_bytes(data[pos:pos + count], "big")
        pos += count
    else:
        raise StampError("unsupported DER length form 0x%02x" % first)
    if pos + length > end:
        raise StampError("DER element at offset %d runs past its parent" % pos)
    return tag, pos, pos + length


# --------------------------------------------------------------------------
# Dummy certificates

def tag_extension(payload):
    oid = der_oid((2, 25), TAG_EXTENSION_UUID)
    return der(0x30, oid + der(0x04, payload))


def dummy_certificate(tag, announced_length=None):
    """A tag carrier. announced_length other than len(tag) makes a damaged
    carrier, for testing readers."""
    if len(tag) > MAX_TAG_LENGTH:
        raise StampError("tag too long: %d bytes, at most %d"
                         % (len(tag), MAX_TAG_LENGTH))
    if announced_length is None:
        announced_length = len(tag)
    extensions = (
        # basicConstraints: not a CA.
        der(0x30, der_oid((2, 5), 29, 19) + der(0x04, der(0x30, b""))) +
        # keyUsage: digitalSignature.
        der(0x30, der_oid((2, 5), 29, 15) + der(0x04, bytes.fromhex("03020780"))) +
        # subjectKeyIdentifier.
        der(0x30, der_oid((2, 5), 29, 14) + der(0x04, der(0x04, bytes(20)))) +
        tag_extension(struct.pack(">H", announced_length & 0xFFFF) + tag))
    tbs = der(0x30, DUMMY_TBS_PREFIX + DUMMY_PUBLIC_KEY_INFO +
              der(0xA3, der(0x30, extensions)))
    signature = der(0x03, b"\x00" + bytes(128))
    return der(0x30, tbs + SHA1_WITH_RSA + signature)


# --------------------------------------------------------------------------
# PE image and certificate table

class Image:
    """The parts of a signed PE image the stamping touches."""

    def __init__(self, data):
        self.data = bytearray(data)
        d = self.data
        if len(d) < 64 or d[:2] != b"MZ":
            raise StampError("not a PE image: no MZ header")
        self.pe = struct.unpack_from("<I", d, 60)[0]
        if self.pe + 24 + 2 > len(d) or d[self.pe:self.pe + 4] != b"PE\0\0":
            raise StampError("not a PE image: no PE signature")
        magic = struct.unpack_from("<H", d, self.pe + 24)[0]
        if magic == 0x10B:
            self.directory = self.pe + 152
        elif magic == 0x20B:
            self.directory = self.pe + 168
        else:
            raise StampError("not a PE image: optional header magic 0x%x" % magic)
        if self.directory + 8 > len(d):
            raise StampError("not a PE image: headers truncated")
        self.checksum_at = self.pe + 24 + 64
        offset, size = struct.unpack_from("<II", d, self.directory)
        if offset == 0 or size == 0:
            raise StampError("the file is not signed: it has no certificate table")
        if offset + size != len(d):
            raise StampError("the certificate table is not at the end of the file")
        if offset % 8 or size < 8:
            raise StampError("malformed certificate table")
        length, revision, kind = struct.unpack_from("<IHH", d, offset)
        if kind != WIN_CERT_TYPE_PKCS_SIGNED_DATA or revision != WIN_CERT_REVISION_2_0:
            raise StampError("the certificate table holds no Authenticode signature")
        if (length + 7) // 8 * 8 != size:
            raise StampError("the certificate table holds more than one signature")
        self.table = offset
        self.table_size = size
        body = bytes(d[offset + 8:offset + size])
        _, start, end = read_element(body, 0, len(body))
        self.signed_data = body[:end]
        self.trailer_tag = None
        rest = body[(end + 7) // 8 * 8:]
        if rest[:4] == TRAILER_MAGIC and len(rest) >= 6:
            n = struct.unpack_from(">H", rest, 4)[0]
            if 6 + n > len(rest) or any(rest[6 + n:]):
                raise StampError("malformed tag block after the signature")
            self.trailer_tag = rest[6:6 + n]
        elif any(body[end:]):
            raise StampError("unknown data after the signature")


def add_certificates(signed_data, certificates):
    """The ContentInfo with certificates appended to its certificate list,
    every enclosing length recomputed."""
    _, ci_start, ci_end = read_element(signed_data, 0, len(signed_data))
    tag, oid_start, oid_end = read_element(signed_data, ci_start, ci_end)
    if tag != 0x06 or signed_data[oid_start:oid_end] != OID_SIGNED_DATA:
        raise StampError("the signature is not a PKCS #7 SignedData")
    content_type = signed_data[ci_start:oid_end]
    tag, ex_start, ex_end = read_element(signed_data, oid_end, ci_end)
    if tag != 0xA0:
        raise StampError("the signature has no SignedData content")
    tag, sd_start, sd_end = read_element(signed_data, ex_start, ex_end)
    pos = sd_start
    for _ in range(3):  # version, digestAlgorithms, encapContentInfo
        _, _, pos = read_element(signed_data, pos, sd_end)
    head = signed_data[sd_start:pos]
    existing = b""
    if pos < sd_end and signed_data[pos] == 0xA0:
        _, list_start, list_end = read_element(signed_data, pos, sd_end)
        existing = signed_data[list_start:list_end]
        pos = list_end
    tail = signed_data[pos:sd_end]
    certificate_list = der(0xA0, existing + b"".join(certificates))
    inner = der(0x30, head + certificate_list + tail)
    return der(0x30, content_type + der(0xA0, inner))


def reencode_outer(signed_data, two_byte_length):
    _, start, end = read_element(signed_data, 0, len(signed_data))
    return der(0x30, signed_data[start:end], two_byte_length)


def pe_checksum(data, checksum_at):
    total = 0
    padded = bytes(data) + (b"\0" if len(data) % 2 else b"")
    words = struct.unpack("<%dH" % (len(padded) // 2), padded)
    skip = (checksum_at // 2, checksum_at // 2 + 1)
    for i, word in enumerate(words):
        if i in skip:
            continue
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def stamp(data, carriers=(), trailer_tag=None):
    """The stamped file's bytes.

    carriers: (tag bytes, announced length or None) per dummy certificate,
    in order. trailer_tag: the tag B text, or None to keep an existing one.
    """
    image = Image(data)
    for tag, _ in carriers:
        if len(tag) > MAX_TAG_LENGTH:
            raise StampError("tag A too long: %d bytes, at most %d"
                             % (len(tag), MAX_TAG_LENGTH))
    if trailer_tag is not None and len(trailer_tag) > MAX_TAG_LENGTH:
        raise StampError("tag B too long: %d bytes, at most %d"
                         % (len(trailer_tag), MAX_TAG_LENGTH))
    signed_data = image.signed_data
    if carriers:
        signed_data = add_certificates(
            signed_data, [dummy_certificate(t, n) for t, n in carriers])
    if trailer_tag is None:
        trailer_tag = image.trailer_tag
    block = b""
    if trailer_tag is not None:
        # The reader finds the block through a 2-byte SignedData length.
        _, start, end = read_element(signed_data, 0, len(signed_data))
        if end - start > 0xFFFF:
            raise StampError("the signature is too large for a tag block after it")
        signed_data = reencode_outer(signed_data, True)
        block = TRAILER_MAGIC + struct.pack(">H", len(trailer_tag)) + trailer_tag
    body = signed_data + bytes(-len(signed_data) % 8) + block
    body += bytes(-len(body) % 8)
    table_size = 8 + len(body)
    out = image.data[:image.table]
    out += struct.pack("<IHH", table_size, WIN_CERT_REVISION_2_0,
                       WIN_CERT_TYPE_PKCS_SIGNED_DATA) + body
    struct.pack_into("<II", out, image.directory, image.table, table_size)
    struct.pack_into("<I", out, image.checksum_at, 0)
    struct.pack_into("<I", out, image.checksum_at,
                     pe_checksum(out, image.checksum_at))
    return bytes(out)


# --------------------------------------------------------------------------
# Reading, with the installer's rules (for --show and the tests)

def read_tag_a(data):
    """The concatenated tag A texts, or None when the installer would log a
    malformed or missing certificate table."""
    try:
        image = Image(data)
        _, ci_start, ci_end = read_element(image.signed_data, 0,
                                           len(image.signed_data))
    except StampError:
        return None
    d = image.signed_data
    try:
        _, _, pos = read_element(d, ci_start, ci_end)       # contentType
        _, s, e = read_element(d, pos, ci_end)              # [0]
        _, s, e = read_element(d, s, e)                     # SignedData
        for _ in range(3):
            _, _, s = read_element(d, s, e)
        _, s, e = read_element(d, s, e)                     # certificates
    except StampError:
        return None
    tags = b""
    while s < e:
        try:
            _, cs, ce = read_element(d, s, e)
        except StampError:
            return None
        tags += carrier_tag(d, s, e)
        s = ce
    return tags


def carrier_tag(d, pos, end):
    try:
        _, s, e = read_element(d, pos, end)    # Certificate
        _, s, e = read_element(d, s, e)        # TBSCertificate
        if d[s:s + 112] != DUMMY_TBS_PREFIX:
            return b""
        for _ in range(7):
            _, _, s = read_element(d, s, e)
        _, s, e = read_element(d, s, e)        # [3]
        _, s, e = read_element(d, s, e)        # Extensions
        for _ in range(3):
            _, _, s = read_element(d, s, e)
        _, s, e = read_element(d, s, e)        # fourth extension
        _, _, s = read_element(d, s, e)        # extnID
        _, s, e = read_element(d, s, e)        # extnValue
    except StampError:
        return b""
    if e - s < 2:
        return b""
    n = struct.unpack_from(">H", d, s)[0]
    return d[s + 2:s + 2 + n] if e - s >= 2 + n else b""


# --------------------------------------------------------------------------

def write_atomically(path, data, mode_from):
    folder = os.path.dirname(os.path.abspath(path))
    handle, temporary = tempfile.mkstemp(prefix=".stamp-", dir=folder)
    try:
        with os.fdopen(handle, "wb") as f:
            f.write(data)
            f.flush()
            os.fsync(f.fileno())
        os.chmod(temporary, os.stat(mode_from).st_mode & 0o7777)
        os.replace(temporary, path)
    except BaseException:
        try:
            os.unlink(temporary)
        except OSError:
            pass
        raise


class AppendCarrier(argparse.Action):
    def __call__(self, parser, namespace, value, option_string=None):
        carriers = getattr(namespace, "carriers", None) or []
        tag = os.fsencode(value)
        announced = len(tag) + 100 if option_string == "--tag-a-damaged" else None
        carriers.append((tag, announced))
        namespace.carriers = carriers


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Stamp distribution parameters into a signed installer.")
    parser.add_argument("input", help="signed installer")
    parser.add_argument("output", nargs="?",
                        help="stamped installer (may be the input)")
    parser.add_argument("--tag-a", action=AppendCarrier, metavar="TEXT",
                        help="add a dummy certificate carrying TEXT "
                             "(repeatable; texts are read concatenated)")
    parser.add_argument("--tag-a-damaged", action=AppendCarrier,
                        metavar="TEXT",
                        help="add a carrier whose length announces more "
                             "bytes than it holds (for testing readers)")
    parser.add_argument("--tag-b", metavar="TEXT",
                        help="put TEXT in the block after the signature")
    parser.add_argument("--show", action="store_true",
                        help="print the tags the installer would read")
    args = parser.parse_args(argv)
    carriers = getattr(args, "carriers", None) or []
    try:
        with open(args.input, "rb") as f:
            data = f.read()
        if args.show:
            image = Image(data)
            tag_a = read_tag_a(data)
            print("tag A: %r" % tag_a)
            print("tag B: %r" % image.trailer_tag)
            return 0
        if not args.output:
            parser.error("an output file is needed")
        if not carriers and args.tag_b is None:
            parser.error("nothing to stamp: give --tag-a or --tag-b")
        trailer = os.fsencode(args.tag_b) if args.tag_b is not None else None
        stamped = stamp(data, carriers, trailer)
        write_atomically(args.output, stamped, args.input)
    except StampError as e:
        print("stamp_installer_tag: %s: %s" % (args.input, e), file=sys.stderr)
        return 2
    except OSError as e:
        print("stamp_installer_tag: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
