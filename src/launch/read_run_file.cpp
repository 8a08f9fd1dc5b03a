// The run file's one way into the file system: a regular file, opened for reading, and read a stretch at a time.
#define _FILE_OFFSET_BITS 64 // NOLINT(bugprone-reserved-identifier): 32-bit builds see past 4 GiB
#include "run_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef _WIN32
constexpr int kOpenFlags = O_RDONLY | O_BINARY | O_NOINHERIT;
#else
// O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
#endif

namespace {

struct OpenFile {
    int descriptor;
    char* buffer; // room for a stretch
    unsigned long long heldFrom;
    size_t held; // bytes in the buffer, from byte heldFrom on
};

// Bytes already in the buffer are not read again: a small file is read once for a line's search and its value.
std::optional<std::string_view> ReadFromFile(void* source, unsigned long long at, size_t count)
{
    OpenFile& file = *static_cast<OpenFile*>(source);
    if (at >= file.heldFrom && at + count <= file.heldFrom + file.held)
        return std::string_view(file.buffer + static_cast<size_t>(at - file.heldFrom), count);
    const auto offset = static_cast<off_t>(at);
    file.held = 0;
    if (lseek(file.descriptor, offset, SEEK_SET) != offset ||
        read(file.descriptor, file.buffer, count) != static_cast<int>(count))
        return std::nullopt;
    file.heldFrom = at;
    file.held = count;
    return std::string_view(file.buffer, count);
}

} // namespace

Text ReadRunFileLine(const Text& path, unsigned long n, const CodePage& codePage)
{
    const int descriptor = path ? open(path->c_str(), kOpenFlags) : -1;
    if (descriptor < 0)
        return std::nullopt;
    char buffer[kStretch];
    OpenFile file = {descriptor, buffer, 0, 0};
    // Only what is there at open is read, and only from a regular file: nothing keeps it busy.
    struct stat status;
    Text line;
    if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode))
        line = LineOfRunFile({static_cast<unsigned long long>(status.st_size), ReadFromFile, &file}, n, codePage);
    close(descriptor);
    return line;
}
