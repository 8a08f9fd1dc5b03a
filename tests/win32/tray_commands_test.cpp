// The tray menu's commands on the real starter.exe, sent as the menu sends
// them: WM_COMMAND posted to its window. What the shell opens is seen through
// the recording program, as tavelkin.exe in the kit and as the handler that
// this test registers for .xhtml documents and for https addresses.
#include "launch.h"
#include "launch_shell.h"
#include "resource.h"
#include "tray.h"
#include "win32_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const char PROG_ID[] = "TavelkinStarterTest.xhtml";

HWND Resident() { return FindWindowA(STARTER_CLASS, nullptr); }

DWORD ProcessOf(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

// The default value of a key under HKEY_CLASSES_ROOT; absent when the key or
// its value is not there.
Text ClassesDefault(const std::string& key)
{
    char value[1024] = "";
    LONG size = sizeof value;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(value);
}

// Sets the key's default value; absent removes the key with all below it.
void PutClassesDefault(const std::string& key, const Text& value)
{
    if (!value) {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
        RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
        return;
    }
    HKEY opened;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExA(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                       static_cast<DWORD>(value->size() + 1));
        RegCloseKey(opened);
    }
}

void ClearRecords(const std::string& folder)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\record-*.txt").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do
        DeleteFileA((folder + "\\" + data.cFileName).c_str());
    while (FindNextFileA(find, &data));
    FindClose(find);
}

struct Found {
    DWORD processId;
    HWND window;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM parameter)
{
    Found& found = *reinterpret_cast<Found*>(parameter);
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpA(name, "#32770") == 0 && IsWindowVisible(window) && ProcessOf(window) == found.processId)
        found.window = window;
    return found.window == nullptr;
}

// A visible dialog of the starter's, if one is up.
HWND StarterDialog(HWND starter)
{
    Found found = {ProcessOf(starter), nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&found));
    return found.window;
}

// A starter resident from a kit folder with a blank in its name, beside a
// recording program named tavelkin.exe and the two example documents. It is
// started in another folder, so that only its working folder can lead the
// shell to the kit. The handlers stay registered for the test's length.
class TrayCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
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

        std::string handler = "\"" + OwnFolder() + "recorder.exe\" \"%1\"";
        for (const char* key : {".xhtml", PROG_ID, "https\\shell\\open\\command"})
            saved_.emplace_back(key, ClassesDefault(key));
        PutClassesDefault(".xhtml", PROG_ID);
        PutClassesDefault(std::string(PROG_ID) + "\\shell\\open\\command", handler);
        PutClassesDefault("https\\shell\\open\\command", handler);

        SetEnvironmentVariableA("STARTER_RECORD_DIR", records_.c_str());
        std::string commandLine = "\"" + kit_ + "\\starter.exe\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   elsewhere_.c_str(), &startup, &starter_));
        ASSERT_TRUE(WaitFor([&] { return (window_ = Resident()) && ProcessOf(window_) == starter_.dwProcessId; }));
        // Whatever the starter starts from now on joins its job, which counts
        // them all. (Wine cannot put a process that has not run yet in a job.)
        job_ = CreateJobObjectA(nullptr, nullptr);
        ASSERT_TRUE(AssignProcessToJobObject(job_, starter_.hProcess)) << GetLastError();
        ASSERT_TRUE(WaitFor([&] { return TrayIconPresent(window_, TRAY_ICON_UID); }));
    }

    void TearDown() override
    {
        if (starter_.hProcess) {
            if (WaitForSingleObject(starter_.hProcess, 0) != WAIT_OBJECT_0) {
                DeleteTrayIcon(window_, TRAY_ICON_UID);
                TerminateProcess(starter_.hProcess, 99);
                WaitForSingleObject(starter_.hProcess, 20000);
            }
            CloseHandle(starter_.hProcess);
            CloseHandle(starter_.hThread);
        }
        if (job_)
            CloseHandle(job_);
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            PutClassesDefault(it->first, it->second);
    }

    void Post(UINT command) { PostMessageA(window_, WM_COMMAND, command, 0); }

    // Processes ever started in the starter's job, the starter included.
    DWORD Started()
    {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
        QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr);
        return info.TotalProcesses;
    }

    std::string kit_, elsewhere_, records_;
    std::vector<std::pair<std::string, Text>> saved_;
    PROCESS_INFORMATION starter_ = {};
    HANDLE job_ = nullptr;
    HWND window_ = nullptr;
};

