// The baseline for the footprint figure: the least a resident GUI program
// needs, a hidden window and a message loop, and nothing else. Given any
// argument it ends at once instead: then it is the program that the start-up
// figure's launches start.
#include <windows.h>

static LRESULT CALLBACK IdleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    if (commandLine[0])
        return 0;
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = IdleWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "StarterBenchIdle";
    if (!RegisterClassExA(&windowClass))
        return 2;
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "StarterBenchIdle", "StarterBenchIdle", 0, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 2;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
