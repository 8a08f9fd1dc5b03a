#include "launch.h"
#include "program_folder.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

struct TokenCase {
    const char* tail;
    Text first;
    Text second;
};

TEST(Tokens, FirstAndSecondTokenOfATail)
{
    const TokenCase cases[] = {
        {"kit.run order.xhtml", "kit.run", "order.xhtml"},
        {"\"C:\\My Kit\\tavelkin.run\"", "C:\\My Kit\\tavelkin.run", None},
        {"\"C:\\My Kit\\tavelkin.run\" \"C:\\Work\\my order.xhtml\"", "C:\\My Kit\\tavelkin.run",
         "C:\\Work\\my order.xhtml"},
        {"\"C:\\Kit\\tavelkin.run\" C:\\Work\\order.xhtml", "C:\\Kit\\tavelkin.run", "C:\\Work\\order.xhtml"},
        {"\"unclosed kit.run order.xhtml", None, None},
        {"kit.run", "kit.run", None},
        {"\"kit.run\"", "kit.run", None},
        {"kit.run  order.xhtml", "kit.run", None}, // two blanks: no document
        {"kit.run ", "kit.run", None},             // the skipped blank ends the text
        {"\"a\"xdoc", "a", "doc"},                 // after a quote one character is skipped
        {"\"a\"  doc", "a", None},
        {"kit.run \"unclosed doc", "kit.run", None},
        {"kit.run \"\"", "kit.run", ""},
        {"kit.run \"my doc\" third", "kit.run", "my doc"},
        {"a b c", "a", "b"},
        {"kit.run\torder.xhtml", "kit.run\torder.xhtml", None}, // a tab separates nothing
        {"kit.run a\tb", "kit.run", "a\tb"},
        {"\"\"", "", None},
        {"\"\" order.xhtml", "", "order.xhtml"},
        {"", "", None},
        {" kit.run", "", "kit.run"},
        {"a\"b c\"d e", "a\"b", "c\"d"}, // quotes count only at a token's start
    };
    for (const TokenCase& c : cases) {
        ExpectValue(FirstToken(c.tail), c.first, "first token of " + std::string(c.tail));
        ExpectValue(SecondToken(c.tail), c.second, "second token of " + std::string(c.tail));
    }
}

// A string split by a rule that knows the code page's lead bytes.
struct SplitCase {
    std::string text;
    LeadBytePredicate lead;
    std::string want;
};

TEST(Tokens, TailIsTheLineLessTheProgramName)
{
    const std::string mib(1 << 20, 'n');
    const std::string separators(100000, ' ');
    const SplitCase cases[] = {
        {"\"C:\\Program Files\\starter.exe\" \"C:\\Kit\\tavelkin.run\" \"C:\\Work\\order.xhtml\"", NoLeadBytes,
         "\"C:\\Kit\\tavelkin.run\" \"C:\\Work\\order.xhtml\""},
        {"starter.exe kit.run doc", NoLeadBytes, "kit.run doc"},
        {"starter.exe", NoLeadBytes, ""},
        {"", NoLeadBytes, ""},
        {"starter.exe \t \x01\x1f kit.run  ", NoLeadBytes, "kit.run  "},
        {"\"C:\\a b\\starter.exe\"kit.run", NoLeadBytes, "kit.run"},
        {"\"C:\\never closed kit.run", NoLeadBytes, ""},
        {"C:\\x\"y z\\starter.exe kit.run", NoLeadBytes, "z\\starter.exe kit.run"},
        {"\"\" kit.run", NoLeadBytes, "kit.run"},
        // A lead byte whose second byte has the quote's value does not end the name.
        {"\"C:\\\x83\"\\starter.exe\" kit.run", FakeLeadByte, "kit.run"},
        {"\"C:\\\x83\"\\starter.exe\" kit.run", NoLeadBytes, "\\starter.exe\" kit.run"},
        {"\"C:\\abc\x83", FakeLeadByte, ""},
        // Unquoted, every byte above a blank belongs to the name, lead or not.
        {"C:\\\x83\x20kit.run", FakeLeadByte, "kit.run"},
        // Odd lines: huge names, runs of separators, lead bytes up to the end, a NUL.
        {mib + " kit.run", NoLeadBytes, "kit.run"},
        {"\"" + mib + "\"kit.run", NoLeadBytes, "kit.run"},
        {"s.exe" + separators + "kit.run", NoLeadBytes, "kit.run"},
        {"s.exe" + separators + "\t\x01", NoLeadBytes, ""}, // only separators after the name
        {"\"C:\\s\x81", FakeLeadByte, ""},                  // unclosed quoted name ending in a lead byte
        {"\"\x81\x81\x81\x81\x81", FakeLeadByte, ""},
        {"\"", FakeLeadByte, ""},
        {"s.exe \0kit.run"s, NoLeadBytes, "\0kit.run"s},
    };
    for (const SplitCase& c : cases) // a MiB is not printed on failure
        ExpectValue(CommandLineTail(c.text, c.lead), c.want, c.text.substr(0, 80));
}

// FakeLeadByte: 0x5C, the backslash, is a valid trail byte there.
TEST(ProgramFolder, TheFolderPartKeepsDriveAndShare)
{
    const std::string deep = "C:\\" + std::string(300, 'd') + "\\" + std::string(300, 'e') + "\\";
    const SplitCase cases[] = {
        {"C:\\Tools\\Kit\\starter.exe", NoLeadBytes, "C:\\Tools\\Kit\\"},
        {"\\\\server\\share\\kit\\starter.exe", NoLeadBytes, "\\\\server\\share\\kit\\"},
        {"\\\\server\\share\\starter.exe", NoLeadBytes, "\\\\server\\share\\"},
        {"C:/Tools/Kit/starter.exe", NoLeadBytes, "C:/Tools/Kit/"},
        {"C:\\Tools/Kit\\sub/starter.exe", NoLeadBytes, "C:\\Tools/Kit\\sub/"},
        {"C:\\starter.exe", NoLeadBytes, "C:\\"},
        {"C:starter.exe", NoLeadBytes, "C:"},
        {"starter.exe", NoLeadBytes, ""},
        {"", NoLeadBytes, ""},
        {"\\\\?\\C:\\Kit\\starter.exe", NoLeadBytes, "\\\\?\\C:\\Kit\\"},
        {"C:\\Kit.d\\starter", NoLeadBytes, "C:\\Kit.d\\"},
        {deep + "starter.exe", NoLeadBytes, deep}, // never cut at 255 or MAX_PATH
        // A trail byte with a backslash's value is not a separator...
        {"C:\\Kit\\\x83\\starter.exe", FakeLeadByte, "C:\\Kit\\"},
        {"C:\\Kit\\\x83\\\\starter.exe", FakeLeadByte, "C:\\Kit\\\x83\\\\"},
        // ...unless the code page has no lead bytes.
        {"C:\\Kit\\\x83\\starter.exe", NoLeadBytes, "C:\\Kit\\\x83\\"},
        {"C:\\Kit\\\x83", FakeLeadByte, "C:\\Kit\\"}, // a lead byte with nothing after it
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(SplitProgramFolder(c.text, c.lead), c.want) << c.text.substr(0, 80);
}

} // namespace
