// Places a top-level window in the middle of the desktop's work area.
#pragma once

#include <windows.h>

// Moves the window, keeping its size and its place in the z-order, so that it
// stands centred in the work area (the whole screen if the work area cannot
// be had) and does not stick out of it on the left or at the top.
void CentreWindow(HWND window);
