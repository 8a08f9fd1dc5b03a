// The about box on the program's own dialog template and picture, against
// real user32 under Wine. The box runs modally on a thread of its own, as it
// does under the tray menu; the test thread watches it and clicks.
// Case names go into the failure messages, not into SCOPED_TRACE: its first
// use starts a GoogleTest thread, and under Wine on qemu such a thread,
// started next to the box's threads, has brought the whole program down.
#include "about_box.h"
#include "resource.h"
#include "win32_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char NERVOUS_CAPTION[] = "Strange User Behavior Detected!";
const char NERVOUS_TEXT[] = "Wow, 20 clicks in less than 5 seconds!\nYou must be very nervous, or totally bored.";

// Generous bounds: Wine runs emulated here and shares two cores.
const DWORD BOUND_MS = 20000;

struct Showing {
    HANDLE thread = NULL;
    DWORD threadId = 0;
    HWND box = NULL;
    DWORD shownAt = 0; // when its WM_INITDIALOG started the timer
    DWORD endedAt = 0;
    std::atomic<bool> ended{false};
    INT_PTR result = -1;
};

DWORD g_initialisedAt;

// The box's own procedure, timed from its WM_INITDIALOG, where its timer
// starts.
INT_PTR CALLBACK TimedAboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        g_initialisedAt = GetTickCount();
    return AboutDialogProc(dialog, message, wParam, lParam);
}

DWORD WINAPI RunBox(void* parameter)
{
    Showing* showing = static_cast<Showing*>(parameter);
    showing->result =
        DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ABOUT), NULL, TimedAboutProc, 0);
    showing->endedAt = GetTickCount();
    showing->ended = true;
    return 0;
}

