#include "tray.h"

#include "launch_shell.h"
#include "system_imports.h"

#include <string>

// The C runtime's lpCmdLine is not used: its rule for skipping the program's
// name toggles on every quote and knows no double-byte characters, so the
// tail is formed here by the starter's own rule.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // First, before anything can load a DLL. Without it the program would
    // call nothing of the window system, so it ends as silently as when its
    // window class cannot be registered.
    if (!BindSystemImports())
        return 0;
    std::string tail = CommandLineTail(GetCommandLineA(), AnsiLeadByte);
    return StarterMain(instance, tail.c_str());
}
