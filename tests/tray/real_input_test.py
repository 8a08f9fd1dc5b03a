#!/usr/bin/env python3
"""Real input on the real starter.exe, on Wine's desktop with its taskbar:
xdotool clicks the starter's icon in the notification area and the entries
of the popup that the system puts on the screen; the probe looks at the
outcome from the Windows side and counts what the shell started.

usage: real_input_test.py tray|menu STARTER PROBE RECORDER WINE_RUN

tray: the tip, a left and a right click pop up the whole menu at the icon, a
      click elsewhere closes it, the quit path ends the starter.
menu: every entry clicked: what each one opened, the about box, Quit.
Leaves tray-menu.png (the open menu at the taskbar) and, for menu,
about-from-menu.png in the current folder.
"""
import sys
import time

from harness import (Icon, Probe, check, click, find_icons, kit, launches, needs_display, rect, result, screenshot,
                     wait_for, windows_path, xdotool)

MODE, STARTER, PROBE, RECORDER, WINE_RUN = sys.argv[1:6]
SCREEN = (1024, 768)
WORK_BOTTOM = [SCREEN[1]]  # the taskbar's top, once it is found
IDM_ABOUT, IDM_WEBSITE, IDM_REFERENCE, IDM_FEEDBACK, IDM_QUIT, IDM_LAUNCH = range(40001, 40007)


def measured_menu(probe):
    layout = probe.ask("layout")
    items = {}
    for key, value in (layout or {}).items():
        if key.startswith("item"):
            ident, left, top, right, bottom = (int(v) for v in value.split())
            items.setdefault(ident, []).append(dict(left=left, top=top, right=right, bottom=bottom))
    check(layout is not None and len(items.get(0, [])) == 3 and len(items) == 7,
          f"the menu resource has six entries and three separators: {sorted(items)}")
    return layout, {k: v[0] for k, v in items.items() if k}


def open_menu(probe, icon, button, layout, what):
    """Clicks the icon; the popup's rectangle where the system put it, or None."""
    x, y = icon.spot()
    click(x, y, button)
    popup = probe.ask("popup")
    if not check(popup is not None, f"a click on the icon pops up the menu ({what})"):
        screenshot("menu-missing.png")
        return None
    left, top, width, height = rect(popup)
    check((width, height) == (int(layout["width"]), int(layout["height"])),
          f"the popup {rect(popup)} measures as the measured menu: six entries and three separators")
    check((int(popup["cursor_x"]), int(popup["cursor_y"])) == (x, y), "the pointer is on the icon")
    check(0 <= left and left + width <= SCREEN[0] and left <= x <= left + width and top + height == WORK_BOTTOM[0],
          f"the system keeps the menu on the screen, above the taskbar at the pointer: {left},{top} {width}x{height}")
    return left, top, width, height


