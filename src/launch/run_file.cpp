#include "launch.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
using FileStatus = struct _stati64;
const auto Status = _fstati64;
constexpr int kOpenFlags = O_RDONLY | O_BINARY | O_NOINHERIT;
#else
#include <unistd.h>
using FileStatus = struct stat;
const auto Status = fstat;
// O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
#endif

namespace {

constexpr size_t kChunk = 64 * 1024;
enum Encoding { kBytes, kUtf8, kUtf16LE, kUtf16BE };

// How far the reading of line n has come.
struct Where {
    unsigned long line = 0; // line ends passed
    bool found = false, done = false, byLf = false; // byLf: an LF ended the value
};

template <class Unit>
const Unit* Find(const Unit* p, const Unit* end, int unit)
{
    const Unit* at = std::char_traits<Unit>::find(p, static_cast<size_t>(end - p), static_cast<Unit>(unit));
    return at ? at : end;
}

// The text rules over one stretch of units: an LF ends a line and is no part
// of it (the caller drops the CR of a CR LF); a NUL ends the value; a Ctrl-Z
// ends the text. Gives the part of line n's value in the stretch.
template <class Unit>
std::pair<const Unit*, const Unit*> Locate(const Unit* p, const Unit* end, unsigned long n, Where& w)
{
    const Unit* z = Find(p, end, 0x1A);
    for (const Unit* lf; w.line < n && p < z; p = lf == z ? z : lf + 1)
        w.line += (lf = Find(p, z, '\n')) != z;
    w.done = z != end;
    if (w.line < n || p == z)
        return {p, p};
    const Unit* lf = Find(p, z, '\n');
    const Unit* stop = Find(p, lf, 0);
    w.found = true;
    w.done = w.done || stop != z;
    w.byLf = stop == lf && lf != z;
    return {p, stop};
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

// The part of line n's value that lies in a stretch of the file's bytes.
std::string_view ValuePart(Encoding e, const char* s, const char* end, unsigned long n, Where& w)
{
    if (e != kUtf16LE && e != kUtf16BE) {
        const auto [p, q] = Locate(s, end, n, w);
        return {p, static_cast<size_t>(q - p)};
    }
    char16_t units[kChunk / 2];
    const size_t count = Units(reinterpret_cast<const unsigned char*>(s), static_cast<size_t>(end - s), e == kUtf16BE, units);
    const auto [p, q] = Locate(units, units + count, n, w);
    const char* from = s + 2 * (p - units);
    return {from, static_cast<size_t>(std::min(2 * (q - p), end - from))};
}

// Appends to the value in room that doubles, but never beyond `most`, the
// most the value can come to. The room is asked for first: built without
// exceptions, a failed allocation would end the process.
bool Append(std::string& value, std::string_view part, unsigned long long most)
{
    if (value.size() + part.size() > value.capacity()) {
        const unsigned long long room = std::max<unsigned long long>(value.size() + part.size(), std::min(2ull * value.capacity(), most));
        if (!Affordable(room + 1))
            return false;
        std::string bigger;
        bigger.reserve(static_cast<size_t>(room));
        value.swap(bigger.append(value));
    }
    value.append(part);
    return true;
}

} // namespace

bool Affordable(unsigned long long bytes)
{
    void* probe = bytes < static_cast<size_t>(-1) ? std::malloc(static_cast<size_t>(bytes)) : nullptr;
    std::free(probe);
    return probe != nullptr;
}

// One pass over the file, keeping of it only the stretch at hand and the
// value (in a marked file, converted stretch by stretch).
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
    Encoding e = kBytes;
    long long mark = 0;
    std::string value, pending; // pending: the value's bytes not yet decoded
    Where w;
    for (long long at = 0, got = 1, want; at < size && !w.done && got > 0; at += got) {
        if ((got = read(fd, buf, static_cast<unsigned>(want = std::min<long long>(size - at, kChunk)))) < 0)
            return std::nullopt;
        const std::string head(buf, at == 0 ? static_cast<size_t>(std::min(got, 3ll)) : 0);
        if (at == 0 && (e = head == "\xEF\xBB\xBF" ? kUtf8 : !head.find("\xFF\xFE") ? kUtf16LE : !head.find("\xFE\xFF") ? kUtf16BE : kBytes))
            mark = e == kUtf8 ? 3 : 2;
        std::string_view part = ValuePart(e, buf + (at == 0 ? mark : 0), buf + got, n, w);
        Text ansi;
        if (e != kBytes) {
            std::u16string decoded;
            pending.append(part);
            const long long used = Decode(e, reinterpret_cast<const unsigned char*>(pending.data()), pending.size(), w.done || got < want || at + got == size, decoded);
            if (used < 0 || !(ansi = toAnsi(decoded)))
                return std::nullopt;
            pending.erase(0, static_cast<size_t>(used));
            part = *ansi;
        }
        if (!Append(value, part, value.size() + static_cast<unsigned long long>(size - at)))
            return std::nullopt;
    }
    if (mark == size)
        return std::string(); // no text at all: every line is empty
    if (w.byLf && !value.empty() && value.back() == '\r')
        value.pop_back(); // a CR LF ends the line as an LF does; a CR is ANSI 0x0D in every code page
    return w.found ? Text(std::move(value)) : Text();
}

// Code page 1252 as Windows has it: 0x80..0x9F hold these characters, the
// other bytes the code points of their own number.
Text Cp1252FromUtf16(const std::u16string& text)
{
    static const char16_t high[] = u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D"
                                   u"\u017D\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u009D\u017E\u0178";
    std::string ansi(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const char16_t* at = c < 0x80 || (c >= 0xA0 && c <= 0xFF) ? nullptr : std::find(high, high + 32, c);
        if (at == high + 32)
            return std::nullopt;
        ansi[i] = static_cast<char>(at ? 0x80 + (at - high) : c);
    }
    return ansi;
}
