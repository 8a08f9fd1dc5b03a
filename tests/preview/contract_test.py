#!/usr/bin/env python3
"""launch-preview's output contract, byte for byte: other tools parse it.

usage: contract_test.py PREVIEW [EMULATOR]
Each case runs the real program in a scratch folder of run files and compares
its whole output line, then checks that the line is plain ASCII JSON.
"""
import json
import os
import subprocess
import sys
import tempfile

PREVIEW = sys.argv[1]
EMULATOR = [a for a in sys.argv[2:] if a]

# (name, arguments, expected stdout line, expected exit code)
CASES = [
    ("no tail, no default run file", [],
     '{"verb":"open","program":null,"parameters":null,"directory":null,"show":5}', 0),
    ("unclosed quote makes no request", ['"kit.run doc'], "null", 0),
    ("run file and document", ["kit.run order.xhtml"],
     '{"verb":"open","program":"C:\\\\Tools\\\\\\"prog\\".exe","parameters":"-x order.xhtml",'
     '"directory":"C:\\\\Work","show":5}', 0),
    ("document with a blank is quoted", ['kit.run "my order.xhtml"'],
     '{"verb":"open","program":"C:\\\\Tools\\\\\\"prog\\".exe","parameters":"-x \\"my order.xhtml\\"",'
     '"directory":"C:\\\\Work","show":5}', 0),
    ("bytes below 0x20 and above 0x7F", ["odd.run"],
     '{"verb":"open","program":"\\u00E4\\u00FF\\u0080","parameters":"a\\tb\\u0001\\r",'
     '"directory":"","show":5}', 0),
    ("UTF-8 with a mark: converted to the ANSI code page", ["utf8.run doc"],
     '{"verb":"open","program":"\\u00E4\\u0080.exe","parameters":"\\u00FF doc","directory":"C:\\\\W","show":5}', 0),
    ("UTF-16 with a mark; a fullwidth quote makes the value absent", ["utf16.run"],
     '{"verb":"open","program":"p","parameters":"\\u00E4","directory":null,"show":5}', 0),
    ("empty tail reads the default run file", [""],
     None, 0),  # filled in below once the default run file exists
    ("full command line", ["--command-line", '"C:\\Program Files\\starter.exe" kit.run doc.xhtml'],
     '{"verb":"open","program":"C:\\\\Tools\\\\\\"prog\\".exe","parameters":"-x doc.xhtml",'
     '"directory":"C:\\\\Work","show":5}', 0),
    ("missing LINE is a usage error", ["--command-line"], "", 2),
]


def run(args, cwd):
    proc = subprocess.run(EMULATOR + [PREVIEW] + args, cwd=cwd, capture_output=True, timeout=120)
    return proc.returncode, proc.stdout.decode("latin-1").replace("\r\n", "\n")


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        def write(name, data):
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
        write("kit.run", b'C:\\Work\r\nC:\\Tools\\"prog".exe\r\n-x\r\n')
        write("odd.run", b"\n\xe4\xff\x80\na\tb\x01\r")
        write("utf8.run", b"\xef\xbb\xbfC:\\W\r\n" + "\u00e4\u20ac.exe\r\n\u00ff\r\n".encode("utf-8"))
        write("utf16.run", b"\xff\xfe" + "\uff02x\uff02\np\n\u00e4\n".encode("utf-16-le"))
        for name, args, want, code in CASES[:2]:
            failures += check(name, args, want, code, work)
        write("tavelkin.run", b"D\nP\n\n")
        CASES[7] = (CASES[7][0], [""], '{"verb":"open","program":"P","parameters":"","directory":"D","show":5}', 0)
        for name, args, want, code in CASES[2:]:
            failures += check(name, args, want, code, work)
    print(f"{len(CASES) - failures} passed, {failures} failed")
    return 1 if failures else 0


def check(name, args, want, code, cwd):
    got_code, out = run(args, cwd)
    lines = out.splitlines()
    ok = got_code == code
    if code == 0:
        ok = ok and len(lines) == 1 and lines[0] == want and out.isascii()
        if ok:
            json.loads(lines[0])
    if not ok:
        print(f"FAIL {name}: exit {got_code}, output {out!r}, want {want!r} (exit {code})")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
