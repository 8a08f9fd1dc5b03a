#include "tray.h"

// The tray menu's commands. The table is filled in by the menu commands
// work; until then no command does anything, and the starter is quit by
// sending its window WM_DESTROY.
void RunTrayCommand(HWND, UINT command)
{
    switch (command) {
    default:
        break;
    }
}
