#!/usr/bin/env python3
"""launch-preview's output contract: other tools parse it.

usage: contract_test.py PREVIEW [EMULATOR]
Each case runs the real program in a scratch folder of run files. Its output
must be one line of plain ASCII JSON that holds the request stated here (its
values' bytes each one code point); one case states its line byte for byte,
in the form the README shows.
"""
import json
import os
import pathlib
import subprocess
import sys
import tempfile

from harness import check, result

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
    """A request of these values (None: absent), each byte of them one code point, as the line holds them."""
    return {"verb": "open", "program": program, "parameters": parameters, "directory": directory, "show": 5}


KIT = 'C:\\Tools\\"prog".exe'
# (name, arguments, the request (None: no request) or, byte for byte, the
# line, exit code[, where: {"folder": it runs in, "stdout": a file}])
CASES = [
    ("no tail, no default run file", [], request(None, None, None), 0, {"folder": "empty"}),
    ("unclosed quote makes no request", ['"kit.run doc'], None, 0),
    ("run file and document", ["kit.run order.xhtml"], request(KIT, "-x order.xhtml", "C:\\Work"), 0),
    ("document with a blank is quoted, as the README shows", ['kit.run "my order.xhtml"'],
     r'{"verb":"open","program":"C:\\Tools\\\"prog\".exe","parameters":"-x \"my order.xhtml\"","directory":"C:\\Work",'
     r'"show":5}', 0),
    ("bytes below 0x20 and above 0x7F", ["odd.run"], request("\xe4\xff\x80", "a\tb\x01\r", ""), 0),
    ("UTF-8 with a mark: converted to the ANSI code page", ["utf8.run doc"],
     request("\xe4\x80.exe", "\xff doc", "C:\\W"), 0),
    ("UTF-16 with a mark; a fullwidth quote makes the value absent", ["utf16.run"], request("p", "\xe4", None), 0),
    ("empty tail reads the default run file", [""], request("P", "", "D"), 0),
    ("full command line", ["--command-line", '"C:\\Program Files\\starter.exe" kit.run doc.xhtml'],
     request(KIT, "-x doc.xhtml", "C:\\Work"), 0),
    ("missing LINE is a usage error", ["--command-line"], None, 2),
    ("-- ends the options", ["--", "--command-line"], request("Q", "-y", "C"), 0),
    ("-- alone: no tail", ["--"], request("P", "", "D"), 0),
    ("a line that cannot be written fails", ["kit.run"], None, 1, {"stdout": "/dev/full"}),
]


def parsed(out):
    """What the output holds if it is one line of plain ASCII JSON; else the output itself."""
    try:
        return json.loads(out) if out.isascii() and out.endswith("\n") and out.count("\n") == 1 else out
    except ValueError:
        return out


def main():
    with tempfile.TemporaryDirectory() as work:
        pathlib.Path(work, "empty").mkdir()
        for name, data in FILES.items():
            pathlib.Path(work, name).write_bytes(data)
        for name, args, want, code, *where in CASES:
            where = where[0] if where else {}
            # wine-run passes a program's output on through a file, and its own write would fail in the program's
            # place; --direct hands the program the file itself.
            emulator = EMULATOR + ["--direct"] if EMULATOR and "stdout" in where else EMULATOR
            with open(where.get("stdout", os.devnull), "wb") as sink:
                proc = subprocess.run(emulator + [PREVIEW] + args, cwd=pathlib.Path(work, where.get("folder", "")),
                                      stdout=sink if "stdout" in where else subprocess.PIPE,
                                      stderr=subprocess.PIPE, timeout=120)
            out = (proc.stdout or b"").decode("latin-1").replace("\r\n", "\n")
            exact = isinstance(want, str)
            # a usage error's words are free
            ok = proc.returncode == code and (code or (out == want + "\n" if exact else parsed(out) == want))
            check(ok, name if ok else f"{name}: exit {proc.returncode}, output {out!r}, want {want!r} (exit {code})")
    return result()


if __name__ == "__main__":
    sys.exit(main())
