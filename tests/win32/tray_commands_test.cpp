// The tray menu's commands on the real starter.exe, sent as the menu sends
// them: WM_COMMAND posted to its window. What the shell opens is seen through
// the recording program, as tavelkin.exe in the kit and as the handler that
// this test registers for .xhtml documents and for https addresses.
#include "resource.h"
#include "tray.h"
#include "win32_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// A starter resident from a kit folder with a blank in its name, beside a
// recording program named tavelkin.exe and the two example documents. It is
// started in another folder, so that only its working folder can lead the
// shell to the kit. The handlers stay registered for the test's length.
class TrayCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(JoinCountingJob()) << GetLastError();
        ASSERT_EQ(Resident(), nullptr) << "a starter is already running";
        std::string root = MakeTempFolder("commands");
        kit_ = root + "\\my kit";
        elsewhere_ = root + "\\elsewhere";
        records_ = root + "\\records";
        for (const std::string& folder : {kit_, kit_ + "\\examples", elsewhere_, records_})
            CreateDirectoryA(folder.c_str(), nullptr);
        CopyFileA((OwnFolder() + "..\\starter.exe").c_str(), (kit_ + "\\starter.exe").c_str(), FALSE);
        CopyFileA((OwnFolder() + "recorder.exe").c_str(), (kit_ + "\\tavelkin.exe").c_str(), FALSE);
        WriteBytes(kit_ + "\\examples\\reference.xhtml", "<html/>");
        WriteBytes(kit_ + "\\examples\\feedback.xhtml", "<html/>");
        handlers_ = std::make_unique<Handlers>(OwnFolder() + "recorder.exe");
        SetEnvironmentVariableA("STARTER_RECORD_DIR", records_.c_str());
        StartStarter();
    }

    void StartStarter()
    {
        CloseProcess(starter_);
        starter_ = StartProcess(nullptr, "\"" + kit_ + "\\starter.exe\"", elsewhere_.c_str());
        ASSERT_NE(starter_.hProcess, nullptr);
        ASSERT_TRUE(WaitFor([&] { return (window_ = Resident()) && ProcessOf(window_) == starter_.dwProcessId; }));
        ASSERT_TRUE(WaitFor([&] { return TrayIconPresent(window_, TRAY_ICON_UID); }));
        // The starter's own launch, of the run file it does not find, is done.
        ASSERT_TRUE(WaitUntilRunning(1));
    }

    void TearDown() override
    {
        if (starter_.hProcess && WaitForSingleObject(starter_.hProcess, 0) != WAIT_OBJECT_0)
            DeleteTrayIcon(window_, TRAY_ICON_UID);
        CloseProcess(starter_);
        handlers_.reset();
    }

    void Post(UINT command) { PostMessageA(window_, WM_COMMAND, command, 0); }

    // The programs a command started, once they have all ended.
    std::vector<Record> Launched(DWORD startedBefore, size_t atLeast)
    {
        WaitForRecords(records_, atLeast);
        EXPECT_TRUE(WaitUntilRunning(1));
        std::vector<Record> got = ReadRecords(records_);
        EXPECT_EQ(ProcessesStarted() - startedBefore, got.size()) << "every program started left its record";
        return got;
    }

    std::string kit_, elsewhere_, records_;
    std::unique_ptr<Handlers> handlers_;
    PROCESS_INFORMATION starter_ = {};
    HWND window_ = nullptr;
};

struct OpenCase {
    const char* name;
    UINT command;
    bool byTheKitsProgram; // tavelkin.exe in the kit, not a registered handler
    std::vector<std::string> arguments;
};

