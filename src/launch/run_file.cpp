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

constexpr unsigned long long kChunk = 64ull * 1024;
enum Encoding { kBytes, kUtf8, kUtf16LE, kUtf16BE };
constexpr std::string_view kMarks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};

// The search for line n in a text fed stretch by stretch: where its value lies, in bytes.
struct Search {
    unsigned long long n, line = 0, start = 0, length = 0; // line: line ends passed
    bool found = false, done = false, cr = false;          // cr: the value so far ends in CR
};

// The text rules over a stretch of units (bytes or UTF-16 code units) at byte `at`: an LF ends a
// line and is no part of it, nor is the CR of a CR LF; a NUL ends the value; a Ctrl-Z the text.
template <class Unit>
void Locate(std::basic_string_view<Unit> text, unsigned long long at, Search& s)
{
    constexpr unsigned long long width = sizeof(Unit);
    const size_t z = std::min(text.find(Unit{0x1A}), text.size());
    for (size_t p = 0; p < z && !s.done;) {
        const size_t lf = std::min(text.find(Unit{'\n'}, p), z);
        if (s.line == s.n) {
            s.start = s.found ? s.start : at + p * width;
            s.found = true;
            const size_t stop = std::min(text.find(Unit{0}, p), lf);
            s.cr = stop > p ? text[stop - 1] == '\r' : s.cr;
            s.length += (stop - p) * width;
            s.length -= (stop == lf && lf < z && s.cr) * width; // the CR of a CR LF
            s.done = stop < z;
        }
        s.line += lf < z;
        p = lf + 1;
    }
    s.done = s.done || z < text.size();
}

// UTF-16 bytes as code units; a lone byte at the end is a unit of its own, never a valid one.
std::u16string_view Units(const void* bytes, size_t n, bool bigEndian, char16_t* out)
{
    const auto* const s = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i + 1 < n; i += 2)
        out[i / 2] = static_cast<char16_t>(bigEndian ? s[i] << 8 | s[i + 1] : s[i + 1] << 8 | s[i]);
    if (n % 2 != 0)
        out[n / 2] = 0xDC00;
    return std::u16string_view(out, (n + 1) / 2);
}

