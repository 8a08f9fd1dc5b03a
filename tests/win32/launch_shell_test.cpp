// LaunchFromCommandLine against the real shell: a run file names the
// recording program, which the shell really starts.
#include "launch.h"
#include "launch_shell.h"
#include "win32_support.h"

#include <gtest/gtest.h>

namespace {

struct ShellCase {
    const char* name;
    const char* tail;       // {RUN}: the run file's path; {DOC}: a document path with blanks
    const char* line2;      // nullptr: the run file has two lines only
    const char* parameters; // what the launched program finds after its own name
};

TEST(LaunchShell, TheRecordingProgramReceivesTheRequest)
{
    const ShellCase cases[] = {
        {"quoted paths with blanks", "\"{RUN}\" \"{DOC}\"", "-x", "-x \"{DOC}\""},
        {"run file only, no line 2", "\"{RUN}\"", nullptr, ""},
        {"plain document", "\"{RUN}\" order.xhtml", "--open", "--open order.xhtml"},
        {"default run file", "", "-a  -b", "-a  -b"},
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
        LaunchFromCommandLine(expand(c.tail).c_str());
        SetCurrentDirectoryA(before);

        std::vector<Record> got = WaitForRecords(records, 1);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(CommandLineTail(got[0]["commandline"], AnsiLeadByte), expand(c.parameters))
            << got[0]["commandline"];
        EXPECT_EQ(got[0]["cwd"], work);
    }
}

} // namespace
