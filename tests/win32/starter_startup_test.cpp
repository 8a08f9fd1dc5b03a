// The real starter.exe's start-up: started from a kit with exact command
// lines, the first stays resident with its hidden window, its mutex and its
// tray icon, and every later one launches and ends; also called in-process,
// where its class's registration or its window can be made to fail.
#include "starter_fixture.h"
#include "tray.h"

#include <gtest/gtest.h>

namespace {

TEST_F(Starter, EveryStarterLaunchesAndOnlyTheFirstStays)
{
    ASSERT_TRUE(StartResident("\"{EXE}\" \"{RUN}\" \"{DOC}\""));
    ExpectLaunch(records_, 1, Args{"-x", doc_});
    // What other programs look for: the hidden tool window and the mutex.
    EXPECT_EQ(FindWindowA("TavelkinStarter", "TavelkinStarter"), window_);
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_TRUE(GetWindowLongA(window_, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(CloseHandle(OpenMutexA(SYNCHRONIZE, FALSE, STARTER_MUTEX_NAME))) << "the mutex is there";

    ExpectLaterStarts({
        {"quoted paths with blanks", "\"{EXE}\" \"{RUN}\" \"{DOC}\"", Args{"-x", doc_}},
        {"no arguments: the run file in the current folder", "\"{EXE}\"", Args{"-x"}, IN_KIT_FOLDER},
        {"blanks and control characters after the name", "\"{EXE}\" \t\x01 \"{RUN}\" doc", Args{"-x", "doc"}},
        // The C runtime's rule would take a quote in the name as opening a
        // quoted stretch and cut the tail inside the run file's path.
        {"the starter's own tail rule", "x\"y \"{RUN}\" \"{DOC}\"", Args{"-x", doc_}, NAME_AS_APPLICATION},
    });

    EXPECT_EQ(Quit(window_, starter_.hProcess), 0u);
    EXPECT_FALSE(TrayIconPresent(window_, STARTER_ICON_UID));
    EXPECT_EQ(Resident(), nullptr);
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, STARTER_MUTEX_NAME), nullptr);
}

// Either mark of a resident starter alone makes a later one end after its
// launch: the mutex without a window (one that is starting), and a window of
// the class without the mutex (the mark other programs look for).
TEST_F(Starter, EitherMarkAloneEndsALaterStarterWith1)
{
    for (bool byMutex : {true, false}) {
        SCOPED_TRACE(byMutex ? "mutex alone" : "window alone");
        HANDLE mutex = byMutex ? CreateMutexA(nullptr, FALSE, STARTER_MUTEX_NAME) : nullptr;
        if (!byMutex && RegisterWindowClass("TavelkinStarter", DefWindowProcA))
            window_ = CreateWindowExA(0, "TavelkinStarter", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(mutex || window_);
        ExpectLaterStarts({{"a later starter", "\"{EXE}\" \"{RUN}\" doc", Args{"-x", "doc"}}});
        CloseHandle(mutex); // one of the two is nothing, which these calls ignore
        DestroyWindow(window_);
    }
}

TEST_F(Starter, TheIconComesBackWhenTheTaskbarStartsAgain)
{
    ASSERT_TRUE(StartResident());
    ASSERT_TRUE(DeleteTrayIcon(window_, STARTER_ICON_UID));
    ASSERT_FALSE(TrayIconPresent(window_, STARTER_ICON_UID));
    UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    PostMessageA(HWND_BROADCAST, taskbarCreated, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return TrayIconPresent(window_, STARTER_ICON_UID); }));

    // Many more while the icon is there, as the broadcast delivers them: the
    // starter does not grow (under Wine an icon image loaded on each does not
    // show in this figure; a heap that grows on each does), and one icon
    // stays.
    SendMessageTimeoutA(window_, taskbarCreated, 0, 0, SMTO_NORMAL, 20000, nullptr);
    SIZE_T before = CommittedPrivate(starter_.hProcess);
    for (int i = 0; i < 50; ++i)
        SendMessageTimeoutA(window_, taskbarCreated, 0, 0, SMTO_NORMAL, 20000, nullptr);
    EXPECT_LE(CommittedPrivate(starter_.hProcess), before + 16 * 1024) << "grew from " << before;
    // One icon: once it is taken away, none is left.
    EXPECT_TRUE(DeleteTrayIcon(window_, STARTER_ICON_UID));
    EXPECT_FALSE(TrayIconPresent(window_, STARTER_ICON_UID));

    EXPECT_EQ(Quit(window_, starter_.hProcess), 0u);
    EXPECT_FALSE(TrayIconPresent(window_, STARTER_ICON_UID));
}

