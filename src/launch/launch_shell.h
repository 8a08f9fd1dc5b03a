// The one place where the launch decision reaches the Windows shell.
#pragma once

// Decides the launch for a command-line tail and hands the request, if any,
// to the shell's "open" verb. Nothing is reported; the shell's answer is not
// looked at.
void LaunchFromCommandLine(const char* tail);

// The ANSI code page's lead bytes, for forming the tail.
bool AnsiLeadByte(unsigned char byte);