struct OpenCase {
    const char* name;
    UINT command;
    bool byTheKitsProgram; // tavelkin.exe in the kit, not a registered handler
    std::string parameters;
};

TEST_F(TrayCommands, EachOpenCommandReachesItsProgram)
{
    const std::string handler = OwnFolder() + "recorder.exe";
    const OpenCase cases[] = {
        {"launch", IDM_LAUNCH, true, "tavelkin.run"},
        {"reference", IDM_REFERENCE, false, "\"" + kit_ + "\\examples\\reference.xhtml\""},
        {"feedback", IDM_FEEDBACK, false, "\"" + kit_ + "\\examples\\feedback.xhtml\""},
        {"website", IDM_WEBSITE, false, "\"https://tavelkin.example/\""},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.name);
        ClearRecords(records_);
        DWORD before = Started();
        Post(c.command);
        std::vector<Record> got = WaitForRecords(records_, 1);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(Started(), before + 1);
        EXPECT_EQ(CommandLineTail(got[0]["commandline"], AnsiLeadByte), c.parameters);
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
    for (UINT unknown : {0u, 1u, 40000u, 40007u, 40099u})
        Post(unknown);
    Post(IDM_WEBSITE);
    std::vector<Record> got = WaitForRecords(records_, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(CommandLineTail(got[0]["commandline"], AnsiLeadByte), "\"https://tavelkin.example/\"");
    // The known command came last, so anything the others had started is
    // counted by now: the starter and the one program.
    EXPECT_EQ(Started(), 2u);
    EXPECT_EQ(Resident(), window_);
    EXPECT_TRUE(TrayIconPresent(window_, TRAY_ICON_UID));
    EXPECT_EQ(StarterDialog(window_), nullptr);
}

struct AboutCase {
    const char* name;
    bool click; // a left click; otherwise its own timer closes it
};

TEST_F(TrayCommands, AboutShowsTheBoxOwnedByTheTrayWindowUntilItCloses)
{
    for (const AboutCase& c : {AboutCase{"left click", true}, AboutCase{"timer", false}}) {
        SCOPED_TRACE(c.name);
        Post(IDM_ABOUT);
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = StarterDialog(window_)) != nullptr; }));
        DWORD shownAt = GetTickCount();
        EXPECT_EQ(GetWindow(box, GW_OWNER), window_);
        // Modal inside the command, yet the tray window answers sent messages.
        DWORD_PTR ignored;
        EXPECT_TRUE(SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored));
        if (c.click)
            PostMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }, 30000));
        DWORD shownFor = GetTickCount() - shownAt;
        // Apart by far from the five seconds either way, so that a slow
        // emulated start does not blur them.
        if (c.click)
            EXPECT_LT(shownFor, 3000u) << "closed by the click, not by the timer";
        else
            EXPECT_GE(shownFor, 3000u) << "stayed until its timer";
    }
    EXPECT_EQ(Resident(), window_);
    EXPECT_TRUE(TrayIconPresent(window_, TRAY_ICON_UID));
}

TEST_F(TrayCommands, QuitTakesTheIconAwayAndEndsWith0)
{
    Post(IDM_QUIT);
    ASSERT_EQ(WaitForSingleObject(starter_.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(starter_.hProcess, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(TrayIconPresent(window_, TRAY_ICON_UID));
    EXPECT_EQ(Resident(), nullptr);
}

} // namespace
