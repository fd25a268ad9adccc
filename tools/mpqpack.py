#!/usr/bin/env python3
"""Packs a folder into an MPQ archive (version 1 header, files stored whole, uncompressed, unencrypted).

    mpqpack.py OUTPUT.mpq FOLDER [--flags NAME=BITS]... [--locale-entry LCID NAME SOURCE]... [--no-listfile]

Every file under FOLDER becomes one entry named by its relative path with / turned into \\.
The archive also holds the standard "(listfile)", stored last: every other entry's name once, in name
order, each followed by CR LF, so that archive tools show the names; --no-listfile leaves it out.
The bytes depend only on the names and contents (sorted input, no timestamps), so builds are
reproducible. Layout: the 32-byte header, the hash table, the block table, then the file data in
name order. Each file is one block flagged "exists" and "single unit", stored size = file size.

--flags NAME=BITS ORs extra block flags into the entry NAME (bytes stay as they are): a way to
make entries that a reader must refuse, such as one flagged compressed (0x200).
--locale-entry LCID NAME SOURCE adds one more entry NAME for locale LCID with the bytes of SOURCE.
"""

import argparse
import os
import struct
import sys

SIGNATURE = b"MPQ\x1a"
HEADER_SIZE = 32
FORMAT_VERSION = 0          # the version 1 header
SECTOR_SIZE_SHIFT = 3       # 512 << 3 = 4096-byte sectors
HASH_ENTRY_EMPTY = 0xFFFFFFFF
FLAG_EXISTS = 0x80000000
FLAG_SINGLE_UNIT = 0x01000000
MIN_HASH_ENTRIES = 16
LISTFILE = "(listfile)"

HASH_TABLE_INDEX, HASH_NAME_A, HASH_NAME_B, HASH_FILE_KEY = 0, 1, 2, 3


def make_crypt_table():
    """The format's 0x500-entry table, generated from the seed 0x00100001."""
    table = [0] * 0x500
    seed = 0x00100001
    for index1 in range(0x100):
        index2 = index1
        for _ in range(5):
            seed = (seed * 125 + 3) % 0x2AAAAB
            high = (seed & 0xFFFF) << 16
            seed = (seed * 125 + 3) % 0x2AAAAB
            low = seed & 0xFFFF
            table[index2] = high | low
            index2 += 0x100
    return table


CRYPT_TABLE = make_crypt_table()


def normalize(name):
    """Archive names use backslashes; the hashes compare ASCII letters without regard to case."""
    return name.replace("/", "\\")


def hash_string(name, hash_type):
    seed1, seed2 = 0x7FED7FED, 0xEEEEEEEE
    for byte in normalize(name).encode("latin-1"):
        if 0x61 <= byte <= 0x7A:
            byte -= 0x20
        seed1 = CRYPT_TABLE[hash_type * 0x100 + byte] ^ ((seed1 + seed2) & 0xFFFFFFFF)
        seed2 = (byte + seed1 + seed2 + (seed2 << 5) + 3) & 0xFFFFFFFF
    return seed1


