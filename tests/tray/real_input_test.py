#!/usr/bin/env python3
# Real input on the real starter.exe, on Wine's desktop with its taskbar:
# xdotool clicks the starter's icon in the notification area and the entries
# of the popup that the system puts on the screen; the probe looks at the
# outcome from the Windows side and counts what the shell started.
#
# usage: real_input_test.py tray|menu PROBE WINE_RUN
#
# tray: the tip, a left and a right click pop up the whole menu at the icon, a
#       click elsewhere closes it, the quit path ends the starter.
# menu: every entry clicked: what each one opened, the about box, Quit.
# Leaves tray-menu.png (the open menu at the taskbar) and, for menu,
# about-from-menu.png in the current folder.
import os
import sys
import time
from types import SimpleNamespace

from harness import Probe, check, click, crop, find_icons, icon_spots, rect, result, screenshot

MODE, PROBE, WINE_RUN = sys.argv[1:4]
SCREEN = (1024, 768)
IDM_ABOUT, IDM_WEBSITE, IDM_REFERENCE, IDM_FEEDBACK, IDM_QUIT, IDM_LAUNCH = range(40001, 40007)


# Clicks the icon; where on the screen each entry of the popup is, or None.
def open_menu(ui, button, what, shot=False):
    x, y = next(ui.spots)
    click(x, y, button)
    if not check(popup := ui.probe.ask("popup"), f"a click on the icon pops up the menu ({what})"):
        screenshot("menu-missing.png")
        return None
    left, top, width, height = rect(popup)
    check((width, height) == ui.size,
          f"the popup {rect(popup)} measures as the measured menu: six entries and three separators")
    check((int(popup["cursor_x"]), int(popup["cursor_y"])) == (x, y), "the pointer is on the icon")
    check(0 <= left and left + width <= SCREEN[0] and left <= x <= left + width and top + height == ui.work_bottom,
          f"the system keeps the menu on the screen, above the taskbar at the pointer: {left},{top} {width}x{height}")
    if shot:  # the corner of the screen with the menu and the notification area
        screenshot("tray-menu.png", *crop(left - 40, top - 40, SCREEN[0] - left + 40, SCREEN[1] - top + 40))
    return {entry: (left + dx, top + dy) for entry, (dx, dy) in ui.items.items()}


def tray_test(ui):
    click(*ui.centre)
    check((tip := ui.probe.ask("tip")) and tip.get("tip") == "Tavelkin", f"the tip {tip}")
    for button, name in ((1, "left"), (3, "right")):
        if open_menu(ui, button, f"{name} click", shot=button == 1):
            click(SCREEN[0] // 2, SCREEN[1] // 3, 1)
            check(ui.probe.ask("popup-closed"), f"a click elsewhere closes the menu opened by a {name} click")
    check(ui.probe.ask("quit"), "the quit message reached the starter")


def menu_test(ui):
    kit, handler = ui.kit, ui.recorder
    opened = [  # entry, what it started, its working folder (None: not looked at), its argument
        (IDM_REFERENCE, handler, None, kit + "\\examples\\reference.xhtml"),
        (IDM_LAUNCH, kit + "\\tavelkin.exe", kit, "tavelkin.run"),
        (IDM_WEBSITE, handler, None, "https://tavelkin.example/"),
        (IDM_FEEDBACK, handler, None, kit + "\\examples\\feedback.xhtml"),
    ]
    for entry, *expected in opened:
        if not (popup := open_menu(ui, 3, f"for entry {entry}", shot=entry == IDM_REFERENCE)):
            continue
        click(*popup[entry], 1)
        check(ui.probe.ask("popup-closed"), f"the menu closed after entry {entry}")
        answer = ui.probe.ask("launches 1")
        got = [value.split("\t") for key, value in (answer or {}).items() if key.startswith("launch")]
        if check(answer and answer["started"] == "1" and len(got) == 1,
                 f"entry {entry} started one program, counted once it ended: {answer}"):
            exe, cwd, *arguments = got[0]
            check([exe, cwd if expected[1] else None, *arguments] == expected,
                  f"entry {entry} started {got[0]}, expected {expected}")

    # Shown twice: left alone, for the picture, until it closes by itself;
    # then closed at once by a click.
    for clicked in (False, True):
        if not (popup := open_menu(ui, 3, "for the about box")):
            continue
        chosen = time.monotonic()
        click(*popup[IDM_ABOUT], 1)
        if not check(box := ui.probe.ask("about"), f"the about box shows, owned by the tray window: {box}"):
            continue
        if clicked:
            left, top, width, height = rect(box)
            click(left + width // 2, top + height // 2, 1)
        else:
            screenshot("about-from-menu.png")
        # Its timer starts after the entry was chosen: closed sooner than the
        # timer's five seconds, the click closed it.
        check(ui.probe.ask("about-closed") and (not clicked or time.monotonic() - chosen < 5.0),
              "a click on the about box closed it before its timer" if clicked else "the about box closed by itself")
    check(ui.probe.ask("icon"), "the starter is still in the tray after the about box")

    if popup := open_menu(ui, 3, "for quitting"):
        click(*popup[IDM_QUIT], 1)


def main():
    if not os.environ.get("DISPLAY"):
        sys.exit("no DISPLAY: the test needs the display that Wine uses")
    probe = Probe(PROBE, WINE_RUN)
    try:
        # The kit it laid out, and the recording program that stands for
        # every program the starter opens.
        started = probe.ask("start")
        if not check(started, "the recorder opens documents; the starter is resident with its icon"):
            return result()
        layout = probe.ask("layout") or {}
        items = [[int(v) for v in value.split()] for key, value in layout.items() if key.startswith("item")]
        check(sorted(entry for entry, _, _ in items) == [0, 0, 0, *range(40001, 40007)],
              f"the menu resource has six entries and three separators: {items}")
        check((taskbar := probe.ask("taskbar")) and rect(taskbar)[1] + rect(taskbar)[3] == SCREEN[1],
              f"the taskbar lies along the bottom of the screen: {taskbar}")
        icons = find_icons(rect(taskbar)) if taskbar else []
        if not check(len(icons) == 1, f"the starter's one icon is in the taskbar: {icons}"):
            screenshot("icon-missing.png")
            return result()
        centre, spots_fit, spots = icon_spots(icons[0], int(layout["double_click_width"]))
        check(centre[0] > SCREEN[0] * 3 // 4 and spots_fit,
              f"the icon sits in the notification area at the right, wide enough for two spots: {icons[0]}")
        ui = SimpleNamespace(probe=probe, kit=started["kit"], recorder=started["recorder"], centre=centre, spots=spots,
                             size=rect(layout)[2:], work_bottom=rect(taskbar)[1],
                             items={entry: (x, y) for entry, x, y in items if entry})
        # The starter's own launch, of a run file that is not there.
        probe.ask("launches")
        (tray_test if MODE == "tray" else menu_test)(ui)
        ended = probe.ask("exit") or {}
        check([ended.get(key) for key in ("code", "icon_gone", "resident")] == ["0", "1", "0"],
              f"quit ended the starter with exit code 0, its icon is gone, no starter is left: {ended}")
    finally:
        probe.close()
    return result()


if __name__ == "__main__":
    sys.exit(main())
