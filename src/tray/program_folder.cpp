#include "program_folder.h"

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