def click_entry(popup, item):
    click(popup[0] + (item["left"] + item["right"]) // 2, popup[1] + (item["top"] + item["bottom"]) // 2, 1)


def tray_test(probe, icon, layout):
    xdotool("mousemove", str(icon.x), str(icon.y))
    tip = probe.ask("tip")
    check(tip is not None and tip.get("tip") == "Tavelkin", f"the tip {tip}")
    for button, name in ((1, "left"), (3, "right")):
        popup = open_menu(probe, icon, button, layout, f"{name} click")
        if not popup:
            continue
        if button == 1:
            shoot_menu(popup)
        click(SCREEN[0] // 2, SCREEN[1] // 3, 1)
        check(probe.ask("popup-closed") is not None, f"a click elsewhere closes the menu opened by a {name} click")
    check(probe.ask("quit") is not None, "the quit message reached the starter")


def shoot_menu(popup):
    """The corner of the screen with the menu and the notification area."""
    left = popup[0] - 40
    screenshot("tray-menu.png", (SCREEN[0] - left, SCREEN[1] - (popup[1] - 40), left, popup[1] - 40))


def menu_test(probe, icon, layout, items, folder):
    kit_win = windows_path(folder)
    handler = windows_path(RECORDER)
    opened = [  # entry, what it started, its arguments, its working folder (None: not looked at)
        (IDM_REFERENCE, handler, [kit_win + "\\examples\\reference.xhtml"], None),
        (IDM_LAUNCH, kit_win + "\\tavelkin.exe", ["tavelkin.run"], kit_win),
        (IDM_WEBSITE, handler, ["https://tavelkin.example/"], None),
        (IDM_FEEDBACK, handler, [kit_win + "\\examples\\feedback.xhtml"], None),
    ]
    for entry, program, arguments, cwd in opened:
        popup = open_menu(probe, icon, 3, layout, f"for entry {entry}")
        if not popup:
            continue
        if entry == IDM_REFERENCE:
            shoot_menu(popup)
        click_entry(popup, items[entry])
        check(probe.ask("popup-closed") is not None, f"the menu closed after entry {entry}")
        answer = probe.ask("launches")
        got = launches(answer) if answer else []
        if not check(answer is not None and answer["started"] == "1" and len(got) == 1,
                     f"entry {entry} started one program, counted once it ended: {answer}"):
            continue
        check(got[0]["args"] == arguments, f"entry {entry} passed {got[0]['args']}, expected {arguments}")
        check(got[0]["exe"] == program, f"entry {entry} started {got[0]['exe']}")
        if cwd:
            check(got[0]["cwd"] == cwd, f"entry {entry} worked in {got[0]['cwd']}")

    # Shown twice: left alone, for the picture, until it closes by itself;
    # then closed at once by a click.
    for clicked in (False, True):
        popup = open_menu(probe, icon, 3, layout, "for the about box")
        if not popup:
            continue
        chosen = time.monotonic()
        click_entry(popup, items[IDM_ABOUT])
        box = probe.ask("about")
        if not check(box is not None, f"the about box shows, owned by the tray window: {box}"):
            continue
        if not clicked:
            screenshot("about-from-menu.png")
            check(probe.ask("about-closed") is not None, "the about box closed by itself")
            continue
        left, top, width, height = rect(box)
        click(left + width // 2, top + height // 2, 1)
        closed = probe.ask("about-closed") is not None
        # Its timer starts after the entry was chosen: closed sooner than the
        # timer's five seconds, the click closed it.
        check(closed and time.monotonic() - chosen < 5.0, "a click on the about box closed it before its timer")
    check(probe.ask("icon") is not None, "the starter is still in the tray after the about box")

    popup = open_menu(probe, icon, 3, layout, "for quitting")
    if popup:
        click_entry(popup, items[IDM_QUIT])


def main():
    needs_display()
    folder, elsewhere = kit(RECORDER, STARTER)
    probe = Probe(PROBE, WINE_RUN)
    try:
        if not check(probe.ask("handlers", windows_path(RECORDER)) is not None, "the recorder opens documents"):
            return result()
        if not check(probe.ask("start", windows_path(folder) + "\\starter.exe", windows_path(elsewhere)) is not None,
                     "the starter is resident with its icon"):
            return result()
        layout, items = measured_menu(probe)
        taskbar = probe.ask("taskbar")
        check(taskbar is not None and rect(taskbar)[1] + rect(taskbar)[3] == SCREEN[1],
              f"the taskbar lies along the bottom of the screen: {taskbar}")
        # The shell paints the icon in its own time after the icon is added.
        icons = (wait_for(lambda: len(find_icons(rect(taskbar))) == 1 and find_icons(rect(taskbar)))
                 or find_icons(rect(taskbar))) if taskbar else []
        WORK_BOTTOM[0] = rect(taskbar)[1] if taskbar else SCREEN[1]
        if not check(len(icons) == 1, f"the starter's one icon is in the taskbar: {icons}"):
            screenshot("icon-missing.png")
            return result()
        icon = Icon(icons[0], int(layout["double_click_width"]))
        check(icon.x > SCREEN[0] * 3 // 4 and icon.spots_fit,
              f"the icon sits in the notification area at the right, wide enough for two spots: {icons[0]}")
        # The starter's own launch, of a run file that is not there.
        probe.ask("launches")
        (tray_test if MODE == "tray" else lambda *a: menu_test(*a, items, folder))(probe, icon, layout)
        ended = probe.ask("exit")
        check(ended is not None and ended["code"] == "0", f"quit ended the starter with exit code 0: {ended}")
        check(ended is not None and ended["icon_gone"] == "1", "the icon is gone")
        check(ended is not None and ended["resident"] == "0", "no starter is left")
    finally:
        probe.close()
    return result()


if __name__ == "__main__":
    sys.exit(main())
