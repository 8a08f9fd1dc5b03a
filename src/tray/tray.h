// The resident starter: start-up, the hidden tray window with its icon and
// popup menu, and the menu's commands. Everything runs on one thread.
#pragma once

#include "launch.h"

#include <windows.h>

// The window class and title, and the mark by which other programs (and
// later starters) find the resident one.
extern const char STARTER_CLASS[];
// Held by the resident starter, so that of starters started at the same
// instant only one gets past the single-instance test.
extern const char STARTER_MUTEX[];

const UINT TRAY_ICON_UID = 1000;
const UINT WM_TRAYNOTIFY = 0x87D0;
// While the icon could not be added, the tray window tries again this often.
const UINT_PTR ICON_RETRY_TIMER_ID = 2;
const UINT ICON_RETRY_MS = 3000;

// Exit codes besides the quit message's value (0).
const int EXIT_ANOTHER_STARTER = 1;
const int EXIT_NO_TRAY_WINDOW = 2;

extern HINSTANCE g_instance;  // the module whose resources are loaded
extern HMENU g_trayMenu;      // the popup shown on clicks at the icon
extern Text g_programFolder;  // where the starter's own executable lies
extern POINT g_cursor;        // where the last popup was shown
extern UINT g_taskbarCreated; // sent to top-level windows when the taskbar (re)starts

// Start-up and message loop for a command-line tail; returns the exit code.
// WinMain calls it; tests call it in-process.
int StarterMain(HINSTANCE instance, const char* tail);

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Copies the tip into the tray icon record's tip field, cut at a character
// boundary to the 63 bytes and terminator that its first version holds.
void CopyTip(char* field, const char* tip, LeadBytePredicate isLeadByte);

// Takes the tray window's icon away, as quitting does; for a process that
// has to end at once.
void RemoveTrayIcon();

// Carries out a tray menu command.
void RunTrayCommand(HWND window, UINT command);

// The folder of the starter's executable (the module g_instance names),
// ending in a separator, with its drive designation; absent if the path
// cannot be had.
Text ProgramFolder();
