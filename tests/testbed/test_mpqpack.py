"""Host-side checks of tools/mpqpack.py: exact archive bytes, the format's known hash values, options, and
StormLib's smpq reading what it packs."""

import os
import pathlib
import struct
import subprocess
import sys
import tempfile
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
sys.path.insert(0, TOOLS)
import mpqpack  # noqa: E402


def lookup(archive, name, locale=0):
    """The block entry of name by the format's probing rule, or None."""
    (_, _, _, _, _, hash_offset, block_offset, hash_count, block_count) = struct.unpack_from("<4sIIHHIIII", archive)
    hashes = mpqpack.decrypt(archive[hash_offset:hash_offset + 16 * hash_count], 0xC3AF3770)
    blocks = mpqpack.decrypt(archive[block_offset:block_offset + 16 * block_count], 0xEC83B3A3)
    start = mpqpack.hash_string(name, 0)
    for step in range(hash_count):
        a, b, slot_locale, _, block = struct.unpack_from("<IIHHI", hashes, 16 * ((start + step) % hash_count))
        if block == 0xFFFFFFFF:
            return None
        if (a, b, slot_locale) == (mpqpack.hash_string(name, 1), mpqpack.hash_string(name, 2), locale):
            return struct.unpack_from("<IIII", blocks, 16 * block)
    return None


class MpqPack(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.addCleanup(self.temp.cleanup)
        self.folder = os.path.join(self.temp.name, "in")
        self.output = os.path.join(self.temp.name, "out", "test.mpq")

    def write(self, files, folder=None):
        for name, data in files.items():
            path = pathlib.Path(folder or self.folder, *name.split("/"))
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)

    def run_packer(self, *options, folder=None):
        return subprocess.run([sys.executable, os.path.join(TOOLS, "mpqpack.py"), self.output, folder or self.folder]
                              + list(options), capture_output=True, text=True)

    def pack(self, *options):
        result = self.run_packer(*options)
        self.assertEqual(result.returncode, 0, result.stderr)
        return pathlib.Path(self.output).read_bytes()

    def test_known_hash_values_of_the_format(self):
        self.assertEqual(mpqpack.hash_string("(listfile)", 1), 0xFD657910)
        self.assertEqual(mpqpack.hash_string("(listfile)", 2), 0x4E9B98A7)

    def test_layout_is_exact(self):
        self.write({"b.txt": b"BB", "a/x.txt": b"A"})
        archive = self.pack("--no-listfile")
        # header, 16 hash slots at 32, 2 blocks at 288, data at 320 in name order (a\x.txt, b.txt)
        self.assertEqual(archive[:32], bytes.fromhex(
            "4d50511a" "20000000" "43010000" "0000" "0300" "20000000" "20010000" "10000000" "02000000"))
        self.assertEqual(archive[320:], b"ABB")
        hashes = mpqpack.decrypt(archive[32:288], 0xC3AF3770)
        slots = [hashes[16 * i:16 * i + 16] for i in range(16)]
        self.assertEqual([slot for slot in slots if slot.endswith(b"\xff" * 4)], [b"\xff" * 16] * 14)  # free: all ones
        self.assertEqual(lookup(archive, "A/X.TXT"), (320, 1, 1, 0x81000000))   # any letter case, either slash
        self.assertEqual(lookup(archive, "b.txt"), (321, 2, 2, 0x81000000))
        self.assertIsNone(lookup(archive, "c.txt"))

    def test_hash_table_keeps_half_its_slots_free(self):
        self.write({"f%02d.bin" % i: bytes([i]) * i for i in range(9)})
        archive = self.pack("--no-listfile")
        self.assertEqual(struct.unpack_from("<II", archive, 24), (32, 9))
        for i in range(9):
            offset, stored, size, flags = lookup(archive, "F%02d.BIN" % i)
            self.assertEqual((stored, size, flags, archive[offset:offset + size]), (i, i, 0x81000000, bytes([i]) * i))

    def test_flags_locale_entries_and_the_listfile(self):
        self.write({"greeting.txt": b"hi", "packed.txt": b"raw", "de/hallo.txt": b"hallo"})
        archive = self.pack("--flags", "PACKED.TXT=0x200", "--locale-entry", "1031", "greeting.txt",
                            os.path.join(self.folder, "de", "hallo.txt"))
        self.assertEqual(lookup(archive, "packed.txt")[1:], (3, 3, 0x81000200))
        self.assertEqual(lookup(archive, "greeting.txt")[1:], (2, 2, 0x81000000))
        offset, stored, size, flags = lookup(archive, "greeting.txt", 1031)
        self.assertEqual((stored, size, flags, archive[offset:offset + size]), (5, 5, 0x81000000, b"hallo"))
        # The listfile names every entry once, and comes last.
        offset, stored, size, flags = lookup(archive, "(listfile)")
        listing = b"de\\hallo.txt\r\ngreeting.txt\r\npacked.txt\r\n"
        self.assertEqual((stored, size, flags, archive[offset:]), (len(listing), len(listing), 0x81000000, listing))

    def test_stormlib_lists_and_extracts_the_same_names_and_bytes(self):
        files = {"readme.txt": b"read me\n", "Sub/Dir/nested.bin": bytes(range(256)) * 20, "empty.dat": b""}
        self.write(files)
        self.pack()
        listing = subprocess.run(["smpq", "-l", self.output], capture_output=True, text=True, check=True).stdout
        self.assertEqual(sorted(line.split()[-1] for line in listing.splitlines()), sorted(files))
        extracted = os.path.join(self.temp.name, "extracted")
        os.mkdir(extracted)
        subprocess.run(["smpq", "-x", "-q", self.output] + [name.replace("/", "\\") for name in files], cwd=extracted,
                       check=True)
        for name, data in files.items():
            self.assertEqual(pathlib.Path(extracted, *name.split("/")).read_bytes(), data, name)

    def test_refusals_leave_no_archive(self):
        cases = [({"a.txt": b"a", "A.TXT": b"b"}, (), 1, "names differ only in letter case"),
                 ({"(listfile)": b"x"}, (), 1, "the folder holds a file named (listfile)"),
                 ({"a.txt": b"a"}, ("--flags", "nothing.txt=0x200"), 1, "--flags names no entry: nothing.txt"),
                 (None, (), 2, "")]
        for number, (files, options, status, message) in enumerate(cases):
            with self.subTest(message or "no folder"):
                folder = os.path.join(self.temp.name, "case%d" % number)
                if files is not None:
                    self.write(files, folder)
                result = self.run_packer(*options, folder=folder)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(self.output))

if __name__ == "__main__":
    unittest.main()