TEST_F(TrayCommands, EachOpenCommandReachesItsProgram)
{
    const std::string handler = OwnFolder() + "recorder.exe";
    const OpenCase cases[] = {
        {"launch", IDM_LAUNCH, true, {"tavelkin.run"}},
        {"reference", IDM_REFERENCE, false, {kit_ + "\\examples\\reference.xhtml"}},
        {"feedback", IDM_FEEDBACK, false, {kit_ + "\\examples\\feedback.xhtml"}},
        {"website", IDM_WEBSITE, false, {"https://tavelkin.example/"}},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.name);
        ClearRecords(records_);
        DWORD before = ProcessesStarted();
        Post(c.command);
        std::vector<Record> got = Launched(before, 1);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(Arguments(got[0]), c.arguments);
        if (c.byTheKitsProgram) {
            EXPECT_EQ(got[0]["exe"], kit_ + "\\tavelkin.exe");
            EXPECT_EQ(got[0]["cwd"], kit_);
        } else {
            EXPECT_EQ(got[0]["exe"], handler);
        }
    }
    EXPECT_EQ(Resident(), window_);
}

TEST_F(TrayCommands, UnknownIdentifiersChangeNothing)
{
    DWORD before = ProcessesStarted();
    for (UINT unknown : {0u, 1u, 40000u, 40007u, 40099u})
        Post(unknown);
    Post(IDM_WEBSITE);
    // The known command came last, so anything the others had started is
    // counted by now: the one program.
    std::vector<Record> got = Launched(before, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(Arguments(got[0]), std::vector<std::string>{"https://tavelkin.example/"});
    EXPECT_EQ(Resident(), window_);
    EXPECT_TRUE(TrayIconPresent(window_, TRAY_ICON_UID));
    EXPECT_EQ(VisibleWindow("#32770", starter_.dwProcessId), nullptr);
}

// The box is timed from before the command that opens it, which is before
// its WM_INITDIALOG starts the timer: a box closed within the timer's period
// of that was closed by the click.
TEST_F(TrayCommands, AboutShowsTheBoxOwnedByTheTrayWindowUntilItCloses)
{
    for (bool click : {true, false}) {
        SCOPED_TRACE(click ? "left click" : "timer");
        DWORD posted = GetTickCount();
        Post(IDM_ABOUT);
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = VisibleWindow("#32770", starter_.dwProcessId)) != nullptr; }));
        DWORD shown = GetTickCount();
        EXPECT_EQ(GetWindow(box, GW_OWNER), window_);
        // Modal inside the command, yet the tray window answers sent messages.
        DWORD_PTR ignored;
        EXPECT_TRUE(SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored));
        if (click)
            PostMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }, 30000));
        DWORD closed = GetTickCount();
        if (click)
            EXPECT_LT(closed - posted, 5000u) << "closed by the click, before its timer could";
        else
            EXPECT_GE(closed - shown, 4000u) << "stayed until its timer";
    }
    EXPECT_EQ(Resident(), window_);
    EXPECT_TRUE(TrayIconPresent(window_, TRAY_ICON_UID));
}

struct QuitCase {
    const char* name;
    UINT message; // posted to the tray window first, and the quit command
    WPARAM wParam; // once a window of this class has come up
    LPARAM lParam;
    const char* openClass;
};

// Quit chosen while the about box or the menu is open ends the starter all
// the same; the box, whose modal loop is inside the about command, goes
// with it.
TEST_F(TrayCommands, QuitTakesTheIconAwayAndEndsWith0)
{
    const QuitCase cases[] = {
        {"nothing open", WM_NULL, 0, 0, nullptr},
        {"about box open", WM_COMMAND, IDM_ABOUT, 0, "#32770"},
        {"menu open", WM_TRAYNOTIFY, TRAY_ICON_UID, WM_RBUTTONDOWN, "#32768"},
    };
    for (const QuitCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.openClass) {
            StartStarter();
            PostMessageA(window_, c.message, c.wParam, c.lParam);
            ASSERT_TRUE(WaitFor([&] { return VisibleWindow(c.openClass, starter_.dwProcessId) != nullptr; }));
        }
        Post(IDM_QUIT);
        EXPECT_EQ(ExitCode(starter_.hProcess), 0u);
        EXPECT_FALSE(TrayIconPresent(window_, TRAY_ICON_UID));
        EXPECT_EQ(Resident(), nullptr);
    }
}

} // namespace
