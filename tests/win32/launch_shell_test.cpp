// LaunchFromCommandLine against the real shell: a run file names the
// recording program, which the shell really starts.
#include "launch_shell.h"
#include "win32_support.h"

#include <gtest/gtest.h>

namespace {

struct ShellCase {
    const char* name;
    const char* tail;  // {RUN}: the run file's path; {DOC}: a document path with blanks
    const char* line2; // nullptr: the run file has two lines only
    std::vector<std::string> arguments; // what the launched program receives
};

TEST(LaunchShell, TheRecordingProgramReceivesTheRequest)
{
    ASSERT_TRUE(JoinCountingJob());
    const ShellCase cases[] = {
        {"quoted paths with blanks", "\"{RUN}\" \"{DOC}\"", "-x", {"-x", "{DOC}"}},
        {"a document ending in a backslash", "\"{RUN}\" \"{DOC}\\\"", "-x", {"-x", "{DOC}\\"}},
        {"run file only, no line 2", "\"{RUN}\"", nullptr, {}},
        {"plain document", "\"{RUN}\" order.xhtml", "--open", {"--open", "order.xhtml"}},
        {"default run file", "", "-a  -b", {"-a", "-b"}},
    };
    char before[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, before);
    for (const ShellCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string root = MakeTempFolder("shell");
        std::string kit = root + "\\my kit";
        std::string work = root + "\\work folder";
        std::string records = root + "\\records";
        CreateDirectoryA(kit.c_str(), nullptr);
        CreateDirectoryA(work.c_str(), nullptr);
        CreateDirectoryA(records.c_str(), nullptr);
        std::string run = kit + "\\tavelkin.run";
        std::string doc = root + "\\my documents\\my order.xhtml";
        std::string bytes = work + "\r\n" + OwnFolder() + "recorder.exe\r\n";
        if (c.line2)
            bytes += std::string(c.line2) + "\r\n";
        WriteBytes(run, bytes);
        SetEnvironmentVariableA("STARTER_RECORD_DIR", records.c_str());

        auto expand = [&](std::string text) {
            for (auto [key, value] : {std::make_pair("{RUN}", run), std::make_pair("{DOC}", doc)})
                for (size_t at; (at = text.find(key)) != std::string::npos;)
                    text.replace(at, std::string(key).size(), value);
            return text;
        };
        SetCurrentDirectoryA(kit.c_str()); // where the default run file is found
        DWORD started = ProcessesStarted();
        LaunchFromCommandLine(expand(c.tail).c_str());
        SetCurrentDirectoryA(before);

        EXPECT_TRUE(WaitUntilRunning(0));
        EXPECT_EQ(ProcessesStarted(), started + 1);
        std::vector<Record> got = ReadRecords(records);
        ASSERT_EQ(got.size(), 1u);
        std::vector<std::string> expected;
        for (const std::string& a : c.arguments)
            expected.push_back(expand(a));
        EXPECT_EQ(Arguments(got[0]), expected) << got[0]["commandline"];
        EXPECT_EQ(got[0]["cwd"], work);
    }
}

} // namespace
