#!/usr/bin/env python3
"""launch-preview's output contract, byte for byte: other tools parse it.

usage: contract_test.py PREVIEW [EMULATOR]
Each case runs the real program in a scratch folder of run files and compares
its whole output line, then checks that the line is plain ASCII JSON.
"""
import json
import os
import pathlib
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tray"))
from harness import check, result  # noqa: E402

PREVIEW = sys.argv[1]
EMULATOR = [a for a in sys.argv[2:] if a]
FILES = {
    "kit.run": b'C:\\Work\r\nC:\\Tools\\"prog".exe\r\n-x\r\n',
    "odd.run": b"\n\xe4\xff\x80\na\tb\x01\r",
    "utf8.run": b"\xef\xbb\xbfC:\\W\r\n" + "\u00e4\u20ac.exe\r\n\u00ff\r\n".encode("utf-8"),
    "utf16.run": b"\xff\xfe" + "\uff02x\uff02\np\n\u00e4\n".encode("utf-16-le"),
    "tavelkin.run": b"D\nP\n\n",  # the default run file
    "--command-line": b"C\nQ\n-y\n",
}


def request(program, parameters, directory):
    """The output line of a request, from its values as JSON text."""
    return f'{{"verb":"open","program":{program},"parameters":{parameters},"directory":{directory},"show":5}}'


KIT_PROGRAM = '"C:\\\\Tools\\\\\\"prog\\".exe"'
# (name, arguments, expected stdout line, expected exit code[, where: {"folder": it runs in, "stdout": a file}])
CASES = [
    ("no tail, no default run file", [], request("null", "null", "null"), 0, {"folder": "empty"}),
    ("unclosed quote makes no request", ['"kit.run doc'], "null", 0),
    ("run file and document", ["kit.run order.xhtml"], request(KIT_PROGRAM, '"-x order.xhtml"', '"C:\\\\Work"'), 0),
    ("document with a blank is quoted", ['kit.run "my order.xhtml"'],
     request(KIT_PROGRAM, '"-x \\"my order.xhtml\\""', '"C:\\\\Work"'), 0),
    ("bytes below 0x20 and above 0x7F", ["odd.run"], request('"\\u00E4\\u00FF\\u0080"', '"a\\tb\\u0001\\r"', '""'), 0),
    ("UTF-8 with a mark: converted to the ANSI code page", ["utf8.run doc"],
     request('"\\u00E4\\u0080.exe"', '"\\u00FF doc"', '"C:\\\\W"'), 0),
    ("UTF-16 with a mark; a fullwidth quote makes the value absent", ["utf16.run"],
     request('"p"', '"\\u00E4"', "null"), 0),
    ("empty tail reads the default run file", [""], request('"P"', '""', '"D"'), 0),
    ("full command line", ["--command-line", '"C:\\Program Files\\starter.exe" kit.run doc.xhtml'],
     request(KIT_PROGRAM, '"-x doc.xhtml"', '"C:\\\\Work"'), 0),
    ("missing LINE is a usage error", ["--command-line"], "", 2),
    ("-- ends the options", ["--", "--command-line"], request('"Q"', '"-y"', '"C"'), 0),
    ("-- alone: no tail", ["--"], request('"P"', '""', '"D"'), 0),
    ("a line that cannot be written fails", ["kit.run"], "", 1, {"stdout": "/dev/full"}),
]


def main():
    with tempfile.TemporaryDirectory() as work:
        os.mkdir(os.path.join(work, "empty"))
        for name, data in FILES.items():
            pathlib.Path(work, name).write_bytes(data)
        for name, args, want, code, *where in CASES:
            where = where[0] if where else {}
            # wine-run passes a program's output on through a file, and its own write would fail in the program's
            # place; --direct hands the program the file itself.
            emulator = EMULATOR + ["--direct"] if EMULATOR and "stdout" in where else EMULATOR
            with open(where.get("stdout", os.devnull), "wb") as sink:
                proc = subprocess.run(emulator + [PREVIEW] + args, cwd=os.path.join(work, where.get("folder", "")),
                                      stdout=sink if "stdout" in where else subprocess.PIPE,
                                      stderr=subprocess.PIPE, timeout=120)
            out = (proc.stdout or b"").decode("latin-1").replace("\r\n", "\n")
            # a request is one line, and nothing else; a usage error's words are free
            ok = proc.returncode == code and (code or out == want + "\n" and out.isascii())
            json.loads(want or "null")  # the line is JSON, or the test ends in a traceback
            check(ok, name if ok else f"{name}: exit {proc.returncode}, output {out!r}, want {want!r} (exit {code})")
    return result()


if __name__ == "__main__":
    sys.exit(main())
