#!/usr/bin/env python3
"""Checks of the installer's string tables (resources/strings/strings_*.rc.in).

Every language has its own fragment with the same 67 strings (ids 400 to 467,
449 is not used). The checks below keep the tables in step with each other and
with the conventions the UI code relies on: the no-break space inside product
names, the "((" "))" link markup of the licence line, line feeds, printf
placeholders and the search-domain token that the build fills in.

Run: python3 resources/strings/strings_test.py
"""

import glob
import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))

# Language codes and ids, in the order the master fragment includes them.
LANGUAGES = [
    ("zh-TW", 1028),
    ("cs", 1029),
    ("de", 1031),
    ("en", 1033),
    ("fr", 1036),
    ("it", 1040),
    ("ja", 1041),
    ("pt-BR", 1046),
    ("ru", 1049),
    ("tr", 1055),
    ("uk", 1058),
    ("kk", 1087),
    ("uz", 1091),
    ("zh-CN", 2052),
    ("pt-PT", 2070),
    ("es", 3082),
]
ENGLISH = 1033
RUSSIAN = 1049

# Primary and sub-language macros the fragments may use. Only names that the
# resource compiler's headers define are listed: mingw-w64's winnt.rh has no
# SUBLANG_RUSSIAN_RUSSIA, SUBLANG_KAZAK_KAZAKHSTAN, SUBLANG_PORTUGUESE_PORTUGAL
# and the like, so those tables use SUBLANG_DEFAULT or SUBLANG_PORTUGUESE.
MACROS = {
    "LANG_CHINESE": 0x04,
    "LANG_CZECH": 0x05,
    "LANG_GERMAN": 0x07,
    "LANG_ENGLISH": 0x09,
    "LANG_SPANISH": 0x0A,
    "LANG_FRENCH": 0x0C,
    "LANG_ITALIAN": 0x10,
    "LANG_JAPANESE": 0x11,
    "LANG_PORTUGUESE": 0x16,
    "LANG_RUSSIAN": 0x19,
    "LANG_TURKISH": 0x1F,
    "LANG_UKRAINIAN": 0x22,
    "LANG_KAZAK": 0x3F,
    "LANG_UZBEK": 0x43,
    "SUBLANG_NEUTRAL": 0x00,
    "SUBLANG_DEFAULT": 0x01,
    "SUBLANG_CHINESE_TRADITIONAL": 0x01,
    "SUBLANG_CHINESE_SIMPLIFIED": 0x02,
    "SUBLANG_GERMAN": 0x01,
    "SUBLANG_ENGLISH_US": 0x01,
    "SUBLANG_SPANISH_MODERN": 0x03,
    "SUBLANG_FRENCH": 0x01,
    "SUBLANG_ITALIAN": 0x01,
    "SUBLANG_PORTUGUESE_BRAZILIAN": 0x01,
    "SUBLANG_PORTUGUESE": 0x02,
    "SUBLANG_UZBEK_LATIN": 0x01,
}

STRING_IDS = [i for i in range(400, 468) if i != 449]
NBSP = "\u00a0"
BRAND = re.compile("Kelvra|Кельвра")
SEARCH_DOMAIN_TOKEN = "@KELVRA_SEARCH_DOMAIN@"

# Texts naming the product with a no-break space inside the name.
NBSP_IDS = {406, 426, 427, 438, 443, 445, 446, 448, 452, 453, 456, 457, 458}
# Russian texts shown as they are whatever the language (Facetune variant and
# the business-edition notice).
FIXED_RUSSIAN_IDS = (405, 406, 407, 408, 409, 412, 462)
LICENCE_ID = 438
SEARCH_SHORTCUT_ID = 420
PLACEHOLDER_IDS = (439, 440, 441, 442)

# Ids whose English text may be kept as is in another table: 400 and 443 are
# nothing but the product name, 437 is "OK", which many languages use too.
SAME_AS_ENGLISH_ALLOWED = {400, 437, 443}
# The Russian 466 and 467 are the business-edition texts (the English ones
# repeat 432 and 433), so their line feeds and their sameness with 432/433 do
# not follow the English table; 464 says "update" there, not "install".
NEWLINE_EXCEPTIONS = {RUSSIAN: {466, 467}}
REPEAT_EXCEPTIONS = {RUSSIAN: {464, 466, 467}}
# English UI words that must not survive in a translated table.
ENGLISH_LEFTOVERS = re.compile(
    r"\b(Cancel|Close|Resume|Download|Install|Please|Your|You|the|and|of)\b")


class ParseError(Exception):
    pass


def file_name(code):
    return "strings_%s.rc.in" % code.lower().replace("-", "_")


