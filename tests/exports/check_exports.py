"""Checks Corvane.exe's export table and libCorvane.a against the names that the compilers give the public
headers' declarations (oracle.py), on the host: no Windows program runs. Corvane.lib is checked through
AbiCheck.dll, which links with it and must bind every name by name.
   check_exports.py INCLUDE_DIR Corvane.exe libCorvane.a AbiCheck.dll EXAMPLE_MINGW EXAMPLE_MICROSOFT
The last two are the SDK's example add-on built with MinGW and the Microsoft way."""
import re
import struct
import subprocess
import sys

import oracle

SHARED_BY_BOTH_JSON_CLASSES = ("operator[]", "Clear", "GetMemberCount", "IsExist", "IsArray", "HasMember")
CODE = 0x20000020   # IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_CNT_CODE


class PeImage:
    """A PE32 image as a file: sections, the export and the import directory."""

    def __init__(self, path):
        self.data = data = open(path, "rb").read()
        pe = self.u32(0x3C)
        if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0" or data[pe + 24:pe + 26] != b"\x0b\x01":
            raise ValueError("%s: not a PE32 image" % path)
        count, optional_size = struct.unpack_from("<2xH12xH", data, pe + 4)
        self.export_rva, self.export_size, self.import_rva = struct.unpack_from("<III", data, pe + 24 + 96)
        sections = pe + 24 + optional_size   # each (virtual size, rva, raw size, file offset, characteristics)
        self.sections = [struct.unpack_from("<8xIIII12xI", data, sections + 40 * s) for s in range(count)]

    def u32(self, offset, form="<I"):
        return struct.unpack_from(form, self.data, offset)[0]

    def section_at(self, rva):
        return next((s for s in self.sections if s[1] <= rva < s[1] + max(s[0], s[2])), None)

    def offset(self, rva):
        section = self.section_at(rva)
        return section[3] + rva - section[1]

    def text(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("latin-1")

    def exports(self):
        """Module name, ordinal base, the address table, and the named entries as (name, ordinal) in
        name-table order."""
        d = self.offset(self.export_rva)
        name, base, functions, names, addresses, pointers, ordinals = struct.unpack_from("<12xIIIIIII", self.data, d)
        table = [self.u32(self.offset(addresses) + 4 * i) for i in range(functions)]
        named = [(self.text(self.u32(self.offset(pointers) + 4 * i)),
                  base + self.u32(self.offset(ordinals) + 2 * i, "<H")) for i in range(names)]
        return self.text(name), base, table, named

    def imports(self):
        """{module name: [imported name, or ordinal as an int]}"""
        found, at = {}, self.offset(self.import_rva) if self.import_rva else None
        while at is not None and self.u32(at + 16):
            thunk, names = self.offset(self.u32(at) or self.u32(at + 16)), []
            while self.u32(thunk):
                entry = self.u32(thunk)
                names.append(entry & 0xFFFF if entry & 0x80000000 else self.text(entry + 2))
                thunk += 4
            found[self.text(self.u32(at + 12))] = names
            at += 20
        return found


def dlltool_imports(library):
    """{symbol that a member of a GNU dlltool import library defines: the name it imports}, read with
    binutils: the member's code symbol, and the name after the hint in its section .idata$6."""
    def tool(*command):
        return subprocess.run(command, capture_output=True, text=True, check=True).stdout.splitlines()

    symbols, names, member = {}, {}, None
    for line in tool("i686-w64-mingw32-nm", "-A", "--defined-only", library):
        where, _, rest = line.rpartition(":")
        if rest.split()[1] == "T":
            symbols[where.split(":")[-1]] = rest.split()[2]
    for line in tool("i686-w64-mingw32-objdump", "-s", "-j", ".idata$6", library):
        if re.match(r"\S+:\s+file format", line):
            member = line.split(":")[0]
        elif line.startswith(" ") and member in symbols:
            names[member] = names.get(member, b"") + bytes.fromhex(line[6:41].replace(" ", ""))
    return {symbols[member]: data[2:data.index(b"\0", 2)].decode("latin-1") for member, data in names.items()}


RESULTS = []


def check(what, expected, actual):
    RESULTS.append(expected == actual)
    print("ok   %s" % what if expected == actual else
          "FAIL %s\n     expected %r\n     actual   %r" % (what, expected, actual))


def entry_groups(declarations):
    """The Microsoft names grouped by entry point: one entry point serves the JSON operations that both
    classes have, document assignment and node assignment, and the two zero-fills; each other name its own."""
    def find(scope, name, params):
        found = [d for d in declarations if d.scope == scope and d.name == name and d.params() == params]
        return found[0].microsoft if len(found) == 1 else "(%s::%s%s not declared)" % (scope, name, params)

    groups = [[d.microsoft, find("SObject_Exp", d.name, d.params())] for d in declarations
              if d.scope == "CJSON_Exp" and d.name in SHARED_BY_BOTH_JSON_CLASSES]
    groups.append([find("CJSON_Exp", "operator=", "(const CJSON_Exp &)"),
                   find("SObject_Exp", "operator=", "(SObject_Exp &)")])
    groups.append([find("CJSON_Exp", "__autoclassinit2", "(unsigned int)"),
                   find("CRedirector", "__autoclassinit2", "(unsigned int)")])
    shared = {name for group in groups for name in group}
    groups += [[d.microsoft] for d in declarations if d.microsoft not in shared]
    return sorted(sorted(group) for group in groups)


def check_export_table(declarations, image):
    module, base, addresses, named = image.exports()
    names = [name for name, _ in named]
    expected = {d.microsoft for d in declarations}
    check("module name, ordinal base, entries", ("Corvane.exe", 1, 99), (module, base, len(addresses)))
    check("names: missing from the table, not declared, in all", ([], [], 99),
          (sorted(expected - set(names)), sorted(set(names) - expected), len(names)))
    check("name table in ascending byte order", sorted(names, key=lambda n: n.encode()), names)
    check("ordinals 1 to 99 follow the byte order of the names", list(range(1, 100)), [o for _, o in named])
    check("forwarders (addresses inside the export directory)", [],
          [n for n, o in named if 0 <= addresses[o - base] - image.export_rva < image.export_size])
    check("entries that are not code (exported data)", [],
          [n for n, o in named if (image.section_at(addresses[o - base]) or (0,) * 5)[4] & CODE != CODE])
    check("names grouped by entry point", entry_groups(declarations),
          sorted(sorted(n for n, o in named if addresses[o - base] == address) for address in set(addresses)))


def main(include_dir, exe, mingw_lib, addon, example_mingw, example_microsoft):
    declarations = oracle.declared_functions(include_dir)
    check("the headers declare 99 functions with distinct names of each kind", (99, 99, 99),
          (len(declarations), len({d.microsoft for d in declarations}), len({d.itanium for d in declarations})))
    check_export_table(declarations, PeImage(exe))
    check("libCorvane.a: each MinGW name imports its Microsoft name",
          {"_" + d.itanium: d.microsoft for d in declarations}, dlltool_imports(mingw_lib))
    check("AbiCheck.dll, linked with Corvane.lib, binds all 99 names of Corvane.exe by name",
          sorted(d.microsoft for d in declarations), sorted(PeImage(addon).imports().get("Corvane.exe", [])))
    # One source built against each import library binds the very same exported names.
    microsoft = PeImage(example_microsoft).imports().get("Corvane.exe", [])
    mingw = PeImage(example_mingw).imports().get("Corvane.exe", [])
    check("the example add-on binds some names, the same through libCorvane.a as through Corvane.lib",
          (True, sorted(microsoft)), (len(mingw) > 0, sorted(mingw)))
    print("%d passed, %d failed" % (RESULTS.count(True), RESULTS.count(False)))
    return 0 if all(RESULTS) else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:7]))
