#!/usr/bin/env python3
"""Renders the test web service's slides from their SVG sources
(rsvg-convert, then ImageMagick for JPEG), checks every size against
slides.txt, and writes two pictures the slide tests need besides:
too_large.png (4097 x 2, beyond the installer's 4096 limit) and
not_a_picture.jpg (bytes no decoder takes).

usage: render_slides.py SOURCE_DIR OUTPUT_DIR
"""
import os
import struct
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "..", "resources", "artwork"))
from render_pictures import jpeg_size  # noqa: E402

# The language mark in the slide's corner, as stroked paths (no fonts).
LANGUAGE_MARKS = {
    "en": "<path d='M0 0 H40 M0 0 V60 H40 M0 30 H30'/>"
          "<path d='M60 60 V0 L100 60 V0'/>",
    "ru": "<path d='M0 60 V0 H28 Q46 0 46 15 Q46 30 28 30 H0 M26 30 L46 60'/>"
          "<path d='M66 0 V42 Q66 60 86 60 Q106 60 106 42 V0'/>",
}


def png(width, height, rgb):
    """A plain PNG of one colour, made without any library."""
    def chunk(kind, data):
        body = kind + data
        return (struct.pack(">I", len(data)) + body +
                struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF))
    row = b"\x00" + bytes(rgb) * width
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(row * height)) + chunk(b"IEND", b""))


def main():
    source_dir, output_dir = sys.argv[1:3]
    errors = []
    with open(os.path.join(source_dir, "slides.txt")) as table:
        rows = [line.split() for line in table
                if line.strip() and not line.startswith("#")]
    for folder, name, source, width, height in rows:
        language = [part for part in folder.split("/") if part in LANGUAGE_MARKS][0]
        with open(os.path.join(source_dir, source)) as f:
            svg = f.read().replace("{{LANGUAGE_MARK}}", LANGUAGE_MARKS[language])
        target_dir = os.path.join(output_dir, folder)
        os.makedirs(target_dir, exist_ok=True)
        rendered = os.path.join(target_dir, name + ".svg")
        with open(rendered, "w") as f:
            f.write(svg)
        png_path = os.path.join(target_dir, name + ".png")
        subprocess.run(["rsvg-convert", "-w", width, "-h", height, "-o",
                        png_path, rendered], check=True)
        out = os.path.join(target_dir, name)
        subprocess.run(["convert", png_path, "-background", "white",
                        "-flatten", "-quality", "90", out], check=True)
        os.remove(png_path)
        os.remove(rendered)
        with open(out, "rb") as f:
            got = jpeg_size(f.read())
        if got != (int(width), int(height)):
            errors.append("%s/%s: %dx%d, expected %sx%s" %
                          (folder, name, got[0], got[1], width, height))
    extra = os.path.join(output_dir, "extra")
    os.makedirs(extra, exist_ok=True)
    with open(os.path.join(extra, "too_large.png"), "wb") as f:
        f.write(png(4097, 2, (30, 42, 74)))
    with open(os.path.join(extra, "not_a_picture.jpg"), "wb") as f:
        f.write(b"\xff\xd8 this is not a picture " * 64)
    if errors:
        for e in errors:
            print("render_slides: wrong size: " + e, file=sys.stderr)
        return 1
    with open(os.path.join(output_dir, "stamp"), "w") as f:
        f.write("ok\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
