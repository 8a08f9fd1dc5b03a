// The one place where the launch decision reaches the Windows shell.
#pragma once

#include "launch.h"

// Decides the launch for a command-line tail and hands the request, if any,
// to the shell's "open" verb. Nothing is reported; the shell's answer is not
// looked at.
void LaunchFromCommandLine(const char* tail);

// The ANSI code page's lead bytes, for forming the tail.
bool AnsiLeadByte(unsigned char byte);
// Run-file text in the ANSI code page: no best fit, no default character.
Text AnsiFromUtf16(const std::u16string& text);