struct Found {
    const char* caption;
    HWND window;
};

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM parameter)
{
    Found* found = reinterpret_cast<Found*>(parameter);
    char className[64] = "", caption[256] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (IsWindowVisible(window) && std::string(className) == "#32770" && found->caption == std::string(caption)) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

// Opens the box and waits until it shows.
bool Open(Showing& showing)
{
    showing.thread = CreateThread(NULL, 0, RunBox, &showing, 0, &showing.threadId);
    bool shown = WaitFor([&] {
        Found found = {"", NULL};
        EnumThreadWindows(showing.threadId, FindVisibleDialog, reinterpret_cast<LPARAM>(&found));
        showing.box = found.window;
        return showing.box != NULL;
    }, BOUND_MS);
    showing.shownAt = g_initialisedAt;
    return shown;
}

// Waits for the box's thread; a box left open is closed first, so that one
// failing case does not hold up the next.
void Finish(Showing& showing)
{
    if (!showing.ended && showing.box)
        EndDialog(showing.box, 99);
    WaitForSingleObject(showing.thread, BOUND_MS);
    CloseHandle(showing.thread);
}

DWORD Since(DWORD tick) { return GetTickCount() - tick; }

// True when the box is still open at the given tick.
bool StaysOpenUntil(Showing& showing, DWORD tick)
{
    DWORD now = GetTickCount();
    DWORD left = static_cast<LONG>(tick - now) > 0 ? tick - now : 0;
    return !WaitFor([&] { return showing.ended.load(); }, left) && IsWindowVisible(showing.box);
}

bool ClosesWithin(Showing& showing, DWORD ms)
{
    return WaitFor([&] { return showing.ended.load(); }, ms);
}

// Clicks and keys for the box, from a thread of their own. A sent message
// returns only when the dialog procedure has handled it, message box and all,
// so the click that brings up a message is known, and so is the moment its
// handling returned. Posted messages go through the dialog's own message
// loop, which turns Esc and Enter into WM_COMMAND.
struct Action {
    bool post;
    UINT message;
    WPARAM wParam;
    int times;
};

Action Send(UINT message, int times) { return {false, message, WPARAM(message == WM_RBUTTONDOWN ? MK_RBUTTON : 0), times}; }
Action Post(UINT message, WPARAM wParam, int times) { return {true, message, wParam, times}; }

struct Clicker {
    HWND box = NULL;
    std::vector<Action> actions;
    std::atomic<int> handled{0};
    std::atomic<DWORD> lastReturn{0};
    std::atomic<bool> done{false};
};

DWORD WINAPI RunClicker(void* parameter)
{
    Clicker* clicker = static_cast<Clicker*>(parameter);
    LPARAM where = MAKELPARAM(100, 80);
    for (const Action& action : clicker->actions)
        for (int i = 0; i < action.times; ++i) {
            if (action.post)
                PostMessageA(clicker->box, action.message, action.wParam, action.message == WM_KEYDOWN ? 1 : where);
            else
                SendMessageA(clicker->box, action.message, action.wParam, where);
            clicker->lastReturn = GetTickCount();
            ++clicker->handled;
        }
    clicker->done = true;
    return 0;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM parameter)
{
    char className[64] = "", text[512] = "";
    GetClassNameA(child, className, sizeof className);
    GetWindowTextA(child, text, sizeof text);
    if (std::string(className) == "Static" && text[0])
        *reinterpret_cast<std::string*>(parameter) += text;
    return TRUE;
}

// Runs the clicker and answers each message box as it comes, after holding
// the first one up until `holdUntil` (0: at once). Gives the number of the
// action (from 1) that brought each message up.
std::vector<int> ClickThrough(const char* name, Showing& showing, Clicker& clicker, size_t messages,
                              DWORD holdUntil = 0)
{
    clicker.box = showing.box;
    HANDLE thread = CreateThread(NULL, 0, RunClicker, &clicker, 0, NULL);
    std::vector<int> at;
    for (;;) {
        HWND message = NULL;
        bool seen = WaitFor([&] {
            message = FindWindowA("#32770", NERVOUS_CAPTION);
            return message || (clicker.done && at.size() >= messages);
        }, BOUND_MS);
        if (!seen || !message)
            break;
        at.push_back(clicker.handled + 1);
        std::string text;
        EnumChildWindows(message, CollectStaticText, reinterpret_cast<LPARAM>(&text));
        EXPECT_EQ(text, NERVOUS_TEXT) << name;
        if (holdUntil && at.size() == 1) {
            EXPECT_TRUE(StaysOpenUntil(showing, holdUntil)) << name << ": the timer closed the box under the message";
        }
        PostMessageA(message, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(message); }, BOUND_MS)) << name << ": the message stays";
    }
    EXPECT_EQ(WaitForSingleObject(thread, BOUND_MS), WAIT_OBJECT_0) << name << ": a click's handling never returned";
    CloseHandle(thread);
    EXPECT_EQ(FindWindowA("#32770", NERVOUS_CAPTION), (HWND)NULL) << name << ": a message too many";
    return at;
}

TEST(AboutBox, StandsCentredAtItsSizeAndClosesByItself)
{
    Showing showing;
    ASSERT_TRUE(Open(showing));

    RECT box;
    GetWindowRect(showing.box, &box);
    RECT units = {0, 0, 4, 8};
    MapDialogRect(showing.box, &units);
    RECT work;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    std::printf("about box %ldx%ld at %ld,%ld; work area %ld,%ld,%ld,%ld; base units %ldx%ld\n",
                box.right - box.left, box.bottom - box.top, box.left, box.top, work.left, work.top, work.right,
                work.bottom, units.right, units.bottom);
    // The template's font at 96 DPI: 6x13 base units make 275x192 units 413x312 pixels.
    EXPECT_EQ(units.right, 6);
    EXPECT_EQ(units.bottom, 13);
    EXPECT_EQ(box.right - box.left, 413);
    EXPECT_EQ(box.bottom - box.top, 312);
    EXPECT_EQ(box.left, work.left + (work.right - work.left - 413) / 2);
    EXPECT_EQ(box.top, work.top + (work.bottom - work.top - 312) / 2);
    EXPECT_LE(std::abs((box.left + box.right) - (work.left + work.right)), 1);
    EXPECT_LE(std::abs((box.top + box.bottom) - (work.top + work.bottom)), 1);

    EXPECT_TRUE(ClosesWithin(showing, 12000)) << "still open after " << Since(showing.shownAt) << " ms";
    // Its timer's five seconds, give or take the clock's tick.
    EXPECT_GE(showing.endedAt - showing.shownAt, 4990u) << "closed before its five seconds";
    EXPECT_EQ(showing.result, 1);
    Finish(showing);
}

