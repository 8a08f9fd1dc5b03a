#include "launch_shell.h"

#include "launch.h"

#include <windows.h>
#include <shellapi.h>

bool AnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

static const char* OrNull(const Text& text) { return text ? text->c_str() : nullptr; }

void LaunchFromCommandLine(const char* tail)
{
    std::optional<LaunchRequest> request = DecideLaunch(tail ? Text(tail) : Text());
    if (!request)
        return;
    ShellExecuteA(nullptr, "open", OrNull(request->program), OrNull(request->parameters),
                  OrNull(request->directory), SW_SHOW);
}
