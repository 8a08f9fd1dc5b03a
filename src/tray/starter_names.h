// The names and numbers by which other programs, later starters among them,
// find and drive the resident starter. Free of <windows.h>, so that the
// benchmarks and tools take them from here without the starter's code.
#pragma once

// The window class and title, and the mark by which the resident starter is
// found.
inline constexpr char STARTER_CLASS[] = "TavelkinStarter";
// Held by the resident starter, so that of starters started at the same
// instant only one gets past the single-instance test.
inline constexpr char STARTER_MUTEX[] = "Local\\TavelkinStarter";

// The tray icon's identifier, and the message its clicks arrive as.
inline constexpr unsigned TRAY_ICON_UID = 1000;
inline constexpr unsigned WM_TRAYNOTIFY = 0x87D0;

// Exit codes besides the quit message's value (0).
inline constexpr int EXIT_ANOTHER_STARTER = 1;
inline constexpr int EXIT_NO_TRAY_WINDOW = 2;
