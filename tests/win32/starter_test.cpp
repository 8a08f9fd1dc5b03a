// The real starter.exe, started with exact command lines by CreateProcessA,
// and its start-up called in-process. Launches are seen through the
// recording program, which the run files name, and counted once every
// process started has ended.
#include "launch_shell.h"
#include "tray.h"
#include "win32_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Args = std::vector<std::string>;

// A kit folder with a blank in its name holding a copy of starter.exe and a
// run file that opens the recording program with -x in a work folder.
struct Kit {
    std::string folder, starter, run, doc, work;
};

Kit MakeKit()
{
    Kit kit;
    std::string root = MakeTempFolder("starter");
    kit.folder = root + "\\my kit";
    kit.work = root + "\\work folder";
    CreateDirectoryA(kit.folder.c_str(), nullptr);
    CreateDirectoryA(kit.work.c_str(), nullptr);
    kit.starter = kit.folder + "\\starter.exe";
    CopyFileA((OwnFolder() + "..\\starter.exe").c_str(), kit.starter.c_str(), FALSE);
    kit.run = kit.folder + "\\tavelkin.run";
    WriteBytes(kit.run, kit.work + "\r\n" + OwnFolder() + "recorder.exe\r\n-x\r\n");
    kit.doc = root + "\\my documents\\my order.xhtml";
    return kit;
}

// A fresh folder for the records of what comes next.
std::string NewRecordFolder()
{
    std::string records = MakeTempFolder("records");
    SetEnvironmentVariableA("STARTER_RECORD_DIR", records.c_str());
    return records;
}

std::string Expand(std::string text, const Kit& kit)
{
    for (auto [key, value] : {std::make_pair("{EXE}", kit.starter), std::make_pair("{RUN}", kit.run),
                              std::make_pair("{DOC}", kit.doc)})
        for (size_t at; (at = text.find(key)) != std::string::npos;)
            text.replace(at, std::string(key).size(), value);
    return text;
}

// Starts and quits real starters, and ends whatever is left of them.
class Starter : public ::testing::Test {
protected:
    PROCESS_INFORMATION Start(const char* application, const std::string& commandLine, const char* folder = nullptr,
                              DWORD flags = 0)
    {
        PROCESS_INFORMATION started = StartProcess(application, commandLine, folder, flags);
        EXPECT_NE(started.hProcess, nullptr) << commandLine;
        if (started.hProcess)
            started_.push_back(started);
        return started;
    }

    // The quit path the menu's quit command will take.
    static DWORD Quit(HWND window, const PROCESS_INFORMATION& process)
    {
        DWORD_PTR ignored;
        SendMessageTimeoutA(window, WM_DESTROY, 0, 0, SMTO_NORMAL, 20000, &ignored);
        return ExitCode(process.hProcess);
    }

    static HWND WaitForResident(DWORD processId)
    {
        HWND window = nullptr;
        WaitFor([&] { return (window = Resident()) && ProcessOf(window) == processId; });
        return window;
    }

    // The records once every process started has ended but `staying`.
    static std::vector<Record> RecordsOnceEnded(const std::string& folder, DWORD staying)
    {
        EXPECT_TRUE(WaitUntilRunning(staying, 60000)) << ProcessesRunning() << " still running";
        return ReadRecords(folder);
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
    }

    std::vector<PROCESS_INFORMATION> started_;
};

struct LaterStart {
    const char* name;
    const char* application; // nullptr: from the command line
    const char* commandLine;
    bool inKitFolder; // started with the kit as its current folder
    Args arguments;   // what the launched program receives
};

