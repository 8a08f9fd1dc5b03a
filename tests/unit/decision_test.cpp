#include "launch.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kMissing = nullptr;

struct DecisionCase {
    const char* name;
    Text tail;           // {RUN}: a run file's path without blanks; {SPACED}: one with blanks
    const char* runFile; // its bytes; kMissing: no file at all
    bool request;
    Text program, parameters, directory;
    CodePage codePage = kCodePage1252;
};

// Each case runs in a fresh current folder that holds the default run file
// too, so the empty-tail cases read it from there. No decision changes a file.
TEST(Decision, FromTailAndRunFileToRequest)
{
    const std::string mib(1 << 20, 'm');
    std::string manyTokens = "{RUN}";
    for (int i = 0; i < 100000; ++i)
        manyTokens += " t" + std::to_string(i);
    const char* const kit = "d\np\n-x\n";
    // clang-format off
    const DecisionCase cases[] = {
        {"empty tail reads the default run file", "", "C:\\Work\nprog.exe\n-x\n", true, "prog.exe", "-x", "C:\\Work"},
        {"absent tail reads it too", None, "C:\\Work\nprog.exe\n-x\n", true, "prog.exe", "-x", "C:\\Work"},
        {"no run file: request with nothing", "", kMissing, true, None, None, None},
        {"empty tail passes missing parameters on", "", "d\np\n", true, "p", None, "d"},
        {"run file only", "{RUN}", kit, true, "p", "-x", "d"},
        {"quoted run file only, no line 2", "\"{SPACED}\"", "d\np\n", true, "p", "", "d"},
        {"parameters, blank, document", "{RUN} order.xhtml", kit, true, "p", "-x order.xhtml", "d"},
        {"empty line 2: document alone", "{RUN} order.xhtml", "d\np\n\n", true, "p", "order.xhtml", "d"},
        {"missing line 2: document alone", "{RUN} order.xhtml", "d\np\n", true, "p", "order.xhtml", "d"},
        {"no program: document ignored", "{RUN} order.xhtml", "d\n", true, None, "", "d"},
        {"zero-byte file: empty program takes it", "{RUN} order.xhtml", "", true, "", "order.xhtml", ""},
        {"empty run-file name", "\"\" order.xhtml", kit, true, None, "", None},
        {"missing run file named", "{RUN}.nothere doc", kit, true, None, "", None},
        {"unclosed quote: no request", "\"{RUN} doc", kit, false, None, None, None},
        {"two blanks: no document", "{RUN}  order.xhtml", kit, true, "p", "-x", "d"},
        {"empty quoted document", "{RUN} \"\"", kit, true, "p", "-x", "d"},
        {"document with a blank is quoted", "\"{SPACED}\" \"C:\\My Docs\\my order.xhtml\"", kit, true, "p",
         "-x \"C:\\My Docs\\my order.xhtml\"", "d"},
        {"trailing backslash survives quoting", "{RUN} \"C:\\My Docs\\\"", "d\np\n", true, "p", "\"C:\\My Docs\\\\\"",
         "d"},
        {"document with a tab is quoted", "{RUN} a\tb", kit, true, "p", "-x \"a\tb\"", "d"},
        {"document with a quote, no blank, as it is", "{RUN} a\"b", kit, true, "p", "-x a\"b", "d"},
        {"CR LF run file", "{RUN} doc", "C:\\W\r\nC:\\p.exe\r\n-a -b\r\n", true, "C:\\p.exe", "-a -b doc", "C:\\W"},
        {"a double-byte document ends in its trail byte", "{RUN} \"\x8C\xA9\x90\xCF \x95\x5C\"", kit, true, "p",
         "-x \"\x8C\xA9\x90\xCF \x95\x5C\"", "d", {FakeLeadByte, Cp1252FromUtf16, nullptr}},
        {"the code page's legacy text read", "{RUN}", "C:\\J\xFCrgen\np\n", true, "p", "", "C:\\J\xC3\xBCrgen",
         {NoLeadBytes, Utf8FromUtf16, Utf16FromCp1252}},
        // Odd and hostile tails: whatever the quotes, tabs and sizes, no crash and no hang.
        {"a quote alone", "\"", kit, false, None, None, None},
        {"unclosed quote after a blank", "\" {RUN} doc", kit, false, None, None, None},
        {"unclosed quoted document", "{RUN} \"my doc", kit, true, "p", "-x", "d"},
        {"two quotes: an empty run-file name", "\"\"", kit, true, None, "", None},
        {"three quotes", "\"\"\"", kit, true, None, "", None},
        {"four quotes", "\"\"\"\"", kit, true, None, "", None},
        {"empty quoted name and document", "\"\" \"\"", kit, true, None, "", None},
        {"quoted run file, empty quoted document", "\"{RUN}\" \"\"", kit, true, "p", "-x", "d"},
        {"quoted run file, quote-only document", "\"{RUN}\" \"", kit, true, "p", "-x", "d"},
        {"a tab alone names no file", "\t", kit, true, None, "", None},
        {"a tab joins run file and document", "{RUN}\tdoc", kit, true, None, "", None},
        {"a document after a tab is quoted", "{RUN} \tdoc", kit, true, "p", "-x \"\tdoc\"", "d"},
        {"a document of tabs", "{RUN} \t\t", kit, true, "p", "-x \"\t\t\"", "d"},
        {"100,000 tokens: the second is the document", manyTokens, kit, true, "p", "-x t0", "d"},
        {"a 1 MiB document", "{RUN} " + mib, kit, true, "p", "-x " + mib, "d"},
        {"a 1 MiB document with a blank", "{RUN} \"" + mib + " " + mib + "\"", kit, true, "p",
         "-x \"" + mib + " " + mib + "\"", "d"},
        {"a 1 MiB run-file name", mib + " doc", kit, true, None, "", None},
        {"a 1 MiB quoted run-file name, unclosed", "\"" + mib, kit, false, None, None, None},
    };
    // clang-format on
    const fs::path before = fs::current_path();
    for (const DecisionCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        std::string run = (dir.path / "kit.run").string();
        std::string spaced = (dir.path / "my kit" / "tavelkin.run").string();
        for (const char* name : {"kit.run", "my kit/tavelkin.run", DEFAULT_RUN_FILE})
            if (c.runFile)
                dir.Write(name, c.runFile);
        dir.Freeze();
        fs::current_path(dir.path);
        const Text tail = c.tail ? Text(Expand(*c.tail, {{"{RUN}", run}, {"{SPACED}", spaced}})) : None;
        const auto got = DecideLaunch(tail, c.codePage);
        fs::current_path(before);
        ExpectRequest(got, c.request, c.program, c.parameters, c.directory);
    }
}

