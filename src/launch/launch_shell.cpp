#include "launch_shell.h"

#include <windows.h>
#include <shellapi.h>

bool AnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

Text AnsiFromUtf16(const std::u16string& text)
{
    // A UTF-8 code page converts every valid text exactly and takes no flags.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, flags, wide, length, nullptr, 0, nullptr, utf8 ? nullptr : &usedDefault);
    if (text.size() > 0x7FFFFFFF || (size <= 0 && length > 0) || usedDefault || !Affordable(size + 1ull))
        return std::nullopt;
    std::string ansi(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, flags, wide, length, &ansi[0], size, nullptr, utf8 ? nullptr : &usedDefault) != size)
        return std::nullopt;
    return usedDefault ? Text() : Text(std::move(ansi));
}

static const char* OrNull(const Text& text) { return text ? text->c_str() : nullptr; }

void LaunchFromCommandLine(const char* tail)
{
    std::optional<LaunchRequest> request = DecideLaunch(tail ? Text(tail) : Text(), AnsiFromUtf16);
    if (!request)
        return;
    ShellExecuteA(nullptr, "open", OrNull(request->program), OrNull(request->parameters),
                  OrNull(request->directory), SW_SHOW);
}
