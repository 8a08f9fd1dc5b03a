#define _FILE_OFFSET_BITS 64 // NOLINT(bugprone-reserved-identifier): 32-bit builds see past 4 GiB
#include "launch.h"

#include <algorithm>
#include <cstdlib>
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

constexpr size_t kChunk = 64 * 1024;
enum Encoding { kBytes, kUtf8, kUtf16LE, kUtf16BE };
constexpr std::string_view kMarks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};

// The search for line n in a text fed stretch by stretch, and where its
// value lies, in bytes from the text's start.
struct Search {
    unsigned long n, line = 0; // line: line ends passed
    Encoding e = kBytes;
    unsigned long long fed = 0, start = 0, length = 0;
    bool found = false, done = false, cr = false; // cr: the value so far ends in CR
};

// The text rules over units (bytes, UTF-16 code units) from byte `at` on: an
// LF ends a line and is no part of it, nor is the CR of a CR LF; a NUL ends
// the value; a Ctrl-Z ends the text.
template <class Unit>
void Locate(std::basic_string_view<Unit> text, unsigned long long at, Search& s)
{
    const auto find = [&](Unit unit, size_t from, size_t to) { // `to` where none is before it
        return std::min(text.substr(0, to).find(unit, from), to);
    };
    const size_t z = find(0x1A, 0, text.size());
    size_t p = 0;
    for (size_t lf = 0; s.line < s.n && p < z; p = lf == z ? z : lf + 1) {
        lf = find('\n', p, z);
        s.line += lf != z;
    }
    if (s.line == s.n && p < z) {
        if (!s.found)
            s.start = at + p * sizeof(Unit);
        s.found = true;
        const size_t lf = find('\n', p, z);
        const size_t stop = find(0, p, lf);
        const bool cr = stop > p ? text[stop - 1] == '\r' : s.cr;
        s.length += (stop - p) * sizeof(Unit);
        s.length -= (stop == lf && lf != z && cr) * sizeof(Unit); // the CR of a CR LF
        s.done = stop != z;
        s.cr = cr;
    }
    s.done = s.done || z != text.size();
}

// UTF-16 bytes as code units; a lone byte at the end is a unit of its own,
// never a valid one.
size_t Units(const unsigned char* s, size_t n, bool bigEndian, char16_t* out)
{
    for (size_t i = 0; i + 1 < n; i += 2)
        out[i / 2] = static_cast<char16_t>(bigEndian ? s[i] << 8 | s[i + 1] : s[i + 1] << 8 | s[i]);
    if (n % 2 != 0)
        out[n / 2] = 0xDC00;
    return (n + 1) / 2;
}

// Pass one over the next stretch of the text's bytes; the first stretch is
// the text's first 64 KiB, or all of it.
void Feed(Search& s, const char* bytes, size_t n)
{
    const unsigned long long at = s.fed; // where the stretch begins
    const std::string_view head(bytes, std::min<size_t>(n, 3));
    for (const Encoding e : {kUtf8, kUtf16LE, kUtf16BE})
        if (at == 0 && head.substr(0, kMarks[e].size()) == kMarks[e])
            s.e = e;
    const size_t mark = at == 0 ? kMarks[s.e].size() : 0;
    s.found = s.found || (at == 0 && n == mark); // a text of no characters has every line, empty
    s.fed += n;
    if (s.e < kUtf16LE) {
        Locate(std::string_view(bytes + mark, n - mark), at + mark, s);
        return;
    }
    const unsigned char* const u = reinterpret_cast<const unsigned char*>(bytes);
    char16_t units[kChunk / 2];
    for (size_t i = mark; i < n && !s.done; i += kChunk) {
        const size_t piece = std::min(n - i, kChunk);
        Locate(std::u16string_view(units, Units(u + i, piece, s.e == kUtf16BE, units)), at + i, s);
    }
    s.length = std::min(s.length, s.fed - s.start); // a lone last byte is half a unit
}

