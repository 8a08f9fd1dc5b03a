// Whatever run file the starter is given, it neither crashes nor hangs, reads
// values by the run-file rules, and leaves every file as it was. (Odd tails
// and command lines are in the decision and token tables.)
#include "launch.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <numeric>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace std::string_literals;

// A line far longer than the reader's buffer. Under Wine on a machine that
// emulates 32-bit execution a process has little more than 100 MiB of heap,
// in pieces: a 32-bit process reads a line of 16 MiB, others one of 64 MiB.
constexpr size_t kBigLine = sizeof(void*) == 4 ? size_t{16} << 20 : size_t{64} << 20;

std::string Bytes(int from, int to)
{
    std::string bytes(static_cast<size_t>(to - from + 1), '\0');
    std::iota(bytes.begin(), bytes.end(), static_cast<char>(from));
    return bytes;
}

TEST(Hostile, RunFilesOfOddBytes)
{
    const std::string high = Bytes(0x80, 0xFF);
    // A fixed pseudo-random MiB: LFs at 31 and 91 end its first lines, a NUL
    // at 101 ends the third's value and a Ctrl-Z at 164 its text.
    std::string garbage(1 << 20, '\0');
    uint32_t state = 12345;
    for (char& b : garbage)
        b = static_cast<char>((state = state * 1103515245u + 12345u) >> 23);
    // clang-format off
    ExpectLineCases({
        {"NUL bytes only", "\0\0\0"s, {"", None, None}},
        {"a NUL in every line", "a\0b\nc\0\r\n\0\n"s, {"a", "c", ""}},
        {"a NUL before a CR LF keeps what came before", "a\r\0\r\nb"s, {"a\r", "b", None}},
        {"lone CRs only", "\r\r\r", {"\r\r\r", None, None}},
        {"CRs before a CR LF", "\r\r\n\r\n", {"\r", "", None}},
        {"CR at the end of the file", "a\nb\r", {"a", "b\r", None}},
        {"LF CR is no line end pair", "a\n\rb\n", {"a", "\rb", None}},
        {"Ctrl-Z first", "\x1A" "d\np\n", {None, None, None}},
        {"Ctrl-Z after the lines", "d\np\nx\n\x1Agarbage\n", {"d", "p", "x"}},
        {"Ctrl-Z inside line 1", "d\np\x1A\nx\n", {"d", "p", None}},
        {"Ctrl-Z between CR and LF", "d\r\x1A\n", {"d\r", None, None}},
        {"Ctrl-Z after a NUL", "d\0x\x1A\np\n"s, {"d", None, None}},
        {"bytes 0x80..0xFF", high + "\n\xFF\xFE\r\n", {high, "\xFF\xFE", None}},
        {"every byte in order", Bytes(0x00, 0xFF), {"", Bytes(0x0B, 0x19), None}},
        {"every byte from 0x01", Bytes(0x01, 0xFF), {Bytes(0x01, 0x09), Bytes(0x0B, 0x19), None}},
        {"UTF-16 text", "\xFF\xFE" "d\0\n\0p\0\n\0"s, {"d", "p", None}},
        {"UTF-8 byte order mark is no part of line 0", "\xEF\xBB\xBF" "d\np\n", {"d", "p", None}},
        {"binary garbage", garbage, {garbage.substr(0, 31), garbage.substr(32, 59), garbage.substr(92, 9), None}},
        {"an executable's first bytes", "MZ\x90\0\x03\0\0\0\x04\0\0\0\xFF\xFF\0\0\n\xB8\0"s, {"MZ\x90", "\xB8", None}},
    });
    // clang-format on
}

