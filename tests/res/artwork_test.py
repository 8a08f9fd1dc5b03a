#!/usr/bin/env python3
"""The artwork in res/ passes tools/check_artwork.py, and so does what
tools/make_artwork.py draws now, which is the same picture: the generator
runs from a scratch copy, so that res/ is left alone. The text on the about
picture comes from the installed DejaVu fonts, whose point releases may move
an outline by a pixel, so the pictures are compared by how many of their
bytes differ, not byte for byte: a file of another size, or another
picture, differs far more. The tools are run as themselves: the generator
needs Debian's Python, which has Pillow."""
import os
import shutil
import subprocess
import sys
import tempfile

from harness import ROOT, check, result

MOST_DIFFERING = 0.02  # of a file's bytes


def checked(root):
    return subprocess.run([os.path.join(root, "tools", "check_artwork.py")], cwd=root).returncode == 0


def main():
    check(checked(ROOT), "the kept artwork passes the checker")
    with tempfile.TemporaryDirectory() as scratch:
        shutil.copytree(os.path.join(ROOT, "tools"), os.path.join(scratch, "tools"))
        subprocess.run([os.path.join(scratch, "tools", "make_artwork.py")], check=True)
        check(checked(scratch), "what the generator draws now passes the checker")
        for name in ("starter.ico", "spare.ico", "about.bmp"):
            drawn = open(os.path.join(scratch, "res", name), "rb").read()
            kept = open(os.path.join(ROOT, "res", name), "rb").read()
            differing = sum(a != b for a, b in zip(drawn, kept)) / max(len(kept), 1)
            check(len(drawn) == len(kept) and differing <= MOST_DIFFERING,
                  f"{name}: the same size, and {differing:.2%} of its bytes differ")
    return result()


if __name__ == "__main__":
    sys.exit(main())