def unescape(body, where):
    """Decodes the text between the quotes of a string-table entry."""
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c == '"':
            if body[i + 1:i + 2] != '"':
                raise ParseError("%s: lone double quote" % where)
            out.append('"')
            i += 2
        elif c == "\\":
            if body[i + 1:i + 2] != "n":
                raise ParseError("%s: unsupported escape %r" % (where, body[i:i + 2]))
            out.append("\n")
            i += 2
        elif ord(c) < 0x20:
            raise ParseError("%s: raw control character %r" % (where, c))
        else:
            out.append(c)
            i += 1
    return "".join(out)


def resolve(value, where):
    if re.fullmatch(r"0[xX][0-9a-fA-F]+|\d+", value):
        return int(value, 0)
    if value not in MACROS:
        raise ParseError("%s: unknown language macro %s" % (where, value))
    return MACROS[value]


def parse_rc(text, where="<text>"):
    """Returns (language id, {string id: text}) of one fragment."""
    lang_id = None
    strings = {}
    state = "top"  # top -> table (after STRINGTABLE) -> body -> done
    for number, raw in enumerate(text.split("\n"), 1):
        line = raw.rstrip("\r").strip()
        at = "%s:%d" % (where, number)
        if not line or line.startswith("//"):
            continue
        if state == "top":
            m = re.fullmatch(r"LANGUAGE\s+(\w+)\s*,\s*(\w+)", line)
            if m:
                if lang_id is not None:
                    raise ParseError("%s: second LANGUAGE statement" % at)
                primary = resolve(m.group(1), at)
                sub = resolve(m.group(2), at)
                lang_id = (sub << 10) | primary
            elif line == "STRINGTABLE":
                if lang_id is None:
                    raise ParseError("%s: STRINGTABLE before LANGUAGE" % at)
                state = "table"
            else:
                raise ParseError("%s: unexpected line %r" % (at, line))
        elif state == "table":
            if line not in ("{", "BEGIN"):
                raise ParseError("%s: expected {" % at)
            state = "body"
        elif state == "body":
            if line in ("}", "END"):
                state = "done"
                continue
            m = re.fullmatch(r'(\d+)\s*,\s*"(.*)"', line)
            if not m:
                raise ParseError("%s: bad entry %r" % (at, line))
            sid = int(m.group(1))
            if sid in strings:
                raise ParseError("%s: duplicate id %d" % (at, sid))
            strings[sid] = unescape(m.group(2), at)
        else:
            raise ParseError("%s: text after the string table" % at)
    if state != "done":
        raise ParseError("%s: string table not closed" % where)
    return lang_id, strings


def load_tables():
    tables = {}
    for code, lang_id in LANGUAGES:
        path = os.path.join(HERE, file_name(code))
        with open(path, "rb") as f:
            data = f.read()
        if data.startswith(b"\xef\xbb\xbf"):
            raise ParseError("%s: byte order mark" % path)
        tables[code] = (path, data.decode("utf-8")) + parse_rc(data.decode("utf-8"), path)
    return tables


class ParserTest(unittest.TestCase):
    def test_escapes(self):
        lang, strings = parse_rc(
            'LANGUAGE LANG_KAZAK, 0x01\nSTRINGTABLE\n{\n'
            '  400, "a ""b""\\nc"\n  401, ""\n}\n')
        self.assertEqual(lang, 1087)
        self.assertEqual(strings, {400: 'a "b"\nc', 401: ""})

    def test_rejects_malformed_tables(self):
        bad = [
            'LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\nSTRINGTABLE\n{\n  400, "a"b"\n}\n',
            'LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\nSTRINGTABLE\n{\n  400, "a\\tb"\n}\n',
            'LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\nSTRINGTABLE\n{\n  400, "a"\n  400, "b"\n}\n',
            'LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_UK_TYPO\nSTRINGTABLE\n{\n}\n',
            'LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\nSTRINGTABLE\n{\n  400, "a"\n',
            'STRINGTABLE\n{\n  400, "a"\n}\n',
        ]
        for text in bad:
            with self.subTest(text=text):
                self.assertRaises(ParseError, parse_rc, text)


class StringTablesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tables = load_tables()
        cls.by_id = {lang_id: cls.tables[code][3] for code, lang_id in LANGUAGES}
        cls.english = cls.by_id[ENGLISH]

    def each_text(self):
        for code, lang_id in LANGUAGES:
            for sid, text in sorted(self.by_id[lang_id].items()):
                yield code, lang_id, sid, text

    def test_exactly_the_expected_files(self):
        found = sorted(os.path.basename(p)
                       for p in glob.glob(os.path.join(HERE, "strings_*.rc.in")))
        self.assertEqual(found, sorted(file_name(code) for code, _ in LANGUAGES))

    def test_file_layout(self):
        for code, (path, text, _, _) in self.tables.items():
            lines = text.split("\n")
            with self.subTest(code=code):
                self.assertTrue(lines[0].startswith("// ") and len(lines[0]) > 4)
                self.assertTrue(lines[1].startswith("LANGUAGE "))
                self.assertEqual(text.count("STRINGTABLE"), 1)

    def test_language_ids(self):
        for code, lang_id in LANGUAGES:
            with self.subTest(code=code):
                self.assertEqual(self.tables[code][2], lang_id)

    def test_string_ids_complete_and_non_empty(self):
        for code, lang_id in LANGUAGES:
            strings = self.by_id[lang_id]
            with self.subTest(code=code):
                self.assertEqual(sorted(strings), STRING_IDS)
                for sid, text in strings.items():
                    self.assertTrue(text.strip(), "%s %d is empty" % (code, sid))
                    self.assertEqual(text, text.strip(), "%s %d: outer blanks" % (code, sid))

    def test_no_break_spaces(self):
        for code, lang_id, sid, text in self.each_text():
            with self.subTest(code=code, id=sid):
                if sid not in NBSP_IDS:
                    self.assertNotIn(NBSP, text)
                    continue
                names = list(BRAND.finditer(text))
                self.assertTrue(names, "no product name")
                self.assertIn(NBSP, text)
                # Each no-break space binds a product name to its neighbour.
                for m in re.finditer(NBSP, text):
                    before, after = text[:m.start()], text[m.end():]
                    self.assertTrue(re.search("(Kelvra|Кельвра)$", before) or
                                    BRAND.match(after),
                                    "stray no-break space at %d" % m.start())
                if sid in FIXED_RUSSIAN_IDS:
                    continue  # compared with the other tables below
                first = names[0]
                self.assertEqual(text[first.end():first.end() + 1], NBSP)
                self.assertRegex(text[first.end() + 1:], r"^\w")
                if lang_id != ENGLISH:
                    # Translations bind every product name; the English texts
                    # are kept as given (457 binds only the first one).
                    self.assertNotRegex(text, r"(Kelvra|Кельвра)[ \t\n]")

    def test_licence_link_markup(self):
        for code, lang_id in LANGUAGES:
            text = self.by_id[lang_id][LICENCE_ID]
            with self.subTest(code=code):
                self.assertEqual(text.count("(("), 1)
                self.assertEqual(text.count("))"), 1)
                start, end = text.index("(("), text.index("))")
                self.assertLess(start + 2, end, "empty or reversed link")
                self.assertTrue(text[start + 2:end].strip())
                self.assertNotIn("(", text[start + 2:end])

    def test_line_feeds_follow_english(self):
        for code, lang_id, sid, text in self.each_text():
            if sid in NEWLINE_EXCEPTIONS.get(lang_id, ()):
                continue
            with self.subTest(code=code, id=sid):
                self.assertEqual(text.count("\n"), self.english[sid].count("\n"))
                for line in text.split("\n"):
                    self.assertTrue(line.strip(), "empty line")

    def test_fixed_russian_texts_identical(self):
        russian = self.by_id[RUSSIAN]
        for sid in FIXED_RUSSIAN_IDS:
            self.assertRegex(russian[sid], "[а-яА-Я]")
            for code, lang_id in LANGUAGES:
                with self.subTest(code=code, id=sid):
                    self.assertEqual(self.by_id[lang_id][sid], russian[sid])

    def test_search_domain_token(self):
        for code, lang_id, sid, text in self.each_text():
            with self.subTest(code=code, id=sid):
                expected = 1 if sid == SEARCH_SHORTCUT_ID else 0
                self.assertEqual(text.count(SEARCH_DOMAIN_TOKEN), expected)
                # No other configure-time substitution may hit the texts.
                rest = text.replace(SEARCH_DOMAIN_TOKEN, "")
                self.assertNotRegex(rest, r"@\w+@|\$\{")

    def test_printf_placeholders(self):
        for code, lang_id, sid, text in self.each_text():
            with self.subTest(code=code, id=sid):
                if sid in PLACEHOLDER_IDS:
                    self.assertEqual(re.findall("%.", text),
                                     re.findall("%.", self.english[sid]))
                    self.assertEqual(text.count("%i"), 1)
                else:
                    self.assertNotIn("%", text)

    def test_texts_are_translated(self):
        for sid in SAME_AS_ENGLISH_ALLOWED:
            # The exceptions only make sense for a bare name or "OK".
            self.assertRegex(self.english[sid], "^(Kelvra(\u00a0Browser)?|OK)$")
        for code, lang_id, sid, text in self.each_text():
            if lang_id == ENGLISH or sid in FIXED_RUSSIAN_IDS:
                continue
            with self.subTest(code=code, id=sid):
                if sid not in SAME_AS_ENGLISH_ALLOWED:
                    self.assertNotEqual(text, self.english[sid])
                self.assertNotRegex(text, ENGLISH_LEFTOVERS)

    def test_repeated_english_texts_stay_repeated(self):
        # Where the English table says the same thing twice (Cancel, Close,
        # Install, the newer-version notice...), each table uses one wording.
        groups = {}
        for sid, text in self.english.items():
            groups.setdefault(text, []).append(sid)
        groups = [ids for ids in groups.values() if len(ids) > 1]
        self.assertTrue(any(413 in ids and 465 in ids for ids in groups))
        for code, lang_id in LANGUAGES:
            skip = REPEAT_EXCEPTIONS.get(lang_id, set())
            strings = self.by_id[lang_id]
            for ids in groups:
                ids = [i for i in ids if i not in skip]
                with self.subTest(code=code, ids=ids):
                    self.assertEqual(len({strings[i] for i in ids}), 1)

    def test_master_fragment(self):
        with open(os.path.join(HERE, "strings.rc.in"), encoding="utf-8") as f:
            text = f.read()
        includes = re.findall(r'^#include "([^"]+)"\s*$', text, re.M)
        self.assertEqual(includes,
                         [file_name(code)[:-len(".in")] for code, _ in LANGUAGES])


