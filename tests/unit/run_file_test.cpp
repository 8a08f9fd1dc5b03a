#include "launch.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(RunFile, LinesAreReadByTheTextRules)
{
    const std::string longLine(200000, 'x');
    const std::string edge(64 * 1024 - 1, 'e'); // the CR of CR LF ends one read buffer
    const LegacyDecoding cp1252 = Utf16FromCp1252, doubleByte = FakeDoubleByteLegacy;
    // clang-format off
    ExpectLineCases({
        {"empty file, line 0", "", {""}},
        {"empty file, line 7", "", {""}, 7},
        {"one LF: line 0 empty, no line 1", "\n", {"", None}},
        {"three lines", "C:\\Work\nprog.exe\n-x\n", {"prog.exe"}, 1},
        {"ended lines add no empty line", "a\nb\n", {None}, 2},
        {"last line without LF", "a\nb", {"b"}, 1},
        {"CR LF reads as LF", "C:\\Work\r\nprog.exe\r\n-x\r\n", {"-x"}, 2},
        {"lone CR stays", "a\rb\n", {"a\rb"}},
        {"CR at the very end stays", "a\r", {"a\r"}},
        {"CR CR LF keeps one CR", "a\r\r\n", {"a\r"}},
        {"NUL ends the value", "ab\0cd\r\nxy\n"s, {"ab"}},
        {"NUL line still counts", "ab\0cd\nxy\n"s, {"xy"}, 1},
        {"blanks are kept", "  \n", {"  "}},
        {"line 3 and later are there too", "0\n1\n2\n3\n", {"3"}, 3},
        {"Ctrl-Z ends the value and the text", "one\x1Atwo\nthree\n", {"one", None}},
        {"Ctrl-Z alone is no line", "\x1A", {None}},
        {"CR before Ctrl-Z stays", "a\r\x1A\n", {"a\r"}},
        {"bytes 0x80..0xFF are kept", "\x80\xE4\xFF\n", {"\x80\xE4\xFF"}},
        {"one long line", longLine, {longLine}},
        {"long line then another", longLine + "\r\nnext", {"next"}, 1},
        {"CR LF across read buffers, and the line after", edge + "\r\nz", {edge, "z"}},
        // Without a mark under a UTF-8 code page: UTF-8 as it is, else the legacy code page, value by value.
        {"UTF-8 as Notepad saves it", "C:\\J\xC3\xBCrgen\n", {"C:\\J\xC3\xBCrgen"}, 0, Utf8FromUtf16, cp1252},
        {"legacy text converted", "C:\\J\xFCrgen\n", {"C:\\J\xC3\xBCrgen"}, 0, Utf8FromUtf16, cp1252},
        {"one value legacy, the next UTF-8", "J\xFCrgen\r\nJ\xC3\xBCrgen\r\n", {"J\xC3\xBCrgen", "J\xC3\xBCrgen"}, 0,
         Utf8FromUtf16, cp1252},
        {"legacy 0x80, 0x81, 0xFF", "\x80\x81\xFF", {"\xE2\x82\xAC\xC2\x81\xC3\xBF"}, 0, Utf8FromUtf16, cp1252},
        {"an overlong form is no UTF-8", "\xE0\x80\xAF", {"\xC3\xA0\xE2\x82\xAC\xC2\xAF"}, 0, Utf8FromUtf16, cp1252},
        {"a character cut off by the NUL is no UTF-8", "\xC3\0\xA4\n"s, {"\xC3\x83"}, 0, Utf8FromUtf16, cp1252},
        {"UTF-8 with a character across reads", edge + "\xC3\xA4", {edge + "\xC3\xA4"}, 0, Utf8FromUtf16, cp1252},
        {"legacy text after a read of ASCII", edge + "e\xFC", {edge + "e\xC3\xBC"}, 0, Utf8FromUtf16, cp1252},
        {"a marked file is never legacy", "\xEF\xBB\xBFJ\xFCrgen", {None}, 0, Utf8FromUtf16, cp1252},
        {"double-byte pair across reads", edge + "\x95\x5C", {edge + "\xE4\xB9\x9C"}, 0, Utf8FromUtf16, doubleByte},
        {"double-byte pair cut off by the line end", "a\x95\r\nb", {None, "b"}, 0, Utf8FromUtf16, doubleByte},
        {"no legacy code page: UTF-8 bytes as they are", "J\xC3\xBCrgen", {"J\xC3\xBCrgen"}},
    });
    // clang-format on
}

std::string Utf16(const std::u16string& text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text)
        bytes += bigEndian ? std::string{char(u >> 8), char(u & 0xFF)} : std::string{char(u & 0xFF), char(u >> 8)};
    return bytes;
}

