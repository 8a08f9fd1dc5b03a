// What the fuzz targets share beside the tests' own support: a failed check
// that libFuzzer sees as a crash, tests of a string's start and end, a
// scratch folder, and plain models of the run file's text rules and the
// command line's tokens to compare the code against.
#pragma once

#include "support.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <iconv.h>
#include <unistd.h>

inline void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

inline bool StartsWith(const std::string& text, const std::string& part) { return text.rfind(part, 0) == 0; }
inline bool EndsWith(const std::string& text, const std::string& part)
{
    return text.size() >= part.size() && text.compare(text.size() - part.size(), part.size(), part) == 0;
}

inline std::string g_scratch;

// A folder of its own for this process, in memory where the machine offers
// that: the decision and reader targets write a file for every input. It
// goes again when the process ends normally; after a crash it stays, to look at.
inline std::string ScratchFolder()
{
    const fs::path base = access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path();
    g_scratch = FreshFolder(base, "starter-fuzz").string();
    std::atexit([] { fs::remove_all(g_scratch); });
    return g_scratch;
}

// Well-formed text in an encoding as UTF-16, or absent: glibc's iconv
// refuses what the Unicode standard does not allow (overlong forms,
// surrogates encoded in UTF-8 or left unpaired, code points past U+10FFFF).
inline std::optional<std::u16string> Decoded(std::string bytes, const char* encoding)
{
    const iconv_t converter = iconv_open("UTF-16LE", encoding); // this machine's order
    Check(converter != reinterpret_cast<iconv_t>(-1), "iconv converts the encoding");
    std::u16string units(bytes.size() + 1, u'\0'); // at most one unit a byte
    char *from = bytes.data(), *to = reinterpret_cast<char*>(units.data());
    size_t left = bytes.size(), room = units.size() * 2;
    const bool whole = iconv(converter, &from, &left, &to, &room) != static_cast<size_t>(-1);
    iconv_close(converter);
    units.resize(units.size() - room / 2);
    return whole ? std::optional<std::u16string>(units) : std::nullopt;
}

// A run file's lines by the text rules, done the slow and obvious way: take
// off a byte-order mark and read the text as its code units, cut at Ctrl-Z,
// count LFs to the line, then take off a CR that stood before its LF and
// whatever follows a NUL. A value of a marked file must then decode and
// convert whole.
template <class Units>
struct ReferenceText {
    Units text; // up to the Ctrl-Z
    bool zeroBytes;
    size_t lineCount = 0;

    explicit ReferenceText(const Units& all) : text(all.substr(0, all.find(0x1A))), zeroBytes(all.empty())
    {
        for (size_t lf = text.find('\n'); lf != Units::npos; lf = text.find('\n', lf + 1))
            ++lineCount;
        if (!text.empty() && text.back() != '\n')
            ++lineCount;
    }

    std::optional<Units> Line(unsigned long n) const
    {
        if (zeroBytes)
            return Units();
        if (n >= lineCount)
            return std::nullopt;
        size_t start = 0;
        for (unsigned long i = 0; i < n; ++i)
            start = text.find('\n', start) + 1;
        const size_t lf = text.find('\n', start);
        size_t end = lf == Units::npos ? text.size() : lf;
        if (lf != Units::npos && end > start && text[end - 1] == '\r')
            --end;
        const size_t nul = text.find(typename Units::value_type(0), start);
        if (nul < end)
            end = nul;
        return text.substr(start, end - start);
    }
};

struct ReferenceRunFile {
    enum { kPlain, kUtf8, kUtf16LE, kUtf16BE } encoding = kPlain;
    ReferenceText<std::string> bytes;
    ReferenceText<std::u16string> units;

    static std::string AfterMark(const std::string& all, size_t mark) { return all.substr(std::min(mark, all.size())); }
    static std::u16string Units16(const std::string& b, bool bigEndian)
    {
        std::u16string u;
        for (size_t i = 0; i < b.size(); i += 2) // a lone last byte: a unit no value may hold
            u.push_back(i + 1 == b.size() ? 0xDFFF
                        : bigEndian       ? (unsigned char)b[i] * 256 + (unsigned char)b[i + 1]
                                          : (unsigned char)b[i + 1] * 256 + (unsigned char)b[i]);
        return u;
    }
    static int EncodingOf(const std::string& all)
    {
        if (StartsWith(all, "\xEF\xBB\xBF"))
            return kUtf8;
        return StartsWith(all, "\xFF\xFE") ? kUtf16LE : StartsWith(all, "\xFE\xFF") ? kUtf16BE : kPlain;
    }

    static constexpr size_t kMarkBytes[] = {0, 3, 2, 2}; // the byte-order mark's length, by encoding
    explicit ReferenceRunFile(const std::string& all) :
        encoding(static_cast<decltype(encoding)>(EncodingOf(all))), bytes(AfterMark(all, kMarkBytes[encoding])),
        units(encoding >= kUtf16LE ? Units16(AfterMark(all, 2), encoding == kUtf16BE) : std::u16string())
    {
    }

    size_t LineCount() const { return encoding >= kUtf16LE ? units.lineCount : bytes.lineCount; }

    // A value of a file without a mark is its bytes, or under a code page
    // with a legacy one, the legacy text converted where it is not UTF-8.
    Text Line(unsigned long n, const CodePage& codePage = kCodePage1252) const
    {
        std::optional<std::string> raw = bytes.Line(n);
        if (encoding == kPlain) {
            if (!raw || !codePage.fromLegacy || Decoded(*raw, "UTF-8"))
                return raw;
            const std::optional<std::u16string> legacy = codePage.fromLegacy(*raw);
            return legacy ? codePage.toAnsi(*legacy) : std::nullopt;
        }
        const char* from = "UTF-8";
        if (encoding != kUtf8) { // the value's units, in this machine's order
            const std::optional<std::u16string> value = units.Line(n);
            raw.reset();
            if (value)
                raw.emplace(reinterpret_cast<const char*>(value->data()), value->size() * 2);
            from = "UTF-16LE";
        }
        const std::optional<std::u16string> text = raw ? Decoded(*raw, from) : std::nullopt;
        return text ? codePage.toAnsi(*text) : std::nullopt;
    }
};

// The command-line token rules walked through once, a character at a time:
// a token is a quoted stretch up to its closing quote (none without one) or
// a run up to a blank; after the first, exactly one character is passed
// over, and the second token may not start with a blank.
struct ReferenceTokens {
    Text first, second;

    explicit ReferenceTokens(const std::string& t)
    {
        size_t i = 0;
        first = Take(t, i);
        if (!first || i >= t.size() || ++i >= t.size() || t[i] == ' ')
            return;
        second = Take(t, i);
    }

    static Text Take(const std::string& t, size_t& i)
    {
        std::string token;
        const bool quoted = i < t.size() && t[i] == '"';
        for (i += quoted; i < t.size() && t[i] != (quoted ? '"' : ' '); ++i)
            token += t[i];
        if (quoted && i++ >= t.size())
            return std::nullopt;
        return token;
    }
};
