"""The names the public headers declare, as compilers produce them: every function declared in include/*.h,
with the name clang gives it in Microsoft mode (what add-ons built with Microsoft's tools bind to) and the
name MinGW's g++ gives it (what MinGW add-ons reference). Nothing here is a list: the declarations come from
clang's syntax tree of the headers, and each name from the assembly that each compiler makes of a generated
translation unit with one function per declaration, referring to that declaration alone."""
import json
import os
import re
import subprocess

HEADERS = ["CJSON_Exp.h", "SObject_Exp.h", "CRedirector.h", "patch.h", "Storm.h", "CmdLine.h", "StringUtils.h"]

# Microsoft mode over MinGW's Windows headers: _X86_ and a GNU version let them pick their x86 paths.
MICROSOFT_FLAGS = ["--target=i686-pc-windows-msvc", "-fms-extensions", "-ffreestanding", "-D_X86_",
                   "-fgnuc-version=4.2.1", "-isystem", "/usr/i686-w64-mingw32/include"]
FUNCTIONS = ("CXXConstructorDecl", "CXXDestructorDecl", "CXXMethodDecl", "FunctionDecl")


class Declaration:
    def __init__(self, kind, scope, name, signature):
        self.kind, self.scope, self.name = kind, scope, name   # scope: class or namespace, "" for the global one
        self.signature = signature  # function type as clang prints it, e.g. "bool (const char *)"
        self.microsoft = self.itanium = None

    def params(self):
        return self.signature[self.signature.index("("):]


def _declarations(include_dir, clang):
    tu = "".join('#include "%s"\n' % h for h in HEADERS)
    tree = json.loads(subprocess.run([clang, "-x", "c++", "-std=c++17"] + MICROSOFT_FLAGS +
                                     ["-I", include_dir, "-fsyntax-only", "-Xclang", "-ast-dump=json", "-"],
                                     input=tu.encode(), capture_output=True, check=True).stdout)
    found, here, state = [], os.path.abspath(include_dir), {"file": None}

    # clang prints a location's file only where it changes, so every node is visited in print order.
    def walk(node, scope):
        for item in node if isinstance(node, list) else []:
            walk(item, scope)
        if not isinstance(node, dict):
            return
        state["file"] = node.get("file", state["file"])
        kind = node.get("kind", "")
        for key, value in node.items():
            if key == "includedFrom":  # names the including file, not this location's
                continue
            inner = key == "inner" and kind in ("CXXRecordDecl", "NamespaceDecl")
            walk(value, node.get("name", "") if inner else scope)
            if key == "loc" and kind in FUNCTIONS and not node.get("isImplicit") and state["file"] \
                    and os.path.dirname(os.path.abspath(state["file"])) == here:
                signature = node["type"]["qualType"].replace(" __attribute__((thiscall))", "")
                found.append(Declaration(kind, scope, node["name"], signature))

    walk(tree, "")
    return found


def _referring_unit(declarations):
    lines = ['#include "%s"' % h for h in HEADERS]
    lines += ["struct Place {};",
              "inline void* operator new(decltype(sizeof 0), Place, void* where) noexcept { return where; }"]
    for i, d in enumerate(declarations):
        if d.kind == "CXXConstructorDecl":
            params = d.params()[1:-1].split(", ") if d.params() != "()" else []
            formals = "".join(", %s a%d" % (t, n) for n, t in enumerate(params))
            actuals = ", ".join("a%d" % n for n in range(len(params)))
            lines.append('extern "C" void ref_%d(void* where%s) { new (Place(), where) %s(%s); }'
                         % (i, formals, d.scope, actuals))
        elif d.kind == "CXXDestructorDecl":
            lines.append('extern "C" void ref_%d(%s* object) { object->~%s(); }' % (i, d.scope, d.scope))
        else:
            result = d.signature[:d.signature.index("(")].strip()
            owner = "%s::*" % d.scope if d.kind == "CXXMethodDecl" else "*"
            body = "%s (%sp)%s = &%s::%s; __builtin_memcpy(out, &p, sizeof p);" % (
                result, owner, d.params(), d.scope, d.name)
            lines.append('extern "C" void ref_%d(void* out) { %s }' % (i, body))
    return "\n".join(lines) + "\n"


def _names(command, unit, count, pattern):
    """The one name that each function ref_N of unit refers to, in the assembly that command makes of it."""
    assembly = subprocess.run(command, input=unit, capture_output=True, text=True, check=True).stdout
    parts = re.split(r"^_ref_(\d+):", assembly, flags=re.M)
    bodies = {int(n): re.split(r"End function|\.cfi_endproc", body)[0] for n, body in zip(parts[1::2], parts[2::2])}
    found = [sorted(set(re.findall(pattern, bodies.get(i, "")))) for i in range(count)]
    wrong = ["ref_%d refers to %r" % (i, names) for i, names in enumerate(found) if len(names) != 1]
    if wrong:
        raise RuntimeError("each function must refer to one name: " + "; ".join(wrong))
    return [names[0] for names in found]


def declared_functions(include_dir, clang="clang", mingw="i686-w64-mingw32-g++-posix"):
    """Every function the public headers declare, with both of its names."""
    declarations = _declarations(include_dir, clang)
    common = ["-x", "c++", "-std=c++17", "-O1", "-fno-exceptions", "-I", include_dir, "-S", "-o", "-", "-"]
    unit, count = _referring_unit(declarations), len(declarations)
    microsoft = _names([clang] + MICROSOFT_FLAGS + common, unit, count, r'"(\?[^"]+)"')
    for d, name, itanium in zip(declarations, microsoft, _names([mingw] + common, unit, count, r"\b_(_Z[\w@]+)")):
        d.microsoft, d.itanium = name, itanium
    return declarations