// Files with a byte-order mark: the same text rules over the characters, each
// value converted to the ANSI code page exactly or not at all. The host build
// converts by code page 1252's table; under Wine, whose code page is 1252,
// the system's own conversion gives the same values. A row that names a
// conversion is read with that one only.
TEST(RunFile, MarkedFilesAreDecodedAndConverted)
{
    const std::string bom = "\xEF\xBB\xBF";
    const std::string umlauts = "x" + [] {
        std::string s;
        for (int i = 0; i < 100000; ++i)
            s += "\xC3\xA4";
        return s;
    }();
    const std::u16string edge = std::u16string(32767 - 1, u'e') + u"\r\nz"; // the CR ends the first read
    // clang-format off
    ExpectLineCases({
        {"UTF-8: no mark in line 0, CR LF is LF", bom + "C:\\Work\r\nprog.exe\r\n", {"C:\\Work", "prog.exe"}},
        {"UTF-8: lone CR stays, NUL and Ctrl-Z end a value, Ctrl-Z the text", bom + "a\rb\0c\nd\x1A" "e\n"s,
         {"a\rb", "d", None}},
        {"UTF-8: a and euro sign", bom + "\xC3\xA4\xE2\x82\xAC\xC2\xA0\n", {"\xE4\x80\xA0"}},
        {"UTF-8: U+0081 is a byte of code page 1252", bom + "\xC2\x81", {"\x81"}},
        {"UTF-8: a long line, characters across reads", bom + umlauts + "\n", {"x" + std::string(100000, '\xE4')}},
        {"UTF-16LE: three lines", Utf16(u"C:\\Work\r\nprog.exe\n-x", false), {"-x"}, 2},
        {"UTF-16BE: three lines", Utf16(u"C:\\Work\r\nprog.\u00E4xe\n-x", true), {"prog.\xE4xe"}, 1},
        {"UTF-16LE: NUL ends the value", Utf16(u"ab\0cd\nxy"s, false), {"ab"}},
        {"UTF-16LE: Ctrl-Z ends the text", Utf16(u"ab\x1A\ncd\n", false), {None}, 1},
        {"UTF-16LE: lone CR stays", Utf16(u"a\rb\r", false), {"a\rb\r"}},
        {"UTF-16LE: CR LF across reads, and the line after", Utf16(edge, false), {std::string(32767 - 1, 'e'), "z"}},
        {"UTF-16LE: a pair across reads", Utf16(std::u16string(32767, u'e') + u"\U0001F600", false),
         {std::string(32767, 'e') + "\xF0\x9F\x98\x80"}, 0, Utf8FromUtf16},
        {"UTF-8 mark alone, line 0", bom, {""}},
        {"UTF-8 mark alone, line 5", bom, {""}, 5},
        {"UTF-16LE mark alone", "\xFF\xFE", {""}, 1},
        {"UTF-16BE mark alone", "\xFE\xFF", {""}},
        {"half a UTF-8 mark is no mark", "\xEF\xBB" "d\n", {"\xEF\xBB" "d"}},
        {"a fullwidth quote has no exact form; the next line is read", bom + "\xEF\xBC\x82x\xEF\xBC\x82\nok\n",
         {None, "ok"}},
        {"U+0080 has no form in code page 1252", bom + "\xC2\x80", {None}},
        {"a character beyond the BMP", bom + "\xF0\x9F\x98\x80\n", {None}},
        {"UTF-8: a lone continuation byte", bom + "a\x80\nok", {None}},
        {"UTF-8: an overlong slash", bom + "\xC0\xAF\nok", {None}},
        {"UTF-8: an overlong slash in three bytes", bom + "\xE0\x80\xAF\nok", {None}},
        {"UTF-8: an overlong slash in four bytes", bom + "\xF0\x80\x80\xAF\nok", {None}},
        {"UTF-8: an encoded surrogate", bom + "\xED\xA0\x80\nok", {None}},
        {"UTF-8: a character cut off by the line end; past it, the next line", bom + "a\xC3\nok", {None, "ok"}},
        {"UTF-8: a cut character after the NUL is no part", bom + "a\0\xC3\n"s, {"a"}},
        {"UTF-16: a lone high surrogate", Utf16(u"a\xD800\nok", false), {None}},
        {"UTF-16: a lone low surrogate", Utf16(u"a\xDC00\nok", true), {None}},
        {"UTF-16: a pair beyond code page 1252", Utf16(u"\xD83D\xDE00", false), {None}},
        {"UTF-16: an odd byte at the end, and the lines before it", Utf16(u"d\np", false) + "q", {"d", None}},
        {"UTF-16: an odd byte is no LF", "\xFF\xFE" "a\0\n"s, {None, None}},
    });
    // clang-format on
}

} // namespace
