// Where a window goes to stand in the middle of an area: the arithmetic of
// CentreWindow, free of <windows.h> so that it is built and tested natively.
#pragma once

#include <optional>

// Screen coordinates, signed; width = right - left, height = bottom - top.
struct Rect {
    long left, top, right, bottom;
};

struct Position {
    long x, y;
};

// The top-left corner that centres the window's size in the area and then
// pushes it back inside where it would stick out. Where the window is larger
// than the area, the left (top) edge wins, except when it is larger by one
// unit only: the halved difference truncates to 0, so the window starts on
// the area's left edge, sticks out on the right and is pushed one unit left.
Position CentredPosition(const Rect& window, const Rect& area);

// The area a window is centred in: the desktop's work area, or the whole
// screen, from 0,0, when the work area cannot be had.
Rect CentringArea(const std::optional<Rect>& workArea, long screenWidth, long screenHeight);
