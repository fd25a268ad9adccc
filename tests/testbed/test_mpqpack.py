"""Host-side checks of tools/mpqpack.py: StormLib's own tool reads back what it packs, the bytes are the
same every time (make dist depends on it), and the options give the forms asked for."""

import os
import pathlib
import struct
import subprocess
import sys
import tempfile
import unittest

PACKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "mpqpack.py")
FILES = {"readme.txt": b"read me\n", "Sub/Dir/nested.bin": bytes(range(256)) * 20, "empty.dat": b""}


class MpqPack(unittest.TestCase):
    def setUp(self):
        temp = tempfile.TemporaryDirectory()
        self.addCleanup(temp.cleanup)
        self.temp = temp.name
        for name, data in FILES.items():
            path = pathlib.Path(self.temp, "in", *name.split("/"))
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)

    def pack(self, name, *options):
        output = os.path.join(self.temp, name)
        subprocess.run([sys.executable, PACKER, output, os.path.join(self.temp, "in")] + list(options), check=True)
        return output

    def smpq(self, *arguments, cwd=None):
        return subprocess.run(["smpq"] + list(arguments), capture_output=True, text=True, check=True, cwd=cwd).stdout

    def test_stormlib_lists_and_extracts_the_same_names_and_bytes_each_form(self):
        for options, version in (((), 0), (("--compress", "Sub/Dir/nested.bin"), 0), (("--format-version", "4"), 3)):
            with self.subTest(options):
                archive = self.pack("test.mpq", *options)
                listed = sorted(line.split()[-1] for line in self.smpq("-l", archive).splitlines())
                self.assertEqual(listed, sorted(FILES))
                extracted = pathlib.Path(self.temp, "out", *options)
                extracted.mkdir(parents=True)
                self.smpq("-x", "-q", archive, *[name.replace("/", "\\") for name in FILES], cwd=extracted)
                for name, data in FILES.items():
                    self.assertEqual(extracted.joinpath(*name.split("/")).read_bytes(), data, name)
                header = pathlib.Path(archive).read_bytes()[:16]
                self.assertEqual(struct.unpack_from("<4sIIH", header)[::3], (b"MPQ\x1a", version))  # the format field

    def test_the_same_folder_gives_the_same_bytes(self):
        first, second = self.pack("first.mpq"), self.pack("second.mpq")
        self.assertEqual(pathlib.Path(first).read_bytes(), pathlib.Path(second).read_bytes())

    def test_without_a_listfile_no_name_is_known(self):
        listed = self.smpq("-l", self.pack("bare.mpq", "--no-listfile"))
        self.assertEqual([name for name in FILES if name.split("/")[-1] in listed], [])
        self.assertIn("File00000000.xxx", listed)


if __name__ == "__main__":
    unittest.main()
