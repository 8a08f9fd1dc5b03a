// Small helpers shared by the unit tests: value checks and a temporary folder
// of real files.
#pragma once

#include "launch.h"
#ifdef _WIN32
#include "launch_shell.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <codecvt>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <locale>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
inline const Text None;

// The UTF-8 code page that Windows 10 and 11 offer as the ANSI one, which
// Wine cannot give: the standard library's conversion. The reader hands it
// valid UTF-16 only.
inline Text Utf8FromUtf16(const std::u16string& text)
{
    return std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t>().to_bytes(text);
}

// Every code page 1252 at hand, with its legacy decoding for the rows that
// ask for one: the core's table, and in the Windows build the system's own
// conversions (the unit tests take Windows' code page to be 1252).
#ifdef _WIN32
inline const CodePage kCodePages[] = {{NoLeadBytes, Cp1252FromUtf16, Utf16FromCp1252},
                                      {NoLeadBytes, AnsiFromUtf16, Utf16FromLegacy}};
#else
inline const CodePage kCodePages[] = {{NoLeadBytes, Cp1252FromUtf16, Utf16FromCp1252}};
#endif

// Shift-JIS-like lead bytes, fixed so that the tests do not depend on the
// machine's code page. 0x5C, the backslash, is a valid trail byte there.
inline bool FakeLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// A legacy double-byte code page by those lead bytes, fixed too: each pair
// reads as U+8868, every other byte as its own code point, and a lead byte
// that the end cuts off from its pair is invalid, as Windows has it.
inline std::optional<std::u16string> FakeDoubleByteLegacy(std::string_view bytes)
{
    std::u16string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (!FakeLeadByte(byte)) {
            text += static_cast<char16_t>(byte);
            continue;
        }
        if (i + 1 == bytes.size())
            return std::nullopt;
        text += u'\u8868';
        ++i;
    }
    return text;
}

// Replaces the first placeholder "from" in text.
inline std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// Compares without printing a multi-megabyte value on failure.
inline void ExpectValue(const Text& got, const Text& want, const std::string& what)
{
    EXPECT_EQ(got.has_value(), want.has_value()) << what;
    if (got && want && *got != *want)
        ADD_FAILURE() << what << ": got " << got->size() << " bytes, want " << want->size()
                      << (got->size() < 200 ? ": \"" + *got + "\"" : "");
}

// Lines from, from + 1, ... of a run file.
inline void ExpectLines(const std::string& path, const std::vector<Text>& want, unsigned long from = 0,
                        const CodePage& codePage = kCodePage1252)
{
    for (unsigned long n = 0; n < want.size(); ++n)
        ExpectValue(ReadRunFileLine(path, from + n, codePage), want[n], "line " + std::to_string(from + n));
}

// A decision: whether a request is made, and then its values (none without one).
inline void ExpectRequest(const std::optional<LaunchRequest>& got, bool request, const Text& program,
                          const Text& parameters, const Text& directory)
{
    EXPECT_EQ(got.has_value(), request) << "a request is made";
    const LaunchRequest made = got.value_or(LaunchRequest{});
    ExpectValue(made.program, program, "program");
    ExpectValue(made.parameters, parameters, "parameters");
    ExpectValue(made.directory, directory, "directory");
}

// What a folder holds, entry by entry: kind, and for a regular file its size,
// modification time and a hash of its bytes. Equal snapshots: nothing was
// created, removed or changed. Files beyond 256 MiB (sparse ones) are hashed
// by their first and last MiB, which with size and time is enough to see a
// write.
inline std::map<std::string, std::string> Snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> entries;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
        std::string& what = entries[fs::relative(e.path(), folder).generic_string()];
        what = std::to_string(static_cast<int>(e.symlink_status().type()));
        if (!fs::is_regular_file(e.symlink_status()))
            continue;
        const uintmax_t size = fs::file_size(e.path()), mib = 1u << 20;
        size_t hash = 0;
        std::ifstream in(e.path(), std::ios::binary);
        std::string chunk(mib, '\0');
        for (uintmax_t at = 0; at < size; at += mib) {
            if (size > 256 * mib && at == mib)
                at = size - mib;
            in.seekg(static_cast<std::streamoff>(at));
            in.read(&chunk[0], static_cast<std::streamsize>(std::min<uintmax_t>(mib, size - at)));
            hash = hash * 31 + std::hash<std::string>()(chunk.substr(0, static_cast<size_t>(in.gcount())));
        }
        what += " " + std::to_string(size) + " " +
                std::to_string(fs::last_write_time(e.path()).time_since_epoch().count()) + " " + std::to_string(hash);
    }
    return entries;
}

// A fresh folder per test under the system's temporary folder, removed again
// afterwards. Once frozen, nothing in it may change until then.
struct TempFolder {
    fs::path path = [] {
        fs::path fresh; // a name taken by another process only leads on to the next
        do
            fresh = fs::temp_directory_path() / ("starter-test-" + std::to_string(std::rand()));
        while (!fs::create_directory(fresh));
        return fresh;
    }();
    std::optional<std::map<std::string, std::string>> frozen;

    ~TempFolder()
    {
        if (frozen) {
            EXPECT_EQ(Snapshot(path), *frozen) << "the folder changed";
        }
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    void Freeze() { frozen = Snapshot(path); }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        fs::create_directories((path / name).parent_path());
        std::ofstream(path / name, std::ios::binary) << bytes;
        return (path / name).string();
    }
};

struct LineCase {
    const char* name;
    std::string bytes;
    std::vector<Text> values; // of lines from, from + 1, ...
    unsigned long from = 0;
    AnsiConversion toAnsi = nullptr;     // none: each conversion at hand
    LegacyDecoding fromLegacy = nullptr; // Utf16FromCp1252: each 1252 at hand
};

// Each case from a file of its own and from its bytes with no file, in every
// code page at hand (with the case's own conversions); no read changes the
// file.
inline void ExpectLineCases(const std::vector<LineCase>& cases)
{
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const std::string path = dir.Write("case.run", c.bytes);
        dir.Freeze();
        for (CodePage codePage : kCodePages) {
            codePage.toAnsi = c.toAnsi ? c.toAnsi : codePage.toAnsi;
            codePage.fromLegacy = c.fromLegacy == Utf16FromCp1252 ? codePage.fromLegacy : c.fromLegacy;
            ExpectLines(path, c.values, c.from, codePage);
            for (unsigned long n = 0; n < c.values.size(); ++n)
                ExpectValue(RunFileLine(c.bytes, c.from + n, codePage), c.values[n],
                            "line " + std::to_string(c.from + n) + " from the bytes, no file");
        }
    }
}
