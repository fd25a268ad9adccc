"""Small readers of the Windows file formats the export checks look into: COFF objects, PE images
(export directory), and archives of import members, both GNU dlltool's and the short import form."""
import struct

IMAGE_SCN_MEM_EXECUTE = 0x20000000
IMAGE_SCN_CNT_CODE = 0x00000020


def _cstring(data, offset):
    end = data.index(b"\0", offset)
    return data[offset:end].decode("latin-1")


class CoffObject:
    """A COFF object file: sections, their relocations and the symbol table."""

    def __init__(self, data):
        (self.machine, count, _, symtab, nsyms, optsize, _) = struct.unpack_from("<HHIIIHH", data, 0)
        strings = symtab + 18 * nsyms
        self.symbols = {}  # index -> (name, section number)
        i = 0
        while i < nsyms:
            entry = data[symtab + 18 * i: symtab + 18 * i + 18]
            if entry[:4] == b"\0\0\0\0":
                name = _cstring(data, strings + struct.unpack_from("<I", entry, 4)[0])
            else:
                name = entry[:8].rstrip(b"\0").decode("latin-1")
            _, section, _, storage, aux = struct.unpack_from("<IhHBB", entry, 8)
            self.symbols[i] = (name, section)
            i += 1 + aux
        self.sections = []  # (name, characteristics, [target symbol names])
        for s in range(count):
            header = 20 + optsize + 40 * s
            name = data[header:header + 8].rstrip(b"\0").decode("latin-1")
            if name.startswith("/"):
                name = _cstring(data, strings + int(name[1:]))
            relocs, nrelocs, flags = struct.unpack_from("<I", data, header + 24)[0], \
                struct.unpack_from("<H", data, header + 32)[0], struct.unpack_from("<I", data, header + 36)[0]
            targets = [self.symbols[struct.unpack_from("<IIH", data, relocs + 10 * r)[1]][0]
                       for r in range(nrelocs)]
            self.sections.append((name, flags, targets))

    def section_of(self, symbol):
        for name, section in self.symbols.values():
            if name == symbol:
                return section
        raise KeyError(symbol)

    def targets_in_section_of(self, symbol):
        """Names of the symbols that the relocations of the section defining symbol refer to."""
        return self.sections[self.section_of(symbol) - 1][2]


class PeImage:
    """A PE32 image as a file: sections and the export directory."""

    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE image")
        count, optsize = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        if struct.unpack_from("<H", data, optional)[0] != 0x10B:
            raise ValueError("not PE32")
        self.export_rva, self.export_size = struct.unpack_from("<II", data, optional + 96)
        self.import_rva = struct.unpack_from("<I", data, optional + 104)[0]
        self.sections = []  # (name, rva, virtual size, file offset, raw size, characteristics)
        for s in range(count):
            h = optional + optsize + 40 * s
            name = data[h:h + 8].rstrip(b"\0").decode("latin-1")
            vsize, rva, rawsize, raw = struct.unpack_from("<IIII", data, h + 8)
            self.sections.append((name, rva, vsize, raw, rawsize, struct.unpack_from("<I", data, h + 36)[0]))

    def section_at(self, rva):
        for section in self.sections:
            if section[1] <= rva < section[1] + max(section[2], section[4]):
                return section
        return None

    def offset(self, rva):
        section = self.section_at(rva)
        if section is None:
            raise ValueError("RVA %#x lies in no section" % rva)
        return section[3] + rva - section[1]

    def exports(self):
        """The export directory: module name, ordinal base, the address table and the named entries
        as (name, ordinal) in name-table order."""
        d = self.offset(self.export_rva)
        (_, _, _, _, name_rva, base, nfunctions, nnames, functions, names, ordinals) = \
            struct.unpack_from("<IIHHIIIIIII", self.data, d)
        addresses = [struct.unpack_from("<I", self.data, self.offset(functions) + 4 * i)[0]
                     for i in range(nfunctions)]
        named = []
        for i in range(nnames):
            name = _cstring(self.data, self.offset(struct.unpack_from("<I", self.data, self.offset(names) + 4 * i)[0]))
            index = struct.unpack_from("<H", self.data, self.offset(ordinals) + 2 * i)[0]
            named.append((name, base + index))
        return _cstring(self.data, self.offset(name_rva)), base, addresses, named


def _imports(self):
    """The import directory: {module name: [imported name, or ordinal as an int]}."""
    found = {}
    at = self.offset(self.import_rva) if self.import_rva else None
    while at is not None:
        lookup, _, _, name_rva, first_thunk = struct.unpack_from("<IIIII", self.data, at)
        if first_thunk == 0:
            break
        names, thunk = [], self.offset(lookup or first_thunk)
        while True:
            entry = struct.unpack_from("<I", self.data, thunk)[0]
            if entry == 0:
                break
            names.append(entry & 0xFFFF if entry & 0x80000000 else _cstring(self.data, self.offset(entry) + 2))
            thunk += 4
        found[_cstring(self.data, self.offset(name_rva))] = names
        at += 20
    return found


PeImage.imports = _imports


def archive_members(data):
    """The members of a Unix ar archive as (name, bytes), symbol tables and long-name tables left out."""
    if data[:8] != b"!<arch>\n":
        raise ValueError("not an archive")
    members, at = [], 8
    while at + 60 <= len(data):
        name = data[at:at + 16].decode("latin-1").rstrip()
        size = int(data[at + 48:at + 58].decode("latin-1").strip())
        body = data[at + 60:at + 60 + size]
        if name not in ("/", "//", "/SYM64/", "__.SYMDEF", "__.SYMDEF SORTED"):
            members.append((name, body))
        at += 60 + size + (size & 1)
    return members


IMPORT_NAME_TYPES = {0: "ORDINAL", 1: "NAME", 2: "NAME_NOPREFIX", 3: "NAME_UNDECORATE"}


def short_import(body):
    """A short import member (Microsoft's import library form): (symbol, dll, name type, hint)
    or None for any other member."""
    sig1, sig2, _, machine, _, size, hint, flags = struct.unpack_from("<HHHHIIHH", body, 0)
    if sig1 != 0 or sig2 != 0xFFFF:
        return None
    symbol = _cstring(body, 20)
    dll = _cstring(body, 20 + len(symbol) + 1)
    return symbol, dll, IMPORT_NAME_TYPES.get((flags >> 2) & 7), hint


def dlltool_import(body):
    """A GNU dlltool import member: (the symbol it defines, its import name, hint) or None for the
    head and tail members. The import name lies in section .idata$6 as a hint and a string."""
    obj = CoffObject(body)
    defined = [name for name, section in obj.symbols.values()
               if section > 0 and not name.startswith((".", "__imp_", "__head_")) and name not in ("fthunk", "hname")]
    idata6 = [i for i, s in enumerate(obj.sections) if s[0] == ".idata$6"]
    if not idata6 or not defined:
        return None
    count = struct.unpack_from("<H", body, 2)[0]
    optsize = struct.unpack_from("<H", body, 16)[0]
    header = 20 + optsize + 40 * idata6[0]
    raw = struct.unpack_from("<I", body, header + 20)[0]
    hint = struct.unpack_from("<H", body, raw)[0]
    return defined[0], _cstring(body, raw + 2), hint