// A left click ends the box at once, well ahead of its timer, whether it is
// a message or a real click on the picture, which leaves mouse input to the box.
TEST(AboutBox, LeftClickClosesAtOnce)
{
    for (bool real : {false, true}) {
        const char* name = real ? "real click on the picture" : "posted WM_LBUTTONDOWN";
        Showing showing;
        ASSERT_TRUE(Open(showing));
        DWORD clicked = GetTickCount();
        if (real) {
            RECT box;
            GetWindowRect(showing.box, &box);
            SetCursorPos((box.left + box.right) / 2, (box.top + box.bottom) / 2);
            INPUT click[2] = {};
            click[0].type = click[1].type = INPUT_MOUSE;
            click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
            click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
            SendInput(2, click, sizeof(INPUT));
        } else {
            PostMessageA(showing.box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        }
        EXPECT_TRUE(ClosesWithin(showing, BOUND_MS)) << name;
        EXPECT_LT(showing.endedAt - showing.shownAt, 5000u)
            << name << ": closed " << showing.endedAt - clicked << " ms after the click, not before the timer could";
        EXPECT_EQ(showing.result, 1) << name;
        Finish(showing);
    }
}

struct ClickCase {
    const char* name;
    std::vector<Action> actions;
    std::vector<int> messageAt; // the action, from 1, that brings up each message; 0: not known (posted)
};

// Each case opens a fresh box, which must count from 0 again, and ends it
// with a left click once the clicks are through.
TEST(AboutBox, RightClicksCountToTwenty)
{
    const ClickCase cases[] = {
        {"19 right clicks: nothing", {Send(WM_RBUTTONDOWN, 19)}, {}},
        {"40 right clicks: the message twice", {Send(WM_RBUTTONDOWN, 40)}, {20, 40}},
        {"a right double-click does not count",
         {Send(WM_RBUTTONDOWN, 19), Send(WM_RBUTTONDBLCLK, 1), Send(WM_RBUTTONDOWN, 1)}, {21}},
        {"Esc and Enter do not close it",
         {Post(WM_KEYDOWN, VK_ESCAPE, 1), Post(WM_KEYDOWN, VK_RETURN, 1), Post(WM_RBUTTONDOWN, MK_RBUTTON, 20)}, {0}},
    };
    for (const ClickCase& c : cases) {
        Showing showing;
        ASSERT_TRUE(Open(showing)) << c.name;
        Clicker clicker;
        clicker.actions = c.actions;
        std::vector<int> at = ClickThrough(c.name, showing, clicker, c.messageAt.size());
        if (c.messageAt == std::vector<int>{0}) {
            EXPECT_EQ(at.size(), 1u) << c.name;
        } else {
            EXPECT_EQ(at, c.messageAt) << c.name;
        }
        EXPECT_FALSE(showing.ended) << c.name << ": closed with " << showing.result;
        PostMessageA(showing.box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        EXPECT_TRUE(ClosesWithin(showing, BOUND_MS)) << c.name;
        EXPECT_EQ(showing.result, 1) << c.name;
        Finish(showing);
    }
}

// The timer is stopped while the message is up, past the box's first five
// seconds, and the box stays five fresh seconds once MessageBoxA returns.
TEST(AboutBox, TwentiethRightClickShowsTheMessageAndRestartsTheTimer)
{
    Showing showing;
    ASSERT_TRUE(Open(showing));
    Clicker clicker;
    clicker.actions = {Send(WM_RBUTTONDOWN, 20)};
    std::vector<int> at = ClickThrough("20 right clicks", showing, clicker, 1, showing.shownAt + 6500);
    EXPECT_EQ(at, std::vector<int>{20});
    DWORD returned = clicker.lastReturn;
    EXPECT_TRUE(ClosesWithin(showing, 12000)) << "still open " << Since(returned) << " ms after the message";
    // The timer restarts just before the click's handling returns here.
    EXPECT_GE(showing.endedAt - returned, 4500u) << "no fresh five seconds after the message";
    EXPECT_EQ(showing.result, 1);
    Finish(showing);
}

} // namespace
