// The tray menu's commands sent to a resident starter.exe as its menu sends
// them: WM_COMMAND posted to its window. What each opens is seen through the
// recording program, registered as the handler of documents and addresses.
#include "starter_fixture.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// A starter resident from a kit, which holds the two example documents. It
// is started in the work folder, so that only its working folder can lead the
// shell to the kit. The handlers stay registered for the test's length.
class TrayCommands : public Starter {
protected:
    void SetUp() override
    {
        Starter::SetUp();
        // Its own launch, of the run file it does not find, is done by then.
        ASSERT_TRUE(StartResident("\"{EXE}\"", kit_.work.c_str()));
    }

    Handlers handlers_{kit_.recorder};
};

TEST_F(TrayCommands, EachOpenCommandReachesItsProgram)
{
    if (!handlers_.Effective())
        GTEST_SKIP() << "skipped on purpose: the shell opens .xhtml documents or https addresses with the program "
                        "the user chose, which Windows 8 and later keep where no program may change it, not with "
                        "the handler registered here";
    // The launch opens tavelkin.exe in the kit in its folder, the others the
    // handlers registered; each with SW_SHOWNORMAL (1).
    const Record handler = {{"exe", kit_.recorder}, {"show", "1"}};
    // Each: the commands posted in turn, what the program receives and what
    // else it recorded.
    // clang-format off
    const std::tuple<const char*, std::vector<UINT>, Args, Record> cases[] = {
        {"launch", {MENU_LAUNCH}, {"tavelkin.run"}, {{"exe", kit_.tavelkin}, {"cwd", kit_.folder}, {"show", "1"}}},
        {"reference", {MENU_REFERENCE}, {kit_.folder + "\\examples\\reference.xhtml"}, handler},
        {"feedback", {MENU_FEEDBACK}, {kit_.folder + "\\examples\\feedback.xhtml"}, handler},
        {"website", {MENU_WEBSITE}, {"https://tavelkin.example/"}, handler},
        // The known command comes last, so anything the others had started
        // is counted by then: the one program.
        {"unknown identifiers, then the website", {0, 1, 40000, 40007, 40099, MENU_WEBSITE},
         {"https://tavelkin.example/"}, handler},
    };
    // clang-format on
    for (const auto& [name, commands, arguments, seen] : cases) {
        SCOPED_TRACE(name);
        DWORD before = ProcessesStarted();
        for (UINT command : commands)
            PostMessageA(window_, WM_COMMAND, command, 0);
        ExpectLaunch(records_, 1, arguments, seen);
        EXPECT_EQ(ProcessesStarted() - before, 1u) << "every program started left its record";
    }
    // Nor did any command open the box or take the icon away.
    EXPECT_EQ(Resident(), window_);
    EXPECT_TRUE(TrayIconPresent(window_, STARTER_ICON_UID));
    EXPECT_EQ(VisibleWindow("#32770", starter_.dwProcessId), nullptr);
}

// Quit chosen while the about box or the menu is open ends the starter all
// the same; the box, owned by the tray window and modal inside the about
// command, goes with it. While either is open the tray window still answers
// sent messages. When the session ends, or an installer's Restart Manager closes
// programs (ENDSESSION_CLOSEAPP), the icon is gone by the time
// WM_ENDSESSION returns, and the Restart Manager's close ends the starter as
// quitting does; at a logoff or a shutdown the system ends it. A session
// that goes on changes nothing.
TEST_F(TrayCommands, QuitAndTheSessionsEndTakeTheIconAway)
{
    // Each: the message posted to the tray window first, and once a window
    // of that class (none: nothing) has come up, the message that tells it
    // to go: the quit command posted, as the menu posts it, or the session's
    // end sent, as the system sends it, after WM_QUERYENDSESSION with the
    // same lParam. Then whether the icon is still there and whether the
    // starter ends by itself, with 0.
    struct Case {
        const char* name;
        UINT first;
        WPARAM firstW;
        LPARAM firstL;
        const char* openClass;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool iconStays, ends;
    };
    // clang-format off
    const Case cases[] = {
        {"nothing open", WM_NULL, 0, 0, nullptr, WM_COMMAND, MENU_QUIT, 0, false, true},
        {"about box open", WM_COMMAND, MENU_ABOUT, 0, "#32770", WM_COMMAND, MENU_QUIT, 0, false, true},
        {"menu open", STARTER_ICON_MESSAGE, STARTER_ICON_UID, WM_RBUTTONDOWN, "#32768", WM_COMMAND, MENU_QUIT, 0, false, true},
        {"the Restart Manager", WM_NULL, 0, 0, nullptr, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, false, true},
        {"logoff", WM_NULL, 0, 0, nullptr, WM_ENDSESSION, TRUE, LPARAM(ENDSESSION_LOGOFF), false, false},
        {"shutdown", WM_NULL, 0, 0, nullptr, WM_ENDSESSION, TRUE, 0, false, false},
        {"the session goes on", WM_NULL, 0, 0, nullptr, WM_ENDSESSION, FALSE, ENDSESSION_CLOSEAPP, true, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!Resident()) {
            ASSERT_TRUE(StartResident("\"{EXE}\"", kit_.work.c_str()));
        }
        if (c.openClass) {
            PostMessageA(window_, c.first, c.firstW, c.firstL);
            HWND open = nullptr;
            ASSERT_TRUE(WaitFor([&] { return (open = VisibleWindow(c.openClass, starter_.dwProcessId)) != nullptr; }));
            EXPECT_TRUE(c.first != WM_COMMAND || GetWindow(open, GW_OWNER) == window_) << "the box's owner";
            EXPECT_TRUE(SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 20000, nullptr)) << "an answer";
        }
        if (c.message == WM_ENDSESSION) {
            DWORD_PTR answer = FALSE;
            SendMessageTimeoutA(window_, WM_QUERYENDSESSION, 0, c.lParam, SMTO_NORMAL, 20000, &answer);
            EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE)) << "the session may end";
            EXPECT_TRUE(SendMessageTimeoutA(window_, WM_ENDSESSION, c.wParam, c.lParam, SMTO_NORMAL, 20000, nullptr));
            EXPECT_EQ(TrayIconPresent(window_, STARTER_ICON_UID), c.iconStays) << "once WM_ENDSESSION has returned";
        } else {
            PostMessageA(window_, c.message, c.wParam, c.lParam);
        }
        if (c.ends) {
            EXPECT_EQ(ExitCode(starter_.hProcess), 0u);
            EXPECT_EQ(Resident(), nullptr);
        } else {
            EXPECT_EQ(ExitCode(starter_.hProcess, 0), STILL_ACTIVE) << "it ended";
            EXPECT_EQ(Resident(), window_);
            EXPECT_EQ(Quit(window_, starter_.hProcess), 0u);
        }
        EXPECT_FALSE(TrayIconPresent(window_, STARTER_ICON_UID));
    }
}

} // namespace
