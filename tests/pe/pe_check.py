#!/usr/bin/env python3
"""Checks a 32-bit Windows executable's hardening from its PE header.

usage: pe_check.py [--lean-imports] EXE

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
"""
import struct
import sys

KNOWN_DLLS = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
    "oleaut32.dll", "rpcrt4.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "ws2_32.dll",
}

DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
RELOCS_STRIPPED = 0x0001
MEM_EXECUTE = 0x20000000
MEM_WRITE = 0x80000000
LEAN_IMPORTS = {"kernel32.dll", "msvcrt.dll"}


def parse(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    machine, nsections, _, _, _, optsize, characteristics = struct.unpack_from("<HHIIIHH", data, pe + 4)
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    if magic != 0x10B:
        raise ValueError("not a 32-bit image (optional header magic %#x)" % magic)
    dll_characteristics = struct.unpack_from("<H", data, opt + 70)[0]
    ndirs = struct.unpack_from("<I", data, opt + 92)[0]
    dirs = [struct.unpack_from("<II", data, opt + 96 + 8 * i) for i in range(ndirs)]
    sections = []
    for i in range(nsections):
        off = opt + optsize + 40 * i
        name = data[off:off + 8].rstrip(b"\0").decode("latin-1")
        vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, off + 8)
        flags = struct.unpack_from("<I", data, off + 36)[0]
        sections.append((name, va, vsize, rawptr, rawsize, flags))
    return machine, characteristics, dll_characteristics, dirs, sections


def rva_to_offset(rva, sections):
    for _, va, vsize, rawptr, rawsize, _ in sections:
        if va <= rva < va + max(vsize, rawsize):
            return rva - va + rawptr
    raise ValueError("RVA %#x is in no section" % rva)


def imported_dlls(data, dirs, sections):
    rva, size = dirs[1]
    names = []
    off = rva_to_offset(rva, sections)
    while True:
        name_rva = struct.unpack_from("<5I", data, off)[3]
        if name_rva == 0:
            break
        start = rva_to_offset(name_rva, sections)
        names.append(data[start:data.index(b"\0", start)].decode("latin-1"))
        off += 20
    return names


def check(path, lean_imports=False):
    data = open(path, "rb").read()
    machine, characteristics, dllchar, dirs, sections = parse(data)
    problems = []
    if machine != 0x14C:
        problems.append("machine %#x is not i386" % machine)
    if not dllchar & DYNAMIC_BASE:
        problems.append("DYNAMIC_BASE (ASLR) not set")
    if characteristics & RELOCS_STRIPPED or dirs[5][1] == 0:
        problems.append("base relocations stripped: the image cannot be moved")
    if not dllchar & NX_COMPAT:
        problems.append("NX_COMPAT (DEP) not set")
    for name, _, _, _, _, flags in sections:
        if flags & MEM_WRITE and flags & MEM_EXECUTE:
            problems.append("section %s is writable and executable" % name)
    dlls = imported_dlls(data, dirs, sections)
    for dll in dlls:
        if dll.lower() not in KNOWN_DLLS:
            problems.append("imports %s, which is not a KnownDLL" % dll)
    if lean_imports:
        for dll in dlls:
            if dll.lower() not in LEAN_IMPORTS:
                problems.append("imports %s, which loads before the program can restrict its DLL search" % dll)
        if b"SetDefaultDllDirectories" not in data:
            problems.append("never restricts its DLL search: SetDefaultDllDirectories is not named")
    return problems, dlls, sections


def main():
    args = sys.argv[1:]
    lean = "--lean-imports" in args
    problems, dlls, sections = check([a for a in args if a != "--lean-imports"][0], lean)
    print("imports: " + ", ".join(dlls))
    print("sections: " + ", ".join("%s(%#x)" % (s[0], s[5]) for s in sections))
    for p in problems:
        print("FAIL " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
