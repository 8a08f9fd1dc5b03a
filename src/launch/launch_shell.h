// The one place where the launch decision reaches the Windows shell.
#pragma once

#include "launch.h"

// Hands the launch decision for a tail to the shell's "open" verb; nothing is reported, the answer not looked at.
void LaunchFromCommandLine(const char* tail);

// The ANSI code page's lead bytes, for forming the tail.
bool AnsiLeadByte(unsigned char byte);
// Run-file text in the ANSI code page: no best fit, no default character.
Text AnsiFromUtf16(const std::u16string& text);
