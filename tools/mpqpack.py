#!/usr/bin/env python3
"""Packs a folder into an MPQ archive with StormLib, the MPQ world's own library (Debian's libstorm9, the
library behind smpq), in the form the game's archive library of this era reads: format version 1, files
stored whole (no compression, no encryption), and a "(listfile)" stored whole too, which smpq cannot do
(it always compresses and encrypts its listfile).

    mpqpack.py OUTPUT.mpq [FOLDER] [--no-listfile] [--format-version N] [--compress NAME]...

Every file under FOLDER becomes one entry named by its relative path with / turned into \\, added in
name order; no folder gives an archive that holds nothing but its listfile. No attributes file and no
time stamps are written, so the same names and bytes give the same archive. --format-version 2, 3 or 4
makes the later formats, and --compress NAME stores that entry compressed with zlib, encrypted: forms
the game's library of this era does not read, for the checker's tests.
"""
import argparse
import ctypes
import os
import sys

FILE_EXISTS, FILE_COMPRESS, FILE_ENCRYPTED = 0x80000000, 0x00000200, 0x00010000
COMPRESSION_ZLIB = 0x02


class CreateInfo(ctypes.Structure):   # SFILE_CREATE_MPQ of StormLib.h
    _fields_ = ([("size", ctypes.c_uint32), ("version", ctypes.c_uint32), ("user", ctypes.c_void_p)]
                + [(name, ctypes.c_uint32) for name in ("userSize", "streamFlags", "listfileFlags", "attributesFlags",
                                                        "signatureFlags", "attributes", "sectorSize", "rawChunkSize",
                                                        "maxFileCount")])


def entries(folder):
    """(archive name, path) of every file under folder, in archive name order."""
    found = []
    for root, _, files in os.walk(folder) if folder else ():
        for name in files:
            path = os.path.join(root, name)
            found.append((os.path.relpath(path, folder).replace(os.sep, "\\"), path))
    return sorted(found, key=lambda entry: entry[0].encode("latin-1"))


def main(argv):
    parser = argparse.ArgumentParser(description="Packs a folder into an MPQ archive with StormLib.")
    parser.add_argument("output")
    parser.add_argument("folder", nargs="?")
    parser.add_argument("--no-listfile", action="store_true")
    parser.add_argument("--format-version", type=int, choices=(1, 2, 3, 4), default=1)
    parser.add_argument("--compress", action="append", default=[], metavar="NAME")
    options = parser.parse_args(argv)
    if options.folder and not os.path.isdir(options.folder):
        parser.error("not a folder: %s" % options.folder)
    files = entries(options.folder)
    storm = ctypes.CDLL("libstorm.so.9")
    info = CreateInfo(ctypes.sizeof(CreateInfo), options.format_version - 1, None, 0, 0,
                      0 if options.no_listfile else FILE_EXISTS, 0, 0, 0, 4096, 0, max(4, 2 * len(files)))
    temporary = options.output + ".part"
    os.makedirs(os.path.dirname(os.path.abspath(temporary)), exist_ok=True)
    if os.path.exists(temporary):
        os.remove(temporary)
    archive = ctypes.c_void_p()
    if not storm.SFileCreateArchive2(temporary.encode(), ctypes.byref(info), ctypes.byref(archive)):
        sys.exit("mpqpack: cannot create %s" % temporary)
    packed = True
    for name, path in files:
        compress = name.upper() in (other.replace("/", "\\").upper() for other in options.compress)
        flags = FILE_EXISTS | (FILE_COMPRESS | FILE_ENCRYPTED if compress else 0)
        packed = packed and bool(storm.SFileAddFileEx(archive, path.encode(), name.encode("latin-1"), flags,
                                                      COMPRESSION_ZLIB if compress else 0, COMPRESSION_ZLIB))
    if not storm.SFileCloseArchive(archive) or not packed:
        sys.exit("mpqpack: StormLib could not pack %s" % options.output)
    os.replace(temporary, options.output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