// The character at s, n bytes there, onto out as UTF-16: its length, 0 where it is invalid (a bad
// byte, an overlong form, a surrogate out of its pair), more than n where it is cut off.
size_t Character(Encoding e, const unsigned char* s, size_t n, std::u16string& out)
{
    static const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (e != kUtf8) {
        char16_t u[2];
        Units(s, std::min<size_t>(n, 4), e == kUtf16BE, u);
        const size_t len = (u[0] & 0xFC00) == 0xD800 ? 4 : 2; // a high surrogate and its pair
        if (len > n)
            return len;
        if (len == 4 ? (u[1] & 0xFC00) != 0xDC00 : (u[0] & 0xFC00) == 0xDC00)
            return 0;
        out.append(u, len / 2);
        return len;
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

// Pass two over a stretch of the value's bytes, `unread` more to come: decoded as far as whole
// characters go, converted, and added to the value. The bytes used, or -1: the value is absent.
long long Convert(std::string& value, Encoding e, std::string_view bytes, unsigned long long unread,
                  AnsiConversion toAnsi)
{
    const auto* const s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    std::u16string units;
    size_t i = e == kBytes ? n : 0; // bytes go as they are
    for (size_t len = 0; i < n; i += len) {
        len = Character(e, s + i, n - i, units);
        if (len > n - i && unread > 0)
            break; // the rest comes with the next stretch
        if (len == 0 || len > n - i)
            return -1;
    }
    const Text ansi = e == kBytes ? Text() : toAnsi(units);
    if (e != kBytes && !ansi)
        return -1;
    const std::string_view more = ansi ? std::string_view(*ansi) : bytes;
    // Room is asked for first: under a UTF-8 code page, a UTF-16 value takes up to half as much
    // again as in the file. A fresh string gets just that room, where reserve() could double it.
    if (more.size() > value.capacity() - value.size()) {
        const unsigned long long room = value.size() + more.size() + unread / 2 * 3;
        if (!Affordable(room + 1))
            return -1;
        std::string larger;
        larger.reserve(static_cast<size_t>(room));
        value = std::move(larger.append(value));
    }
    value += more;
    return static_cast<long long>(i);
}

// Line n of a text of `size` bytes, `want` of which read(at, want) gives from byte `at` on, or
// none: found in a first pass, then read in a second into room of its size, held once however long.
template <class Read>
Text Line(unsigned long long size, unsigned long n, AnsiConversion toAnsi, Read read)
{
    std::optional<std::string_view> got; // the stretch at hand, from byte `from` on
    unsigned long long from = 0;
    const auto take = [&](unsigned long long at, size_t want) { // read only what is not at hand
        const bool inHand = got && at >= from && at + want <= from + got->size();
        got = inHand ? got->substr(static_cast<size_t>(at - from), want) : read(at, want);
        from = at;
        return got.has_value();
    };
    if (!take(0, static_cast<size_t>(std::min(size, kChunk))))
        return std::nullopt;
    Encoding e = kBytes;
    for (const Encoding marked : {kUtf8, kUtf16LE, kUtf16BE})
        if (got->substr(0, kMarks[marked].size()) == kMarks[marked])
            e = marked;
    Search s{n};
    s.found = size == kMarks[e].size(); // a text of no characters has every line, empty
    char16_t units[kChunk / 2];
    for (unsigned long long at = kMarks[e].size(); at < size && !s.done; at += kChunk) {
        if (!take(at, static_cast<size_t>(std::min(size - at, kChunk))))
            return std::nullopt;
        if (e < kUtf16LE)
            Locate(*got, at, s);
        else
            Locate(Units(got->data(), got->size(), e == kUtf16BE, units), at, s);
    }
    s.length = std::min(s.length, size - s.start); // a lone last byte is half a unit
    if (!s.found || !Affordable(s.length + 1))
        return std::nullopt;
    std::string value;
    value.reserve(static_cast<size_t>(s.length));
    for (unsigned long long done = 0; done < s.length;) {
        const size_t want = static_cast<size_t>(std::min(s.length - done, kChunk));
        const bool there = take(s.start + done, want);
        const long long used = there ? Convert(value, e, *got, s.length - done - want, toAnsi) : -1;
        if (used <= 0)
            return std::nullopt;
        done += static_cast<unsigned long long>(used);
    }
    return value;
}

} // namespace

bool Affordable(unsigned long long size)
{
    void* probe = size < static_cast<size_t>(-1) ? std::malloc(static_cast<size_t>(size)) : nullptr;
    std::free(probe);
    return probe != nullptr;
}

Text RunFileLine(std::string_view text, unsigned long n, AnsiConversion toAnsi)
{
    return Line(text.size(), n, toAnsi, [text](unsigned long long at, size_t want) {
        return std::optional<std::string_view>(text.substr(static_cast<size_t>(at), want));
    });
}

Text ReadRunFileLine(const Text& path, unsigned long n, AnsiConversion toAnsi)
{
    const int fd = path ? open(path->c_str(), kOpenFlags) : -1;
    if (fd < 0)
        return std::nullopt;
    char buf[kChunk];
    const auto stretch = [fd, &buf](off_t at, size_t want) -> std::optional<std::string_view> {
        if (lseek(fd, at, SEEK_SET) != at || read(fd, buf, want) != static_cast<int>(want))
            return std::nullopt;
        return std::string_view(buf, want);
    };
    // Only what is there at open is read, and only from a regular file: nothing keeps it busy.
    struct stat st;
    Text line;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        line = Line(static_cast<unsigned long long>(st.st_size), n, toAnsi, stretch);
    close(fd);
    return line;
}

// Code page 1252 as Windows has it: 0x80..0x9F hold these, the other bytes their own code points.
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
