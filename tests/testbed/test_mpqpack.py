"""Host-side checks of tools/mpqpack.py: exact archive bytes, the format's known hash values, options, and
StormLib's smpq reading what it packs."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
sys.path.insert(0, TOOLS)
import mpqpack  # noqa: E402

PACKER = os.path.join(TOOLS, "mpqpack.py")


def write_tree(root, files):
    for name, data in files.items():
        path = os.path.join(root, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as handle:
            handle.write(data)


def run_packer(*arguments):
    return subprocess.run([sys.executable, PACKER] + list(arguments), capture_output=True, text=True)


def read_tables(archive):
    """Decrypted hash slots and block entries of a packed archive."""
    (_, _, _, _, _, hash_offset, block_offset, hash_count, block_count) = struct.unpack_from("<4sIIHHIIII", archive)
    hashes = mpqpack.decrypt(archive[hash_offset:hash_offset + 16 * hash_count], 0xC3AF3770)
    blocks = mpqpack.decrypt(archive[block_offset:block_offset + 16 * block_count], 0xEC83B3A3)
    return ([struct.unpack_from("<IIHHI", hashes, 16 * i) for i in range(hash_count)],
            [struct.unpack_from("<IIII", blocks, 16 * i) for i in range(block_count)])


def lookup(archive, name, locale=0):
    """The block of name by the format's probing rule, or None."""
    hashes, blocks = read_tables(archive)
    mask = len(hashes) - 1
    start = mpqpack.hash_string(name, 0) & mask
    for step in range(len(hashes)):
        a, b, slot_locale, _, block = hashes[(start + step) & mask]
        if block == 0xFFFFFFFF:
            return None
        if (a, b, slot_locale) == (mpqpack.hash_string(name, 1), mpqpack.hash_string(name, 2), locale):
            return blocks[block]
    return None


class CryptTest(unittest.TestCase):
    def test_known_values_of_the_format(self):
        self.assertEqual(mpqpack.CRYPT_TABLE[0], 0x55C636E2)
        self.assertEqual(mpqpack.HASH_TABLE_KEY, 0xC3AF3770)
        self.assertEqual(mpqpack.BLOCK_TABLE_KEY, 0xEC83B3A3)
        self.assertEqual(mpqpack.hash_string("(listfile)", 1), 0xFD657910)
        self.assertEqual(mpqpack.hash_string("(listfile)", 2), 0x4E9B98A7)

    def test_names_ignore_letter_case_and_slash_direction(self):
        for hash_type in (0, 1, 2):
            self.assertEqual(mpqpack.hash_string("Sub/Dir/Nested.TXT", hash_type),
                             mpqpack.hash_string("SUB\\DIR\\NESTED.txt", hash_type))
        self.assertNotEqual(mpqpack.hash_string("a.txt", 1), mpqpack.hash_string("b.txt", 1))

    def test_decrypt_undoes_encrypt(self):
        plain = bytes(range(64))
        cipher = mpqpack.encrypt(plain, 0x12345678)
        self.assertNotEqual(cipher, plain)
        self.assertEqual(mpqpack.decrypt(cipher, 0x12345678), plain)


class PackTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.root = self.temp.name
        self.folder = os.path.join(self.root, "in")
        os.mkdir(self.folder)

    def tearDown(self):
        self.temp.cleanup()

    def pack(self, *options):
        output = os.path.join(self.root, "out", "test.mpq")
        result = run_packer(output, self.folder, *options)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(output, "rb") as handle:
            return handle.read()

    def test_layout_is_exact(self):
        write_tree(self.folder, {"b.txt": b"BB", "a/x.txt": b"A"})
        archive = self.pack("--no-listfile")
        # header, 16 hash slots at 32, 2 blocks at 288, data at 320 in name order (a\x.txt, b.txt)
        self.assertEqual(archive[:32], bytes.fromhex(
            "4d50511a" "20000000" "43010000" "0000" "0300" "20000000" "20010000" "10000000" "02000000"))
        self.assertEqual(len(archive), 323)
        self.assertEqual(archive[320:], b"ABB")
        hashes, blocks = read_tables(archive)
        self.assertEqual(blocks, [(320, 1, 1, 0x81000000), (321, 2, 2, 0x81000000)])
        used = [slot for slot in hashes if slot[4] != 0xFFFFFFFF]
        self.assertEqual(sorted(slot[4] for slot in used), [0, 1])
        for slot in hashes:
            if slot[4] == 0xFFFFFFFF:
                self.assertEqual(slot, (0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF, 0xFFFF, 0xFFFFFFFF))
        self.assertEqual(lookup(archive, "A/X.TXT"), (320, 1, 1, 0x81000000))
        self.assertEqual(lookup(archive, "b.txt"), (321, 2, 2, 0x81000000))
        self.assertIsNone(lookup(archive, "c.txt"))

    def test_same_input_gives_the_same_bytes(self):
        write_tree(self.folder, {"z.txt": b"z", "m/n.txt": b"n", "a.txt": b"a"})
        first = self.pack()
        os.utime(os.path.join(self.folder, "z.txt"), (1000000, 1000000))
        os.rename(os.path.join(self.folder, "a.txt"), os.path.join(self.folder, "a2.txt"))
        os.rename(os.path.join(self.folder, "a2.txt"), os.path.join(self.folder, "a.txt"))
        self.assertEqual(self.pack(), first)

    def test_hash_table_keeps_half_its_slots_free(self):
        self.assertEqual(mpqpack.hash_table_entries(0), 16)
        self.assertEqual(mpqpack.hash_table_entries(8), 16)
        self.assertEqual(mpqpack.hash_table_entries(9), 32)
        self.assertEqual(mpqpack.hash_table_entries(17), 64)
        write_tree(self.folder, {"f%02d.bin" % i: bytes([i]) * i for i in range(9)})
        archive = self.pack("--no-listfile")
        self.assertEqual(struct.unpack_from("<II", archive, 24), (32, 9))
        for i in range(9):
            offset, stored, size, flags = lookup(archive, "F%02d.BIN" % i)
            self.assertEqual((stored, size, flags), (i, i, 0x81000000))
            self.assertEqual(archive[offset:offset + size], bytes([i]) * i)

    def test_empty_folder_gives_an_archive_without_files(self):
        archive = self.pack("--no-listfile")
        self.assertEqual(len(archive), 32 + 256)
        self.assertEqual(struct.unpack_from("<III", archive, 8), (288, 0x30000, 32))
        self.assertEqual(struct.unpack_from("<II", archive, 24), (16, 0))

    def test_flags_and_locale_entries(self):
        write_tree(self.folder, {"greeting.txt": b"hi", "packed.txt": b"raw"})
        extra = os.path.join(self.root, "de.txt")
        with open(extra, "wb") as handle:
            handle.write(b"hallo")
        archive = self.pack("--flags", "PACKED.TXT=0x200", "--locale-entry", "1031", "greeting.txt", extra)
        self.assertEqual(lookup(archive, "packed.txt")[3], 0x81000200)
        self.assertEqual(lookup(archive, "greeting.txt")[1:], (2, 2, 0x81000000))
        offset, stored, size, flags = lookup(archive, "greeting.txt", 1031)
        self.assertEqual((stored, size, flags), (5, 5, 0x81000000))
        self.assertEqual(archive[offset:offset + size], b"hallo")

    def test_listfile_names_every_entry_once_and_comes_last(self):
        write_tree(self.folder, {"b.txt": b"BB", "a/x.txt": b"A", "greeting.txt": b"hi"})
        archive = self.pack("--locale-entry", "1031", "greeting.txt", os.path.join(self.folder, "b.txt"))
        offset, stored, size, flags = lookup(archive, "(listfile)")
        listing = b"a\\x.txt\r\nb.txt\r\ngreeting.txt\r\n"
        self.assertEqual((stored, size, flags), (len(listing), len(listing), 0x81000000))
        self.assertEqual(archive[offset:], listing)
        self.assertIsNone(lookup(self.pack("--no-listfile"), "(listfile)"))

    def test_stormlib_lists_and_extracts_the_same_names_and_bytes(self):
        files = {"readme.txt": b"read me\n", "Sub/Dir/nested.bin": bytes(range(256)) * 20, "empty.dat": b""}
        write_tree(self.folder, files)
        archive = os.path.join(self.root, "out", "test.mpq")
        self.pack()
        listing = subprocess.run(["smpq", "-l", archive], capture_output=True, text=True, check=True).stdout
        self.assertEqual(sorted(line.split()[-1] for line in listing.splitlines()), sorted(files))
        extracted = os.path.join(self.root, "extracted")
        os.mkdir(extracted)
        names = [name.replace("/", "\\") for name in files]
        subprocess.run(["smpq", "-x", "-q", archive] + names, cwd=extracted, check=True)
        for name, data in files.items():
            with open(os.path.join(extracted, *name.split("/")), "rb") as handle:
                self.assertEqual(handle.read(), data, name)

    def test_refusals(self):
        output = os.path.join(self.root, "refused.mpq")
        write_tree(self.folder, {"a.txt": b"a", "A.TXT": b"b"})
        result = run_packer(output, self.folder)
        self.assertEqual(result.returncode, 1)
        self.assertIn("names differ only in letter case", result.stderr)
        self.assertFalse(os.path.exists(output))
        os.remove(os.path.join(self.folder, "A.TXT"))
        write_tree(self.folder, {"(listfile)": b"x"})
        result = run_packer(output, self.folder)
        self.assertEqual(result.returncode, 1)
        self.assertIn("the folder holds a file named (listfile)", result.stderr)
        os.remove(os.path.join(self.folder, "(listfile)"))
        result = run_packer(output, self.folder, "--flags", "nothing.txt=0x200")
        self.assertEqual(result.returncode, 1)
        self.assertIn("--flags names no entry: nothing.txt", result.stderr)
        self.assertEqual(run_packer(output, os.path.join(self.root, "absent")).returncode, 2)
        self.assertFalse(os.path.exists(output))


if __name__ == "__main__":
    unittest.main()
