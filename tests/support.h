// What the unit tests, the fuzz targets and the Windows-side tests share:
// a fixed double-byte code page, UTF-16 as UTF-8, placeholders, files
// written whole, fresh folders and what a folder holds. No GoogleTest here: the fuzz targets have
// none.
#pragma once

#include "launch.h"

#include <algorithm>
#include <codecvt>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <locale>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>

namespace fs = std::filesystem;

// Shift-JIS-like lead bytes, fixed so that the tests do not depend on the
// machine's code page. 0x5C, the backslash, is a valid trail byte there.
inline bool FakeLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// A legacy double-byte code page by those lead bytes, fixed too: a lead byte
// and a second byte of 0x40 or more read as U+4E00 plus that byte, other
// bytes as their own code points, and anything else is invalid, a lead byte
// that the end cuts off from its pair included, as Windows has it.
inline std::optional<std::u16string> FakeDoubleByteLegacy(std::string_view bytes)
{
    std::u16string text(bytes.size(), u'\0'); // filled by index: far faster than appending, instrumented
    size_t length = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (!FakeLeadByte(byte)) {
            text[length++] = byte;
            continue;
        }
        if (i + 1 == bytes.size() || static_cast<unsigned char>(bytes[i + 1]) < 0x40)
            return std::nullopt;
        text[length++] = static_cast<char16_t>(0x4E00 + static_cast<unsigned char>(bytes[++i]));
    }
    text.resize(length);
    return text;
}

// The UTF-8 code page that Windows 10 and 11 offer as the ANSI one, which
// Wine cannot give: the standard library's conversion. The reader hands it
// valid UTF-16 only.
inline Text Utf8FromUtf16(const std::u16string& text)
{
    return std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t>().to_bytes(text);
}

// The text with every placeholder replaced by its value.
inline std::string Expand(std::string text, std::initializer_list<std::pair<std::string, std::string>> values)
{
    for (const auto& [key, value] : values)
        for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
            text.replace(at, key.size(), value);
    return text;
}

// Writes the bytes, then `times` copies of `repeated` and the tail, one
// piece at a time, so that a file far larger than its pieces is never held
// whole; says whether the file now holds exactly that.
inline bool WriteBytes(const fs::path& path, const std::string& bytes, const std::string& repeated = "",
                       uintmax_t times = 0, const std::string& tail = "")
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    for (uintmax_t i = 0; i < times; ++i)
        out << repeated;
    out << tail;
    out.close();
    return !out.fail();
}

// A new folder below base, named stem-N. N counts on from a number drawn for
// this process, so that processes side by side, and folders left from
// earlier runs, cost a try or two at most.
inline fs::path FreshFolder(const fs::path& base, const std::string& stem)
{
    static unsigned next = std::random_device()();
    fs::path fresh;
    do
        fresh = base / (stem + "-" + std::to_string(next++));
    while (!fs::create_directory(fresh));
    return fresh;
}

// What a folder holds, entry by entry: kind and permissions, and for a
// regular file its size, modification time and a hash of its bytes. Equal
// snapshots: nothing was created, removed or changed. Files beyond 256 MiB
// (sparse ones) are hashed by their first and last MiB, which with size and
// time is enough to see a write.
inline std::map<std::string, std::string> Snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> entries;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
        std::string& what = entries[e.path().lexically_relative(folder).generic_string()];
        what = std::to_string(static_cast<int>(e.symlink_status().type())) + " " +
               std::to_string(static_cast<int>(e.symlink_status().permissions()));
        if (!fs::is_regular_file(e.symlink_status()))
            continue;
        const uintmax_t size = fs::file_size(e.path()), mib = 1u << 20;
        size_t hash = 0;
        std::ifstream in(e.path(), std::ios::binary);
        std::string chunk(static_cast<size_t>(std::min(mib, size)), '\0');
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
