#include "tray.h"

#include "launch_shell.h"
#include "resource.h"

#include <objbase.h>

HINSTANCE g_instance;

static HICON LoadStarterIcon(int size)
{
    return static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_STARTER), IMAGE_ICON, size, size, 0));
}

// Makes instance the module whose resources are loaded and registers the
// tray window's class; false if it cannot be registered.
static bool RegisterStarterClass(HINSTANCE instance)
{
    g_instance = instance;
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = TrayWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadStarterIcon(32);
    windowClass.hIconSm = LoadStarterIcon(16);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszClassName = STARTER_CLASS;
    return RegisterClassExA(&windowClass) != 0;
}

// The single-instance test: whether another starter is there, and the
// mutex to hold while this one is resident (nullptr if it could not be had).
struct SingleInstance {
    bool another;
    HANDLE mutex;
};

// The mutex closes the gap between looking for the window and creating it;
// the window class stays the mark that others look for.
static SingleInstance TakeSingleInstance()
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, STARTER_MUTEX);
    bool another = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
    return {another || FindWindowA(STARTER_CLASS, nullptr), mutex};
}

// The hidden tray window, which adds the icon; nullptr if it cannot be made.
static HWND CreateTrayWindow(HINSTANCE instance)
{
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, STARTER_CLASS, STARTER_CLASS, 0, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                                  nullptr, nullptr, instance, nullptr);
    if (window)
        ShowWindow(window, SW_HIDE);
    return window;
}

// Runs until the quit message and returns its exit code.
static int RunMessageLoop(HWND window)
{
    MSG msg;
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got == -1) {
            // The error would only repeat, and the loop would spin instead
            // of waiting; take the icon away and end.
            DestroyWindow(window);
            return EXIT_NO_TRAY_WINDOW;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

int StarterMain(HINSTANCE instance, const char* tail)
{
    if (!RegisterStarterClass(instance))
        return 0;
    // The shell may hand a request to extensions and verb handlers that are
    // COM objects, and some of them work only in a single-threaded
    // apartment, so the shell asks its callers for one. Kept for the
    // process's life, as every later request needs it too. Should it fail,
    // the shell gets its request all the same.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    // Every starter launches, the ones that end at once included.
    LaunchFromCommandLine(tail);
    SingleInstance single = TakeSingleInstance();
    int exitCode = EXIT_ANOTHER_STARTER;
    if (!single.another) {
        // Without the window there is no icon and no way to quit.
        HWND window = CreateTrayWindow(instance);
        exitCode = window ? RunMessageLoop(window) : EXIT_NO_TRAY_WINDOW;
    }
    if (single.mutex)
        CloseHandle(single.mutex);
    return exitCode;
}
