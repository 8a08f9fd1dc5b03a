// LaunchFromCommandLine in this process against the real shell, which really
// starts the program the kit's run file names.
#include "launch_shell.h"
#include "starter_fixture.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST_F(Starter, TheRecordingProgramReceivesTheRequest)
{
    // A document the run file names as its program goes to the handler
    // registered for it, by the verb "open", not by its default verb.
    Handlers handlers(kit_.recorder);
    const std::string document = kit_.work + "\\named by the run file.xhtml";
    std::ofstream(document, std::ios::binary) << "<html/>";
    // The command line is the tail the shell's launch is handed.
    const StartCase cases[] = {
        {"quoted paths with blanks", "\"{RUN}\" \"{DOC}\"", Args{"-x", doc_}},
        {"a document ending in a backslash", "\"{RUN}\" \"{DOC}\\\"", Args{"-x", doc_ + "\\"}},
        {"run file only, no line 2", "\"{RUN}\"", Args{}, PLAIN, nullptr},
        {"plain document", "\"{RUN}\" order.xhtml", Args{"--open", "order.xhtml"}, PLAIN, "--open"},
        {"default run file", "", Args{"-a", "-b"}, PLAIN, "-a  -b"},
        {"a document as the program: the verb open", "\"{RUN}\"", Args{document}, PLAIN, nullptr, document},
    };
    char before[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, before);
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteRunFile(kit_, c.line2, c.program);
        std::string records = NewRecordFolder();
        SetCurrentDirectoryA(kit_.folder.c_str()); // where the default run file is found
        DWORD started = ProcessesStarted();
        LaunchFromCommandLine(Expand(c.commandLine).c_str());
        SetCurrentDirectoryA(before);
        ExpectLaunch(records, 0, c.arguments);
        EXPECT_EQ(ProcessesStarted(), started + 1);
    }
}

} // namespace
