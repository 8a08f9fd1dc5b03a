// The Windows side of the real-input tray test: looks at the resident
// starter, its popup menu and the tray's tip, each with a bound, and prints
// what it found as key=value lines. Exits 0 when the awaited state came.
//
//   tray_query resident | gone | menu-open | menu-closed | tip | quit | end
//   tray_query icon HWND                 whether that window's icon is there
//   tray_query reference STARTER_EXE     size of the tray menu popped up here
//   tray_query move-tray X Y             puts Wine's tray window there
#include "resource.h"
#include "tray.h"
#include "win32_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HWND Resident() { return FindWindowA(STARTER_CLASS, nullptr); }

DWORD ProcessOf(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

struct Search {
    const char* className;
    DWORD processId; // 0: any process
    HWND found;
};

BOOL CALLBACK OnWindow(HWND window, LPARAM lParam)
{
    Search& s = *reinterpret_cast<Search*>(lParam);
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, s.className) == 0 && IsWindowVisible(window) &&
        (s.processId == 0 || ProcessOf(window) == s.processId))
        s.found = window;
    return s.found == nullptr;
}

// A visible top-level window of the class in the process, if there is one.
HWND VisibleWindow(const char* className, DWORD processId)
{
    Search search = {className, processId, nullptr};
    EnumWindows(OnWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PrintRect(HWND window)
{
    RECT r = {};
    GetWindowRect(window, &r);
    POINT cursor = {};
    GetCursorPos(&cursor);
    std::printf("left=%ld\ntop=%ld\nwidth=%ld\nheight=%ld\ncursor_x=%ld\ncursor_y=%ld\n", r.left, r.top,
                r.right - r.left, r.bottom - r.top, cursor.x, cursor.y);
}

RECT g_referenceRect;

LRESULT CALLBACK ReferenceOwner(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU) {
        GetWindowRect(reinterpret_cast<HWND>(lParam), &g_referenceRect);
        EndMenu();
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The tray menu of starter.exe, counted and popped up in this process: its
// size is what the starter's popup measures when it shows the same items.
int Reference(const char* starterExe)
{
    HMODULE module = LoadLibraryExA(starterExe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HMENU menu = GetSubMenu(LoadMenuA(module, MAKEINTRESOURCEA(IDR_TRAYMENU)), 0);
    if (!menu)
        return 1;
    int entries = 0, separators = 0;
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        (GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR ? separators : entries)++;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ReferenceOwner;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TrayQueryOwner";
    RegisterClassA(&windowClass);
    HWND owner = CreateWindowExA(WS_EX_TOOLWINDOW, "TrayQueryOwner", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
    SetForegroundWindow(owner);
    TrackPopupMenu(menu, TPM_VCENTERALIGN, 300, 300, 0, owner, nullptr);
    std::printf("entries=%d\nseparators=%d\nwidth=%ld\nheight=%ld\n", entries, separators,
                g_referenceRect.right - g_referenceRect.left, g_referenceRect.bottom - g_referenceRect.top);
    return g_referenceRect.right > g_referenceRect.left ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    HWND resident = nullptr;
    auto findResident = [&] { return (resident = Resident()) != nullptr; };

    if (command == "reference" && argc > 2)
        return Reference(argv[2]);
    if (command == "move-tray" && argc > 3) {
        // Moved by the window system, so that Wine keeps it where it is put.
        HWND tray = nullptr;
        if (!WaitFor([&] { return (tray = FindWindowA(nullptr, "Wine System Tray")) != nullptr; }))
            return 1;
        int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
        SetWindowPos(tray, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT r = {};
        return WaitFor([&] { return GetWindowRect(tray, &r) && r.left == x && r.top == y; }) ? 0 : 1;
    }
    if (command == "resident") {
        if (!WaitFor(findResident, 30000))
            return 1;
        std::printf("pid=%lu\nhwnd=%lu\n", ProcessOf(resident), HandleToUlong(resident));
        return 0;
    }
    if (command == "gone")
        return WaitFor([] { return Resident() == nullptr; }, 30000) ? 0 : 1;
    if (command == "icon" && argc > 2)
        return TrayIconPresent(static_cast<HWND>(ULongToHandle(std::strtoul(argv[2], nullptr, 10))), TRAY_ICON_UID)
                   ? 0
                   : 1;
    if (!findResident())
        return 2;
    DWORD starter = ProcessOf(resident);
    if (command == "menu-open") {
        HWND menu = nullptr;
        if (!WaitFor([&] { return (menu = VisibleWindow("#32768", starter)) != nullptr; }))
            return 1;
        PrintRect(menu);
        return 0;
    }
    if (command == "menu-closed")
        return WaitFor([&] { return VisibleWindow("#32768", starter) == nullptr; }) ? 0 : 1;
    if (command == "tip") {
        // The tray's tooltip belongs to the shell; its text comes by message.
        char text[128] = "";
        bool shown = WaitFor([&] {
            HWND tip = VisibleWindow("tooltips_class32", 0);
            DWORD_PTR ignored;
            text[0] = '\0';
            return tip && SendMessageTimeoutA(tip, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                                              SMTO_NORMAL, 5000, &ignored) &&
                   text[0] != '\0';
        });
        std::printf("tip=%s\n", text);
        return shown ? 0 : 1;
    }
    if (command == "quit") {
        DWORD_PTR ignored;
        return SendMessageTimeoutA(resident, WM_DESTROY, 0, 0, SMTO_NORMAL, 20000, &ignored) ? 0 : 1;
    }
    if (command == "end") {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, starter);
        bool ended = TerminateProcess(process, 99);
        CloseHandle(process);
        return ended ? 0 : 1;
    }
    return 2;
}
