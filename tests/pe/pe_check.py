#!/usr/bin/env python3
"""Checks a 32-bit Windows executable's hardening from its PE header.

usage: pe_check.py [--lean-imports] [--break RULE] EXE

- ASLR: IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE set, and base relocations kept
  (without them the loader cannot move the image, whatever the flag says);
- DEP: IMAGE_DLLCHARACTERISTICS_NX_COMPAT set;
- no section both writable and executable;
- imports only from system DLLs on the KnownDLLs list, which the loader
  always takes from the system folder, so that no DLL planted beside the
  exe is loaded in their place;
- with --lean-imports (starter.exe): imports only from KERNEL32 and msvcrt.
  Every other DLL in the import table is loaded with its dependencies
  before the program's first instruction, by the default search order,
  which looks in the program's folder first for those that are not
  KnownDLLs. The program loads the rest itself once it has restricted the
  search with SetDefaultDllDirectories, which it must therefore name.

With --break RULE, a negative control: an executable that passes every
rule is checked with the few bytes changed that break RULE alone, and passes
only if the FAIL lines are that rule's one line, word for word.
"""
import struct
import sys

KNOWN_DLLS = {"advapi32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
              "oleaut32.dll", "rpcrt4.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "ws2_32.dll"}

DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
RELOCS_STRIPPED = 0x0001
MEM_EXECUTE = 0x20000000
MEM_WRITE = 0x80000000
LEAN_IMPORTS = {"kernel32.dll", "msvcrt.dll"}


def field(data, offset, fmt="<H"):
    return struct.unpack_from(fmt, data, offset)[0]


def headers(data):
    """Offsets of the file header, the optional header and each section header."""
    pe = field(data, 0x3C, "<I")
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    opt = pe + 24
    if field(data, opt) != 0x10B:
        raise ValueError("not a 32-bit image (optional header magic %#x)" % field(data, opt))
    return pe + 4, opt, [opt + field(data, pe + 20) + 40 * i for i in range(field(data, pe + 6))]


def section_name(data, section):
    return data[section:section + 8].rstrip(b"\0").decode("latin-1")


def imported_dlls(data, opt, sections):
    def offset(rva):
        for s in sections:
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
            if va <= rva < va + max(vsize, rawsize):
                return rva - va + rawptr
        raise ValueError("RVA %#x is in no section" % rva)
    names = []
    at = offset(field(data, opt + 96 + 8 * 1, "<I"))  # data directory 1: the import table
    while field(data, at + 12, "<I"):  # each descriptor's DLL name, up to the empty one
        start = offset(field(data, at + 12, "<I"))
        names.append(data[start:data.index(b"\0", start)].decode("latin-1"))
        at += 20
    return names


def check(data, lean_imports=False):
    file_header, opt, sections = headers(data)
    machine, dllchar = field(data, file_header), field(data, opt + 70)
    flags = [(section_name(data, s), field(data, s + 36, "<I")) for s in sections]
    dlls = imported_dlls(data, opt, sections)
    print("imports: " + ", ".join(dlls))
    print("sections: " + ", ".join("%s(%#x)" % f for f in flags))
    # data directory 5: the base relocations
    stripped = field(data, file_header + 18) & RELOCS_STRIPPED or field(data, opt + 96 + 8 * 5 + 4, "<I") == 0
    return [problem for broken, problem in [
        (machine != 0x14C, "machine %#x is not i386" % machine),
        (not dllchar & DYNAMIC_BASE, "DYNAMIC_BASE (ASLR) not set"),
        (stripped, "base relocations stripped: the image cannot be moved"),
        (not dllchar & NX_COMPAT, "NX_COMPAT (DEP) not set"),
        *((f & MEM_WRITE and f & MEM_EXECUTE, "section %s is writable and executable" % name) for name, f in flags),
        *((dll.lower() not in KNOWN_DLLS, "imports %s, which is not a KnownDLL" % dll) for dll in dlls),
        # a DLL that is not a KnownDLL fails the rule above alone
        *((lean_imports and dll.lower() in KNOWN_DLLS - LEAN_IMPORTS,
           "imports %s, which loads before the program can restrict its DLL search" % dll) for dll in dlls),
        (lean_imports and b"SetDefaultDllDirectories" not in data,
         "never restricts its DLL search: SetDefaultDllDirectories is not named"),
    ] if broken]


def change(data, offset, fmt, how):
    struct.pack_into(fmt, data, offset, how(field(data, offset, fmt)))


def rename(data, old, new):
    at = data.find(old)
    data[at:at + len(old)] = new.ljust(len(old), b"\0")


# Each rule: the one FAIL line it must give, and how a copy breaks it alone.
BREAK = {
    "machine": ("machine 0x8664 is not i386", lambda d: change(d, headers(d)[0], "<H", lambda v: 0x8664)),
    "aslr": ("DYNAMIC_BASE (ASLR) not set", lambda d: change(d, headers(d)[1] + 70, "<H", lambda v: v & ~DYNAMIC_BASE)),
    "relocations": ("base relocations stripped: the image cannot be moved",
                    lambda d: change(d, headers(d)[0] + 18, "<H", lambda v: v | RELOCS_STRIPPED)),
    "dep": ("NX_COMPAT (DEP) not set", lambda d: change(d, headers(d)[1] + 70, "<H", lambda v: v & ~NX_COMPAT)),
    "writable-code": ("section .text is writable and executable", lambda d: change(
        d, next(s for s in headers(d)[2] if section_name(d, s) == ".text") + 36, "<I", lambda v: v | MEM_WRITE)),
    "known-dlls": ("imports msvcrx.dll, which is not a KnownDLL", lambda d: rename(d, b"msvcrt.dll", b"msvcrx.dll")),
    "lean-imports": ("imports ole32.dll, which loads before the program can restrict its DLL search",
                     lambda d: rename(d, b"msvcrt.dll", b"ole32.dll")),
    "search-restricted": ("never restricts its DLL search: SetDefaultDllDirectories is not named",
                          lambda d: rename(d, b"SetDefaultDllDirectories", b"SetDefaultDllDirectorieZ")),
}


def main():
    args = sys.argv[1:]
    data = bytearray(open(args[-1], "rb").read())
    rule = args[args.index("--break") + 1] if "--break" in args else None
    expected, breaking = BREAK.get(rule, (None, lambda d: None))
    breaking(data)
    problems = check(data, "--lean-imports" in args)
    for p in problems:
        print("FAIL " + p)
    return int(problems != ([expected] if rule else []))


if __name__ == "__main__":
    sys.exit(main())
