#include "launch.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const Text None;

struct LineCase {
    const char* name;
    std::string bytes;
    unsigned long line;
    Text value;
};

TEST(RunFile, LinesAreReadByTheTextRules)
{
    using namespace std::string_literals;
    const std::string longLine(200000, 'x');
    const std::string edge(64 * 1024 - 1, 'e'); // the CR of CR LF ends one read buffer
    const LineCase cases[] = {
        {"empty file, line 0", "", 0, ""},
        {"empty file, line 7", "", 7, ""},
        {"one LF, line 0", "\n", 0, ""},
        {"one LF, line 1", "\n", 1, None},
        {"three lines", "C:\\Work\nprog.exe\n-x\n", 1, "prog.exe"},
        {"ended lines add no empty line", "a\nb\n", 2, None},
        {"last line without LF", "a\nb", 1, "b"},
        {"CR LF reads as LF", "C:\\Work\r\nprog.exe\r\n-x\r\n", 2, "-x"},
        {"lone CR stays", "a\rb\n", 0, "a\rb"},
        {"CR at the very end stays", "a\r", 0, "a\r"},
        {"CR CR LF keeps one CR", "a\r\r\n", 0, "a\r"},
        {"NUL ends the value", "ab\0cd\r\nxy\n"s, 0, "ab"},
        {"NUL line still counts", "ab\0cd\nxy\n"s, 1, "xy"},
        {"blanks are kept", "  \n", 0, "  "},
        {"line 3 and later are there too", "0\n1\n2\n3\n", 3, "3"},
        {"Ctrl-Z ends the value", "one\x1Atwo\nthree\n", 0, "one"},
        {"Ctrl-Z ends the text", "one\x1Atwo\nthree\n", 1, None},
        {"Ctrl-Z alone is no line", "\x1A", 0, None},
        {"CR before Ctrl-Z stays", "a\r\x1A\n", 0, "a\r"},
        {"bytes 0x80..0xFF are kept", "\x80\xE4\xFF\n", 0, "\x80\xE4\xFF"},
        {"one long line", longLine, 0, longLine},
        {"long line then another", longLine + "\r\nnext", 1, "next"},
        {"CR LF across read buffers", edge + "\r\nz", 0, edge},
        {"line after CR LF across buffers", edge + "\r\nz", 1, "z"},
    };
    TempFolder dir;
    int i = 0;
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.Write("case" + std::to_string(i++) + ".run", c.bytes);
        Text got = ReadRunFileLine(path, c.line);
        EXPECT_EQ(got.has_value(), c.value.has_value());
        if (got && c.value) {
            EXPECT_TRUE(*got == *c.value) << "got " << got->size() << " bytes, want " << c.value->size();
        }
    }
}

TEST(RunFile, ManyShortLines)
{
    std::string bytes;
    for (int i = 0; i < 100000; ++i)
        bytes += "line " + std::to_string(i) + "\r\n";
    TempFolder dir;
    std::string path = dir.Write("many.run", bytes);
    EXPECT_EQ(ReadRunFileLine(path, 0), "line 0");
    EXPECT_EQ(ReadRunFileLine(path, 54321), "line 54321");
    EXPECT_EQ(ReadRunFileLine(path, 99999), "line 99999");
    EXPECT_EQ(ReadRunFileLine(path, 100000), None);
}

TEST(RunFile, WhatIsNoRegularFileGivesNoneAndIsLeftAlone)
{
    TempFolder dir;
    std::filesystem::path missing = dir.path() / "missing.run";
    EXPECT_EQ(ReadRunFileLine(None, 0), None);
    EXPECT_EQ(ReadRunFileLine(missing.string(), 0), None);
    EXPECT_FALSE(std::filesystem::exists(missing)) << "the reader must never create a file";
    std::filesystem::create_directory(dir.path() / "folder.run");
    EXPECT_EQ(ReadRunFileLine((dir.path() / "folder.run").string(), 0), None);
    EXPECT_EQ(ReadRunFileLine(std::string(""), 0), None);
}

#ifndef _WIN32
TEST(RunFile, FifoGivesNoneAtOnce)
{
    TempFolder dir;
    std::string fifo = (dir.path() / "pipe.run").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Were the open to wait for a writer, this test would hang: CTest's time
    // limit catches that.
    EXPECT_EQ(ReadRunFileLine(fifo, 0), None);
    EXPECT_EQ(ReadRunFileLine(std::string("/dev/zero"), 0), None);
}

TEST(RunFile, UnreadableFileGivesNone)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    TempFolder dir;
    std::string path = dir.Write("secret.run", "a\nb\n");
    chmod(path.c_str(), 0);
    EXPECT_EQ(ReadRunFileLine(path, 0), None);
}
#endif

} // namespace
