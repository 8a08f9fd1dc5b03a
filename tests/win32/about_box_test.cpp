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
#include <string>
#include <vector>

namespace {

const char NERVOUS_CAPTION[] = "Strange User Behavior Detected!";
const char NERVOUS_TEXT[] = "Wow, 20 clicks in less than 5 seconds!\nYou must be very nervous, or totally bored.";

// Generous bounds: Wine runs emulated here and shares two cores.
const DWORD BOUND_MS = 20000;

// The one box showing at a time. Its thread ends once the box has closed.
HANDLE g_boxThread;
std::atomic<HWND> g_box;
DWORD g_shownAt; // when its WM_INITDIALOG started the timer
DWORD g_endedAt;
INT_PTR g_result;

// The box's own procedure, timed from its WM_INITDIALOG, where its timer
// starts.
INT_PTR CALLBACK TimedAboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        g_shownAt = GetTickCount();
        g_box = dialog;
    }
    return AboutDialogProc(dialog, message, wParam, lParam);
}

DWORD WINAPI RunBox(void*)
{
    g_result = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ABOUT), NULL, TimedAboutProc, 0);
    g_endedAt = GetTickCount();
    return 0;
}

bool ClosesWithin(DWORD ms) { return WaitForSingleObject(g_boxThread, ms) == WAIT_OBJECT_0; }

// Clicks and keys for the box, from a thread of their own. A sent message
// returns only when the dialog procedure has handled it, message box and all,
// so the click that brings up a message is known, and so is the moment its
// handling returned. Posted messages go through the dialog's own message
// loop, which turns Esc and Enter into WM_COMMAND.
struct Action {
    UINT message;
    WPARAM wParam;
    int times;
    bool post = false;
};
std::vector<Action> g_actions;
std::atomic<int> g_handled;
std::atomic<DWORD> g_lastReturn;

DWORD WINAPI RunClicker(void*)
{
    for (const Action& action : g_actions)
        for (int i = 0; i < action.times; ++i) {
            LPARAM where = action.message == WM_KEYDOWN ? 1 : MAKELPARAM(100, 80);
            if (action.post)
                PostMessageA(g_box, action.message, action.wParam, where);
            else
                SendMessageA(g_box, action.message, action.wParam, where);
            g_lastReturn = GetTickCount();
            ++g_handled;
        }
    return 0;
}

// Runs the actions and answers each message box as it comes, after holding
// the first one up until `holdUntil` (0: at once). Gives the number of the
// action (from 1) that brought each message up; 0 where the actions are
// posted, as that is not known.
std::vector<int> ClickThrough(const char* name, const std::vector<Action>& actions, size_t messages, DWORD holdUntil)
{
    g_actions = actions;
    g_handled = 0;
    bool posted = !actions.empty() && actions.back().post;
    HANDLE clicker = CreateThread(NULL, 0, RunClicker, NULL, 0, NULL);
    std::vector<int> at;
    for (;;) {
        HWND message = NULL;
        auto next = [&] {
            message = FindWindowA("#32770", NERVOUS_CAPTION);
            return message || (WaitForSingleObject(clicker, 0) == WAIT_OBJECT_0 && at.size() >= messages);
        };
        if (!WaitFor(next, BOUND_MS) || !message)
            break;
        at.push_back(posted ? 0 : g_handled + 1);
        // The message text's static control, as Windows numbers it.
        char text[512] = "";
        GetDlgItemTextA(message, 0xFFFF, text, sizeof text);
        EXPECT_STREQ(text, NERVOUS_TEXT) << name;
        if (holdUntil && at.size() == 1) {
            LONG left = static_cast<LONG>(holdUntil - GetTickCount());
            EXPECT_TRUE(!ClosesWithin(left > 0 ? left : 0) && IsWindowVisible(g_box))
                << name << ": the timer closed the box under the message";
        }
        PostMessageA(message, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(message); }, BOUND_MS)) << name << ": the message stays";
    }
    EXPECT_EQ(WaitForSingleObject(clicker, BOUND_MS), WAIT_OBJECT_0) << name << ": a click's handling never returned";
    CloseHandle(clicker);
    EXPECT_EQ(FindWindowA("#32770", NERVOUS_CAPTION), (HWND)NULL) << name << ": a message too many";
    return at;
}

// How a showing ends: by its timer, or by a left click, posted or real on
// the picture, which leaves mouse input to the box.
enum Ending { BY_ITSELF, POSTED_CLICK, REAL_CLICK };

struct ShowingCase {
    const char* name;
    std::vector<Action> actions;
    std::vector<int> messageAt; // the action, from 1, that brings up each message; 0: not known (posted)
    Ending ending;
    DWORD holdMs = 0; // how long after the box showed its first message is answered
};

