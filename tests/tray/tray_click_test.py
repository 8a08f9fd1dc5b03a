#!/usr/bin/env python3
"""Real input on the real starter.exe: xdotool moves and clicks the X pointer
on its icon in Wine's tray window, on the display the tests run on, and
tray_query looks at the outcome from the Windows side.

usage: tray_click_test.py STARTER TRAY_QUERY RECORDER WINE_RUN

Checks the tip, that a left and a right click pop up the tray menu at the
pointer with its six entries and three separators, that a click elsewhere
closes it, and that the quit path ends the starter with 0 and takes the icon
away. Leaves tray-menu.png, a screenshot of the open menu, in the current folder.
"""
import os
import subprocess
import sys
import tempfile
import time

STARTER, QUERY, RECORDER, WINE_RUN = sys.argv[1:5]
# Where the tray window is put: room around the icon for the whole menu.
TRAY_X, TRAY_Y = 400, 380
FAILURES = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        FAILURES.append(what)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def query(*args):
    """Runs tray_query; its exit code and its key=value lines."""
    done = subprocess.run([WINE_RUN, QUERY, *args], capture_output=True, text=True, timeout=120)
    values = dict(line.split("=", 1) for line in done.stdout.splitlines() if "=" in line)
    return done.returncode, values


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=30).stdout


def wait_for(check_fn, timeout=30):
    start = time.monotonic()
    while time.monotonic() - start < timeout:
        value = check_fn()
        if value:
            return value
        time.sleep(0.2)
    return None


def tray_window():
    found = xdotool("search", "--name", "^Wine System Tray$").split()
    return found[0] if found else None


def geometry(window):
    out = xdotool("getwindowgeometry", "--shell", window)
    values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    return int(values["X"]), int(values["Y"])


def main():
    if not os.environ.get("DISPLAY"):
        print("no DISPLAY: the test needs the display that Wine uses")
        return 1
    code, reference = query("reference", windows_path(STARTER))
    check(code == 0 and reference.get("entries") == "6" and reference.get("separators") == "3",
          f"the menu resource has six entries and three separators {reference}")

    work = tempfile.mkdtemp(prefix="tray-click-")
    with open(os.path.join(work, "tavelkin.run"), "w", newline="") as run:
        run.write(f"{windows_path(work)}\r\n{windows_path(RECORDER)}\r\n\r\n")
    env = dict(os.environ, STARTER_RECORD_DIR=windows_path(work))
    starter = subprocess.Popen([WINE_RUN, STARTER], cwd=work, env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        code, resident = query("resident")
        check(code == 0, f"the starter is resident {resident}")
        tray = wait_for(tray_window)
        check(tray is not None, "Wine's tray window is there")
        if not tray:
            return 1
        # Moved from the Windows side, which Wine keeps; the pointer goes by
        # where the X window then is.
        check(query("move-tray", str(TRAY_X), str(TRAY_Y))[0] == 0, "the tray window moved")
        where = wait_for(lambda: geometry(tray) if geometry(tray)[0] >= TRAY_X else None)
        check(where is not None, f"the tray window is near {TRAY_X},{TRAY_Y}: {where}")
        if not where:
            return 1
        icon_x, icon_y = where[0] + 10, where[1] + 10  # the first icon's middle
        xdotool("mousemove", str(icon_x), str(icon_y))
        code, tip = query("tip")
        check(code == 0 and tip.get("tip") == "Tavelkin", f"the tip {tip}")

        for button, name in (("1", "left"), ("3", "right")):
            xdotool("mousemove", str(icon_x), str(icon_y), "click", button)
            code, menu = query("menu-open")
            check(code == 0, f"a {name} click pops up the menu {menu}")
            if code != 0:
                continue
            left, top = int(menu["left"]), int(menu["top"])
            width, height = int(menu["width"]), int(menu["height"])
            check((int(menu["cursor_x"]), int(menu["cursor_y"])) == (icon_x, icon_y), "the pointer is on the icon")
            check(left == icon_x and abs(top + height // 2 - icon_y) <= 1,
                  f"the menu stands at the pointer, centred on its height: {left},{top} {width}x{height}")
            check((str(width), str(height)) == (reference.get("width"), reference.get("height")),
                  "the menu measures six entries and three separators")
            if button == "1":
                # The tray and the menu with a margin: the picture the README shows.
                crop = f"{width + 60}x{height + 40}+{where[0] - 20}+{top - 20}"
                subprocess.run(["import", "-window", "root", "-crop", crop, "+repage", "tray-menu.png"], timeout=60)
            xdotool("mousemove", "800", "650", "click", "1")
            code, _ = query("menu-closed")
            check(code == 0, f"a click elsewhere closes the menu opened by a {name} click")

        code, _ = query("quit")
        check(code == 0, "the quit message reached the starter")
        try:
            check(starter.wait(timeout=60) == 0, "the starter ended with exit code 0")
        except subprocess.TimeoutExpired:
            check(False, "the starter ended")
        code, _ = query("icon", resident.get("hwnd", "0"))
        check(code != 0, "the icon is gone")
        check(query("gone")[0] == 0, "no starter is left")
    finally:
        # Later tests look for the starter's window: none may be left.
        if starter.poll() is None:
            query("quit")
            try:
                starter.wait(timeout=30)
            except subprocess.TimeoutExpired:
                query("end")
                starter.wait(timeout=30)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
