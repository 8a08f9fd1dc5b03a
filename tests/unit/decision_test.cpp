#include "launch.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kMissing = nullptr;

struct DecisionCase {
    const char* name;
    Text tail;            // {RUN}: a run file's path without blanks; {SPACED}: one with blanks
    const char* runFile;  // its bytes; kMissing: no file at all
    bool request;
    Text program, parameters, directory;
};

// Each case runs in a fresh current folder that holds the default run file
// too, so the empty-tail cases read it from there.
TEST(Decision, FromTailAndRunFileToRequest)
{
    const DecisionCase cases[] = {
        {"empty tail reads the default run file", "", "C:\\Work\nprog.exe\n-x\n", true, "prog.exe", "-x", "C:\\Work"},
        {"absent tail reads it too", None, "C:\\Work\nprog.exe\n-x\n", true, "prog.exe", "-x", "C:\\Work"},
        {"no run file: request with nothing", "", kMissing, true, None, None, None},
        {"empty tail passes missing parameters on", "", "d\np\n", true, "p", None, "d"},
        {"run file only", "{RUN}", "d\np\n-x\n", true, "p", "-x", "d"},
        {"quoted run file only, no line 2", "\"{SPACED}\"", "d\np\n", true, "p", "", "d"},
        {"parameters, blank, document", "{RUN} order.xhtml", "d\np\n-x\n", true, "p", "-x order.xhtml", "d"},
        {"empty line 2: document alone", "{RUN} order.xhtml", "d\np\n\n", true, "p", "order.xhtml", "d"},
        {"missing line 2: document alone", "{RUN} order.xhtml", "d\np\n", true, "p", "order.xhtml", "d"},
        {"no program: document ignored", "{RUN} order.xhtml", "d\n", true, None, "", "d"},
        {"zero-byte file: empty program takes it", "{RUN} order.xhtml", "", true, "", "order.xhtml", ""},
        {"empty run-file name", "\"\" order.xhtml", "d\np\n-x\n", true, None, "", None},
        {"missing run file named", "{RUN}.nothere doc", "d\np\n-x\n", true, None, "", None},
        {"unclosed quote: no request", "\"{RUN} doc", "d\np\n-x\n", false, None, None, None},
        {"two blanks: no document", "{RUN}  order.xhtml", "d\np\n-x\n", true, "p", "-x", "d"},
        {"empty quoted document", "{RUN} \"\"", "d\np\n-x\n", true, "p", "-x", "d"},
        {"document with a blank is quoted", "\"{SPACED}\" \"C:\\My Docs\\my order.xhtml\"", "d\np\n-x\n", true, "p",
         "-x \"C:\\My Docs\\my order.xhtml\"", "d"},
        {"trailing backslash survives quoting", "{RUN} \"C:\\My Docs\\\"", "d\np\n", true, "p",
         "\"C:\\My Docs\\\\\"", "d"},
        {"document with a tab is quoted", "{RUN} a\tb", "d\np\n-x\n", true, "p", "-x \"a\tb\"", "d"},
        {"document with a quote, no blank, as it is", "{RUN} a\"b", "d\np\n-x\n", true, "p", "-x a\"b", "d"},
        {"CR LF run file", "{RUN} doc", "C:\\W\r\nC:\\p.exe\r\n-a -b\r\n", true, "C:\\p.exe", "-a -b doc", "C:\\W"},
    };
    const fs::path before = fs::current_path();
    for (const DecisionCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        std::string run = (dir.path / "kit.run").string();
        std::string spaced = (dir.path / "my kit" / "tavelkin.run").string();
        for (const char* name : {"kit.run", "my kit/tavelkin.run", DEFAULT_RUN_FILE})
            if (c.runFile)
                dir.Write(name, c.runFile);
        fs::current_path(dir.path);
        auto got = DecideLaunch(c.tail ? Text(Replace(Replace(*c.tail, "{RUN}", run), "{SPACED}", spaced)) : None);
        fs::current_path(before);
        ExpectRequest(got, c.request, c.program, c.parameters, c.directory);
    }
}

TEST(Decision, QuotingReadsBackAsOneArgument)
{
    const struct {
        const char* document;
        const char* quoted;
    } cases[] = {
        {"plain.xhtml", "plain.xhtml"},
        {"my order.xhtml", "\"my order.xhtml\""},
        {"C:\\a b\\", "\"C:\\a b\\\\\""},
        {"C:\\a b\\\\x", "\"C:\\a b\\\\x\""},
        {"a\"b\tc", "\"a\\\"b\tc\""},
        {"x\\\"y z", "\"x\\\\\\\"y z\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QuoteDocument(c.document), c.quoted) << c.document;
}

} // namespace