// Each case opens a fresh box, which stands centred at its size, counts
// right clicks from 0 again and ends with 1. A left click ends it at once,
// well ahead of its timer; left alone, it stays its five seconds. The timer
// is stopped while the message is up, past the box's first five seconds,
// and the box stays five fresh seconds once MessageBoxA returns.
TEST(AboutBox, EveryShowingStandsCentredCountsToTwentyAndEnds)
{
    // clang-format off
    const ShowingCase cases[] = {
        {"left alone", {}, {}, BY_ITSELF},
        {"posted WM_LBUTTONDOWN", {}, {}, POSTED_CLICK},
        {"real click on the picture", {}, {}, REAL_CLICK},
        {"19 right clicks: nothing", {{WM_RBUTTONDOWN, MK_RBUTTON, 19}}, {}, POSTED_CLICK},
        {"40 right clicks: the message twice", {{WM_RBUTTONDOWN, MK_RBUTTON, 40}}, {20, 40}, POSTED_CLICK},
        {"a right double-click does not count",
         {{WM_RBUTTONDOWN, MK_RBUTTON, 19}, {WM_RBUTTONDBLCLK, 0, 1}, {WM_RBUTTONDOWN, MK_RBUTTON, 1}}, {21},
         POSTED_CLICK},
        {"Esc and Enter do not close it",
         {{WM_KEYDOWN, VK_ESCAPE, 1, true}, {WM_KEYDOWN, VK_RETURN, 1, true}, {WM_RBUTTONDOWN, MK_RBUTTON, 20, true}},
         {0}, POSTED_CLICK},
        {"20 right clicks, the message held past five seconds", {{WM_RBUTTONDOWN, MK_RBUTTON, 20}}, {20}, BY_ITSELF,
         6500},
    };
    // clang-format on
    for (const ShowingCase& c : cases) {
        // A fresh box, on a thread of its own, once it shows.
        g_box = NULL;
        g_result = -1;
        g_boxThread = CreateThread(NULL, 0, RunBox, NULL, 0, NULL);
        ASSERT_TRUE(WaitFor([] { return g_box && IsWindowVisible(g_box); }, BOUND_MS)) << c.name;
        RECT box, units = {0, 0, 4, 8}, work;
        GetWindowRect(g_box, &box);
        MapDialogRect(g_box, &units);
        ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
        // The template's font at 96 DPI: 6x13 base units make 275x192 units 413x312 pixels.
        EXPECT_EQ(units.right, 6) << c.name;
        EXPECT_EQ(units.bottom, 13) << c.name;
        EXPECT_EQ(box.right - box.left, 413) << c.name;
        EXPECT_EQ(box.bottom - box.top, 312) << c.name;
        EXPECT_EQ(box.left, work.left + (work.right - work.left - 413) / 2) << c.name;
        EXPECT_EQ(box.top, work.top + (work.bottom - work.top - 312) / 2) << c.name;

        std::vector<int> at = ClickThrough(c.name, c.actions, c.messageAt.size(), c.holdMs ? g_shownAt + c.holdMs : 0);
        EXPECT_EQ(at, c.messageAt) << c.name;
        if (c.ending == BY_ITSELF) {
            // The timer starts with the box, and again just before the
            // handling of the click that brought up a message returns.
            DWORD started = at.empty() ? g_shownAt : g_lastReturn.load();
            EXPECT_TRUE(ClosesWithin(BOUND_MS)) << c.name << ": still open " << GetTickCount() - started << " ms on";
            // Five seconds, give or take the clock's tick and MessageBoxA's
            // return; late by less than four, however slow the machine.
            EXPECT_GE(g_endedAt - started, at.empty() ? 4990u : 4500u) << c.name << ": closed before its five seconds";
            EXPECT_LT(g_endedAt - started, 9000u) << c.name << ": closed long after its five seconds";
        } else {
            EXPECT_FALSE(ClosesWithin(0)) << c.name << ": closed with " << g_result;
            DWORD clicked = GetTickCount();
            if (c.ending == REAL_CLICK) {
                SetCursorPos((box.left + box.right) / 2, (box.top + box.bottom) / 2);
                mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
                mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
            } else {
                PostMessageA(g_box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
            }
            EXPECT_TRUE(ClosesWithin(BOUND_MS)) << c.name;
            if (c.actions.empty()) {
                EXPECT_LT(g_endedAt - g_shownAt, 5000u)
                    << c.name << ": closed " << g_endedAt - clicked << " ms after the click, not before its timer";
            }
        }
        EXPECT_EQ(g_result, 1) << c.name;
        // A box left open is closed, so that one failing case does not hold up the next.
        if (!ClosesWithin(0))
            EndDialog(g_box, 99);
        ClosesWithin(BOUND_MS);
        CloseHandle(g_boxThread);
    }
}

} // namespace
