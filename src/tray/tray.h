// The resident starter: start-up, the hidden tray window with its icon and
// popup menu, and the menu's commands. Everything runs on one thread.
#pragma once

#include "launch.h"
#include "starter_names.h"

#include <windows.h>

// While the icon could not be added, the tray window tries again this often.
const UINT_PTR ICON_RETRY_TIMER_ID = 2;
const UINT ICON_RETRY_MS = 3000;

extern HINSTANCE g_instance;  // the module whose resources are loaded
extern HMENU g_trayMenu;      // the popup shown on clicks at the icon
extern Text g_programFolder;  // where the starter's own executable lies
extern POINT g_cursor;        // where the last popup was shown
extern UINT g_taskbarCreated; // sent to top-level windows when the taskbar (re)starts

// SetDefaultDllDirectories, or nullptr where kernel32 lacks it.
using RestrictSearchCall = BOOL(WINAPI*)(DWORD);
// Restricts the DLL search to System32 (with none given, as well as such a
// system allows) and binds user32, gdi32, shell32 and ole32; false if that cannot
// be done. Linked into starter.exe alone (system_imports.cpp); without an
// argument it looks the function up in kernel32.
bool BindSystemImports(RestrictSearchCall restrictSearch);
bool BindSystemImports();

// Start-up and message loop for a command-line tail; returns the exit code.
// WinMain calls it; tests call it in-process. Its steps follow, in its
// order, with LaunchFromCommandLine after the first; the start-up benchmark
// times them one by one.
int StarterMain(HINSTANCE instance, const char* tail);
// Makes instance the module whose resources are loaded and registers the
// tray window's class; false if it cannot be registered.
bool RegisterStarterClass(HINSTANCE instance);
// The single-instance test: whether another starter is there, and the
// mutex to hold while this one is resident (nullptr if it could not be had).
struct SingleInstance {
    bool another;
    HANDLE mutex;
};
SingleInstance TakeSingleInstance();
// The hidden tray window, which adds the icon; nullptr if it cannot be made.
HWND CreateTrayWindow(HINSTANCE instance);
// Runs until the quit message and returns its exit code.
int RunMessageLoop(HWND window);

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