def find_windres():
    for name in ("x86_64-w64-mingw32-windres", "i686-w64-mingw32-windres", "windres"):
        path = shutil.which(name)
        if path:
            return path
    return None


def read_res(data):
    """Yields (type, name, language, body) of each entry of a .res file."""
    def name_or_ordinal(p):
        if data[p:p + 2] == b"\xff\xff":
            return struct.unpack_from("<H", data, p + 2)[0], p + 4
        end = p
        while data[end:end + 2] != b"\0\0":
            end += 2
        return data[p:end].decode("utf-16-le"), end + 2

    pos = 0
    while pos + 8 <= len(data):
        data_size, header_size = struct.unpack_from("<II", data, pos)
        rtype, p = name_or_ordinal(pos + 8)
        name, p = name_or_ordinal(p)
        p = (p + 3) & ~3
        _, _, language = struct.unpack_from("<IHH", data, p)
        body = data[pos + header_size:pos + header_size + data_size]
        yield rtype, name, language, body
        pos = (pos + header_size + data_size + 3) & ~3


RT_STRING = 6


@unittest.skipUnless(find_windres(), "windres not available")
class CompiledTablesTest(unittest.TestCase):
    """Compiles the fragments the way the build does and reads the result back."""

    DOMAIN = "search.kelvra.example"

    def test_compiled_string_blocks(self):
        tables = load_tables()
        with tempfile.TemporaryDirectory() as tmp:
            for name in [file_name(code) for code, _ in LANGUAGES] + ["strings.rc.in"]:
                with open(os.path.join(HERE, name), encoding="utf-8") as f:
                    text = f.read().replace(SEARCH_DOMAIN_TOKEN, self.DOMAIN)
                with open(os.path.join(tmp, name[:-len(".in")]), "w",
                          encoding="utf-8", newline="\n") as f:
                    f.write(text)
            with open(os.path.join(tmp, "top.rc"), "w", encoding="utf-8") as f:
                f.write('#pragma code_page(65001)\n#include <windows.h>\n'
                        '#include "strings.rc"\n')
            result = subprocess.run(
                [find_windres(), "-c", "65001", "-O", "res", "-I", tmp,
                 os.path.join(tmp, "top.rc"), os.path.join(tmp, "out.res")],
                cwd=tmp, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                universal_newlines=True)
            self.assertEqual(result.returncode, 0, result.stdout)
            with open(os.path.join(tmp, "out.res"), "rb") as f:
                data = f.read()

        compiled = {}
        for rtype, block, language, body in read_res(data):
            if rtype != RT_STRING:
                continue
            pos = 0
            for index in range(16):
                (length,) = struct.unpack_from("<H", body, pos)
                text = body[pos + 2:pos + 2 + 2 * length].decode("utf-16-le")
                pos += 2 + 2 * length
                if length:
                    compiled.setdefault(language, {})[(block - 1) * 16 + index] = text
        self.assertEqual(sorted(compiled), sorted(lang_id for _, lang_id in LANGUAGES))
        for code, lang_id in LANGUAGES:
            expected = {sid: text.replace(SEARCH_DOMAIN_TOKEN, self.DOMAIN)
                        for sid, text in tables[code][3].items()}
            with self.subTest(code=code):
                self.assertEqual(compiled[lang_id], expected)


if __name__ == "__main__":
    unittest.main()
