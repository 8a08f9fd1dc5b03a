// TrayWindowProc on a real window in this process, whose resources are the
// starter's own. What the popup menu does is seen from the messages user32
// sends its owner while it tracks; its position from the popup's window.
#include "program_folder.h"
#include "support.h"
#include "tray.h"
#include "win32_support.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <tuple>

namespace {

struct Popup {
    int shown = 0;
    HMENU menu = nullptr;
    bool ownerInForeground = false;
    RECT rect = {};
};
Popup g_popup;

// TrayWindowProc, watching the menu and closing it as soon as it waits for
// input.
LRESULT CALLBACK Observer(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITMENUPOPUP:
        ++g_popup.shown;
        g_popup.menu = reinterpret_cast<HMENU>(wParam);
        g_popup.ownerInForeground = GetForegroundWindow() == window;
        break;
    case WM_ENTERIDLE:
        if (wParam == MSGF_MENU) {
            GetWindowRect(reinterpret_cast<HWND>(lParam), &g_popup.rect);
            EndMenu();
        }
        break;
    }
    return CallWindowProcA(TrayWindowProc, window, message, wParam, lParam);
}

// The shell's own failure to add an icon (at logon, before the notification
// area is there, or while it is too busy to answer) cannot be brought about
// on demand under Wine, so this program's own import of Shell_NotifyIconA,
// which the tray window calls through, fails the first adds; everything
// else, and every later add, goes to the real shell32.
extern "C" void* g_shellNotifyImport __asm__("__imp__Shell_NotifyIconA@8");
using NotifyCall = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);
const NotifyCall g_realNotify = reinterpret_cast<NotifyCall>(g_shellNotifyImport);
int g_addsToFail;
int g_adds;

BOOL WINAPI FailingNotify(DWORD call, PNOTIFYICONDATAA data)
{
    if (call == NIM_ADD && ++g_adds <= g_addsToFail)
        return FALSE;
    return g_realNotify(call, data);
}

void PutNotifyImport(void* function)
{
    DWORD was;
    VirtualProtect(&g_shellNotifyImport, sizeof g_shellNotifyImport, PAGE_READWRITE, &was);
    g_shellNotifyImport = function;
    VirtualProtect(&g_shellNotifyImport, sizeof g_shellNotifyImport, was, &was);
}

// A tray window of this process, whose resources are the starter's own, made
// by each case; the first `addsToFail` adds of its icon fail.
struct TrayWindow : ::testing::Test {
    bool Create(int addsToFail)
    {
        g_addsToFail = addsToFail;
        g_adds = 0;
        PutNotifyImport(reinterpret_cast<void*>(FailingNotify));
        g_instance = GetModuleHandleA(nullptr);
        RegisterWindowClass("TrayWindowUnderTest", Observer);
        window_ = CreateWindowExA(WS_EX_TOOLWINDOW, "TrayWindowUnderTest", "", 0, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                                  nullptr, nullptr, g_instance, nullptr);
        return window_ != nullptr;
    }
    void TearDown() override
    {
        DestroyWindow(window_);
        MSG msg;
        PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        UnregisterClassA("TrayWindowUnderTest", g_instance);
        PutNotifyImport(reinterpret_cast<void*>(g_realNotify));
    }
    HWND window_ = nullptr;
};