TEST_F(Starter, EveryStarterLaunchesAndOnlyTheFirstStays)
{
    Kit kit = MakeKit();
    std::string records = NewRecordFolder();
    PROCESS_INFORMATION first = Start(nullptr, Expand("\"{EXE}\" \"{RUN}\" \"{DOC}\"", kit));
    HWND window = WaitForResident(first.dwProcessId);
    ASSERT_NE(window, nullptr);
    std::vector<Record> got = RecordsOnceEnded(records, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(Arguments(got[0]), (Args{"-x", kit.doc}));
    EXPECT_EQ(got[0]["cwd"], kit.work);
    EXPECT_TRUE(WaitFor([&] { return TrayIconPresent(window, TRAY_ICON_UID); }));
    // What other programs look for: the hidden tool window and the mutex.
    EXPECT_EQ(FindWindowA("TavelkinStarter", "TavelkinStarter"), window);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "Local\\TavelkinStarter");
    EXPECT_NE(mutex, nullptr);
    CloseHandle(mutex);

    const LaterStart later[] = {
        {"quoted paths with blanks", nullptr, "\"{EXE}\" \"{RUN}\" \"{DOC}\"", false, {"-x", "{DOC}"}},
        {"no arguments: the run file in the current folder", nullptr, "\"{EXE}\"", true, {"-x"}},
        {"blanks and control characters after the name", nullptr, "\"{EXE}\" \t\x01 \"{RUN}\" doc", false,
         {"-x", "doc"}},
        // The C runtime's rule would take a quote in the name as opening a
        // quoted stretch and cut the tail inside the run file's path.
        {"the starter's own tail rule", "{EXE}", "x\"y \"{RUN}\" \"{DOC}\"", false, {"-x", "{DOC}"}},
    };
    for (const LaterStart& c : later) {
        SCOPED_TRACE(c.name);
        records = NewRecordFolder();
        std::string application = c.application ? Expand(c.application, kit) : "";
        PROCESS_INFORMATION second = Start(c.application ? application.c_str() : nullptr,
                                           Expand(c.commandLine, kit), c.inKitFolder ? kit.folder.c_str() : nullptr);
        EXPECT_EQ(ExitCode(second.hProcess), static_cast<DWORD>(EXIT_ANOTHER_STARTER));
        got = RecordsOnceEnded(records, 1);
        ASSERT_EQ(got.size(), 1u) << "a later starter launches once before it ends";
        Args expected;
        for (const std::string& a : c.arguments)
            expected.push_back(Expand(a, kit));
        EXPECT_EQ(Arguments(got[0]), expected);
        EXPECT_EQ(got[0]["cwd"], kit.work);
        EXPECT_EQ(ExitCode(first.hProcess, 0), STILL_ACTIVE);
        EXPECT_EQ(Resident(), window);
    }

    EXPECT_EQ(Quit(window, first), 0u);
    EXPECT_FALSE(TrayIconPresent(window, TRAY_ICON_UID));
    EXPECT_EQ(Resident(), nullptr);
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "Local\\TavelkinStarter"), nullptr);
}

// Either mark of a resident starter alone makes a later one end after its
// launch: the mutex without a window (one that is starting), and a window of
// the class without the mutex (the mark other programs look for).
TEST_F(Starter, EitherMarkAloneEndsALaterStarterWith1)
{
    Kit kit = MakeKit();
    for (bool byMutex : {true, false}) {
        SCOPED_TRACE(byMutex ? "mutex alone" : "window alone");
        std::string records = NewRecordFolder();
        HANDLE mutex = nullptr;
        HWND window = nullptr;
        if (byMutex) {
            mutex = CreateMutexA(nullptr, FALSE, "Local\\TavelkinStarter");
            ASSERT_NE(mutex, nullptr);
        } else {
            WNDCLASSA windowClass = {};
            windowClass.lpfnWndProc = DefWindowProcA;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = "TavelkinStarter";
            ASSERT_TRUE(RegisterClassA(&windowClass));
            window = CreateWindowExA(0, "TavelkinStarter", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                     windowClass.hInstance, nullptr);
            ASSERT_NE(window, nullptr);
        }
        PROCESS_INFORMATION later = Start(nullptr, Expand("\"{EXE}\" \"{RUN}\" doc", kit));
        EXPECT_EQ(ExitCode(later.hProcess), static_cast<DWORD>(EXIT_ANOTHER_STARTER));
        std::vector<Record> got = RecordsOnceEnded(records, 0);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(Arguments(got[0]), (Args{"-x", "doc"}));
        if (mutex)
            CloseHandle(mutex);
        if (window) {
            DestroyWindow(window);
            UnregisterClassA("TavelkinStarter", GetModuleHandleA(nullptr));
        }
    }
}

TEST_F(Starter, TheIconComesBackWhenTheTaskbarStartsAgain)
{
    Kit kit = MakeKit();
    NewRecordFolder();
    PROCESS_INFORMATION starter = Start(nullptr, Expand("\"{EXE}\" \"{RUN}\"", kit));
    HWND window = WaitForResident(starter.dwProcessId);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitFor([&] { return TrayIconPresent(window, TRAY_ICON_UID); }));

    ASSERT_TRUE(DeleteTrayIcon(window, TRAY_ICON_UID));
    ASSERT_FALSE(TrayIconPresent(window, TRAY_ICON_UID));
    UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    PostMessageA(HWND_BROADCAST, taskbarCreated, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return TrayIconPresent(window, TRAY_ICON_UID); }));

    // Many more while the icon is there, as the broadcast delivers them: the
    // starter does not grow (under Wine an icon image loaded on each does not
    // show in this figure; a heap that grows on each does), and one icon
    // stays.
    DWORD_PTR ignored;
    SendMessageTimeoutA(window, taskbarCreated, 0, 0, SMTO_NORMAL, 20000, &ignored);
    SIZE_T before = CommittedPrivate(starter.hProcess);
    for (int i = 0; i < 50; ++i)
        SendMessageTimeoutA(window, taskbarCreated, 0, 0, SMTO_NORMAL, 20000, &ignored);
    EXPECT_LE(CommittedPrivate(starter.hProcess), before + 16 * 1024) << "grew from " << before;
    // One icon: once it is taken away, none is left.
    EXPECT_TRUE(DeleteTrayIcon(window, TRAY_ICON_UID));
    EXPECT_FALSE(TrayIconPresent(window, TRAY_ICON_UID));

    EXPECT_EQ(Quit(window, starter), 0u);
    EXPECT_FALSE(TrayIconPresent(window, TRAY_ICON_UID));
}

