"""What the real-input tests share: the Windows-side probe, which starts the
starter and looks at its windows, real clicks with xdotool on the display
Wine uses, checks that report as they go, and screenshots.

The probe runs for the whole test and answers one command at a time; every
answer ends with its verdict, so a probe that crashed gives none and fails
the check."""
import os
import subprocess
import sys
import tempfile
import time

FAILURES = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        FAILURES.append(what)
    return ok


def result():
    """The test's exit code."""
    print(f"{len(FAILURES)} failed" if FAILURES else "all checks passed", flush=True)
    return 1 if FAILURES else 0


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Probe:
    def __init__(self, probe, wine_run):
        self.process = subprocess.Popen([wine_run, "--direct", probe], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                                        encoding="latin-1")

    def ask(self, *words):
        """Sends one command; its key=value answer, or None for a verdict of fail."""
        self.process.stdin.write(words[0] + (" " + "\t".join(words[1:]) if words[1:] else "") + "\n")
        self.process.stdin.flush()
        values = {}
        for line in self.process.stdout:
            key, _, value = line.rstrip("\r\n").partition("=")
            if key == "verdict":
                return values if value == "ok" else None
            values[key] = value
        return None  # the probe ended without a verdict

    def close(self):
        try:
            self.process.stdin.close()
            self.process.wait(timeout=60)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()


def rect(values):
    return tuple(int(values[k]) for k in ("left", "top", "width", "height"))


def launches(answer):
    """The launches a probe reported: one dict of exe, cwd and args each."""
    found = []
    for i in range(int(answer["records"])):
        argc = int(answer[f"{i}.argc"])
        found.append(dict(exe=answer[f"{i}.exe"], cwd=answer[f"{i}.cwd"],
                          args=[answer[f"{i}.arg{a}"] for a in range(1, argc + 1)]))
    return found


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=30).stdout


def click(x, y, button):
    xdotool("mousemove", str(x), str(y), "click", str(button))


ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def pixels(*source):
    """Width, height and RGB bytes of an image, by ImageMagick."""
    data = subprocess.run(["convert", *source, "-depth", "8", "ppm:-"], capture_output=True, timeout=60,
                          check=True).stdout
    magic, width, height, _, rgb = data.split(maxsplit=4)
    assert magic == b"P6"
    return int(width), int(height), rgb


def wait_for(check_fn, timeout=60):
    """Polls until the check gives something, within the bound."""
    start = time.monotonic()
    while time.monotonic() - start < timeout:
        value = check_fn()
        if value:
            return value
        time.sleep(0.2)
    return None


def find_icons(taskbar):
    """Where the starter's 16x16 icon is drawn in the taskbar, by its own
    pixels: the shell draws it there, in no window that could be asked."""
    left, top, width, height = taskbar
    iw, ih, icon = pixels(os.path.join(ROOT, "res", "starter.ico[1]"))
    _, _, strip = pixels("x:root", "-crop", "%dx%d+%d+%d" % (width, height, left, top), "+repage")
    rows = [icon[y * iw * 3:(y + 1) * iw * 3] for y in range(ih)]
    found = []
    for y in range(height - ih + 1):
        for x in range(width - iw + 1):
            if all(strip[((y + r) * width + x) * 3:((y + r) * width + x + iw) * 3] == rows[r] for r in range(ih)):
                found.append((left + x, top + y, iw, ih))
    return found


class Icon:
    """The starter's icon in the notification area. Two presses at the same
    spot in quick succession are a double click, which the starter leaves
    alone; so the clicks take turns between two spots of the icon, further
    apart than a double click may be."""

    def __init__(self, place, double_click_width):
        left, top, width, height = place
        self.x, self.y = left + width // 2, top + height // 2
        self.step = double_click_width // 2 + 1
        self.turn = 0
        self.spots_fit = 2 * self.step < width

    def spot(self):
        self.turn ^= 1
        return self.x + (self.step if self.turn else -self.step), self.y


def screenshot(name, crop=None):
    """The whole screen, or the crop (width, height, left, top) of it."""
    command = ["import", "-window", "root"]
    if crop:
        command += ["-crop", "%dx%d+%d+%d" % crop, "+repage"]
    subprocess.run(command + [name], timeout=60)


def kit(recorder, starter):
    """A kit folder with a blank in its name: the starter, the recorder as
    tavelkin.exe and the two example documents; and a folder elsewhere."""
    root = tempfile.mkdtemp(prefix="tray-")
    folder, elsewhere = os.path.join(root, "my kit"), os.path.join(root, "elsewhere")
    for f in (folder, os.path.join(folder, "examples"), elsewhere):
        os.makedirs(f)
    subprocess.run(["cp", starter, os.path.join(folder, "starter.exe")], check=True)
    subprocess.run(["cp", recorder, os.path.join(folder, "tavelkin.exe")], check=True)
    for name in ("reference", "feedback"):
        with open(os.path.join(folder, "examples", name + ".xhtml"), "w") as f:
            f.write("<html/>")
    return folder, elsewhere


def needs_display():
    if not os.environ.get("DISPLAY"):
        print("no DISPLAY: the test needs the display that Wine uses")
        sys.exit(1)
