#!/usr/bin/python3
"""Size of an executable from its PE header: in total, without resources,
and its code and data sections (what the loader maps besides the resources
and the base relocations), against the goal for the last.

usage: /usr/bin/python3 size_report.py EXE   (Debian's python3-pefile)
"""
import os
import sys

import pefile

GOAL_KIB = 25
# Mapped, but neither code nor data: the resources and the base relocations,
# which ASLR needs.
NOT_CODE_OR_DATA = (".rsrc", ".reloc")


def main():
    exe = sys.argv[1]
    pe = pefile.PE(exe, fast_load=True)
    secs = [(s.Name.rstrip(b"\0").decode("latin-1"), s.Misc_VirtualSize, s.SizeOfRawData) for s in pe.sections]
    total = os.path.getsize(exe)
    rsrc = sum(raw for name, _, raw in secs if name == ".rsrc")
    code_data = [(n, v) for n, v, _ in secs if n not in NOT_CODE_OR_DATA]
    cd = sum(v for _, v in code_data)
    rows = [
        ("%s in total" % os.path.basename(exe), total),
        ("without resources (file size less .rsrc)", total - rsrc),
        ("code and data sections (%s; goal <= %d KiB)" % (", ".join("%s %d" % s for s in code_data), GOAL_KIB), cd),
    ] + [("not counted: %s" % n, max(v, raw)) for n, v, raw in secs if n in NOT_CODE_OR_DATA]
    print("| figure | bytes | KiB |\n|---|---|---|")
    for figure, size in rows:
        print("| %s | %d | %.1f |" % (figure, size, size / 1024.0))
    return 0 if cd <= GOAL_KIB * 1024 else 1


if __name__ == "__main__":
    sys.exit(main())
