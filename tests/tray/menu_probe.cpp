// The Windows side of the real-input menu test: looks at the resident
// starter, its popup menu and its about box, each with a bound, and prints
// what it found as key=value lines; also sets the file-type and protocol
// handlers in the prefix. Exits 0 when the awaited state came.
//
//   menu_probe resident | gone | popup | popup-closed | about | about-closed | end
//   menu_probe icon HWND                  whether that window's icon is there
//   menu_probe layout STARTER_EXE         the tray menu's items, popped up here
//   menu_probe move-tray X Y              puts Wine's tray window there
//   menu_probe classes-get KEY            a default value under HKEY_CLASSES_ROOT
//   menu_probe classes-set KEY VALUE
//   menu_probe classes-delete KEY         the key and all below it
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
    DWORD processId;
    HWND found;
};

BOOL CALLBACK OnWindow(HWND window, LPARAM lParam)
{
    Search& s = *reinterpret_cast<Search*>(lParam);
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, s.className) == 0 && IsWindowVisible(window) && ProcessOf(window) == s.processId)
        s.found = window;
    return s.found == nullptr;
}

HWND VisibleWindow(const char* className, DWORD processId)
{
    Search search = {className, processId, nullptr};
    EnumWindows(OnWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PrintRect(const char* prefix, const RECT& r)
{
    std::printf("%sleft=%ld\n%stop=%ld\n%swidth=%ld\n%sheight=%ld\n", prefix, r.left, prefix, r.top, prefix,
                r.right - r.left, prefix, r.bottom - r.top);
}

HMENU g_layoutMenu;

// Once the popup waits for input its items have their places: each is
// printed relative to the popup's top-left corner.
LRESULT CALLBACK LayoutOwner(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU) {
        RECT popup = {};
        GetWindowRect(reinterpret_cast<HWND>(lParam), &popup);
        PrintRect("", popup);
        for (int i = 0; i < GetMenuItemCount(g_layoutMenu); ++i) {
            RECT item = {};
            GetMenuItemRect(nullptr, g_layoutMenu, i, &item);
            bool separator = GetMenuState(g_layoutMenu, i, MF_BYPOSITION) & MF_SEPARATOR;
            std::printf("item%d=%u %ld %ld %ld %ld\n", i, separator ? 0u : GetMenuItemID(g_layoutMenu, i),
                        item.left - popup.left, item.top - popup.top, item.right - popup.left,
                        item.bottom - popup.top);
        }
        EndMenu();
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The starter's tray menu popped up in this process, where its items can be
// measured: the starter's own popup has the same items, font and metrics.
int Layout(const char* starterExe)
{
    HMODULE module = LoadLibraryExA(starterExe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    g_layoutMenu = GetSubMenu(LoadMenuA(module, MAKEINTRESOURCEA(IDR_TRAYMENU)), 0);
    if (!g_layoutMenu)
        return 1;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = LayoutOwner;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "MenuProbeOwner";
    RegisterClassA(&windowClass);
    HWND owner = CreateWindowExA(WS_EX_TOOLWINDOW, "MenuProbeOwner", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
    SetForegroundWindow(owner);
    TrackPopupMenu(g_layoutMenu, TPM_VCENTERALIGN, 300, 300, 0, owner, nullptr);
    return 0;
}

// The starter's visible about box: a dialog of its process owned by its window.
HWND AboutBox(HWND starter)
{
    HWND box = VisibleWindow("#32770", ProcessOf(starter));
    return box && GetWindow(box, GW_OWNER) == starter ? box : nullptr;
}

int ClassesSet(const char* key, const char* value)
{
    HKEY opened;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) !=
        ERROR_SUCCESS)
        return 1;
    LONG set = RegSetValueExA(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                              static_cast<DWORD>(std::strlen(value) + 1));
    RegCloseKey(opened);
    return set == ERROR_SUCCESS ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "layout" && argc > 2)
        return Layout(argv[2]);
    if (command == "move-tray" && argc > 3) {
        HWND tray = nullptr;
        if (!WaitFor([&] { return (tray = FindWindowA(nullptr, "Wine System Tray")) != nullptr; }))
            return 1;
        int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
        SetWindowPos(tray, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT r = {};
        return WaitFor([&] { return GetWindowRect(tray, &r) && r.left == x && r.top == y; }) ? 0 : 1;
    }
    if (command == "classes-get" && argc > 2) {
        char value[1024] = "";
        LONG size = sizeof value;
        if (RegQueryValueA(HKEY_CLASSES_ROOT, argv[2], value, &size) != ERROR_SUCCESS)
            return 1;
        std::printf("value=%s\n", value);
        return 0;
    }
    if (command == "classes-set" && argc > 3)
        return ClassesSet(argv[2], argv[3]);
    if (command == "classes-delete" && argc > 2) {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, argv[2]);
        return RegDeleteKeyA(HKEY_CLASSES_ROOT, argv[2]) == ERROR_SUCCESS ? 0 : 1;
    }
    if (command == "icon" && argc > 2)
        return TrayIconPresent(static_cast<HWND>(ULongToHandle(std::strtoul(argv[2], nullptr, 10))), TRAY_ICON_UID)
                   ? 0
                   : 1;
    if (command == "gone")
        return WaitFor([] { return Resident() == nullptr; }, 30000) ? 0 : 1;

    HWND starter = nullptr;
    if (!WaitFor([&] { return (starter = Resident()) != nullptr; }, 30000))
        return 2;
    if (command == "resident") {
        std::printf("pid=%lu\nhwnd=%lu\n", ProcessOf(starter), HandleToUlong(starter));
        return 0;
    }
    HWND found = nullptr;
    if (command == "popup" || command == "about") {
        bool popup = command == "popup";
        if (!WaitFor([&] { return (found = popup ? VisibleWindow("#32768", ProcessOf(starter)) : AboutBox(starter)); },
                     30000))
            return 1;
        RECT r = {};
        GetWindowRect(found, &r);
        PrintRect("", r);
        return 0;
    }
    if (command == "popup-closed")
        return WaitFor([&] { return VisibleWindow("#32768", ProcessOf(starter)) == nullptr; }, 30000) ? 0 : 1;
    if (command == "end") {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, ProcessOf(starter));
        bool ended = TerminateProcess(process, 99);
        CloseHandle(process);
        return ended ? 0 : 1;
    }
    if (command == "about-closed")
        return WaitFor([&] { return AboutBox(starter) == nullptr; }, 30000) ? 0 : 1;
    return 3;
}
