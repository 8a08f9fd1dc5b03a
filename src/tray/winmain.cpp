#include "tray.h"

#include "launch_shell.h"

#include <string>

// The C runtime's lpCmdLine is not used: its rule for skipping the program's
// name toggles on every quote and knows no double-byte characters, so the
// tail is formed here by the starter's own rule.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    std::string tail = CommandLineTail(GetCommandLineA(), AnsiLeadByte);
    return StarterMain(instance, tail.c_str());
}
