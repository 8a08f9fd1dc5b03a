// The fixture of every test that starts the real starter.exe from a kit:
// started with exact command lines by CreateProcessA, and ended, whatever is
// left of it, after each test. Launches are seen through the recording
// program, which the run files name, which the kit holds as tavelkin.exe and
// which is the handler the tests register for .xhtml documents and https
// addresses; they are counted once every process started has ended.
#pragma once

#include "support.h"
#include "win32_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using Args = std::vector<std::string>;

// How a later starter is started, beside its command line.
enum Way { PLAIN, IN_KIT_FOLDER, NAME_AS_APPLICATION, MAY_NOT_LAUNCH };

// A later starter's start, or the shell's launch in-process from a tail.
struct StartCase {
    const char* name;
    std::string commandLine;       // {EXE}, {RUN} and {DOC} as Expand replaces them
    std::optional<Args> arguments; // what the launched program receives; nullopt: no launch
    // IN_KIT_FOLDER: with the kit as its current folder; NAME_AS_APPLICATION:
    // the starter's path as CreateProcessA's application too; MAY_NOT_LAUNCH:
    // the launch may be absent (when no room can be had for its parameters).
    Way way = PLAIN;
    // Of the run file the shell's launch reads: line 2 (nullptr: two lines
    // only), and line 1 (empty: the recording program).
    const char* line2 = "-x";
    std::string program = "";
};

// Starts real starters from a kit, and ends whatever is left of them.
class Starter : public ::testing::Test {
protected:
    // The text with {EXE}, {RUN} and {DOC} replaced by the kit's starter, run
    // file and document.
    std::string Expand(const std::string& text) const
    {
        return ::Expand(text, {{"{EXE}", kit_.exe}, {"{RUN}", kit_.run}, {"{DOC}", doc_}});
    }

    // The command line as Expand replaces it.
    PROCESS_INFORMATION Start(const std::string& commandLine, const char* folder = nullptr, DWORD flags = 0,
                              const char* application = nullptr)
    {
        started_.push_back(StartProcess(application, Expand(commandLine), folder, flags));
        EXPECT_NE(started_.back().hProcess, nullptr) << commandLine;
        return started_.back();
    }

    // Starts the starter that is to stay resident; says whether it did, with
    // its tray icon, and its own launch has ended.
    bool StartResident(const std::string& commandLine = "\"{EXE}\" \"{RUN}\"", const char* folder = nullptr)
    {
        starter_ = Start(commandLine, folder);
        return (window_ = WaitForResident(starter_.dwProcessId)) && WaitUntilRunning(1);
    }

    // Once every process started has ended but `staying`: the one launch
    // recorded in the folder, of these arguments and, of what else it
    // recorded, these values (none given: the run file's launch, with the
    // work folder as its current one and SW_SHOW, 5); or none (nullopt;
    // with `mayBeNone`, either). The records are cleared then, for the next.
    void ExpectLaunch(const std::string& records, DWORD staying, const std::optional<Args>& arguments, Record seen = {},
                      bool mayBeNone = false)
    {
        if (seen.empty())
            seen = {{"cwd", kit_.work}, {"show", "5"}};
        if (arguments && !mayBeNone) // for a launch that comes later than this
            WaitFor([&] { return !ReadRecords(records).empty(); }, 60000);
        EXPECT_TRUE(WaitUntilRunning(staying, 60000)) << ProcessesRunning() << " still running";
        std::vector<Record> got = ReadRecords(records);
        if (mayBeNone && got.empty())
            return;
        ASSERT_EQ(got.size(), arguments ? 1u : 0u) << "a launch once, or none";
        if (arguments) {
            EXPECT_EQ(Arguments(got[0], wideArguments_), *arguments) << got[0]["commandline"];
            for (const auto& [key, value] : seen)
                EXPECT_EQ(got[0][key], value) << key;
        }
        ClearRecords(records);
    }

    // Each later start, with the resident one there (or a mark of one): it
    // ends with 1 (another starter is resident) and shows no window (the C
    // runtime's error box above all), after its launch; the resident one
    // stays.
    void ExpectLaterStarts(const std::vector<StartCase>& cases)
    {
        for (const StartCase& c : cases) {
            SCOPED_TRACE(c.name);
            std::string records = NewRecordFolder();
            PROCESS_INFORMATION later = Start(c.commandLine, c.way == IN_KIT_FOLDER ? kit_.folder.c_str() : nullptr, 0,
                                              c.way == NAME_AS_APPLICATION ? kit_.exe.c_str() : nullptr);
            bool shown = false;
            auto ended = [&] {
                shown = shown || VisibleWindow(nullptr, later.dwProcessId);
                return WaitForSingleObject(later.hProcess, 0) == WAIT_OBJECT_0;
            };
            EXPECT_TRUE(WaitFor(ended, 300000)) << "still running";
            EXPECT_EQ(ExitCode(later.hProcess, 0), 1u);
            EXPECT_FALSE(shown) << "a window was shown";
            TerminateProcess(later.hProcess, 99);
            ExpectLaunch(records, starter_.hProcess ? 1 : 0, c.arguments, {}, c.way == MAY_NOT_LAUNCH);
            EXPECT_TRUE(!starter_.hProcess || ExitCode(starter_.hProcess, 0) == STILL_ACTIVE) << "the resident ended";
            EXPECT_EQ(Resident(), window_);
        }
    }

    void SetUp() override
    {
        ASSERT_TRUE(JoinCountingJob()) << GetLastError();
        EndEveryStarter();
    }
    void TearDown() override
    {
        EndEveryStarter();
        for (PROCESS_INFORMATION& p : started_)
            CloseProcess(p);
        // What a test registered in this program: a starter's class, or one
        // of the same name.
        UnregisterClassA(STARTER_WINDOW_CLASS, GetModuleHandleA(nullptr));
    }

    // A fresh kit and record folder, and the path of a document with blanks
    // in its folder's name and its own, which is not there.
    const Kit kit_ = MakeKit();
    const std::string records_ = NewRecordFolder(), doc_ = kit_.root + "\\my documents\\my order.xhtml";
    std::vector<PROCESS_INFORMATION> started_;
    PROCESS_INFORMATION starter_ = {}; // the resident one
    HWND window_ = nullptr;
    // How a launch's arguments are read: as its C runtime took them apart,
    // or as a Unicode program does, for names beyond the ANSI code page.
    bool wideArguments_ = false;
};