// starter_fallback.exe: the starter bound as where kernel32 lacks
// SetDefaultDllDirectories (what it then keeps out cannot be shown under
// Wine, which protects no KnownDLLs), and made to run out of memory.
TEST_F(Starter, WithoutSetDefaultDllDirectoriesItStaysAndWhenMemoryRunsOutItEndsWith3AndNoIcon)
{
    ASSERT_TRUE(CopyFileA((OwnFolder() + "starter_fallback.exe").c_str(), kit_.exe.c_str(), FALSE));
    ASSERT_TRUE(StartResident()) << "without SetDefaultDllDirectories the starter launches and stays all the same";
    ExpectLaunch(records_, 1, Args{"-x"});
    HANDLE outOfMemory = CreateEventA(nullptr, TRUE, FALSE, "Local\\TavelkinStarterOutOfMemory");
    HANDLE iconDeleted = CreateEventA(nullptr, TRUE, FALSE, "Local\\TavelkinStarterIconDeleted");
    ASSERT_TRUE(SetEvent(outOfMemory));
    EXPECT_EQ(ExitCode(starter_.hProcess), 3u);
    // Windows would leave a dead icon; Wine takes it away itself, so the
    // starter's own NIM_DELETE is what is asked for.
    EXPECT_EQ(WaitForSingleObject(iconDeleted, 0), WAIT_OBJECT_0) << "the icon was not taken away";
    EXPECT_FALSE(TrayIconPresent(window_, STARTER_ICON_UID)) << "a dead icon stayed behind";
    CloseHandle(iconDeleted);
    CloseHandle(outOfMemory);
}

TEST_F(Starter, OfEightStartedAtOnceOneStays)
{
    for (int i = 0; i < 8; ++i)
        Start("\"{EXE}\" \"{RUN}\"", nullptr, CREATE_SUSPENDED);
    for (PROCESS_INFORMATION& s : started_)
        ResumeThread(s.hThread);

    EXPECT_TRUE(WaitUntilRunning(1, 60000)) << ProcessesRunning() << " still running";
    EXPECT_EQ(ReadRecords(records_).size(), 8u);
    HWND window = Resident();
    for (PROCESS_INFORMATION& s : started_) {
        if (s.dwProcessId == ProcessOf(window))
            EXPECT_EQ(Quit(window, s.hProcess), 0u);
        else
            EXPECT_EQ(ExitCode(s.hProcess), 1u) << "another starter is resident";
    }
    EXPECT_EQ(Resident(), nullptr);
}

LRESULT CALLBACK RefuseStarterWindows(int code, WPARAM wParam, LPARAM lParam)
{
    char name[64] = "";
    bool refused = code == HCBT_CREATEWND && GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name) &&
                   lstrcmpA(name, STARTER_WINDOW_CLASS) == 0;
    return refused ? 1 : CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK QuitWith99(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); }

// Start-up called in-process, with this test program as the instance and
// the starter's windows refused, so that it ends for want of one rather than
// running its message loop here for ever; should it run the loop all the
// same, a timer ends it with 99.
int StarterMainWithoutWindows(const std::string& tail)
{
    HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseStarterWindows, nullptr, GetCurrentThreadId());
    EXPECT_NE(hook, nullptr);
    UINT_PTR guard = SetTimer(nullptr, 0, 20000, QuitWith99);
    int exitCode = StarterMain(GetModuleHandleA(nullptr), tail.c_str());
    KillTimer(nullptr, guard);
    UnhookWindowsHookEx(hook);
    return exitCode;
}

TEST_F(Starter, AFailedRegistrationLaunchesNothing)
{
    ASSERT_TRUE(RegisterWindowClass(STARTER_WINDOW_CLASS, DefWindowProcA));
    DWORD before = ProcessesStarted();
    EXPECT_EQ(StarterMainWithoutWindows(Expand("\"{RUN}\" starter")), 0);
    // A launch would have started its process before ShellExecuteA returned.
    EXPECT_EQ(ProcessesStarted(), before);
    ExpectLaunch(records_, 0, std::nullopt);
}

TEST_F(Starter, WithoutATrayWindowStartUpEndsWith2AfterItsLaunch)
{
    EXPECT_EQ(StarterMainWithoutWindows(Expand("\"{RUN}\"")), 2) << "no tray window";
    ExpectLaunch(records_, 0, Args{"-x"});
    EXPECT_EQ(Resident(), nullptr);

    // The class start-up registered is still there to be looked at.
    WNDCLASSEXA registered = {};
    registered.cbSize = sizeof registered;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), STARTER_WINDOW_CLASS, &registered));
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
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, STARTER_MUTEX_NAME), nullptr);
}

} // namespace
