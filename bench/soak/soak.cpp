// Soak: the resident starter through many menu popups, "TaskbarCreated"
// messages and about boxes, driven as the shell and the user drive it, with
// its memory and its answer time before and after. bench/run-soak runs it.
//
//   soak.exe STARTER [MENUS TASKBARS ABOUTS]   (1000 1000 100)
#include "resource.h"
#include "starter_names.h"
#include "win32_support.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char* what, int round)
{
    std::printf("FAIL %s (round %d)\n", what, round);
    std::exit(1);
}

// GDI and USER objects and handles are not among them: under Wine
// GetGuiResources and GetProcessHandleCount give 0 for every process.
struct Figures {
    SIZE_T privateBytes;
    bool answers; // within 100 ms
    DWORD answerMs;
};

Figures Measure(HWND window, HANDLE process)
{
    Figures f = {};
    f.privateBytes = CommittedPrivate(process);
    DWORD_PTR ignored;
    DWORD start = GetTickCount();
    f.answers = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 100, &ignored) != 0;
    f.answerMs = GetTickCount() - start;
    return f;
}

// Waits for a visible window of the class in the process, or for none.
HWND Await(const char* className, DWORD processId, bool shown, int round, const char* what)
{
    HWND found = nullptr;
    if (!WaitFor([&] { return ((found = VisibleWindow(className, processId)) != nullptr) == shown; }))
        Fail(what, round);
    return found;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::printf("usage: soak STARTER [MENUS TASKBARS ABOUTS]\n");
        return 2;
    }
    int menus = argc > 2 ? std::atoi(argv[2]) : 1000;
    int taskbars = argc > 3 ? std::atoi(argv[3]) : 1000;
    int abouts = argc > 4 ? std::atoi(argv[4]) : 100;
    EndEveryStarter();
    // Started in an empty folder: it finds no run file there and launches nothing.
    std::string folder = MakeTempFolder("soak");
    PROCESS_INFORMATION starter = StartProcess(argv[1], "starter.exe", folder.c_str());
    HWND window = starter.hProcess ? WaitForResident(starter.dwProcessId) : nullptr;
    if (!window)
        Fail("the starter did not become resident with its icon", 0);
    DWORD pid = starter.dwProcessId;
    // One of each first, so that what is made once (the menu's window, the
    // dialog's class) is in the figure before.
    UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    DWORD_PTR ignored;
    Figures before = {};
    DWORD start = 0;
    for (int pass = 0; pass < 2; ++pass) {
        int m = pass ? menus : 1, t = pass ? taskbars : 1, a = pass ? abouts : 1;
        if (pass) {
            before = Measure(window, starter.hProcess);
            start = GetTickCount();
        }
        for (int i = 0; i < m; ++i) {
            PostMessageA(window, WM_TRAYNOTIFY, TRAY_ICON_UID, WM_RBUTTONDOWN);
            Await("#32768", pid, true, i, "the menu did not pop up");
            // The menu's loop ends on a cancel-mode message in its queue.
            PostMessageA(window, WM_CANCELMODE, 0, 0);
            Await("#32768", pid, false, i, "the menu did not close");
        }
        for (int i = 0; i < t; ++i)
            if (!SendMessageTimeoutA(window, taskbarCreated, 0, 0, SMTO_NORMAL, 20000, &ignored))
                Fail("no answer to TaskbarCreated", i);
        for (int i = 0; i < a; ++i) {
            PostMessageA(window, WM_COMMAND, IDM_ABOUT, 0);
            HWND box = Await("#32770", pid, true, i, "the about box did not open");
            PostMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
            Await("#32770", pid, false, i, "the about box did not close");
        }
    }
    DWORD seconds = (GetTickCount() - start + 500) / 1000;
    Figures after = Measure(window, starter.hProcess);
    bool icon = TrayIconPresent(window, TRAY_ICON_UID);
    PostMessageA(window, WM_COMMAND, IDM_QUIT, 0);
    DWORD exitCode = ExitCode(starter.hProcess);

    // A DWORD is an unsigned long here, as %lu takes it.
    std::printf("soak: %d menu popups, %d TaskbarCreated, %d about boxes in %lu s\n\n", menus, taskbars, abouts,
                seconds);
    std::printf("| figure | before | after | ratio |\n|---|---|---|---|\n");
    std::printf("| private bytes KiB (committed private memory by VirtualQueryEx) | %.0f | %.0f | %.3f |\n",
                before.privateBytes / 1024.0, after.privateBytes / 1024.0,
                static_cast<double>(after.privateBytes) / before.privateBytes);
    std::printf("| answers WM_NULL within 100 ms (SendMessageTimeout), ms taken | %s, %lu | %s, %lu | - |\n",
                before.answers ? "yes" : "no", before.answerMs, after.answers ? "yes" : "no", after.answerMs);
    std::printf("\nicon still there: %s; quit: exit code %lu\n", icon ? "yes" : "no", exitCode);
    CloseProcess(starter);
    return after.answers && icon && exitCode == 0 ? 0 : 1;
}