TEST(Decision, QuotingReadsBackAsOneArgument)
{
    const struct {
        const char* document;
        LeadBytePredicate isLeadByte;
        const char* quoted;
    } cases[] = {
        {"plain.xhtml", NoLeadBytes, "plain.xhtml"},
        {"my order.xhtml", NoLeadBytes, "\"my order.xhtml\""},
        {"C:\\a b\\", NoLeadBytes, "\"C:\\a b\\\\\""},
        {"C:\\a b\\\\x", NoLeadBytes, "\"C:\\a b\\\\x\""},
        {"a\"b\tc", NoLeadBytes, "\"a\\\"b\tc\""},
        {"x\\\"y z", NoLeadBytes, "\"x\\\\\\\"y z\""},
        // A trail byte 0x5C is no backslash: neither at the end nor before a quote.
        {"\x8C\xA9\x90\xCF \x95\x5C", FakeLeadByte, "\"\x8C\xA9\x90\xCF \x95\x5C\""},
        {"\x95\x5C\"a b", FakeLeadByte, "\"\x95\x5C\\\"a b\""},
        {"\x95\x5C\\ b\\", FakeLeadByte, "\"\x95\x5C\\ b\\\\\""},
        // The same bytes in a code page without lead bytes.
        {"\x8C\xA9\x90\xCF \x95\x5C", NoLeadBytes, "\"\x8C\xA9\x90\xCF \x95\x5C\x5C\""},
        {"\x95\x5C\"a b", NoLeadBytes, "\"\x95\x5C\x5C\x5C\"a b\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QuoteDocument(c.document, c.isLeadByte), c.quoted) << c.document;
}

} // namespace
