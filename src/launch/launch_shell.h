// The one place where the launch decision reaches the Windows shell, and the code page it decides in.
#pragma once

#include "launch.h"

// Hands the launch decision for a tail to the shell's "open" verb; nothing is reported, the answer not looked at.
void LaunchFromCommandLine(const char* tail);

// The ANSI code page's lead bytes, for forming the tail.
bool AnsiLeadByte(unsigned char byte);
// Run-file text in the ANSI code page: no best fit, no default character.
Text AnsiFromUtf16(const std::u16string& text);
// Text in the system's legacy ANSI code page (the system locale's), exactly, whatever the process's code page.
std::optional<std::u16string> Utf16FromLegacy(std::string_view bytes);
// The process's ANSI code page as the launch rules need it; with a legacy one to decode where it is UTF-8.
CodePage ProcessCodePage();
