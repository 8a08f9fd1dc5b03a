// starter-ctl: talks to the resident starter from a script.
//   starter-ctl quit      chooses the tray menu's Quit entry, so the starter
//                         removes its icon and ends through its own quit path;
//                         exits 0 once it has ended
//   starter-ctl wait-resident [MS]   exits 0 once a starter is resident
#include "resource.h"
#include "starter_names.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "quit") == 0) {
        HWND tray = FindWindowA(STARTER_CLASS, nullptr);
        DWORD id = 0;
        GetWindowThreadProcessId(tray, &id);
        HANDLE starter = OpenProcess(SYNCHRONIZE, FALSE, id);
        if (!tray || !starter)
            return 1;
        PostMessageA(tray, WM_COMMAND, IDM_QUIT, 0);
        return WaitForSingleObject(starter, 30000) == WAIT_OBJECT_0 ? 0 : 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "wait-resident") == 0) {
        DWORD bound = argc >= 3 ? static_cast<DWORD>(std::atol(argv[2])) : 30000;
        DWORD start = GetTickCount();
        while (!FindWindowA(STARTER_CLASS, nullptr)) {
            if (GetTickCount() - start > bound)
                return 1;
            Sleep(50); // polling with the bound above
        }
        return 0;
    }
    return 2;
}