def encrypt(data, key):
    words = struct.unpack("<%dI" % (len(data) // 4), data)
    seed = 0xEEEEEEEE
    out = []
    for plain in words:
        seed = (seed + CRYPT_TABLE[0x400 + (key & 0xFF)]) & 0xFFFFFFFF
        out.append(plain ^ ((key + seed) & 0xFFFFFFFF))
        key = ((((~key) << 0x15) + 0x11111111) & 0xFFFFFFFF) | (key >> 0x0B)
        seed = (plain + seed + (seed << 5) + 3) & 0xFFFFFFFF
    return struct.pack("<%dI" % len(out), *out)


def decrypt(data, key):
    words = struct.unpack("<%dI" % (len(data) // 4), data)
    seed = 0xEEEEEEEE
    out = []
    for cipher in words:
        seed = (seed + CRYPT_TABLE[0x400 + (key & 0xFF)]) & 0xFFFFFFFF
        plain = cipher ^ ((key + seed) & 0xFFFFFFFF)
        out.append(plain)
        key = ((((~key) << 0x15) + 0x11111111) & 0xFFFFFFFF) | (key >> 0x0B)
        seed = (plain + seed + (seed << 5) + 3) & 0xFFFFFFFF
    return struct.pack("<%dI" % len(out), *out)


HASH_TABLE_KEY = hash_string("(hash table)", HASH_FILE_KEY)
BLOCK_TABLE_KEY = hash_string("(block table)", HASH_FILE_KEY)


def hash_table_entries(count):
    """Smallest power of two holding every entry with at least half the slots free (16 at least)."""
    size = MIN_HASH_ENTRIES
    while size < 2 * count:
        size *= 2
    return size


class Entry:
    def __init__(self, name, data, locale=0, extra_flags=0):
        self.name, self.data, self.locale, self.extra_flags = name, data, locale, extra_flags


def collect(folder):
    """Entries for every file under folder, sorted by archive name; two names that differ only in
    letter case would share one hash slot, so they are refused."""
    entries = []
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        for file_name in files:
            path = os.path.join(root, file_name)
            name = normalize(os.path.relpath(path, folder).replace(os.sep, "/"))
            with open(path, "rb") as handle:
                entries.append(Entry(name, handle.read()))
    entries.sort(key=lambda entry: entry.name.encode("latin-1"))
    seen = {}
    for entry in entries:
        key = entry.name.upper()
        if key in seen:
            raise ValueError("names differ only in letter case: %s and %s" % (seen[key], entry.name))
        seen[key] = entry.name
    return entries


def listfile_entry(entries):
    """The "(listfile)" entry naming every entry once (locale entries share their name)."""
    names = sorted({entry.name.upper(): entry.name for entry in entries}.values(),
                   key=lambda name: name.encode("latin-1"))
    return Entry(LISTFILE, b"".join(name.encode("latin-1") + b"\r\n" for name in names))


def build(entries):
    """The archive's bytes for the entries, in the given order."""
    for entry in entries:
        entry.name.encode("latin-1")   # names must be 8-bit text
    hash_count = hash_table_entries(len(entries))
    hash_slots = [None] * hash_count
    for index, entry in enumerate(entries):
        slot = hash_string(entry.name, HASH_TABLE_INDEX) & (hash_count - 1)
        while hash_slots[slot] is not None:
            slot = (slot + 1) & (hash_count - 1)
        hash_slots[slot] = (hash_string(entry.name, HASH_NAME_A), hash_string(entry.name, HASH_NAME_B),
                            entry.locale, 0, index)

    data_offset = HEADER_SIZE + 16 * hash_count + 16 * len(entries)
    blocks = []
    offset = data_offset
    for entry in entries:
        size = len(entry.data)
        blocks.append((offset, size, size, FLAG_EXISTS | FLAG_SINGLE_UNIT | entry.extra_flags))
        offset += size

    hash_table = b"".join(struct.pack("<IIHHI", *slot) if slot else
                          struct.pack("<IIHHI", 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF, 0xFFFF, HASH_ENTRY_EMPTY)
                          for slot in hash_slots)
    block_table = b"".join(struct.pack("<IIII", *block) for block in blocks)
    header = struct.pack("<4sIIHHIIII", SIGNATURE, HEADER_SIZE, offset, FORMAT_VERSION, SECTOR_SIZE_SHIFT,
                         HEADER_SIZE, HEADER_SIZE + len(hash_table), hash_count, len(entries))
    return (header + encrypt(hash_table, HASH_TABLE_KEY) + encrypt(block_table, BLOCK_TABLE_KEY)
            + b"".join(entry.data for entry in entries))


def parse_flags(text):
    name, separator, bits = text.partition("=")
    if not separator or not name:
        raise argparse.ArgumentTypeError("expected NAME=BITS, got %r" % text)
    return normalize(name), int(bits, 0)


def main(argv):
    parser = argparse.ArgumentParser(description="Packs a folder into an MPQ archive, files stored whole.")
    parser.add_argument("output")
    parser.add_argument("folder")
    parser.add_argument("--flags", action="append", default=[], type=parse_flags, metavar="NAME=BITS",
                        help="OR extra block flags into one entry (the bytes stay as they are)")
    parser.add_argument("--locale-entry", action="append", default=[], nargs=3,
                        metavar=("LCID", "NAME", "SOURCE"), help="add one more entry for a locale")
    parser.add_argument("--no-listfile", action="store_true", help="leave out the (listfile) entry")
    options = parser.parse_args(argv)

    if not os.path.isdir(options.folder):
        parser.error("not a folder: %s" % options.folder)
    try:
        entries = collect(options.folder)
        for lcid, name, source in options.locale_entry:
            locale = int(lcid, 0)
            name = normalize(name)
            if not 0 < locale <= 0xFFFF:
                raise ValueError("locale out of range: %s" % lcid)
            if any(e.name.upper() == name.upper() and e.locale == locale for e in entries):
                raise ValueError("entry %s for locale %d given twice" % (name, locale))
            with open(source, "rb") as handle:
                entries.append(Entry(name, handle.read(), locale))
        for name, bits in options.flags:
            matches = [e for e in entries if e.name.upper() == name.upper() and e.locale == 0]
            if not matches:
                raise ValueError("--flags names no entry: %s" % name)
            matches[0].extra_flags |= bits
        if any(entry.name.upper() == LISTFILE.upper() for entry in entries):
            raise ValueError("the folder holds a file named %s" % LISTFILE)
        if not options.no_listfile:
            entries.append(listfile_entry(entries))   # last, so the other entries keep their places
        archive = build(entries)
    except (ValueError, UnicodeEncodeError, OSError) as error:
        print("mpqpack: %s" % error, file=sys.stderr)
        return 1

    folder = os.path.dirname(os.path.abspath(options.output))
    os.makedirs(folder, exist_ok=True)
    temporary = options.output + ".part"
    with open(temporary, "wb") as handle:
        handle.write(archive)
    os.replace(temporary, options.output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
