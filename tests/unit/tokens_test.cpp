#include "launch.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

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
        {"kit.run  order.xhtml", "kit.run", None},       // two blanks: no document
        {"kit.run ", "kit.run", None},                   // the skipped blank ends the text
        {"\"a\"xdoc", "a", "doc"},                       // after a quote one character is skipped
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
        {"a\"b c\"d e", "a\"b", "c\"d"},                 // quotes count only at a token's start
    };
    for (const TokenCase& c : cases) {
        SCOPED_TRACE(c.tail);
        ExpectValue(FirstToken(c.tail), c.first, "first");
        ExpectValue(SecondToken(c.tail), c.second, "second");
    }
}

struct TailCase {
    const char* line;
    LeadBytePredicate lead;
    const char* tail;
};

TEST(Tokens, TailIsTheLineLessTheProgramName)
{
    const TailCase cases[] = {
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
    };
    for (const TailCase& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(CommandLineTail(c.line, c.lead), c.tail);
    }
}

} // namespace