TEST(Hostile, BigAndManyLines)
{
    TempFolder dir;
    // Written and checked piecewise, so that the test holds the line only
    // once, as the value read: under Wine on a machine that emulates 32-bit
    // execution, a process gets little more than 100 MiB of heap.
    const std::string bigPath = (dir.path / "big.run").string();
    ASSERT_TRUE(WriteBytes(bigPath, "", std::string(1 << 20, 'x'), kBigLine >> 20, "\r\nnext"));
    std::string many;
    for (int i = 0; i < 100000; ++i)
        many += "line " + std::to_string(i) + (i % 2 ? "\r\n" : "\n");
    const std::string manyPath = dir.Write("many.run", many);
    dir.Freeze();

    {
        Text value = ReadRunFileLine(bigPath, 0);
        ASSERT_TRUE(value);
        EXPECT_EQ(value->size(), kBigLine);
        EXPECT_EQ(value->find_first_not_of('x'), std::string::npos);
    }
    ExpectLines(bigPath, {"next", None}, 1);
    ExpectRequest(DecideLaunch(manyPath + " doc"), true, "line 1", "line 2 doc", "line 0");
    ExpectLines(manyPath, {"line 54321"}, 54321);
    ExpectLines(manyPath, {"line 99999", None}, 99999);
}

#ifndef _WIN32
// Line 0 of a UTF-16 file of U+4E00 alone, read with a UTF-8 conversion and
// the address space limited to what is in use and room bytes more: 0 when
// it is absent, 1 when it is the right value, 2 otherwise.
int ReadWithin(const std::string& path, rlim_t units, rlim_t room)
{
    rlim_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlimit limit = {pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + room, RLIM_INFINITY};
    if (setrlimit(RLIMIT_AS, &limit) != 0)
        return 2;
    const Text value = ReadRunFileLine(path, 0, {NoLeadBytes, Utf8FromUtf16, nullptr});
    if (!value)
        return 0;
    bool right = value->size() == units * 3;
    for (size_t i = 0; right && i < value->size(); i += 3)
        right = value->compare(i, 3, "\xE4\xB8\x80") == 0;
    return right ? 1 : 2;
}

// Under a UTF-8 code page a UTF-16 value grows by half in the conversion.
// Each read is made in a child process: with less room than the value
// needs it is absent, with enough it is read. (POSIX's limit: built for
// Windows, the tests have none to set.)
TEST(Hostile, ValueGrowingInTheConversion)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "skipped on purpose: AddressSanitizer's allocator ends the process when an address-space "
                    "limit refuses it memory";
#endif
    constexpr rlim_t kMib = 1 << 20;
    constexpr rlim_t kFile = 32 * kMib; // 48 MiB in UTF-8
    TempFolder dir;
    const std::string path = (dir.path / "wide.run").string();
    ASSERT_TRUE(WriteBytes(path, "\xFF\xFE", "\x00\x4E"s, kFile / 2));
    dir.Freeze();
    EXPECT_EXIT(std::_Exit(ReadWithin(path, kFile / 2, kFile * 5 / 4)), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(std::_Exit(ReadWithin(path, kFile / 2, kFile * 4)), testing::ExitedWithCode(1), "");
}
#endif

TEST(Hostile, HugeSparseFile)
{
    // Larger than a 32-bit process can address, and sparse where the file
    // system allows it, so that it takes no disk: a first line longer than
    // the reader's buffer, a short second line, then nothing but NUL bytes.
    TempFolder dir;
    const std::string first(100000, 'd');
    const std::string path = dir.Write("huge.run", first + "\np\n");
    {
        // One byte written far beyond the end; what lies between reads as
        // NUL bytes. (MinGW's resize_file is no help: under Wine it fails
        // and damages the heap.)
        std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp((std::streamoff{5} << 30) - 1);
        out.put('\0');
        if (!out.flush())
            GTEST_SKIP() << "skipped on purpose: this file system cannot hold a 5 GiB sparse file";
    }
    dir.Freeze();
    ExpectLines(path, {first, "p", ""});
    ExpectRequest(DecideLaunch(path + " doc"), true, "p", "doc", first);
}

// What is no readable regular file gives no values at all, and a document on
// the command line goes nowhere. None of it waits for a writer (were it to,
// CTest's time limit catches the hang), and the reader never creates a file.
void ExpectNothingFrom(const std::string& path)
{
    ExpectLines(path, {None, None, None});
    ExpectRequest(DecideLaunch("\"" + path + "\" doc"), true, None, "", None);
}

