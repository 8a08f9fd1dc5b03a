#include "tray.h"

#include "launch_shell.h"
#include "program_folder.h"
#include "resource.h"

#include <shellapi.h>

#include <cstring>

HMENU g_trayMenu;
Text g_programFolder;
POINT g_cursor;
// Sent to top-level windows when the taskbar (re)starts.
static UINT g_taskbarCreated;
// Loaded once: every add and refresh shows the same image, which lives as
// long as the process.
static HICON g_trayIcon;
// The tray window, once created: a process has one.
static HWND g_trayWindow;

// The record's first version: every shell since Windows 95 takes it, and its
// 64-byte tip field is all the tip needs.
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "the tray icon record's first version");

static NOTIFYICONDATAA TrayIconRecord(HWND window)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = TRAY_ICON_UID;
    return data;
}

void CopyTip(char* field, const char* tip, LeadBytePredicate isLeadByte)
{
    // 63 bytes and the terminator: the record's first version has a 64-byte
    // field, whatever size today's headers give it. A double-byte character
    // that does not fit whole is left out, lead byte and all.
    size_t length = 0;
    for (size_t step; tip[length]; length += step) {
        step = isLeadByte(static_cast<unsigned char>(tip[length])) && tip[length + 1] ? 2 : 1;
        if (length + step > 63)
            break;
    }
    memcpy(field, tip, length);
    field[length] = '\0';
}

// Takes the tray window's icon away for good: no retry is left to add it
// again.
void RemoveTrayIcon()
{
    if (!g_trayWindow) // no window, no icon, and perhaps no shell32 bound yet
        return;
    KillTimer(g_trayWindow, ICON_RETRY_TIMER_ID);
    NOTIFYICONDATAA data = TrayIconRecord(g_trayWindow);
    Shell_NotifyIconA(NIM_DELETE, &data);
}

// Whether the shell shows the icon now: added, or, if it has it already (a
// "TaskbarCreated" while it is there, an add that timed out but went
// through), refreshed.
static bool AddOrRefreshTrayIcon(HWND window)
{
    if (!g_trayIcon)
        g_trayIcon = static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_STARTER), IMAGE_ICON, 16, 16, 0));
    NOTIFYICONDATAA data = TrayIconRecord(window);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAYNOTIFY;
    data.hIcon = g_trayIcon;
    char tip[8192] = "";
    LoadStringA(g_instance, IDS_TIP, tip, sizeof tip);
    CopyTip(data.szTip, tip, AnsiLeadByte);
    return Shell_NotifyIconA(NIM_ADD, &data) || Shell_NotifyIconA(NIM_MODIFY, &data);
}

// At logon the notification area may not be there yet, or the shell too
// busy to answer, and no "TaskbarCreated" need follow: without the icon the
// starter could be neither used nor quit, so it tries again until it shows.
static void ShowTrayIconOrRetry(HWND window)
{
    if (AddOrRefreshTrayIcon(window))
        KillTimer(window, ICON_RETRY_TIMER_ID);
    else
        SetTimer(window, ICON_RETRY_TIMER_ID, ICON_RETRY_MS, nullptr);
}

// A starter run elevated would otherwise never hear of a restarted taskbar
// that is not: the system holds messages from lower integrity back. Looked
// up, as systems before Windows 7 lack the call.
static void LetTaskbarCreatedIn(HWND window)
{
    using FilterCall = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    auto allow = reinterpret_cast<FilterCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx")));
    if (allow && g_taskbarCreated)
        allow(window, g_taskbarCreated, MSGFLT_ALLOW, nullptr);
}

static void ShowTrayMenu(HWND window)
{
    GetCursorPos(&g_cursor);
    if (!g_trayMenu)
        return;
    // A popup whose owner is not in the foreground stays open when the user
    // clicks elsewhere; the WM_NULL afterwards lets the next popup close on
    // such a click too.
    SetForegroundWindow(window);
    TrackPopupMenu(g_trayMenu, TPM_VCENTERALIGN, g_cursor.x, g_cursor.y, 0, window, nullptr);
    PostMessageA(window, WM_NULL, 0, 0);
}

static LRESULT OnCreate(HWND window)
{
    g_trayWindow = window;
    g_taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    LetTaskbarCreatedIn(window);
    g_trayMenu = GetSubMenu(LoadMenuA(g_instance, MAKEINTRESOURCEA(IDR_TRAYMENU)), 0);
    ShowTrayIconOrRetry(window);
    g_programFolder = ProgramFolder(g_instance);
    return 0;
}

static LRESULT OnTimer(HWND window, UINT_PTR id)
{
    if (id == ICON_RETRY_TIMER_ID)
        ShowTrayIconOrRetry(window);
    return 0;
}

// The quit path: the quit command sends WM_DESTROY without destroying the
// window, which is left to the process's end.
static LRESULT OnDestroy(HWND)
{
    RemoveTrayIcon();
    // A quit that comes while the menu is open would otherwise leave it
    // open, and the menu's own message loop (Wine's, at least) takes the
    // quit message out of the queue and drops it: the starter would stay,
    // without its icon.
    EndMenu();
    PostQuitMessage(0);
    return 0;
}

// The session ends (a logoff, a shutdown), or an installer's Restart Manager
// closes the starter (ENDSESSION_CLOSEAPP). The icon goes before this
// returns, as the system may end the process as soon as it has: a dead icon
// would stay until the pointer passes over it. At a logoff the system ends
// the process itself; an installer waits for it to end, so it quits.
static LRESULT OnEndSession(HWND window, bool ending, LPARAM how)
{
    if (ending && (how & ENDSESSION_CLOSEAPP))
        OnDestroy(window);
    else if (ending)
        RemoveTrayIcon();
    return 0;
}

static LRESULT OnCommand(HWND window, UINT command)
{
    RunTrayCommand(window, command);
    return 0;
}

// The mouse message as a whole: shells that pack more into it mean something
// else, and releases, moves and double clicks do nothing.
static LRESULT OnTrayNotify(HWND window, LPARAM mouse)
{
    if (mouse == WM_LBUTTONDOWN || mouse == WM_RBUTTONDOWN)
        ShowTrayMenu(window);
    return 0;
}

// The taskbar started again and has forgotten every icon.
static LRESULT OnTaskbarCreated(HWND window)
{
    ShowTrayIconOrRetry(window);
    return 0;
}

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_TIMER:
        return OnTimer(window, wParam);
    case WM_DESTROY:
        return OnDestroy(window);
    case WM_QUERYENDSESSION:
        return TRUE; // the starter holds nothing that could be lost
    case WM_ENDSESSION:
        return OnEndSession(window, wParam != FALSE, lParam);
    case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam));
    case WM_TRAYNOTIFY:
        return OnTrayNotify(window, lParam);
    }
    // The taskbar's message is registered at run time, so it cannot be a
    // case label.
    if (message == g_taskbarCreated && g_taskbarCreated != 0)
        return OnTaskbarCreated(window);
    return DefWindowProcA(window, message, wParam, lParam);
}
