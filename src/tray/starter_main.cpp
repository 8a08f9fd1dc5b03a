#include "tray.h"

#include "launch_shell.h"
#include "resource.h"

const char STARTER_CLASS[] = "TavelkinStarter";
const char STARTER_MUTEX[] = "Local\\TavelkinStarter";

HINSTANCE g_instance;

static HICON LoadStarterIcon(int size)
{
    return static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(IDI_STARTER), IMAGE_ICON, size, size, 0));
}

int StarterMain(HINSTANCE instance, const char* tail)
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
    if (!RegisterClassExA(&windowClass))
        return 0;

    // Every starter launches, the ones that end at once included.
    LaunchFromCommandLine(tail);

    // The mutex closes the gap between looking for the window and creating
    // it; the window class stays the mark that others look for.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, STARTER_MUTEX);
    bool another = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
    if (another || FindWindowA(STARTER_CLASS, nullptr)) {
        if (mutex)
            CloseHandle(mutex);
        return EXIT_ANOTHER_STARTER;
    }

    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, STARTER_CLASS, STARTER_CLASS, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                                  0, 0, nullptr, nullptr, instance, nullptr);
    if (!window) {
        // Without the window there is no icon and no way to quit.
        if (mutex)
            CloseHandle(mutex);
        return EXIT_NO_TRAY_WINDOW;
    }
    ShowWindow(window, SW_HIDE);

    int exitCode = 0;
    MSG msg;
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            exitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) {
            // The error would only repeat, and the loop would spin instead
            // of waiting; take the icon away and end.
            DestroyWindow(window);
            exitCode = EXIT_NO_TRAY_WINDOW;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (mutex)
        CloseHandle(mutex);
    return exitCode;
}
