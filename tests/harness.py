# What the Python tests share: checks that report as they go and the test's
# exit code; and for the real-input tests the Windows-side probe, which lays
# out the kit, starts the starter and looks at its windows, real clicks with
# xdotool on the display Wine uses, and screenshots.
#
# The probe runs for the whole test and answers one command at a time; every
# answer ends with its verdict, so a probe that crashed gives none and fails
# the check.
import itertools
import os
import subprocess
import time

FAILURES = []
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        FAILURES.append(what)
    return ok


def result():  # the test's exit code
    print(f"{len(FAILURES)} failed" if FAILURES else "all checks passed", flush=True)
    return 1 if FAILURES else 0


class Probe:
    def __init__(self, probe, wine_run):
        self.process = subprocess.Popen([wine_run, "--direct", probe], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, encoding="latin-1")

    # Sends one command; its key=value answer, verdict included, or None for
    # a verdict of fail.
    def ask(self, command):
        print(command, file=self.process.stdin, flush=True)
        values = {}
        for line in self.process.stdout:
            key, _, value = line.rstrip("\r\n").partition("=")
            values[key] = value
            if key == "verdict":
                return values if value == "ok" else None
        return None  # the probe ended without a verdict

    def close(self):
        try:
            self.process.communicate(timeout=60)
        except subprocess.TimeoutExpired:
            self.process.kill()


def rect(values):
    return tuple(int(values[k]) for k in ("left", "top", "width", "height"))


# Moves the pointer there and, given a button, clicks it.
def click(x, y, button=None):
    subprocess.run(["xdotool", "mousemove", str(x), str(y)] + (["click", str(button)] if button else []),
                   capture_output=True, timeout=30)


def crop(left, top, width, height):
    return ["-crop", f"{width}x{height}+{left}+{top}", "+repage"]


def pixels(*source):  # the RGB bytes of an image, row by row, by ImageMagick
    return subprocess.run(["convert", *source, "-depth", "8", "rgb:-"], capture_output=True, timeout=60,
                          check=True).stdout


def screenshot(name, *options):
    subprocess.run(["import", "-window", "root", *options, name], timeout=60)


# Where the starter's 16x16 icon is drawn in the taskbar, by its own pixels:
# the shell draws it there, in no window that could be asked, and in its own
# time after the icon is added. Looks until it is there once, within the bound.
def find_icons(taskbar, timeout=60):
    left, top, width, height = taskbar
    iw = ih = 16  # its small frame
    icon = pixels(os.path.join(ROOT, "res", "starter.ico[1]"))
    rows = [icon[y * iw * 3:(y + 1) * iw * 3] for y in range(ih)]
    deadline = time.monotonic() + timeout
    while True:
        strip = pixels("x:root", *crop(*taskbar))
        found = [(left + x, top + y, iw, ih) for y in range(height - ih + 1) for x in range(width - iw + 1)
                 if all(strip[((y + r) * width + x) * 3:((y + r) * width + x + iw) * 3] == rows[r] for r in range(ih))]
        if len(found) == 1 or time.monotonic() > deadline:
            return found
        time.sleep(0.2)


# The starter's icon in the notification area: its centre, whether two spots
# fit in it, and the spots the clicks take turns on. Two presses at the same
# spot in quick succession are a double click, which the starter leaves
# alone; so the spots are further apart than a double click may be.
def icon_spots(place, double_click_width):
    left, top, width, height = place
    x, y, step = left + width // 2, top + height // 2, double_click_width // 2 + 1
    return (x, y), 2 * step < width, itertools.cycle([(x + step, y), (x - step, y)])
