// The run-file reader as it was before byte-order marks: a copy kept for
// bench/run-reader only, which measures it beside today's reader in one run.
// Not part of the program.
#include "launch.h"

Text BaselineReadRunFileLine(const Text& path, unsigned long n);

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
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
bool SeekTo(int fd, FileSize offset) { return _lseeki64(fd, offset, SEEK_SET) == offset; }
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
bool SeekTo(int fd, FileSize offset) { return lseek(fd, static_cast<off_t>(offset), SEEK_SET) == offset; }
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
// The most room a long line may be given that its value may turn out not to
// need.
constexpr unsigned long long kMostSpareRoom = 16 * kChunk;

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

// How many bytes, from the reading position on, there are before a value
// ends at an LF, a NUL, a Ctrl-Z or the end of what is left. Reads through
// buf.
unsigned long long ValueLength(int fd, char* buf, unsigned long long remaining)
{
    unsigned long long length = 0;
    while (remaining > 0) {
        unsigned want = remaining < kChunk ? static_cast<unsigned>(remaining) : kChunk;
        int got = ReadSome(fd, buf, want);
        if (got <= 0)
            break;
        remaining -= static_cast<unsigned>(got);
        const char* end = buf + got;
        for (char stopper : {'\n', '\0', kCtrlZ})
            if (const char* at = static_cast<const char*>(std::memchr(buf, stopper, end - buf)))
                end = at;
        length += static_cast<unsigned long long>(end - buf);
        if (end != buf + got)
            break;
    }
    return length;
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
Text BaselineReadRunFileLine(const Text& path, unsigned long n)
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
    bool inLine = false; // some of line n has been read, or room made for it
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
            // Nothing after a NUL changes the value, so the rest of its line
            // need not be read at all.
            if (const char* nul = static_cast<const char*>(std::memchr(p, '\0', stop - p))) {
                value.append(p, nul);
                return value;
            }
            // A line that runs on past the buffer gets its room made once, so
            // that the value is never copied as it grows. The rest of the
            // file bounds its length: room for that much is made when little
            // of it can go unused. Otherwise, or when that much memory cannot
            // be had, the value is measured by reading on to its end, and the
            // line is read again into room of just its size; only the value
            // and what ends it are read again, so that a file changing
            // meanwhile cannot make the value outgrow its room.
            if (!inLine && !lf && !endOfText &&
                (remaining > kMostSpareRoom || !Reserve(value, static_cast<unsigned long long>(stop - p) + remaining))) {
                const FileSize lineStart = (size - static_cast<FileSize>(remaining)) - (got - (p - buf));
                const unsigned long long length = static_cast<unsigned long long>(stop - p) + ValueLength(fd, buf, remaining);
                if (!Reserve(value, length + 1) || !SeekTo(fd, lineStart))
                    return std::nullopt;
                remaining = std::min(static_cast<unsigned long long>(size - lineStart), length + 1);
                inLine = true;
                continue;
            }
            inLine = true;
            value.append(p, stop);
            if (lf) {
                // The CR of a CR LF pair is part of the line end, not the value.
                if (!value.empty() && value.back() == '\r')
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