TEST_F(Starter, OfEightStartedAtOnceOneStays)
{
    Kit kit = MakeKit();
    std::string records = NewRecordFolder();
    std::vector<PROCESS_INFORMATION> starters;
    for (int i = 0; i < 8; ++i)
        starters.push_back(Start(nullptr, Expand("\"{EXE}\" \"{RUN}\"", kit), nullptr, CREATE_SUSPENDED));
    for (PROCESS_INFORMATION& s : starters)
        ResumeThread(s.hThread);

    EXPECT_EQ(RecordsOnceEnded(records, 1).size(), 8u);
    HWND window = Resident();
    for (PROCESS_INFORMATION& s : starters) {
        if (s.dwProcessId == ProcessOf(window))
            EXPECT_EQ(Quit(window, s), 0u);
        else
            EXPECT_EQ(ExitCode(s.hProcess), static_cast<DWORD>(EXIT_ANOTHER_STARTER));
    }
    EXPECT_EQ(Resident(), nullptr);
}

// Start-up called in-process, with this test program as the instance.
class StarterMainInProcess : public Starter {
protected:
    void TearDown() override
    {
        UnregisterClassA(STARTER_CLASS, GetModuleHandleA(nullptr));
        Starter::TearDown();
    }
};

LRESULT CALLBACK RefuseStarterWindows(int code, WPARAM wParam, LPARAM lParam)
{
    char name[64] = "";
    if (code == HCBT_CREATEWND && GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name) &&
        lstrcmpA(name, STARTER_CLASS) == 0)
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(StarterMainInProcess, AFailedRegistrationLaunchesNothing)
{
    Kit kit = MakeKit();
    std::string records = NewRecordFolder();
    WNDCLASSEXA taken = {};
    taken.cbSize = sizeof taken;
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = GetModuleHandleA(nullptr);
    taken.lpszClassName = STARTER_CLASS;
    ASSERT_TRUE(RegisterClassExA(&taken));
    // Should start-up go on regardless, it ends for want of a window rather
    // than running its message loop here for ever.
    HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseStarterWindows, nullptr, GetCurrentThreadId());
    DWORD before = ProcessesStarted();

    EXPECT_EQ(StarterMain(GetModuleHandleA(nullptr), Expand("\"{RUN}\" starter", kit).c_str()), 0);
    UnhookWindowsHookEx(hook);
    // A launch would have started its process before ShellExecuteA returned.
    EXPECT_EQ(ProcessesStarted(), before);
    EXPECT_EQ(RecordsOnceEnded(records, 0).size(), 0u);
}

void CALLBACK QuitWith99(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); }

TEST_F(StarterMainInProcess, WithoutATrayWindowStartUpEndsWith2AfterItsLaunch)
{
    Kit kit = MakeKit();
    std::string records = NewRecordFolder();
    HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseStarterWindows, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    // Should start-up run its message loop without a window, this ends it.
    UINT_PTR guard = SetTimer(nullptr, 0, 20000, QuitWith99);
    int exitCode = StarterMain(GetModuleHandleA(nullptr), Expand("\"{RUN}\"", kit).c_str());
    KillTimer(nullptr, guard);
    UnhookWindowsHookEx(hook);

    EXPECT_EQ(exitCode, EXIT_NO_TRAY_WINDOW);
    EXPECT_EQ(RecordsOnceEnded(records, 0).size(), 1u);
    EXPECT_EQ(Resident(), nullptr);

    // The class start-up registered is still there to be looked at.
    WNDCLASSEXA registered = {};
    registered.cbSize = sizeof registered;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), STARTER_CLASS, &registered));
    EXPECT_EQ(registered.style, 0u);
    EXPECT_EQ(registered.lpfnWndProc, TrayWindowProc);
    EXPECT_EQ(registered.cbClsExtra + registered.cbWndExtra, 0);
    EXPECT_EQ(registered.hCursor, nullptr);
    EXPECT_EQ(registered.hbrBackground, GetStockObject(LTGRAY_BRUSH));
    EXPECT_EQ(registered.lpszMenuName, nullptr);
    for (auto [icon, size] : {std::make_pair(registered.hIcon, 32L), std::make_pair(registered.hIconSm, 16L)}) {
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info)) << size;
        BITMAP mask = {};
        GetObjectA(info.hbmMask, sizeof mask, &mask);
        EXPECT_EQ(mask.bmWidth, size);
        DeleteObject(info.hbmMask);
        DeleteObject(info.hbmColor);
    }
    // The mutex went with the start-up that ended.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, STARTER_MUTEX);
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(mutex);
}

} // namespace
