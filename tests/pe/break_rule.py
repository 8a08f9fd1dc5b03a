#!/usr/bin/env python3
"""A negative control for one rule of pe_check.py.

usage: break_rule.py RULE GOOD_EXE [PE_CHECK_OPTION...]

Copies an executable that passes every rule, changes the few bytes that
break RULE alone, and runs pe_check.py on the copy. Its output is printed
for the test to match the rule's FAIL line; a copy that breaks more or
fewer rules than one says so.
"""
import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_check  # noqa: E402
from pe_check import headers  # noqa: E402


def change(data, offset, fmt, how):
    struct.pack_into(fmt, data, offset, how(pe_check.field(data, offset, fmt)))


def rename(data, old, new):
    at = data.find(old)
    data[at:at + len(old)] = new.ljust(len(old), b"\0")


def text_section(data):
    return next(s for s in headers(data)[2] if pe_check.section_name(data, s) == ".text")


RULES = {
    "machine": lambda d: change(d, headers(d)[0], "<H", lambda v: 0x8664),
    "aslr": lambda d: change(d, headers(d)[1] + 70, "<H", lambda v: v & ~pe_check.DYNAMIC_BASE),
    "relocations": lambda d: change(d, headers(d)[0] + 18, "<H", lambda v: v | pe_check.RELOCS_STRIPPED),
    "dep": lambda d: change(d, headers(d)[1] + 70, "<H", lambda v: v & ~pe_check.NX_COMPAT),
    "writable-code": lambda d: change(d, text_section(d) + 36, "<I", lambda v: v | pe_check.MEM_WRITE),
    "known-dlls": lambda d: rename(d, b"msvcrt.dll", b"msvcrx.dll"),
    "lean-imports": lambda d: rename(d, b"msvcrt.dll", b"ole32.dll"),
    "search-restricted": lambda d: rename(d, b"SetDefaultDllDirectories", b"SetDefaultDllDirectorieZ"),
}


def main():
    rule, good, options = sys.argv[1], sys.argv[2], sys.argv[3:]
    data = bytearray(open(good, "rb").read())
    RULES[rule](data)
    with tempfile.TemporaryDirectory() as folder:
        broken = os.path.join(folder, "broken.exe")
        open(broken, "wb").write(data)
        run = subprocess.run([sys.executable, pe_check.__file__] + options + [broken], capture_output=True, text=True)
    print(run.stdout + run.stderr, end="")
    fails = [line for line in run.stdout.splitlines() if line.startswith("FAIL ")]
    if len(fails) != 1 or run.returncode != 1:
        print("NOT ONE RULE: %d FAIL lines, exit code %d" % (len(fails), run.returncode))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
