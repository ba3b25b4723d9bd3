"""Checks of the built installer images themselves: load-time imports,
version resource, shared sections and the signature's certificate table."""
import os
import struct
import unittest

import harness

IMAGES = (harness.INSTALLER, harness.INSTALLER_SEAMS)


class PeImage:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("not an MZ image")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, section_count = struct.unpack_from("<HH", d, pe + 4)
        optional_size = struct.unpack_from("<H", d, pe + 20)[0]
        optional = pe + 24
        self.magic = struct.unpack_from("<H", d, optional)[0]
        directories = optional + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", d, directories + 8 * i)
                            for i in range(16)]
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            entry = table + 40 * i
            name = d[entry:entry + 8].rstrip(b"\0").decode()
            vsize, rva, raw_size, raw_ptr = struct.unpack_from(
                "<IIII", d, entry + 8)
            flags = struct.unpack_from("<I", d, entry + 36)[0]
            self.sections.append((name, vsize, rva, raw_size, raw_ptr, flags))

    def offset(self, rva):
        for _, vsize, start, raw_size, raw_ptr, _ in self.sections:
            if start <= rva < start + max(vsize, raw_size):
                return raw_ptr + rva - start
        raise ValueError("rva 0x%x outside every section" % rva)

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode()

    def imported_dlls(self):
        rva, size = self.directories[1]
        names = []
        entry = self.offset(rva)
        while True:
            fields = struct.unpack_from("<IIIII", self.data, entry)
            if fields == (0, 0, 0, 0, 0):
                return names
            names.append(self.c_string(fields[3]))
            entry += 20

    def product_version(self):
        signature = struct.pack("<I", 0xFEEF04BD)
        at = self.data.find(signature, self.offset(self.directories[2][0]))
        ms, ls = struct.unpack_from("<II", self.data, at + 16)
        return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


class ImageTest(unittest.TestCase):

    def images(self):
        return [(name, PeImage(harness.bin_path(name))) for name in IMAGES]

    def test_architecture(self):
        expected = {"i686": (0x14C, 0x10B), "x86_64": (0x8664, 0x20B)}
        for name, image in self.images():
            self.assertEqual((image.machine, image.magic),
                             expected[harness.ARCH], name)

    def test_load_time_imports_are_kernel32_and_the_c_runtime_only(self):
        # Everything else is delay-loaded after the DLL search is hardened.
        for name, image in self.images():
            self.assertEqual(sorted(n.lower() for n in image.imported_dlls()),
                             ["kernel32.dll", "msvcrt.dll"], name)

    def test_product_version(self):
        for name, image in self.images():
            self.assertEqual(image.product_version(), "23.5.4.674", name)

    def test_shared_section_holds_the_master_process_id(self):
        IMAGE_SCN_MEM_SHARED = 0x10000000
        for name, image in self.images():
            shared = [s for s in image.sections if s[0] == "SHARED"]
            self.assertEqual(len(shared), 1, name)
            name, vsize, _, _, _, flags = shared[0]
            self.assertEqual(vsize, 4)
            self.assertTrue(flags & IMAGE_SCN_MEM_SHARED)

    def test_shared_section_holds_the_delayed_parameters(self):
        IMAGE_SCN_MEM_SHARED = 0x10000000
        IMAGE_SCN_MEM_WRITE = 0x80000000
        for name, image in self.images():
            shared = [s for s in image.sections if s[0] == "Shared"]
            self.assertEqual(len(shared), 1, name)
            _, vsize, _, _, _, flags = shared[0]
            # The 3860-byte block alone, padded by the linker's alignment.
            self.assertGreaterEqual(vsize, 3860, name)
            self.assertLess(vsize, 3860 + 32, name)
            self.assertTrue(flags & IMAGE_SCN_MEM_SHARED, name)
            self.assertTrue(flags & IMAGE_SCN_MEM_WRITE, name)

    def test_shipped_installer_carries_no_test_seams(self):
        # The crash seams' names stand for their code: the shipped program
        # cannot be made to crash on demand.
        for variable in (b"LITE_INSTALLER_TEST_SEAMS", b"LITE_INSTALLER_SEAM_",
                         b"crash-access-violation", b"crash-stack-overflow",
                         b"CRASH_DUMP_EXTRA_BYTES"):
            shipped = PeImage(harness.bin_path(harness.INSTALLER)).data
            seams = PeImage(harness.bin_path(harness.INSTALLER_SEAMS)).data
            self.assertNotIn(variable, shipped)
            self.assertIn(variable, seams)

    def test_signed_with_a_certificate_table_at_the_end(self):
        for name, image in self.images():
            offset, size = image.directories[4]
            self.assertGreater(size, 0, name)
            self.assertEqual(offset + size, len(image.data))
            length, revision, kind = struct.unpack_from(
                "<IHH", image.data, offset)
            self.assertEqual((revision, kind), (0x200, 2))  # PKCS #7


if __name__ == "__main__":
    unittest.main()
