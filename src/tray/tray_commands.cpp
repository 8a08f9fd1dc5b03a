#include "tray.h"

#include "about_box.h"
#include "resource.h"

#include <shellapi.h>

#include <string>

// Every entry but the about box and quitting hands the shell one "open"
// request; whether it succeeds is the shell's business, so nothing is shown.
static void Open(HWND window, const char* target, const char* parameters, const char* folder)
{
    ShellExecuteA(window, "open", target, parameters, folder, SW_SHOWNORMAL);
}

static std::string LoadText(UINT id)
{
    char text[4096] = "";
    LoadStringA(g_instance, id, text, sizeof text);
    return text;
}

// An example document below the starter's own folder. The folder is never
// cut, so a fixed buffer (even of 8192) could overrun; a string cannot.
static void OpenExample(HWND window, UINT id)
{
    std::string target = g_programFolder.value_or("") + LoadText(id);
    Open(window, target.c_str(), nullptr, nullptr);
}

void RunTrayCommand(HWND window, UINT command)
{
    switch (command) {
    case IDM_LAUNCH:
        // Relative names on purpose: the shell finds tavelkin.exe in the
        // working folder, and it finds its run file there in turn.
        Open(window, "tavelkin.exe", "tavelkin.run", g_programFolder ? g_programFolder->c_str() : nullptr);
        break;
    case IDM_REFERENCE:
        OpenExample(window, IDS_REFERENCE);
        break;
    case IDM_FEEDBACK:
        OpenExample(window, IDS_FEEDBACK);
        break;
    case IDM_ABOUT:
        // Modal: the command returns once the box has closed.
        DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUT), window, AboutDialogProc, 0);
        break;
    case IDM_WEBSITE:
        Open(window, LoadText(IDS_WEBSITE).c_str(), nullptr, nullptr);
        break;
    case IDM_QUIT:
        // The window's own destroy handling takes the icon away and ends the
        // message loop; the window itself is left to the process's end.
        SendMessageA(window, WM_DESTROY, 0, 0);
        break;
    default:
        break;
    }
}
