#include "about_box.h"

#include "centre_window.h"

UINT_PTR g_aboutTimer = 0;
int g_aboutClicks = 0;

namespace {

const UINT ABOUT_PERIOD_MS = 5000;
const int ABOUT_CLICK_LIMIT = 20;
const char ABOUT_NERVOUS_TEXT[] = "Wow, 20 clicks in less than 5 seconds!\nYou must be very nervous, or totally bored.";
const char ABOUT_NERVOUS_CAPTION[] = "Strange User Behavior Detected!";

// No timer procedure: WM_TIMER comes to the dialog procedure, which closes.
void StartAboutTimer(HWND dialog) { g_aboutTimer = SetTimer(dialog, ABOUT_TIMER_ID, ABOUT_PERIOD_MS, nullptr); }

void CloseAbout(HWND dialog)
{
    KillTimer(dialog, g_aboutTimer);
    EndDialog(dialog, 1);
}

void CountRightClick(HWND dialog)
{
    if (++g_aboutClicks < ABOUT_CLICK_LIMIT)
        return;
    g_aboutClicks = 0;
    // The timer stays stopped while the message is up, so that it cannot close
    // the box under it; once the message is dismissed the box gets a fresh
    // five seconds. The message has no owner, so the box stays clickable.
    KillTimer(dialog, g_aboutTimer);
    MessageBoxA(nullptr, ABOUT_NERVOUS_TEXT, ABOUT_NERVOUS_CAPTION, MB_OK);
    StartAboutTimer(dialog);
}

} // namespace

// Only the timer and a left click close the box: Esc and Enter arrive as
// WM_COMMAND, which is left alone, and a right double-click does not count.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CentreWindow(dialog);
        StartAboutTimer(dialog);
        g_aboutClicks = 0;
        return TRUE;
    case WM_TIMER:
    case WM_LBUTTONDOWN:
        CloseAbout(dialog);
        return TRUE;
    case WM_RBUTTONDOWN:
        CountRightClick(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}
