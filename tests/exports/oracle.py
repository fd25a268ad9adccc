"""The names the public headers declare, as compilers produce them: every function declared in
include/*.h, with the name clang gives it in Microsoft mode (what add-ons built with Microsoft's tools
bind to) and the name MinGW's g++ gives it (what MinGW add-ons reference).

Nothing here is a list: the declarations come from clang's syntax tree of the headers, and each name
from an object file compiled from a generated translation unit that refers to one declaration per
function (the section of each referring function says which name belongs to which declaration)."""
import json
import os
import subprocess
import tempfile

import pefiles

HEADERS = ["CJSON_Exp.h", "SObject_Exp.h", "CRedirector.h", "patch.h", "Storm.h", "CmdLine.h", "StringUtils.h"]

# Microsoft mode over MinGW's Windows headers: _X86_ and a GNU version let them pick their x86 paths.
MICROSOFT_FLAGS = ["--target=i686-pc-windows-msvc", "-fms-extensions", "-ffreestanding", "-D_X86_",
                   "-fgnuc-version=4.2.1", "-isystem", "/usr/i686-w64-mingw32/include"]


class Declaration:
    def __init__(self, kind, scope, name, signature):
        self.kind = kind            # CXXConstructorDecl, CXXDestructorDecl, CXXMethodDecl or FunctionDecl
        self.scope = scope          # class or namespace name, "" for the global namespace
        self.name = name
        self.signature = signature  # function type as clang prints it, e.g. "bool (const char *)"
        self.microsoft = None
        self.itanium = None

    def params(self):
        return self.signature[self.signature.index("("):]

    def __repr__(self):
        return "%s::%s%s" % (self.scope, self.name, self.params())


def _declarations(include_dir, clang):
    tu = "".join('#include "%s"\n' % h for h in HEADERS)
    out = subprocess.run([clang, "-x", "c++", "-std=c++17"] + MICROSOFT_FLAGS +
                         ["-I", include_dir, "-fsyntax-only", "-Xclang", "-ast-dump=json", "-"],
                         input=tu.encode(), capture_output=True, check=True).stdout
    tree = json.loads(out)
    found = []
    here = os.path.abspath(include_dir)
    state = {"file": None}

    # clang prints a location's file only where it changes, so every node is visited in print order.
    def walk(node, scope):
        if isinstance(node, list):
            for item in node:
                walk(item, scope)
            return
        if not isinstance(node, dict):
            return
        if "file" in node:
            state["file"] = node["file"]
        kind = node.get("kind", "")
        for key, value in node.items():
            if key == "includedFrom":  # names the including file, not this location's
                continue
            if key == "inner":
                inner_scope = node.get("name", "") if kind in ("CXXRecordDecl", "NamespaceDecl") else scope
                walk(value, inner_scope)
            else:
                walk(value, scope)
            if key == "loc" and kind in ("CXXConstructorDecl", "CXXDestructorDecl", "CXXMethodDecl", "FunctionDecl") \
                    and not node.get("isImplicit") and state["file"] \
                    and os.path.dirname(os.path.abspath(state["file"])) == here:
                signature = node["type"]["qualType"].replace(" __attribute__((thiscall))", "")
                found.append(Declaration(kind, scope, node["name"], signature))

    walk(tree, "")
    return found


def _referring_unit(declarations):
    lines = ["// Generated: one function per declaration of the public headers, referring to it alone."]
    lines += ['#include "%s"' % h for h in HEADERS]
    lines += ["struct Place {};",
              "inline void* operator new(decltype(sizeof 0), Place, void* where) noexcept { return where; }"]
    for i, d in enumerate(declarations):
        if d.kind == "CXXConstructorDecl":
            params = d.params()[1:-1].split(", ") if d.params() != "()" else []
            formals = ", ".join("%s a%d" % (t, n) for n, t in enumerate(params))
            actuals = ", ".join("a%d" % n for n in range(len(params)))
            body = "new (Place(), where) %s(%s);" % (d.scope, actuals)
            lines.append('extern "C" void ref_%d(void* where%s) { %s }' % (i, ", " + formals if formals else "", body))
        elif d.kind == "CXXDestructorDecl":
            lines.append('extern "C" void ref_%d(%s* object) { object->~%s(); }' % (i, d.scope, d.scope))
        else:
            split = d.signature.index("(")
            result, params = d.signature[:split].strip(), d.params()
            owner = "%s::*" % d.scope if d.kind == "CXXMethodDecl" else "*"
            target = "&%s::%s" % (d.scope, d.name) if d.scope else "&::%s" % d.name
            lines.append('extern "C" void ref_%d(void* out) { %s (%sp)%s = %s; __builtin_memcpy(out, &p, sizeof p); }'
                         % (i, result, owner, params, target))
    return "\n".join(lines) + "\n"


def _names(obj_path, count, strip_underscore):
    obj = pefiles.CoffObject(open(obj_path, "rb").read())
    names = []
    for i in range(count):
        targets = [t for t in obj.targets_in_section_of("_ref_%d" % i) if not t.startswith((".", "_ref_"))]
        if len(targets) != 1:
            raise RuntimeError("ref_%d refers to %r, expected one function" % (i, targets))
        names.append(targets[0][1:] if strip_underscore else targets[0])
    return names


def declared_functions(include_dir, clang="clang", mingw="i686-w64-mingw32-g++-posix"):
    """Every function the public headers declare, with both of its names."""
    declarations = _declarations(include_dir, clang)
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "refer.cpp")
        with open(source, "w") as f:
            f.write(_referring_unit(declarations))
        common = ["-std=c++17", "-O1", "-fno-exceptions", "-ffunction-sections", "-I", include_dir, "-c", source]
        subprocess.run([clang] + MICROSOFT_FLAGS + common + ["-o", os.path.join(tmp, "ms.obj")], check=True)
        subprocess.run([mingw] + common + ["-o", os.path.join(tmp, "gnu.o")], check=True)
        for d, name in zip(declarations, _names(os.path.join(tmp, "ms.obj"), len(declarations), False)):
            d.microsoft = name
        for d, name in zip(declarations, _names(os.path.join(tmp, "gnu.o"), len(declarations), True)):
            d.itanium = name
    return declarations


if __name__ == "__main__":
    import sys
    for d in declared_functions(sys.argv[1] if len(sys.argv) > 1 else "include"):
        print("%-45s %-40s %s" % (d.microsoft, d.itanium, d))
