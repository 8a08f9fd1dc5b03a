// The shipped starter.exe, with its own lean runtime, against run files that
// no one should write: a parameters line of hundreds of MiB, device names, a
// folder. With a starter resident, each later starter ends with exit code 1
// after its launch, shows no window (the C runtime's error box above all) and
// launches only what the run file rules allow.
#include "win32_support.h"

#include <gtest/gtest.h>

namespace {

const DWORD kAnotherStarter = 1; // the exit code of a starter that found one resident

PROCESS_INFORMATION Start(const std::string& commandLine)
{
    PROCESS_INFORMATION started = StartProcess(nullptr, commandLine);
    EXPECT_NE(started.hProcess, nullptr) << commandLine;
    return started;
}

struct WindowSearch {
    DWORD process;
    bool found;
};

BOOL CALLBACK LookAtWindow(HWND window, LPARAM p)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(p);
    search->found = search->found || (ProcessOf(window) == search->process && IsWindowVisible(window));
    return TRUE;
}

bool ShowsAWindow(DWORD processId)
{
    WindowSearch search = {processId, false};
    EnumWindows(LookAtWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Line 0 and 1 as usual, then a parameters line of `mib` MiB, written a MiB
// at a time.
void WriteBigRunFile(const std::string& path, const std::string& head, size_t mib)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string chunk(1 << 20, 'p');
    DWORD written = 0;
    bool ok = WriteFile(file, head.data(), static_cast<DWORD>(head.size()), &written, nullptr);
    for (size_t i = 0; i < mib && ok; ++i)
        ok = WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
    ok = ok && WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(ok) << "cannot write " << mib << " MiB here";
}

TEST(HostileStarter, LaterStartersEndQuietlyWhateverTheRunFile)
{
    const std::string root = MakeTempFolder("hostile");
    const std::string work = root + "\\work", exe = OwnFolder() + "..\\starter.exe";
    CreateDirectoryA(work.c_str(), nullptr);
    const std::string head = work + "\r\n" + OwnFolder() + "recorder.exe\r\n";
    const std::string kit = root + "\\kit.run", big = root + "\\big.run", pipeName = "\\\\.\\pipe\\starter-hostile";
    WriteBytes(kit, head + "-x\r\n");
    WriteBigRunFile(big, head, 600);
    // A pipe with a server behind it: opened and read as a file, it would
    // wait for bytes that never come.
    HANDLE pipe = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, PIPE_UNLIMITED_INSTANCES, 4096,
                                   4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);

    ASSERT_TRUE(JoinCountingJob());
    ASSERT_EQ(Resident(), nullptr) << "a starter is already there";
    const std::string records = MakeTempFolder("records");
    SetEnvironmentVariableA("STARTER_RECORD_DIR", records.c_str());
    PROCESS_INFORMATION first = Start("\"" + exe + "\" \"" + kit + "\"");
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = Resident()) && ProcessOf(window) == first.dwProcessId; }));
    ASSERT_EQ(WaitForRecords(records, 1).size(), 1u);

    // What each may launch: nothing when the run file names no program; with
    // the long line, its parameters cannot reach a program, and when no room
    // can be had for them they are absent: the document alone, if any.
    const struct {
        const char* name;
        std::string runFile;
        const char* document;
        const char* argument; // nullptr: no launch; "": one without arguments
    } cases[] = {
        {"a 600 MiB parameters line", big, "", ""},
        {"a 600 MiB parameters line and a document", big, " order.xhtml", "order.xhtml"},
        {"a 600 MiB parameters line and a document with a blank", big, " \"my order.xhtml\"", "my order.xhtml"},
        {"NUL", "NUL", " order.xhtml", nullptr},
        {"CON", "CON", " order.xhtml", nullptr},
        {"a named pipe", pipeName, " order.xhtml", nullptr},
        {"a folder", root, " order.xhtml", nullptr},
    };
    std::vector<std::string> folders;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        folders.push_back(MakeTempFolder("records"));
        SetEnvironmentVariableA("STARTER_RECORD_DIR", folders.back().c_str());
        PROCESS_INFORMATION later = Start("\"" + exe + "\" \"" + c.runFile + "\"" + c.document);
        bool shown = false;
        const bool ended = WaitFor([&] {
            shown = shown || ShowsAWindow(later.dwProcessId);
            return WaitForSingleObject(later.hProcess, 0) == WAIT_OBJECT_0;
        }, 300000);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(later.hProcess, &code);
        EXPECT_TRUE(ended) << "still running";
        EXPECT_EQ(code, kAnotherStarter) << "exit code " << std::hex << code;
        EXPECT_FALSE(shown) << "a window was shown";
        TerminateProcess(later.hProcess, 99);
        CloseHandle(later.hProcess);
        CloseHandle(later.hThread);
    }
    // The starter after them launches as ever; by the time its launch is
    // seen, those started before it have been seen too.
    SetEnvironmentVariableA("STARTER_RECORD_DIR", records.c_str());
    PROCESS_INFORMATION last = Start("\"" + exe + "\" \"" + kit + "\" order.xhtml");
    EXPECT_EQ(WaitForSingleObject(last.hProcess, 60000), WAIT_OBJECT_0);
    EXPECT_TRUE(WaitUntilRunning(1, 60000)) << "launches still running";
    std::vector<Record> got = ReadRecords(records);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(Arguments(got[1]), (std::vector<std::string>{"-x", "order.xhtml"}));
    for (size_t k = 0; k < folders.size(); ++k) {
        SCOPED_TRACE(cases[k].name);
        got = ReadRecords(folders[k]);
        ASSERT_LE(got.size(), cases[k].argument ? 1u : 0u);
        if (!got.empty())
            EXPECT_EQ(Arguments(got[0]), *cases[k].argument ? std::vector<std::string>{cases[k].argument}
                                                             : std::vector<std::string>{});
    }
    EXPECT_EQ(Resident(), window);

    SendMessageA(window, WM_DESTROY, 0, 0);
    EXPECT_EQ(WaitForSingleObject(first.hProcess, 30000), WAIT_OBJECT_0);
    for (PROCESS_INFORMATION* p : {&first, &last}) {
        TerminateProcess(p->hProcess, 99);
        CloseHandle(p->hProcess);
        CloseHandle(p->hThread);
    }
    CloseHandle(pipe);
    DeleteFileA(big.c_str());
}

} // namespace
