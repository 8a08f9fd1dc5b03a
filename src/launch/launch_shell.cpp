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

// A double-byte character cut off at the end is invalid here (MB_ERR_INVALID_CHARS), as the reader needs it to be.
// No character of an ANSI code page takes more UTF-16 units than bytes.
std::optional<std::u16string> Utf16FromLegacy(std::string_view bytes)
{
    DWORD legacy = 0; // none where the system locale has no ANSI code page
    GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                   reinterpret_cast<char*>(&legacy), sizeof legacy);
    if (legacy == 0)
        return std::nullopt;
    const int length = static_cast<int>(bytes.size());
    std::u16string text(bytes.size(), u'\0');
    wchar_t* const wide = reinterpret_cast<wchar_t*>(&text[0]);
    const int size = length > 0 ? MultiByteToWideChar(legacy, MB_ERR_INVALID_CHARS, bytes.data(), length, wide, length)
                                : 0;
    if (size <= 0 && length > 0)
        return std::nullopt;
    text.resize(static_cast<size_t>(size));
    return text;
}

CodePage ProcessCodePage()
{
    // Run files written before the process's code page became UTF-8 are in the legacy one.
    return {AnsiLeadByte, AnsiFromUtf16, GetACP() == CP_UTF8 ? Utf16FromLegacy : nullptr};
}

static const char* OrNull(const Text& text) { return text ? text->c_str() : nullptr; }

void LaunchFromCommandLine(const char* tail)
{
    std::optional<LaunchRequest> request = DecideLaunch(tail ? Text(tail) : Text(), ProcessCodePage());
    if (!request)
        return;
    ShellExecuteA(nullptr, "open", OrNull(request->program), OrNull(request->parameters), OrNull(request->directory),
                  SW_SHOW);
}
