// The shipped starter.exe, with its own lean runtime, against run files that
// no one should write: a parameters line of hundreds of MiB, device names, a
// folder. With a starter resident, each later starter ends with exit code 1
// after its launch, shows no window (the C runtime's error box above all) and
// launches only what the run file rules allow.
#include "starter_fixture.h"

#include <gtest/gtest.h>

namespace {

TEST_F(Starter, LaterStartersEndQuietlyWhateverTheRunFile)
{
    // Line 0 and 1 as usual, then a parameters line of 600 MiB, written a MiB
    // at a time.
    const std::string big = kit_.root + "\\big.run", pipeName = "\\\\.\\pipe\\starter-hostile";
    ASSERT_TRUE(WriteBytes(big, kit_.work + "\r\n" + kit_.recorder + "\r\n", std::string(1 << 20, 'p'), 600, "\r\n"))
        << "cannot write 600 MiB here";
    // A pipe with a server behind it: opened and read as a file, it would
    // wait for bytes that never come.
    HANDLE pipe = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, PIPE_UNLIMITED_INSTANCES, 4096,
                                   4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(StartResident());
    ExpectLaunch(records_, 1, Args{"-x"});

    // What each may launch: nothing when the run file names no program; with
    // the long line, its parameters cannot reach a program, and when no room
    // can be had for them they are absent: the document alone, if any. The
    // starter after them launches as ever.
    const std::string exe = "\"{EXE}\" \"";
    ExpectLaterStarts({
        {"a 600 MiB parameters line", exe + big + "\"", Args{}, MAY_NOT_LAUNCH},
        {"600 MiB and a document", exe + big + "\" order.xhtml", Args{"order.xhtml"}, MAY_NOT_LAUNCH},
        {"600 MiB and a blank", exe + big + "\" \"my order.xhtml\"", Args{"my order.xhtml"}, MAY_NOT_LAUNCH},
        {"NUL", exe + "NUL\" order.xhtml", std::nullopt},
        {"CON", exe + "CON\" order.xhtml", std::nullopt},
        {"a named pipe", exe + pipeName + "\" order.xhtml", std::nullopt},
        {"a folder", exe + kit_.root + "\" order.xhtml", std::nullopt},
        {"after them, as ever", "\"{EXE}\" \"{RUN}\" order.xhtml", Args{"-x", "order.xhtml"}},
    });
    EXPECT_EQ(Quit(window_, starter_.hProcess), 0u);
    CloseHandle(pipe);
    DeleteFileA(big.c_str());
}

} // namespace
