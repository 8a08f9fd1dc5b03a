#!/usr/bin/env python3
"""Rewrites a zip so that it depends on its files' contents alone.

usage: repack_zip.py ZIP EPOCH

CPack's zip carries each file's times from the build (the change time
among them, which no tool can set back), so the same sources would give a
different zip at every build. The entries are written again in name order,
all with the time EPOCH (seconds since 1970, UTC), Unix modes 755 for
folders and .exe files and 644 for the rest, and no extra fields.
"""
import sys
import time
import zipfile


def main():
    path, epoch = sys.argv[1], int(sys.argv[2])
    when = time.gmtime(max(epoch, 315532800))[:6]  # a zip's times start in 1980
    with zipfile.ZipFile(path) as old:
        entries = sorted((info.filename, old.read(info)) for info in old.infolist())
    with zipfile.ZipFile(path, "w") as new:
        for name, data in entries:
            info = zipfile.ZipInfo(name, when)
            executable = name.endswith("/") or name.lower().endswith(".exe")
            info.external_attr = ((0o40755 if name.endswith("/") else 0o100755 if executable else 0o100644) << 16)
            info.create_system = 3
            info.compress_type = zipfile.ZIP_STORED if name.endswith("/") else zipfile.ZIP_DEFLATED
            new.writestr(info, data, compresslevel=9)


if __name__ == "__main__":
    main()
