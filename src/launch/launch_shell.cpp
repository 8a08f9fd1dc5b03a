#include "launch_shell.h"

#include <windows.h>
#include <shellapi.h>

bool AnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

// Each stretch the reader converts is short. A UTF-8 code page converts any valid text exactly, and takes no flags.
Text AnsiFromUtf16(const std::u16string& text)
{
    const bool utf8 = GetACP() == CP_UTF8;
    std::string ansi(text.size() * 3, '\0');
    BOOL defaulted = FALSE;
    const wchar_t* const wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, static_cast<int>(text.size()),
                                         &ansi[0], static_cast<int>(ansi.size()), nullptr, utf8 ? nullptr : &defaulted);
    if ((size <= 0 && !text.empty()) || defaulted)
        return std::nullopt;
    ansi.resize(static_cast<size_t>(size < 0 ? 0 : size));
    return ansi;
}

static const char* OrNull(const Text& text) { return text ? text->c_str() : nullptr; }

void LaunchFromCommandLine(const char* tail)
{
    std::optional<LaunchRequest> request = DecideLaunch(tail ? Text(tail) : Text(), AnsiFromUtf16);
    if (!request)
        return;
    ShellExecuteA(nullptr, "open", OrNull(request->program), OrNull(request->parameters), OrNull(request->directory),
                  SW_SHOW);
}
