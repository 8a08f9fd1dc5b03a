// The demo's stand-in for the product and for whatever opens documents and
// web addresses: a small window that shows how it was started, so that a
// person trying the starter sees every request arrive.
#include "launch.h"
#include "launch_shell.h"

#include <windows.h>

#include <string>

namespace {

std::string g_text;

LRESULT CALLBACK StandinWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        InflateRect(&rc, -12, -12);
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        DrawTextA(dc, g_text.c_str(), -1, &rc, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    char cwd[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, cwd);
    std::string parameters = CommandLineTail(GetCommandLineA(), AnsiLeadByte);
    g_text = "Tavelkin stand-in: started by the starter's request.\n\nParameters: " +
             (parameters.empty() ? std::string("(none)") : parameters) + "\nWorking folder: " + cwd +
             "\n\nPress Esc or close this window.";

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = StandinWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "TavelkinStandin";
    RegisterClassExA(&wc);
    std::string title = "Tavelkin stand-in - " + (parameters.empty() ? std::string("no parameters") : parameters);
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 560, 420, 440, 200, nullptr,
                                nullptr, instance, nullptr);
    if (!hwnd)
        return 2;
    ShowWindow(hwnd, show);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