TEST(Hostile, WhatIsNoReadableFileGivesNothing)
{
    TempFolder dir;
    fs::create_directory(dir.path / "folder.run");
#ifndef _WIN32
    ASSERT_EQ(mkfifo((dir.path / "pipe.run").string().c_str(), 0600), 0);
#endif
    dir.Freeze();
    EXPECT_EQ(ReadRunFileLine(None, 0), None) << "no path at all";
    const char* names[] = {
        "folder.run", "missing.run", "folder.run/inside.run",
        "", // an empty path
#ifndef _WIN32
        "pipe.run",
        "/dev/zero", // a path of its own, not in the folder
#endif
    };
    for (const char* name : names) {
        SCOPED_TRACE(name);
        ExpectNothingFrom(*name ? (dir.path / name).string() : "");
    }
}

TEST(Hostile, UnreadableFileGivesNothing)
{
    TempFolder dir;
    const std::string path = dir.Write("locked.run", "d\np\n-x\n");
    const std::string open = dir.Write("open.run", "d\np\n");
    dir.Freeze();
    // No one can read the file meanwhile. On Windows it is held open with no
    // sharing. Elsewhere its mode is 0, and since root reads files whatever
    // their mode, root's rights are given up meanwhile; a readable file is read
    // too, so that a failed drop cannot pass for an unreadable file.
#ifdef _WIN32
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
#else
    const fs::perms mode = fs::status(path).permissions();
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    const bool root = geteuid() == 0;
    ASSERT_TRUE(!root || seteuid(65534) == 0);
#endif
    EXPECT_EQ(ReadRunFileLine(open, 1), "p") << "a readable file is still read";
    ExpectNothingFrom(path);
#ifdef _WIN32
    CloseHandle(held);
#else
    ASSERT_TRUE(!root || seteuid(0) == 0);
    fs::permissions(path, mode); // as it was, for the snapshot
#endif
    EXPECT_EQ(ReadRunFileLine(path, 1), "p") << "readable again once let go";
}

// A decision reads lines 0, 1 and 2 with three separate opens, so the file
// may change in between; each read sees the file of its moment: nothing is
// cached across reads.
struct Change {
    enum Kind { Write, Folder, Remove } kind;
    std::string bytes;
    unsigned long line;
    Text value;
};

TEST(Hostile, FileChangingBetweenReads)
{
    const std::string longer = std::string(200000, 'p') + "\n";
    // clang-format off
    const std::vector<std::vector<Change>> sequences = {
        {{Change::Write, "d1\np1\nx1\n", 0, "d1"}, {Change::Write, "d2\np2\n", 1, "p2"}, {Change::Write, "", 2, ""}},
        {{Change::Write, "d1\np1\nx1\n", 0, "d1"}, {Change::Remove, "", 1, None}, {Change::Write, "d\np\nx", 2, "x"}},
        {{Change::Write, "d\n", 0, "d"}, {Change::Write, "d\n" + longer + "x\n", 1, longer.substr(0, 200000)},
         {Change::Write, "d\np\n\x1A" "x\n", 2, None}},
        {{Change::Write, "d\np\nx\n", 0, "d"}, {Change::Folder, "", 1, None}, {Change::Write, "\0\n\0\n\0\n"s, 2, ""}},
        {{Change::Write, "d1\np1\nx1\n", 1, "p1"}, {Change::Write, "d2\np2\n", 1, "p2"},
         {Change::Write, "d2\np2\n", 2, None}},
    };
    // clang-format on
    for (size_t i = 0; i < sequences.size(); ++i) {
        SCOPED_TRACE("sequence " + std::to_string(i));
        TempFolder dir;
        const fs::path path = dir.path / "kit.run";
        for (const Change& step : sequences[i]) {
            std::error_code ignored;
            fs::remove_all(path, ignored);
            if (step.kind == Change::Write)
                dir.Write("kit.run", step.bytes);
            else if (step.kind == Change::Folder)
                fs::create_directory(path);
            const auto before = Snapshot(dir.path);
            ExpectLines(path.string(), {step.value}, step.line);
            EXPECT_EQ(Snapshot(dir.path), before);
        }
    }
}

} // namespace
