// The Windows side of the real-input tests: one process for a whole test,
// which starts the real starter.exe in a job that counts what it launches,
// and answers questions about its windows while the test clicks with real
// input. It reads one command a line
// from standard input and answers with key=value lines and, last,
// "verdict=ok" or "verdict=fail", so that a probe that crashes gives no
// verdict at all. Every wait has a bound.
//
//   start                    lays out a kit (the folder, the recording program
//                            beside this one); the recorder opens .xhtml and
//                            https until the probe ends; starts the kit's
//                            starter in its work folder and waits until it is
//                            resident with its icon
//   icon                     whether the starter's icon is in the tray
//   taskbar                  where the taskbar is
//   layout                   the tray menu popped up here: its size and items
//   popup | popup-closed     the starter's popup menu, where the system put it
//   about | about-closed     the starter's about box
//   tip                      the tray's tooltip text
//   launches                 once the starter's launches have ended: how many
//                            there were, and for each what it started, its
//                            working folder and its arguments, parted by tabs
//   quit                     the destroy message, as the Quit entry sends it;
//                            waits until the starter has ended
//   exit                     once the starter has ended: its exit code
#include "resource.h"
#include "win32_support.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

const DWORD BOUND_MS = 30000;

Kit g_kit;
PROCESS_INFORMATION g_starter;
HWND g_window;
std::string g_records;
std::optional<Handlers> g_handlers;
HMENU g_layoutMenu;

RECT PrintRect(HWND window)
{
    RECT r = {};
    GetWindowRect(window, &r);
    std::printf("left=%ld\ntop=%ld\nwidth=%ld\nheight=%ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return r;
}

// Once the popup waits for input its items have their places: each item's
// identifier (0: a separator) and centre, relative to the popup's top-left
// corner.
LRESULT CALLBACK LayoutOwner(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU) {
        RECT popup = PrintRect(reinterpret_cast<HWND>(lParam));
        for (int i = 0; i < GetMenuItemCount(g_layoutMenu); ++i) {
            RECT item = {};
            GetMenuItemRect(nullptr, g_layoutMenu, i, &item);
            bool separator = GetMenuState(g_layoutMenu, i, MF_BYPOSITION) & MF_SEPARATOR;
            std::printf("item%d=%u %ld %ld\n", i, separator ? 0u : GetMenuItemID(g_layoutMenu, i),
                        (item.left + item.right) / 2 - popup.left, (item.top + item.bottom) / 2 - popup.top);
        }
        EndMenu();
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The starter's tray menu popped up in this process, where its items can be
// measured: the starter's own popup has the same items, font and metrics,
// and Wine gives no process the items of another's menu.
bool Layout()
{
    HMODULE module = LoadLibraryExA(g_kit.exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    g_layoutMenu = GetSubMenu(LoadMenuA(module, MAKEINTRESOURCEA(IDR_TRAYMENU)), 0);
    if (!g_layoutMenu)
        return false;
    HWND owner = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LayoutOwner));
    SetForegroundWindow(owner);
    TrackPopupMenu(g_layoutMenu, TPM_VCENTERALIGN, 300, 300, 0, owner, nullptr);
    DestroyWindow(owner);
    // Two presses closer together than this, in time and place, are one
    // double click.
    std::printf("double_click_width=%d\n", GetSystemMetrics(SM_CXDOUBLECLK));
    return true;
}

bool Start()
{
    g_kit = MakeKit();
    std::printf("kit=%s\nrecorder=%s\n", g_kit.folder.c_str(), g_kit.recorder.c_str());
    g_handlers.emplace(g_kit.recorder);
    g_records = NewRecordFolder();
    g_starter = StartProcess(nullptr, "\"" + g_kit.exe + "\"", g_kit.work.c_str());
    return g_starter.hProcess && (g_window = WaitForResident(g_starter.dwProcessId, BOUND_MS));
}

bool Tip()
{
    // The tray's tooltip belongs to the shell; its text comes by message,
    // which fails while there is no tooltip window.
    char text[128] = "";
    auto tipRead = [&] {
        return SendMessageTimeoutA(VisibleWindow("tooltips_class32", 0), WM_GETTEXT, sizeof text,
                                   reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, nullptr) &&
               text[0] != '\0';
    };
    bool shown = WaitFor(tipRead, BOUND_MS);
    std::printf("tip=%s\n", text);
    return shown;
}

// Counted once at least as many as expected have started and everything the
// starter started has ended, so that neither a launch the shell has not begun
// yet nor a second one that comes late is missed; what is counted is then
// cleared.
bool Launches(DWORD expected)
{
    static DWORD counted = 1; // the starter
    bool began = WaitFor([&] { return ProcessesStarted() >= counted + expected; }, BOUND_MS);
    bool ended = WaitUntilRunning(1, BOUND_MS);
    std::vector<Record> records = ReadRecords(g_records);
    DWORD started = ProcessesStarted();
    std::printf("started=%lu\n", started - counted);
    counted = started;
    for (size_t i = 0; i < records.size(); ++i) {
        std::string line = records[i]["exe"] + "\t" + records[i]["cwd"];
        for (const std::string& argument : Arguments(records[i]))
            line += "\t" + argument;
        std::printf("launch%u=%s\n", unsigned(i), line.c_str());
    }
    ClearRecords(g_records);
    return began && ended;
}

bool Run(const std::string& command)
{
    if (command == "start")
        return Start();
    if (command == "layout")
        return Layout();
    if (command == "icon")
        return TrayIconPresent(g_window, STARTER_ICON_UID);
    if (command == "taskbar") {
        HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
        PrintRect(taskbar);
        return taskbar && IsWindowVisible(taskbar);
    }
    // The popup menu and the about box: where they are shown, and where the
    // pointer is then; or that they are gone.
    const char* className = command.compare(0, 5, "popup") == 0 ? "#32768" : "#32770";
    if (command == "popup" || command == "about") {
        HWND found = nullptr;
        bool shown = WaitFor([&] { return (found = VisibleWindow(className, g_starter.dwProcessId)) != nullptr; },
                             BOUND_MS);
        PrintRect(found);
        POINT cursor = {};
        GetCursorPos(&cursor);
        std::printf("cursor_x=%ld\ncursor_y=%ld\n", cursor.x, cursor.y);
        return shown && (command == "popup" || GetWindow(found, GW_OWNER) == g_window);
    }
    if (command == "popup-closed" || command == "about-closed")
        return WaitFor([&] { return !VisibleWindow(className, g_starter.dwProcessId); }, BOUND_MS);
    if (command == "tip")
        return Tip();
    if (command.compare(0, 8, "launches") == 0) // "launches N": at least N expected
        return Launches(static_cast<DWORD>(std::atol(command.c_str() + 8)));
    if (command == "quit")
        return Quit(g_window, g_starter.hProcess) != STILL_ACTIVE;
    if (command == "exit") {
        DWORD code = ExitCode(g_starter.hProcess, BOUND_MS);
        std::printf("code=%lu\nicon_gone=%d\nresident=%d\n", code, !TrayIconPresent(g_window, STARTER_ICON_UID),
                    Resident() != nullptr);
        return code != STILL_ACTIVE;
    }
    std::printf("unknown=%s\n", command.c_str());
    return false;
}

int main()
{
    // Outside the job nothing could be counted: every command fails.
    bool joined = JoinCountingJob();
    for (std::string command; std::getline(std::cin, command);) {
        std::printf("verdict=%s\n", joined && Run(command) ? "ok" : "fail");
        std::fflush(stdout);
    }
    // Later tests look for the starter's window: none may be left.
    CloseProcess(g_starter);
    g_handlers.reset();
}
