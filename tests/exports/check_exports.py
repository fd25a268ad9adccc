"""Checks Corvane.exe's export table and the two import libraries against the names that the
compilers give the public headers' declarations (oracle.py), on the host: no Windows program runs.
   check_exports.py INCLUDE_DIR Corvane.exe Corvane.lib libCorvane.a AbiCheck.dll EXAMPLE_MINGW EXAMPLE_MICROSOFT
The last two are the SDK's example add-on built with MinGW and the Microsoft way."""
import sys

import oracle
import pefiles

FAMILIES = {"CJSON_Exp": 29, "SObject_Exp": 38, "CRedirector": 10, "": 2, "Storm": 14, "CmdLine": 3,
            "StringUtils": 3}
SHARED_BY_BOTH_JSON_CLASSES = ("operator[]", "Clear", "GetMemberCount", "IsExist", "IsArray", "HasMember")


class Report:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, what, expected, actual):
        if expected == actual:
            self.passed += 1
            print("ok   %s" % what)
        else:
            self.failed += 1
            print("FAIL %s\n     expected %r\n     actual   %r" % (what, expected, actual))


def shared_pairs(declarations):
    """The pairs of declarations that one entry point serves: the JSON operations both classes have,
    document assignment with node assignment, and the two zero-fills."""
    def find(scope, name, params):
        found = [d for d in declarations if d.scope == scope and d.name == name and d.params() == params]
        return found[0] if len(found) == 1 else None

    pairs = []
    for d in declarations:
        if d.scope == "CJSON_Exp" and d.name in SHARED_BY_BOTH_JSON_CLASSES:
            pairs.append((d, find("SObject_Exp", d.name, d.params())))
    pairs.append((find("CJSON_Exp", "operator=", "(const CJSON_Exp &)"), find("SObject_Exp", "operator=", "(SObject_Exp &)")))
    pairs.append((find("CJSON_Exp", "__autoclassinit2", "(unsigned int)"),
                  find("CRedirector", "__autoclassinit2", "(unsigned int)")))
    return pairs


def check_headers(report, declarations):
    report.check("the headers declare 99 functions", 99, len(declarations))
    counts = {}
    for d in declarations:
        counts[d.scope] = counts.get(d.scope, 0) + 1
    report.check("functions per family (\"\" is patch)", FAMILIES, counts)
    report.check("Microsoft names are distinct", 99, len({d.microsoft for d in declarations}))
    report.check("MinGW names are distinct", 99, len({d.itanium for d in declarations}))


def check_export_table(report, declarations, image):
    module, base, addresses, named = image.exports()
    names = [name for name, _ in named]
    expected = sorted(d.microsoft for d in declarations)
    report.check("module name in the export directory", "Corvane.exe", module)
    report.check("ordinal base", 1, base)
    report.check("entries in the address table", 99, len(addresses))
    report.check("named entries", 99, len(named))
    report.check("names missing from the table", [], sorted(set(expected) - set(names)))
    report.check("names the headers do not declare", [], sorted(set(names) - set(expected)))
    report.check("name table in ascending byte order", sorted(names, key=lambda n: n.encode()), names)
    report.check("ordinals 1 to 99 follow the byte order of the names",
                 list(range(1, 100)), [ordinal for _, ordinal in sorted(named, key=lambda e: e[0].encode())])
    export_end = image.export_rva + image.export_size
    report.check("forwarders (addresses inside the export directory)", [],
                 [n for n, o in named if image.export_rva <= addresses[o - base] < export_end])
    code = pefiles.IMAGE_SCN_MEM_EXECUTE | pefiles.IMAGE_SCN_CNT_CODE
    report.check("entries that are not code (exported data)", [],
                 [n for n, o in named if (image.section_at(addresses[o - base]) or (0,) * 6)[5] & code != code])
    report.check("distinct entry points", 87, len(set(addresses)))

    address_of = {n: addresses[o - base] for n, o in named}
    pairs = shared_pairs(declarations)
    report.check("pairs of names that share an entry point, from the headers", 12,
                 len([p for p in pairs if p[0] and p[1]]))
    expected_groups = sorted(sorted([a.microsoft, b.microsoft]) for a, b in pairs if a and b)
    expected_groups += sorted([d.microsoft] for d in declarations
                              if not any(d in pair for pair in pairs))
    by_address = {}
    for n in names:
        by_address.setdefault(address_of[n], []).append(n)
    actual_groups = sorted(sorted(group) for group in by_address.values())
    report.check("expected entry-point groups that the table lacks", [],
                 [g for g in expected_groups if g not in actual_groups])
    report.check("entry-point groups that were not expected", [],
                 [g for g in actual_groups if g not in expected_groups])


def check_microsoft_import_library(report, declarations, data):
    imports = [m for m in (pefiles.short_import(body) for _, body in pefiles.archive_members(data)) if m]
    report.check("Corvane.lib: short import members", 99, len(imports))
    report.check("Corvane.lib: every member imports from Corvane.exe", {"Corvane.exe"}, {m[1] for m in imports})
    report.check("Corvane.lib: symbols are the Microsoft names", sorted(d.microsoft for d in declarations),
                 sorted(m[0] for m in imports))
    report.check("Corvane.lib: imported by the whole decorated name", {"NAME"}, {m[2] for m in imports})


def check_mingw_import_library(report, declarations, data):
    members = pefiles.archive_members(data)
    imports = {m[0]: m[1] for m in (pefiles.dlltool_import(body) for _, body in members) if m}
    expected = {"_" + d.itanium: d.microsoft for d in declarations}
    report.check("libCorvane.a: import members", 99, len(imports))
    report.check("libCorvane.a: each MinGW name imports its Microsoft name", expected, imports)
    report.check("libCorvane.a: the module named is Corvane.exe", True,
                 any(b"Corvane.exe\0" in body for _, body in members))


def check_microsoft_addon(report, declarations, image):
    imported = image.imports().get("Corvane.exe", [])
    report.check("AbiCheck.dll binds all 99 names of Corvane.exe by name at load time",
                 sorted(d.microsoft for d in declarations), sorted(n for n in imported if isinstance(n, str)))


def check_example_addons(report, mingw_build, microsoft_build):
    """One source built against each import library binds the very same exported names."""
    mingw = mingw_build.imports().get("Corvane.exe", [])
    microsoft = microsoft_build.imports().get("Corvane.exe", [])
    report.check("the example add-on binds some names", True, len(microsoft) > 3)
    report.check("the example add-on binds the same names through libCorvane.a as through Corvane.lib",
                 sorted(microsoft), sorted(mingw))


def main(include_dir, exe, msvc_lib, mingw_lib, addon, example_mingw, example_microsoft):
    report = Report()
    declarations = oracle.declared_functions(include_dir)
    check_headers(report, declarations)
    check_export_table(report, declarations, pefiles.PeImage(open(exe, "rb").read()))
    check_microsoft_import_library(report, declarations, open(msvc_lib, "rb").read())
    check_mingw_import_library(report, declarations, open(mingw_lib, "rb").read())
    check_microsoft_addon(report, declarations, pefiles.PeImage(open(addon, "rb").read()))
    check_example_addons(report, pefiles.PeImage(open(example_mingw, "rb").read()),
                         pefiles.PeImage(open(example_microsoft, "rb").read()))
    print("%d passed, %d failed" % (report.passed, report.failed))
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:8]))
