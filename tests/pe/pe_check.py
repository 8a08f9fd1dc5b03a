#!/usr/bin/python3
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

Debian's Python, for pefile (python3-pefile), which reads the headers.
"""
import sys

import pefile

KNOWN_DLLS = {"advapi32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
              "oleaut32.dll", "rpcrt4.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "ws2_32.dll"}

DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
RELOCS_STRIPPED = 0x0001
MEM_EXECUTE = 0x20000000
MEM_WRITE = 0x80000000
LEAN_IMPORTS = {"kernel32.dll", "msvcrt.dll"}


def check(data, lean_imports=False):
    pe = pefile.PE(data=data)
    if pe.OPTIONAL_HEADER.Magic != pefile.OPTIONAL_HEADER_MAGIC_PE:
        raise ValueError("not a 32-bit image (optional header magic %#x)" % pe.OPTIONAL_HEADER.Magic)
    machine, dllchar = pe.FILE_HEADER.Machine, pe.OPTIONAL_HEADER.DllCharacteristics
    flags = [(s.Name.rstrip(b"\0").decode("latin-1"), s.Characteristics) for s in pe.sections]
    dlls = [entry.dll.decode("latin-1") for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    print("imports: " + ", ".join(dlls))
    print("sections: " + ", ".join("%s(%#x)" % f for f in flags))
    relocations = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    stripped = pe.FILE_HEADER.Characteristics & RELOCS_STRIPPED or relocations.Size == 0
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


def set_flag(header, name, flag, on):
    setattr(header, name, getattr(header, name) | flag if on else getattr(header, name) & ~flag)


def rename(pe, old, new):
    pe.set_bytes_at_offset(pe.__data__.find(old), new.ljust(len(old), b"\0"))


def text_section(pe):
    return next(s for s in pe.sections if s.Name.rstrip(b"\0") == b".text")


# Each rule: the one FAIL line it must give, and how a copy breaks it alone.
BREAK = {
    "machine": ("machine 0x8664 is not i386", lambda pe: setattr(pe.FILE_HEADER, "Machine", 0x8664)),
    "aslr": ("DYNAMIC_BASE (ASLR) not set",
             lambda pe: set_flag(pe.OPTIONAL_HEADER, "DllCharacteristics", DYNAMIC_BASE, False)),
    "relocations": ("base relocations stripped: the image cannot be moved",
                    lambda pe: set_flag(pe.FILE_HEADER, "Characteristics", RELOCS_STRIPPED, True)),
    "dep": ("NX_COMPAT (DEP) not set", lambda pe: set_flag(pe.OPTIONAL_HEADER, "DllCharacteristics", NX_COMPAT, False)),
    "writable-code": ("section .text is writable and executable",
                      lambda pe: set_flag(text_section(pe), "Characteristics", MEM_WRITE, True)),
    "known-dlls": ("imports msvcrx.dll, which is not a KnownDLL", lambda pe: rename(pe, b"msvcrt.dll", b"msvcrx.dll")),
    "lean-imports": ("imports ole32.dll, which loads before the program can restrict its DLL search",
                     lambda pe: rename(pe, b"msvcrt.dll", b"ole32.dll")),
    "search-restricted": ("never restricts its DLL search: SetDefaultDllDirectories is not named",
                          lambda pe: rename(pe, b"SetDefaultDllDirectories", b"SetDefaultDllDirectorieZ")),
}


def main():
    args = sys.argv[1:]
    pe = pefile.PE(args[-1])
    rule = args[args.index("--break") + 1] if "--break" in args else None
    expected, breaking = BREAK.get(rule, (None, lambda pe: None))
    breaking(pe)
    problems = check(pe.write(), "--lean-imports" in args)
    for p in problems:
        print("FAIL " + p)
    return int(problems != ([expected] if rule else []))


if __name__ == "__main__":
    sys.exit(main())
