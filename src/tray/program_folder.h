// The folder part of the starter's own path. The split is pure, so that it
// builds and is tested natively as well as in the Windows build; asking
// Windows for the path is the Windows build's alone.
#pragma once

#include "launch.h"

#include <string>

// Everything of a full path up to and including its last separator (a
// backslash or a forward slash), drive designation or network server and
// share included: the folder to which a relative name is appended directly.
// A path with no separator gives its drive designation ("C:"), if any, or
// nothing. The second byte of a double-byte character is never taken for a
// separator. The folder is never cut, whatever its length.
std::string SplitProgramFolder(const std::string& path, LeadBytePredicate isLeadByte);

#ifdef _WIN32
#include <windows.h>

// The folder of the module's executable file, ending in a separator, with
// its drive designation; absent if the path cannot be had.
Text ProgramFolder(HMODULE module);
#endif
