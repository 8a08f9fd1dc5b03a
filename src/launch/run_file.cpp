#include "launch.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
using FileSize = long long;
int OpenForReading(const char* path) { return _open(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT); }
int ReadSome(int fd, char* buf, unsigned len) { return _read(fd, buf, len); }
void Close(int fd) { _close(fd); }
// Only a regular disk file is a run file: a pipe or a device has no size to
// trust and may hand out bytes forever.
bool RegularFileSize(int fd, FileSize* size)
{
    struct _stati64 st;
    if (_fstati64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG)
        return false;
    *size = st.st_size;
    return true;
}
#else
using FileSize = long long;
// O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
int OpenForReading(const char* path) { return open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); }
int ReadSome(int fd, char* buf, unsigned len) { return static_cast<int>(read(fd, buf, len)); }
void Close(int fd) { close(fd); }
bool RegularFileSize(int fd, FileSize* size)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *size = st.st_size;
    return true;
}
#endif

constexpr unsigned kChunk = 64 * 1024;
constexpr char kCtrlZ = 0x1A;

// Makes room for a long line up front so that the value is not copied while
// it grows; says no when the memory cannot be had at all.
bool Reserve(std::string& value, unsigned long long total)
{
    if (total <= value.capacity())
        return true;
    if (total >= value.max_size() || total >= static_cast<unsigned long long>(SIZE_MAX))
        return false;
    void* probe = std::malloc(static_cast<size_t>(total) + 1);
    if (!probe)
        return false;
    std::free(probe);
    value.reserve(static_cast<size_t>(total));
    return true;
}

struct FileCloser {
    int fd;
    ~FileCloser() { Close(fd); }
};

} // namespace

// The file is read as text by the reader's own rules, the same on every
// platform: CR LF reads as LF, a lone CR stays, Ctrl-Z ends the readable
// text, a NUL ends the value, and no line has a length limit. The reading
// streams through one buffer, so memory stays at the value plus that buffer.
Text ReadRunFileLine(const Text& path, unsigned long n)
{
    if (!path)
        return std::nullopt;
    int fd = OpenForReading(path->c_str());
    if (fd < 0)
        return std::nullopt;
    FileCloser closer{fd};

    FileSize size = 0;
    if (!RegularFileSize(fd, &size) || size < 0)
        return std::nullopt;
    if (size == 0)
        return std::string(); // an empty file gives an empty value for every line

    // Only the bytes that were there when the file was opened are read, so a
    // file that keeps growing cannot keep the reader busy.
    unsigned long long remaining = static_cast<unsigned long long>(size);
    unsigned long line = 0;
    bool inLine = false; // some of line n has been read
    bool nulSeen = false;
    std::string value;
    char buf[kChunk];

    while (remaining > 0) {
        unsigned want = remaining < kChunk ? static_cast<unsigned>(remaining) : kChunk;
        int got = ReadSome(fd, buf, want);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        remaining -= static_cast<unsigned>(got);

        const char* p = buf;
        const char* end = buf + got;
        bool endOfText = false;
        if (const char* z = static_cast<const char*>(std::memchr(p, kCtrlZ, end - p))) {
            end = z;
            endOfText = true;
        }

        while (line < n && p < end) {
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
            if (!lf) {
                p = end;
                break;
            }
            p = lf + 1;
            ++line;
        }

        if (line == n && p < end) {
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
            const char* stop = lf ? lf : end;
            if (!inLine && !lf && !endOfText && !Reserve(value, (stop - p) + remaining))
                return std::nullopt;
            inLine = true;
            if (!nulSeen) {
                const char* nul = static_cast<const char*>(std::memchr(p, '\0', stop - p));
                value.append(p, nul ? nul : stop);
                nulSeen = nul != nullptr;
            }
            if (lf) {
                // The CR of a CR LF pair is part of the line end, not the value.
                if (!nulSeen && !value.empty() && value.back() == '\r')
                    value.pop_back();
                return value;
            }
        }
        if (endOfText)
            break;
    }
    if (inLine)
        return value;
    return std::nullopt;
}
