#!/usr/bin/env python3
"""Every tray menu entry clicked for real: xdotool clicks the starter's icon in
Wine's tray window, then an entry of the popup that appears, on the display
the tests run on; menu_probe looks at the outcome from the Windows side and
the recording program shows what the shell opened.

usage: menu_click_test.py STARTER MENU_PROBE RECORDER WINE_RUN

The entries' places come from the same menu popped up in menu_probe, whose
size must match the starter's popup. Leaves tray-menu.png (the open menu) and
about-from-menu.png (the about box it opened) in the current folder.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

STARTER, PROBE, RECORDER, WINE_RUN = sys.argv[1:5]
# Where Wine's tray window is put: room around the icon for the whole menu,
# and away from the middle of the screen, where the about box stands. Under
# Wine here the box's X window stays mapped, unpainted, after the box has
# closed, and takes the clicks that fall on it.
TRAY_X, TRAY_Y = 100, 600
PROG_ID = "TavelkinStarterTest.xhtml"
HANDLER_KEYS = (".xhtml", PROG_ID + "\\shell\\open\\command", "https\\shell\\open\\command")
FAILURES = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        FAILURES.append(what)
    return ok


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def probe(*args):
    done = subprocess.run([WINE_RUN, PROBE, *args], capture_output=True, text=True, timeout=120)
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


def records(folder):
    """The recording program's records, each as a dict."""
    found = []
    for name in sorted(os.listdir(folder)):
        if name.startswith("record-") and name.endswith(".txt"):
            with open(os.path.join(folder, name), encoding="latin-1", newline="") as f:
                found.append(dict(line.split("=", 1) for line in f.read().split("\n") if "=" in line))
    return found


def tail(command_line):
    """The command line less the program's name, as the starter's own rule takes it."""
    if command_line.startswith('"'):
        end = command_line.find('"', 1)
        rest = command_line[end + 1:] if end >= 0 else ""
    else:
        rest = command_line[len(command_line.split(" ")[0]):]
    return rest.lstrip("".join(chr(c) for c in range(1, 33)))


def open_menu(icon):
    """Clicks the icon and returns the popup's rectangle, or None."""
    xdotool("mousemove", str(icon[0]), str(icon[1]), "click", "3")
    code, popup = probe("popup")
    if code != 0:
        subprocess.run(["import", "-window", "root", "menu-missing.png"], timeout=60)
        return None
    return tuple(int(popup[k]) for k in ("left", "top", "width", "height"))


def click_entry(popup, item):
    left, top = popup[0], popup[1]
    x = left + (item["left"] + item["right"]) // 2
    y = top + (item["top"] + item["bottom"]) // 2
    xdotool("mousemove", str(x), str(y), "click", "1")