// The character at s, n bytes there, as UTF-16 code units onto out: its
// length, 0 where it is invalid (a bad byte, an overlong form, a surrogate
// out of its pair), more than n where it is cut off.
size_t Character(Encoding e, const unsigned char* s, size_t n, std::u16string& out)
{
    static const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (e != kUtf8) {
        char16_t u[2];
        Units(s, std::min<size_t>(n, 4), e == kUtf16BE, u);
        const bool high = (u[0] & 0xFC00) == 0xD800;
        if (high && n < 4)
            return 4; // its pair may come with the next stretch
        const bool pair = high && (u[1] & 0xFC00) == 0xDC00;
        if (!pair && (u[0] & 0xF800) == 0xD800)
            return 0; // a surrogate out of its pair
        out.append(u, pair ? 2 : 1);
        return pair ? 4 : 2;
    }
    const unsigned c = s[0];
    const size_t len = c < 0x80 ? 1 : c < 0xC2 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 0;
    if (len == 0 || len > n)
        return len;
    unsigned long cp = len == 1 ? c : c & (0x7Fu >> len);
    for (size_t k = 1; k < len; ++k) {
        if ((s[k] & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (s[k] & 0x3Fu);
    }
    if (cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
        return 0;
    if (cp >= 0x10000)
        out += static_cast<char16_t>(0xD7C0 + (cp >> 10));
    out += static_cast<char16_t>(cp >= 0x10000 ? 0xDC00 | (cp & 0x3FF) : cp);
    return len;
}

// Pass two over a stretch of the value's bytes, `unread` more to come:
// decoded as far as whole characters go, converted, and added to the value.
// The bytes used, or -1 where the value is absent.
long long Convert(Encoding e, const char* bytes, size_t n, unsigned long long unread,
                  AnsiConversion toAnsi, std::string& value)
{
    const unsigned char* const s = reinterpret_cast<const unsigned char*>(bytes);
    std::u16string units;
    size_t i = e == kBytes ? n : 0; // bytes go as they are
    while (i < n) {
        const size_t len = Character(e, s + i, n - i, units);
        if (len > n - i && unread > 0)
            break; // the rest comes with the next stretch
        if (len == 0 || len > n - i)
            return -1;
        i += len;
    }
    const Text ansi = e == kBytes ? Text() : toAnsi(units);
    if (e != kBytes && !ansi)
        return -1;
    const std::string_view more = ansi ? std::string_view(*ansi) : std::string_view(bytes, n);
    // Room is asked for first: under a UTF-8 code page, a UTF-16 value takes
    // up to half as much again as in the file.
    if (more.size() > value.capacity() - value.size()) {
        const unsigned long long room = value.size() + more.size() + unread / 2 * 3;
        if (!Affordable(room + 1))
            return -1;
        std::string larger;
        larger.reserve(static_cast<size_t>(room));
        larger += value;
        value.swap(larger);
    }
    value += more;
    return static_cast<long long>(i);
}

} // namespace

bool Affordable(unsigned long long bytes)
{
    const bool addressable = bytes < static_cast<size_t>(-1);
    void* probe = addressable ? std::malloc(static_cast<size_t>(bytes)) : nullptr;
    std::free(probe);
    return probe != nullptr;
}

Text RunFileLine(std::string_view text, unsigned long n, AnsiConversion toAnsi)
{
    Search s{n};
    Feed(s, text.data(), text.size());
    std::string value;
    const size_t length = static_cast<size_t>(s.length);
    if (!s.found || Convert(s.e, text.data() + s.start, length, 0, toAnsi, value) < 0)
        return std::nullopt;
    return value;
}

// Line n is found in a first pass that keeps only the stretch at hand, and
// read in a second: its value is held once, in room of its size, however
// long. A regular file gives every byte asked for, up to its end.
Text ReadRunFileLine(const Text& path, unsigned long n, AnsiConversion toAnsi)
{
    const int fd = path ? open(path->c_str(), kOpenFlags) : -1;
    if (fd < 0)
        return std::nullopt;
    struct Closer { int fd; ~Closer() { close(fd); } } closer{fd};
    // Only what is there at open is read: a growing file cannot keep the
    // reader busy. Nor can a pipe or a device, which are no run files.
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    const unsigned long long size = static_cast<unsigned long long>(st.st_size);
    char buf[kChunk];
    Search s{n};
    long long got = 0;
    do {
        const unsigned long long left = size - s.fed;
        got = read(fd, buf, static_cast<unsigned>(std::min<unsigned long long>(left, kChunk)));
        if (got < 0)
            return std::nullopt;
        Feed(s, buf, static_cast<size_t>(got));
    } while (got > 0 && s.fed < size && !s.done);
    if (s.fed == static_cast<unsigned long long>(got)) // the search ended in the first stretch
        return RunFileLine(std::string_view(buf, static_cast<size_t>(got)), n, toAnsi);
    // Pass two: the value's bytes read again stretch by stretch, each from the
    // first byte the last one left unused, and converted into room of their size.
    std::string value;
    if (!s.found || !Affordable(s.length + 1))
        return std::nullopt;
    value.reserve(static_cast<size_t>(s.length));
    for (unsigned long long done = 0; done < s.length;) {
        const off_t at = static_cast<off_t>(s.start + done);
        const unsigned long long left = s.length - done;
        const unsigned want = static_cast<unsigned>(std::min<unsigned long long>(left, kChunk));
        if (lseek(fd, at, SEEK_SET) != at || read(fd, buf, want) != static_cast<long long>(want))
            return std::nullopt;
        const long long used = Convert(s.e, buf, want, left - want, toAnsi, value);
        if (used <= 0)
            return std::nullopt;
        done += static_cast<unsigned long long>(used);
    }
    return value;
}

// Code page 1252 as Windows has it: 0x80..0x9F hold these characters, the
// other bytes the code points of their own number.
Text Cp1252FromUtf16(const std::u16string& text)
{
    static const char16_t high[] =
        u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D"
        u"\u017D\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A"
        u"\u0153\u009D\u017E\u0178";
    std::string ansi;
    for (const char16_t c : text) {
        const bool own = c < 0x80 || (c >= 0xA0 && c <= 0xFF);
        const char16_t* at = own ? nullptr : std::find(high, high + 32, c);
        if (at == high + 32)
            return std::nullopt;
        ansi += static_cast<char>(at ? 0x80 + (at - high) : c);
    }
    return ansi;
}
