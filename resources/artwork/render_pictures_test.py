#!/usr/bin/env python3
"""Checks of render_pictures.py, the build step that renders the pictures:
it runs on a small table of its own in a temporary directory and must fail
the build (exit 1, a "wrong size" message, no resource script) when a
rendered file's size differs from the size the table gives, and pass when
they agree.

Run: python3 resources/artwork/render_pictures_test.py
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "render_pictures.py")

SVG = """<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d"
     viewBox="0 0 %d %d">
  <rect x="0" y="0" width="%d" height="%d" fill="#FFCC00"/>
</svg>
"""


class RenderPicturesTest(unittest.TestCase):

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="render_pictures_")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.source = os.path.join(self.dir, "source")
        self.output = os.path.join(self.dir, "output")
        self.rc = os.path.join(self.dir, "pictures.rc")
        os.makedirs(self.source)

    def write_svg(self, name, width, height):
        with open(os.path.join(self.source, name), "w") as f:
            f.write(SVG % (width, height, width, height, width, height))

    def write_table(self, rows):
        with open(os.path.join(self.source, "pictures.txt"), "w") as f:
            f.write("# id source zoom format width height\n")
            for row in rows:
                f.write(" ".join(str(v) for v in row) + "\n")

    def render(self):
        return subprocess.run(
            [sys.executable, SCRIPT, self.source, self.output, self.rc],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)

    def test_sizes_as_the_table_gives_pass(self):
        self.write_svg("strip.svg", 36, 12)
        self.write_svg("back.svg", 30, 20)
        self.write_table([(2000, "strip.svg", 1, "png", 36, 12),
                          (2001, "strip.svg", 2, "png", 72, 24),
                          (2002, "back.svg", 1, "jpeg", 30, 20)])
        result = self.render()
        self.assertEqual(result.returncode, 0, result.stderr.decode())
        self.assertEqual(result.stderr, b"")
        with open(self.rc) as f:
            lines = f.read().splitlines()
        entries = [l for l in lines if not l.startswith("//")]
        self.assertEqual([l.split()[:2] for l in entries],
                         [["2000", "RCDATA"], ["2001", "RCDATA"],
                          ["2002", "RCDATA"]])
        for line in entries:
            path = line.split('"')[1]
            self.assertTrue(os.path.getsize(path) > 0, path)
        self.assertTrue(entries[2].endswith('.jpg"'))

    def test_png_of_another_size_fails(self):
        # The source is drawn 36 wide; the table says the file is 40 wide.
        self.write_svg("strip.svg", 36, 12)
        self.write_table([(2000, "strip.svg", 1, "png", 40, 12)])
        result = self.render()
        self.assertEqual(result.returncode, 1)
        self.assertEqual(
            result.stderr.decode().strip(),
            "render_pictures: wrong size: strip.svg (id 2000, zoom 1): "
            "36x12, expected 40x12")
        self.assertFalse(os.path.exists(self.rc))

    def test_2x_file_of_a_source_at_the_wrong_size_fails(self):
        # The 1x file agrees; the 2x file of a 37-wide source is 74 wide.
        self.write_svg("strip.svg", 37, 12)
        self.write_table([(2000, "strip.svg", 1, "png", 37, 12),
                          (2001, "strip.svg", 2, "png", 72, 24)])
        result = self.render()
        self.assertEqual(result.returncode, 1)
        self.assertIn("render_pictures: wrong size: strip.svg (id 2001, "
                      "zoom 2): 74x24, expected 72x24",
                      result.stderr.decode())
        self.assertNotIn("id 2000", result.stderr.decode())
        self.assertFalse(os.path.exists(self.rc))

    def test_jpeg_of_another_size_fails(self):
        self.write_svg("back.svg", 30, 20)
        self.write_table([(2002, "back.svg", 1, "jpeg", 30, 21)])
        result = self.render()
        self.assertEqual(result.returncode, 1)
        self.assertIn("render_pictures: wrong size: back.svg (id 2002, "
                      "zoom 1): 30x20, expected 30x21",
                      result.stderr.decode())
        self.assertFalse(os.path.exists(self.rc))


if __name__ == "__main__":
    unittest.main()