TEST_F(TrayWindow, CreationAddsTheIconAndDestructionRemovesIt)
{
    ASSERT_TRUE(Create(0));
    EXPECT_TRUE(TrayIconPresent(window_, STARTER_ICON_UID));
    ASSERT_NE(g_trayMenu, nullptr);
    EXPECT_EQ(GetMenuItemCount(g_trayMenu), 9);
    EXPECT_EQ(g_programFolder, OwnFolder());

    // A taskbar that starts again while the icon is there: the icon is
    // refreshed and no retry is left running. (Only where the shell refuses
    // a second add of the same icon, as Wine's does, does this need the
    // refresh; elsewhere it holds all the same.)
    SendMessageA(window_, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(TrayIconPresent(window_, STARTER_ICON_UID));
    EXPECT_FALSE(KillTimer(window_, ICON_RETRY_TIMER_ID)) << "the icon is tried again for ever";

    SendMessageA(window_, WM_DESTROY, 0, 0); // the quit command's way
    EXPECT_FALSE(TrayIconPresent(window_, STARTER_ICON_UID));
    MSG msg = {};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
}

TEST_F(TrayWindow, OnlyAButtonPressOverTheIconPopsUpTheMenu)
{
    ASSERT_TRUE(Create(0));
    const std::tuple<const char*, LPARAM, bool> cases[] = {
        // what the icon tells, and whether the menu pops up
        {"left press", WM_LBUTTONDOWN, true},
        {"right press", WM_RBUTTONDOWN, true},
        {"left release", WM_LBUTTONUP, false},
        {"right release", WM_RBUTTONUP, false},
        {"left double click", WM_LBUTTONDBLCLK, false},
        {"right double click", WM_RBUTTONDBLCLK, false},
        {"move", WM_MOUSEMOVE, false},
        {"context menu", WM_CONTEXTMENU, false},
        {"press with more in the high word", MAKELPARAM(WM_LBUTTONDOWN, STARTER_ICON_UID), false},
    };
    for (auto [name, mouse, popsUp] : cases) {
        SCOPED_TRACE(name);
        // Room around the cursor, so that the menu is not pushed back onto the screen.
        SetCursorPos(500, 400);
        g_popup = Popup();
        SendMessageA(window_, STARTER_ICON_MESSAGE, STARTER_ICON_UID, mouse);
        MSG msg;
        bool nullPosted = PeekMessageA(&msg, window_, WM_NULL, WM_NULL, PM_REMOVE);
        EXPECT_EQ(g_popup.shown, popsUp ? 1 : 0);
        EXPECT_EQ(nullPosted, popsUp);
        if (!popsUp)
            continue;
        EXPECT_EQ(g_popup.menu, g_trayMenu);
        EXPECT_TRUE(g_popup.ownerInForeground);
        EXPECT_EQ(g_cursor.x, 500);
        EXPECT_EQ(g_cursor.y, 400);
        EXPECT_EQ(g_popup.rect.left, 500);                                 // left-aligned at the cursor...
        EXPECT_NEAR((g_popup.rect.top + g_popup.rect.bottom) / 2, 400, 1); // ...and centred on its height
    }
}

TEST_F(TrayWindow, WhenItsFirstAddsFailShowsTheIconOnceAnAddSucceeds)
{
    ASSERT_TRUE(Create(2));
    EXPECT_FALSE(TrayIconPresent(window_, STARTER_ICON_UID));
    // Retried on the window's timer, which WaitFor's message pump serves.
    EXPECT_TRUE(WaitFor([&] { return TrayIconPresent(window_, STARTER_ICON_UID); }, 6 * ICON_RETRY_MS));
    EXPECT_EQ(g_adds, 3);
    EXPECT_FALSE(KillTimer(window_, ICON_RETRY_TIMER_ID)) << "no more tries once the icon is there";
}

TEST(TrayTip, IsCutTo63BytesAndItsTerminatorAtACharacterBoundary)
{
    const std::string t61(61, 't'), t62(62, 't');
    const std::tuple<const char*, std::string, std::string> cases[] = {
        // the tip, and what the field holds
        {"short", "Tavelkin", "Tavelkin"},
        {"long", std::string(100, 't'), std::string(63, 't')},
        {"a double-byte character that does not fit", t62 + "\x82\xA0t", t62},
        {"one that just fits", t61 + "\x82\xA0tt", t61 + "\x82\xA0"},
        // A trail byte in the lead bytes' range is no lead byte.
        {"one whose trail byte could lead", t61 + "\x82\x82\x82\xA0", t61 + "\x82\x82"},
    };
    for (const auto& [name, tip, field] : cases) {
        SCOPED_TRACE(name);
        char got[128];
        memset(got, 'x', sizeof got);
        CopyTip(got, tip.c_str(), FakeLeadByte);
        EXPECT_EQ(std::string(got), field);
        EXPECT_EQ(got[64], 'x') << "nothing written past the first version's field";
    }
}

TEST(ProgramFolderOfTheExecutable, HoldsTheWholePathWhateverItsLength)
{
    // This program's own folder is checked where the tray window's creation
    // keeps it (CreationAddsTheIconAndDestructionRemovesIt). Here a copy of
    // the starter deep enough that its path does not fit MAX_PATH. Only the
    // wide functions reach there, and no program can be started from there,
    // but one can be loaded.
    std::string deep = MakeTempFolder("deep");
    for (int i = 0; i < 12; ++i) {
        deep += "\\folder-number-" + std::to_string(i) + "-of-twelve";
        ASSERT_TRUE(CreateDirectoryW(Wide("\\\\?\\" + deep).c_str(), nullptr)) << deep.size();
    }
    ASSERT_GT(deep.size(), 300u);
    std::wstring copy = Wide("\\\\?\\" + deep + "\\starter.exe");
    ASSERT_TRUE(CopyFileW(Wide(OwnFolder() + "..\\starter.exe").c_str(), copy.c_str(), FALSE));
    HMODULE module = LoadLibraryExW(copy.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(ProgramFolder(module), deep + "\\");
    FreeLibrary(module);
}

} // namespace
