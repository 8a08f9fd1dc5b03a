#include "launch.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
using FileStatus = struct _stati64;
const auto Status = _fstati64;
const auto Seek = _lseeki64;
constexpr int kOpenFlags = O_RDONLY | O_BINARY | O_NOINHERIT;
#else
#include <unistd.h>
using FileStatus = struct stat;
const auto Status = fstat;
const auto Seek = lseek;
// O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
#endif

namespace {

constexpr size_t kChunk = 64 * 1024;
enum Encoding { kBytes, kUtf8, kUtf16LE, kUtf16BE };

// Fills buf with len bytes, fewer only where the file ends; -1 on an error.
long long ReadUpTo(int fd, char* buf, unsigned long long len)
{
    unsigned long long done = 0;
    for (long long got = 1; done < len && got > 0; done += static_cast<unsigned long long>(got))
        if ((got = read(fd, buf + done, static_cast<unsigned>(std::min(len - done, 1ull << 30)))) < 0)
            return -1;
    return static_cast<long long>(done);
}

// Where line n's value lies, in units (bytes, UTF-16 code units) into the text.
struct Where {
    unsigned long line = 0; // line ends passed
    bool found = false, done = false, cr = false; // cr: the value so far ends in CR
    unsigned long long start = 0, length = 0;
};

template <class Unit>
const Unit* Find(const Unit* p, const Unit* end, int unit)
{
    const Unit* at = std::char_traits<Unit>::find(p, static_cast<size_t>(end - p), static_cast<Unit>(unit));
    return at ? at : end;
}

// The text rules over one stretch of units, `at` units into the text: an LF
// ends a line and is no part of it, nor is the CR of a CR LF; a NUL ends the
// value; a Ctrl-Z ends the text.
template <class Unit>
void Locate(const Unit* p, const Unit* end, unsigned long long at, unsigned long n, Where& w)
{
    const Unit* const first = p;
    const Unit* z = Find(p, end, 0x1A);
    for (const Unit* lf; w.line < n && p < z; p = lf == z ? z : lf + 1)
        w.line += (lf = Find(p, z, '\n')) != z;
    if (w.line == n && p < z) {
        if (!w.found)
            w.found = true, w.start = at + static_cast<unsigned long long>(p - first);
        const Unit* lf = Find(p, z, '\n');
        const Unit* stop = Find(p, lf, 0);
        const bool cr = stop > p ? stop[-1] == '\r' : w.cr;
        w.length += static_cast<unsigned long long>(stop - p) - (stop == lf && lf != z && cr);
        w.done = stop != z;
        w.cr = cr;
    }
    w.done = w.done || z != end;
}

// UTF-16 bytes as code units; a lone byte at the end is a unit of its own.
size_t Units(const unsigned char* s, size_t n, bool bigEndian, char16_t* out)
{
    for (size_t i = 0; i < n; i += 2)
        out[i / 2] = static_cast<char16_t>(i + 1 == n ? 0xDC00 : bigEndian ? s[i] << 8 | s[i + 1] : s[i + 1] << 8 | s[i]);
    return (n + 1) / 2;
}

// Decodes strictly as far as whole characters go (all when atEnd): the bytes
// used, or -1 for a bad byte, an overlong form or a surrogate out of its pair.
long long Decode(Encoding e, const unsigned char* s, size_t n, bool atEnd, std::u16string& out)
{
    static const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
    size_t i = 0, len = 0;
    for (unsigned long cp = 0; i < n; i += len) {
        if (e != kUtf8) {
            char16_t u[2];
            len = Units(s + i, std::min<size_t>(n - i, 4), e == kUtf16BE, u) > 1 && (u[0] & 0xFC00) == 0xD800 ? 4 : 2;
            if (i + len > n)
                break;
            cp = len == 2 ? u[0] : (u[1] & 0xFC00) == 0xDC00 ? 0x10000 + ((u[0] - 0xD800) << 10) + (u[1] - 0xDC00) : 0xD800;
        } else {
            const unsigned c = s[i];
            len = c < 0x80 ? 1 : c >= 0xC2 && c < 0xE0 ? 2 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xF0 && c < 0xF5 ? 4 : 0;
            if (len == 0 || i + len > n)
                break;
            cp = len == 1 ? c : c & (0x7Fu >> len);
            for (size_t k = 1; k < len; ++k)
                cp = (s[i + k] & 0xC0) != 0x80 ? 0xD800 : cp << 6 | (s[i + k] & 0x3F);
        }
        if ((e == kUtf8 && cp < least[len]) || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
            return -1;
        if (cp >= 0x10000)
            out += static_cast<char16_t>(0xD7C0 + (cp >> 10)), cp = 0xDC00 | (cp & 0x3FF);
        out += static_cast<char16_t>(cp);
    }
    return i < n && (atEnd || len == 0 || n - i >= 4) ? -1 : static_cast<long long>(i);
}

// Second pass: reads the value's bytes, converting stretch by stretch.
Text TakeFromFile(int fd, Encoding e, unsigned long long left, AnsiConversion toAnsi, char* buf)
{
    std::string value;
    if (!Affordable(left + 1))
        return std::nullopt;
    if (e == kBytes) {
        value.resize(static_cast<size_t>(left));
        const long long got = ReadUpTo(fd, &value[0], left);
        return got < 0 ? Text() : (value.resize(static_cast<size_t>(got)), Text(std::move(value)));
    }
    value.reserve(static_cast<size_t>(left)); // no character takes more bytes in ANSI than in the file
    for (size_t kept = 0;;) {
        const unsigned long long want = std::min<unsigned long long>(left, kChunk - kept);
        const long long got = ReadUpTo(fd, buf + kept, want);
        left = got < static_cast<long long>(want) ? 0 : left - want;
        std::u16string units;
        const long long used = got < 0 ? -1 : Decode(e, reinterpret_cast<unsigned char*>(buf), kept + static_cast<size_t>(got), left == 0, units);
        const Text ansi = used < 0 ? Text() : toAnsi(units);
        if (!ansi)
            return std::nullopt;
        value += *ansi;
        std::memmove(buf, buf + used, kept = kept + static_cast<size_t>(got - used));
        if (left == 0)
            return value;
    }
}

} // namespace

bool Affordable(unsigned long long bytes)
{
    void* probe = bytes < static_cast<size_t>(-1) ? std::malloc(static_cast<size_t>(bytes)) : nullptr;
    std::free(probe);
    return probe != nullptr;
}

// Line n is found in a first pass that keeps only the stretch at hand, and
// read in a second: its value is held once, in room of its size, however long.
Text ReadRunFileLine(const Text& path, unsigned long n, AnsiConversion toAnsi)
{
    const int fd = path ? open(path->c_str(), kOpenFlags) : -1;
    if (fd < 0)
        return std::nullopt;
    struct Closer { int fd; ~Closer() { close(fd); } } closer{fd};
    // Only what is there at open is read: a growing file cannot keep the
    // reader busy. Nor can a pipe or a device, which are no run files.
    FileStatus st;
    if (Status(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    const long long size = st.st_size;
    char buf[kChunk];
    char16_t units[kChunk / 2];
    Encoding e = kBytes;
    long long mark = 0, width = 1, at = 0, got = 1;
    Where w;
    for (; at < size && !w.done && got > 0; at += got) {
        if ((got = ReadUpTo(fd, buf, static_cast<unsigned long long>(std::min<long long>(size - at, kChunk)))) < 0)
            return std::nullopt;
        const std::string head(buf, at == 0 ? static_cast<size_t>(std::min(got, 3ll)) : 0);
        if (at == 0 && (e = head == "\xEF\xBB\xBF" ? kUtf8 : !head.find("\xFF\xFE") ? kUtf16LE : !head.find("\xFE\xFF") ? kUtf16BE : kBytes))
            mark = e == kUtf8 ? 3 : 2, width = e == kUtf8 ? 1 : 2;
        const long long from = at == 0 ? mark : 0, offset = (at + from - mark) / width;
        if (width == 1)
            Locate(buf + from, buf + got, static_cast<unsigned long long>(offset), n, w);
        else
            Locate(units, units + Units(reinterpret_cast<unsigned char*>(buf + from), static_cast<size_t>(got - from), e == kUtf16BE, units), static_cast<unsigned long long>(offset), n, w);
    }
    if (mark == size)
        return std::string(); // no text at all: every line is empty
    const long long start = mark + static_cast<long long>(w.start) * width, length = static_cast<long long>(w.length) * width;
    if (w.found && e == kBytes && start >= at - got && start + length <= at)
        return std::string(buf + (start - (at - got)), static_cast<size_t>(length)); // all in the stretch at hand
    const bool there = w.found && Seek(fd, start, SEEK_SET) == start;
    return there ? TakeFromFile(fd, e, static_cast<unsigned long long>(length), toAnsi, buf) : Text();
}

// Code page 1252 as Windows has it: 0x80..0x9F hold these characters, the
// other bytes the code points of their own number.
Text Cp1252FromUtf16(const std::u16string& text)
{
    static const char16_t high[] = u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D"
                                   u"\u017D\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u009D\u017E\u0178";
    std::string ansi;
    for (const char16_t c : text) {
        const char16_t* at = c < 0x80 || (c >= 0xA0 && c <= 0xFF) ? nullptr : std::find(high, high + 32, c);
        if (at == high + 32)
            return std::nullopt;
        ansi += static_cast<char>(at ? 0x80 + (at - high) : c);
    }
    return ansi;
}