def main():
    if not os.environ.get("DISPLAY"):
        print("no DISPLAY: the test needs the display that Wine uses")
        return 1
    code, layout = probe("layout", windows_path(STARTER))
    items = {}
    for key, value in layout.items():
        if key.startswith("item"):
            ident, left, top, right, bottom = (int(v) for v in value.split())
            if ident:
                items[ident] = dict(left=left, top=top, right=right, bottom=bottom)
    if not check(code == 0 and len(items) == 6, f"the tray menu's six entries measured: {sorted(items)}"):
        return 1

    root = tempfile.mkdtemp(prefix="menu-click-")
    kit, elsewhere, recs = (os.path.join(root, n) for n in ("my kit", "elsewhere", "records"))
    for folder in (kit, os.path.join(kit, "examples"), elsewhere, recs):
        os.makedirs(folder)
    shutil.copy(STARTER, os.path.join(kit, "starter.exe"))
    shutil.copy(RECORDER, os.path.join(kit, "tavelkin.exe"))
    for name in ("reference", "feedback"):
        with open(os.path.join(kit, "examples", name + ".xhtml"), "w") as f:
            f.write("<html/>")
    kit_win = windows_path(kit)

    saved = {key: probe("classes-get", key) for key in HANDLER_KEYS}
    handler = f'"{windows_path(RECORDER)}" "%1"'
    probe("classes-set", ".xhtml", PROG_ID)
    probe("classes-set", PROG_ID + "\\shell\\open\\command", handler)
    probe("classes-set", "https\\shell\\open\\command", handler)

    env = dict(os.environ, STARTER_RECORD_DIR=windows_path(recs))
    starter = subprocess.Popen([WINE_RUN, os.path.join(kit, "starter.exe")], cwd=elsewhere, env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        code, resident = probe("resident")
        if not check(code == 0, f"the starter is resident {resident}"):
            return 1
        if not check(wait_for(lambda: probe("icon", resident["hwnd"])[0] == 0), "its icon is in the tray"):
            return 1
        check(probe("move-tray", str(TRAY_X), str(TRAY_Y))[0] == 0, "Wine's tray window moved")
        tray = xdotool("search", "--name", "^Wine System Tray$").split()
        geometry = lambda: dict(l.split("=", 1) for l in xdotool("getwindowgeometry", "--shell", tray[0]).splitlines()
                                if "=" in l)
        where = wait_for(lambda: tray and int(geometry()["X"]) >= TRAY_X and geometry())
        if not check(where is not None, "the tray window is where it was put"):
            return 1
        icon = (int(where["X"]) + 10, int(where["Y"]) + 10)  # the first icon's middle

        shown = 0
        opened = [  # (entry, tail of what the shell started, its program, its working folder or None)
            (IDM_REFERENCE, f'"{kit_win}\\examples\\reference.xhtml"', windows_path(RECORDER), None),
            (IDM_LAUNCH, "tavelkin.run", kit_win + "\\tavelkin.exe", kit_win),
            (IDM_WEBSITE, '"https://tavelkin.example/"', windows_path(RECORDER), None),
            (IDM_FEEDBACK, f'"{kit_win}\\examples\\feedback.xhtml"', windows_path(RECORDER), None),
        ]
        for entry, expected_tail, program, folder in opened:
            popup = open_menu(icon)
            if not check(popup is not None, f"a click on the icon pops up the menu (for entry {entry})"):
                continue
            check(popup[2:] == (int(layout["width"]), int(layout["height"])),
                  f"the popup {popup} measures as the measured menu")
            if not shown:
                # The tray window and the menu, with a margin.
                left = min(int(where["X"]), popup[0]) - 20
                right = max(int(where["X"]) + int(where["WIDTH"]), popup[0] + popup[2]) + 20
                crop = f"{right - left}x{popup[3] + 40}+{left}+{popup[1] - 20}"
                subprocess.run(["import", "-window", "root", "-crop", crop, "+repage", "tray-menu.png"], timeout=60)
                shown = 1
            for name in os.listdir(recs):
                os.remove(os.path.join(recs, name))
            click_entry(popup, items[entry])
            wait_for(lambda: records(recs), 30)
            check(probe("popup-closed")[0] == 0, f"the menu closed after entry {entry}")
            got = records(recs)
            if not check(len(got) == 1, f"entry {entry} started one program: {got}"):
                continue
            check(tail(got[0]["commandline"]) == expected_tail,
                  f"entry {entry} passed {tail(got[0]['commandline'])!r}, expected {expected_tail!r}")
            check(got[0]["exe"] == program, f"entry {entry} started {got[0]['exe']}")
            if folder:
                check(got[0]["cwd"] == folder, f"entry {entry} worked in {got[0]['cwd']}")

        popup = open_menu(icon)
        if check(popup is not None, "the menu pops up for the about box"):
            click_entry(popup, items[IDM_ABOUT])
            code, box = probe("about")
            if check(code == 0, f"the about box shows, owned by the tray window: {box}"):
                subprocess.run(["import", "-window", "root", "about-from-menu.png"], timeout=60)
                x = int(box["left"]) + int(box["width"]) // 2
                y = int(box["top"]) + int(box["height"]) // 2
                xdotool("mousemove", str(x), str(y), "click", "1")
                check(probe("about-closed")[0] == 0, "the about box closed")
            check(probe("icon", resident["hwnd"])[0] == 0, "the starter is still in the tray after the about box")

        popup = open_menu(icon)
        if check(popup is not None, "the menu pops up for quitting"):
            click_entry(popup, items[IDM_QUIT])
            try:
                check(starter.wait(timeout=60) == 0, "quit ended the starter with exit code 0")
            except subprocess.TimeoutExpired:
                check(False, "quit ended the starter")
            check(probe("icon", resident["hwnd"])[0] != 0, "the icon is gone")
            check(probe("gone")[0] == 0, "no starter is left")
    finally:
        for key, (code, value) in saved.items():
            if code == 0:
                probe("classes-set", key, value["value"])
        if saved[".xhtml"][0] != 0:
            probe("classes-delete", ".xhtml")
        probe("classes-delete", PROG_ID)
        # Later tests look for the starter's window: none may be left.
        if starter.poll() is None:
            probe("end")
            try:
                starter.wait(timeout=30)
            except subprocess.TimeoutExpired:
                starter.kill()
    return 1 if FAILURES else 0


IDM_ABOUT, IDM_WEBSITE, IDM_REFERENCE, IDM_FEEDBACK, IDM_QUIT, IDM_LAUNCH = range(40001, 40007)

if __name__ == "__main__":
    sys.exit(main())
