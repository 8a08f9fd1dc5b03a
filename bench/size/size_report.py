#!/usr/bin/python3
"""Size of an executable, and what its link map says takes the space.

usage: /usr/bin/python3 size_report.py EXE [MAP [TOP]]   (Debian's python3-pefile)

Prints the file's size, its size without resources, and the code and data
sections' size (what the loader maps besides the resources, relocations and
debugging information), then the link map's input sections summed up by
where they come from: the program's own objects, and each runtime library's
members, the TOP largest of them by name.
"""
import collections
import os
import re
import sys

import pefile

# Mapped, but neither code nor data: the resources, the base relocations
# (which ASLR needs) and whatever debugging information the linker kept.
NOT_CODE_OR_DATA = (".rsrc", ".reloc")


def sections(path):
    """(name, size in memory, size in the file) of each section. The images
    measured are stripped, so a long name is cut to its first 8 characters
    (pefile does not look names up in the COFF string table)."""
    pe = pefile.PE(path, fast_load=True)
    return [(s.Name.rstrip(b"\0").decode("latin-1"), s.Misc_VirtualSize, s.SizeOfRawData) for s in pe.sections]


def origin(path):
    """(group, member) for an input file named in the map. The toolchain's
    files are named by absolute paths; the program's own by paths in the
    build folder, or, optimised at link time, as the compiler's temporary
    partitions (/tmp/ccXXXXXX.ltrans0.ltrans.o)."""
    m = re.match(r"(.*?)\(([^()]*)\)$", path)
    own = not path.startswith("/") or path.endswith(".ltrans.o")
    if m:
        archive = os.path.basename(m.group(1))
        if own:
            return "program", archive + "(" + m.group(2) + ")"
        return archive, m.group(2)
    base = os.path.basename(path)
    return ("program" if own else base), base


def map_input_sections(path):
    """Yields (output section, input section, size, file) for every input
    section of a GNU ld map that goes into a loaded output section."""
    out = None
    pending = None
    in_memory_map = False
    for line in open(path, encoding="latin-1"):
        if line.startswith("Linker script and memory map"):
            in_memory_map = True
            continue
        if not in_memory_map:
            continue
        line = line.rstrip("\n")
        m = re.match(r"^(\S+)\s+0x[0-9a-f]+\s+0x[0-9a-f]+", line)
        if m or re.match(r"^(\S+)$", line):
            out = line.split()[0]
            pending = None
            continue
        m = re.match(r"^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if m:
            yield out, m.group(1), int(m.group(3), 16), m.group(4)
            pending = None
            continue
        m = re.match(r"^ (\S+)$", line)
        if m:
            pending = m.group(1)
            continue
        m = re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if m and pending:
            yield out, pending, int(m.group(2), 16), m.group(3)
            pending = None


# What a member is there for, by its name: the first pattern that matches.
KINDS = [
    ("the program's own code", r"^program/"),
    ("std::string's prebuilt code", r"^libstdc\+\+\.a/(string-inst|sso_string)\.o$"),
    ("exception messages' copy-on-write strings", r"^libstdc\+\+\.a/(cow-stdexcept|cow-string-inst|random)\.o$"),
    ("terminate handler's name demangler", r"^libstdc\+\+\.a/(cp-demangle|vterminate)\.o$"),
    ("printf formatting (for the demangler)", r"^libmingwex\.a/.*(pformat|vsprintf|gdtoa|dmisc|gmisc|_a-misc|strnlen|wcsnlen)"),
    ("iostreams and locales", r"^libstdc\+\+\.a/(ios|locale|basic_file|c\+\+locale|.*stream)"),
    ("exception support: throwing, catching, unwinding, type information",
     r"^libstdc\+\+\.a/(eh_|functexcept|stdexcept|bad_|.*type_info|tinfo|snprintf_lite|new_handler|new_op|del_op)"
     r"|^libgcc_eh\.a/"),
    ("thread library (for the runtime's locks)", r"^libpthread\.a/"),
    ("DLL import tables and stubs", r"^lib(kernel32|user32|gdi32|shell32|advapi32|ole32)\.a/"),
    ("C runtime start-up and helpers", r"^(libmingw32\.a|libmingwex\.a|libmsvcrt\.a|libgcc\.a|crt2\.o|crtbegin\.o|crtend\.o)/"),
]


def kind(group, member):
    key = group + "/" + member
    for name, pattern in KINDS:
        if re.search(pattern, key):
            return name
    return "other"


def kib(n):
    return "%.1f" % (n / 1024.0)


def main():
    exe = sys.argv[1]
    mapfile = sys.argv[2] if len(sys.argv) > 2 else None
    top = int(sys.argv[3]) if len(sys.argv) > 3 else 25
    total, secs = os.path.getsize(exe), sections(exe)
    rsrc = sum(raw for name, _, raw in secs if name == ".rsrc")
    code_data = [(n, v) for n, v, _ in secs if n not in NOT_CODE_OR_DATA and not n.startswith(".debug")]
    print("| figure | bytes | KiB |")
    print("|---|---|---|")
    print("| %s in total | %d | %s |" % (os.path.basename(exe), total, kib(total)))
    print("| without resources (file size less .rsrc) | %d | %s |" % (total - rsrc, kib(total - rsrc)))
    cd = sum(v for _, v in code_data)
    print("| code and data sections (%s; goal <= 24 KiB) | %d | %s |" % (
        ", ".join("%s %d" % s for s in code_data), cd, kib(cd)))
    for name, v, raw in secs:
        if name in NOT_CODE_OR_DATA or name.startswith(".debug"):
            print("| not counted: %s | %d | %s |" % (name, max(v, raw), kib(max(v, raw))))

    if not mapfile:
        return
    # Stripped of its symbols, an image keeps only the first 8 characters of
    # a long section name (".eh_fram"); the map has the whole name.
    loaded = {n[:8] for n, _ in code_data}
    by_group = collections.defaultdict(collections.Counter)
    by_member = collections.defaultdict(collections.Counter)
    for out, _, size, f in map_input_sections(mapfile):
        if out is None or out[:8] not in loaded or size == 0:
            continue
        group, member = origin(f)
        by_group[group][out[:8]] += size
        by_member[(group, member)][out[:8]] += size

    outs = [n[:8] for n, _ in code_data]
    print()
    print("Link map, input sections by origin (bytes; sections padded to alignment in the image):")
    print()
    print("| origin | " + " | ".join(outs) + " | total |")
    print("|---|" + "---|" * (len(outs) + 1))
    for group, c in sorted(by_group.items(), key=lambda kv: -sum(kv[1].values())):
        print("| %s | %s | %d |" % (group, " | ".join(str(c[o]) for o in outs), sum(c.values())))
    by_kind = collections.Counter()
    for (group, member), c in by_member.items():
        by_kind[kind(group, member)] += sum(c.values())
    print()
    print("The same by what it is there for:")
    print()
    print("| kind | bytes | KiB |")
    print("|---|---|---|")
    for name, _ in KINDS + [("other", "")]:
        print("| %s | %d | %s |" % (name, by_kind[name], kib(by_kind[name])))
    print()
    print("The %d largest members:" % top)
    print()
    print("| origin | member | " + " | ".join(outs) + " | total |")
    print("|---|---|" + "---|" * (len(outs) + 1))
    for (group, member), c in sorted(by_member.items(), key=lambda kv: -sum(kv[1].values()))[:top]:
        print("| %s | %s | %s | %d |" % (group, member, " | ".join(str(c[o]) for o in outs), sum(c.values())))


if __name__ == "__main__":
    main()
