#include "program_folder.h"

#ifdef _WIN32
#include "launch_shell.h"
#endif

std::string SplitProgramFolder(const std::string& path, LeadBytePredicate isLeadByte)
{
    // "C:name" has no separator but still names a folder: the current one of
    // drive C, so the drive stays in front of whatever is appended.
    size_t end = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (isLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size())
            ++i; // the trail byte may have a backslash's value
        else if (path[i] == '\\' || path[i] == '/')
            end = i + 1;
    }
    return path.substr(0, end);
}

#ifdef _WIN32
Text ProgramFolder(HMODULE module)
{
    // The path may be longer than MAX_PATH; a buffer that was too small comes
    // back full, so it grows until the path fits.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD got = GetModuleFileNameA(module, &path[0], static_cast<DWORD>(path.size()));
        if (got == 0)
            return std::nullopt;
        if (got < path.size()) {
            path.resize(got);
            return SplitProgramFolder(path, AnsiLeadByte);
        }
        if (path.size() > 256 * 1024) // beyond any path Windows can hold
            return std::nullopt;
        path.resize(path.size() * 2);
    }
}
#endif
