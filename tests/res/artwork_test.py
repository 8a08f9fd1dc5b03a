#!/usr/bin/env python3
"""The artwork in res/ passes tools/check_artwork.py and is exactly what
tools/make_artwork.py draws: the generator runs from a scratch copy, so that
res/ is left alone, and its files are compared byte for byte."""
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FILES = ["starter.ico", "spare.ico", "about.bmp"]


def main():
    failed = subprocess.run([sys.executable, os.path.join(ROOT, "tools", "check_artwork.py")]).returncode != 0
    with tempfile.TemporaryDirectory() as scratch:
        os.makedirs(os.path.join(scratch, "tools"))
        shutil.copy(os.path.join(ROOT, "tools", "make_artwork.py"), os.path.join(scratch, "tools"))
        subprocess.run([sys.executable, os.path.join(scratch, "tools", "make_artwork.py")], check=True)
        for name in FILES:
            same = filecmp.cmp(os.path.join(scratch, "res", name), os.path.join(ROOT, "res", name), shallow=False)
            print(("same " if same else "DIFFERENT ") + name)
            failed = failed or not same
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
