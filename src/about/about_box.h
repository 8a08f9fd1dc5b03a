// The about box: a borderless picture that stands in the middle of the work
// area for five seconds, or until it is left-clicked. Twenty right clicks in
// one showing bring up a joking message. Shown modally from the tray menu with
// DialogBoxParamA(g_instance, MAKEINTRESOURCE(IDD_ABOUT), owner, AboutDialogProc, 0);
// the dialog result is always 1.
#pragma once

#include <windows.h>

constexpr UINT_PTR ABOUT_TIMER_ID = 1;

// What SetTimer returned for the showing box, for the matching KillTimer.
extern UINT_PTR g_aboutTimer;
// Right clicks since the box opened or since the last joking message.
extern int g_aboutClicks;

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
