// The real starter.exe, started with exact command lines by CreateProcessA,
// its start-up called in-process, the shell's launch in-process, and the tray
// menu's commands sent as the menu sends them: WM_COMMAND posted to the
// starter's window. Launches are seen through the recording program, which
// the run files name, which the kit holds as tavelkin.exe and which is the
// handler these tests register for .xhtml documents and https addresses;
// they are counted once every process started has ended.
#include "launch_shell.h"
#include "resource.h"
#include "tray.h"
#include "win32_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <tuple>
#include <vector>

namespace {

using Args = std::vector<std::string>;

// How a later starter is started, beside its command line.
enum Way { PLAIN, IN_KIT_FOLDER, NAME_AS_APPLICATION, MAY_NOT_LAUNCH };

// A later starter's start, or the shell's launch in-process from a tail.
struct StartCase {
    const char* name;
    std::string commandLine;       // {EXE}, {RUN} and {DOC} as Expand replaces them
    std::optional<Args> arguments; // what the launched program receives; nullopt: no launch
    // IN_KIT_FOLDER: with the kit as its current folder; NAME_AS_APPLICATION:
    // the starter's path as CreateProcessA's application too; MAY_NOT_LAUNCH:
    // the launch may be absent (when no room can be had for its parameters).
    Way way = PLAIN;
    // Of the run file the shell's launch reads: line 2 (nullptr: two lines
    // only), and line 1 (empty: the recording program).
    const char* line2 = "-x";
    std::string program = "";
};

// Starts real starters from a kit, and ends whatever is left of them.
class Starter : public ::testing::Test {
protected:
    // The text with {EXE}, {RUN} and {DOC} replaced by the kit's starter, run
    // file and document.
    std::string Expand(std::string text) const
    {
        for (auto [key, value] : {std::pair("{EXE}", exe_), std::pair("{RUN}", run_), std::pair("{DOC}", doc_)})
            for (size_t at; (at = text.find(key)) != std::string::npos;)
                text.replace(at, std::strlen(key), value);
        return text;
    }

    // Writes the kit's run file: it opens the program (none given: the
    // recording program beside this one) in the work folder, with line 2
    // (none: nullptr).
    void WriteRunFile(const char* line2 = "-x", const std::string& program = "")
    {
        std::ofstream(run_, std::ios::binary) << work_ << "\r\n"
                                              << (program.empty() ? recorder_ : program) << "\r\n"
                                              << (line2 ? line2 + std::string("\r\n") : "");
    }

    // The command line as Expand replaces it.
    PROCESS_INFORMATION Start(const std::string& commandLine, const char* folder = nullptr, DWORD flags = 0,
                              const char* application = nullptr)
    {
        started_.push_back(StartProcess(application, Expand(commandLine), folder, flags));
        EXPECT_NE(started_.back().hProcess, nullptr) << commandLine;
        return started_.back();
    }

    // Starts the starter that is to stay resident; says whether it did, with
    // its tray icon, and its own launch has ended.
    bool StartResident(const std::string& commandLine = "\"{EXE}\" \"{RUN}\"", const char* folder = nullptr)
    {
        starter_ = Start(commandLine, folder);
        return (window_ = WaitForResident(starter_.dwProcessId)) && WaitUntilRunning(1);
    }

    // Once every process started has ended but `staying`: the one launch
    // recorded in the folder, of these arguments and, of what else it
    // recorded, these values (none given: the run file's launch, with the
    // work folder as its current one and SW_SHOW, 5); or none (nullopt;
    // with `mayBeNone`, either).
    void ExpectLaunch(const std::string& records, DWORD staying, const std::optional<Args>& arguments, Record seen = {},
                      bool mayBeNone = false)
    {
        if (seen.empty())
            seen = {{"cwd", work_}, {"show", "5"}};
        if (arguments && !mayBeNone) // for a launch that comes later than this
            WaitFor([&] { return !ReadRecords(records).empty(); });
        EXPECT_TRUE(WaitUntilRunning(staying, 60000)) << ProcessesRunning() << " still running";
        std::vector<Record> got = ReadRecords(records);
        if (mayBeNone && got.empty())
            return;
        ASSERT_EQ(got.size(), arguments ? 1u : 0u) << "a launch once, or none";
        if (arguments) {
            EXPECT_EQ(Arguments(got[0]), *arguments) << got[0]["commandline"];
            for (const auto& [key, value] : seen)
                EXPECT_EQ(got[0][key], value) << key;
        }
    }

    // Each later start, with the resident one there (or a mark of one): it
    // ends with 1 and shows no window (the C runtime's error box above all),
    // after its launch; the resident one stays.
    void ExpectLaterStarts(const std::vector<StartCase>& cases)
    {
        for (const StartCase& c : cases) {
            SCOPED_TRACE(c.name);
            std::string records = NewRecordFolder();
            PROCESS_INFORMATION later = Start(c.commandLine, c.way == IN_KIT_FOLDER ? kit_.c_str() : nullptr, 0,
                                              c.way == NAME_AS_APPLICATION ? exe_.c_str() : nullptr);
            bool shown = false;
            EXPECT_TRUE(WaitFor(
                [&] {
                    shown = shown || VisibleWindow(nullptr, later.dwProcessId);
                    return WaitForSingleObject(later.hProcess, 0) == WAIT_OBJECT_0;
                },
                300000))
                << "still running";
            EXPECT_EQ(ExitCode(later.hProcess, 0), static_cast<DWORD>(EXIT_ANOTHER_STARTER));
            EXPECT_FALSE(shown) << "a window was shown";
            TerminateProcess(later.hProcess, 99);
            ExpectLaunch(records, starter_.hProcess ? 1 : 0, c.arguments, {}, c.way == MAY_NOT_LAUNCH);
            EXPECT_TRUE(!starter_.hProcess || ExitCode(starter_.hProcess, 0) == STILL_ACTIVE) << "the resident ended";
            EXPECT_EQ(Resident(), window_);
        }
    }

    void SetUp() override
    {
        ASSERT_TRUE(JoinCountingJob()) << GetLastError();
        EndEveryStarter();
        for (const std::string& folder : {kit_, work_})
            CreateDirectoryA(folder.c_str(), nullptr);
        CopyFileA((OwnFolder() + "..\\starter.exe").c_str(), exe_.c_str(), FALSE);
        CopyFileA(recorder_.c_str(), tavelkin_.c_str(), FALSE);
        WriteRunFile();
    }
    void TearDown() override
    {
        EndEveryStarter();
        for (PROCESS_INFORMATION& p : started_)
            CloseProcess(p);
        // What a test registered in this program: a starter's class, or one
        // of the same name.
        UnregisterClassA(STARTER_CLASS, GetModuleHandleA(nullptr));
    }

    // A kit as a user has it, in a fresh folder: "my kit" (a blank in its
    // name) holding a copy of starter.exe, the recording program as
    // tavelkin.exe and the run file tavelkin.run; "work folder" beside it; a
    // fresh record folder; and the path of a document with blanks in its
    // folder's name and its own, which is not there. SetUp fills the folders.
    const std::string root_ = MakeTempFolder("starter"), kit_ = root_ + "\\my kit", work_ = root_ + "\\work folder";
    const std::string exe_ = kit_ + "\\starter.exe", tavelkin_ = kit_ + "\\tavelkin.exe";
    const std::string run_ = kit_ + "\\tavelkin.run", records_ = NewRecordFolder();
    const std::string doc_ = root_ + "\\my documents\\my order.xhtml";
    const std::string recorder_ = OwnFolder() + "recorder.exe"; // the one beside this program
    std::vector<PROCESS_INFORMATION> started_;
    PROCESS_INFORMATION starter_ = {}; // the resident one
    HWND window_ = nullptr;
};

TEST_F(Starter, EveryStarterLaunchesAndOnlyTheFirstStays)
{
    ASSERT_TRUE(StartResident("\"{EXE}\" \"{RUN}\" \"{DOC}\""));
    ExpectLaunch(records_, 1, Args{"-x", doc_});
    // What other programs look for: the hidden tool window and the mutex.
    EXPECT_EQ(FindWindowA("TavelkinStarter", "TavelkinStarter"), window_);
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_TRUE(GetWindowLongA(window_, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(CloseHandle(OpenMutexA(SYNCHRONIZE, FALSE, "Local\\TavelkinStarter"))) << "the mutex is there";

    ExpectLaterStarts({
        {"quoted paths with blanks", "\"{EXE}\" \"{RUN}\" \"{DOC}\"", Args{"-x", doc_}},
        {"no arguments: the run file in the current folder", "\"{EXE}\"", Args{"-x"}, IN_KIT_FOLDER},
        {"blanks and control characters after the name", "\"{EXE}\" \t\x01 \"{RUN}\" doc", Args{"-x", "doc"}},
        // The C runtime's rule would take a quote in the name as opening a
        // quoted stretch and cut the tail inside the run file's path.
        {"the starter's own tail rule", "x\"y \"{RUN}\" \"{DOC}\"", Args{"-x", doc_}, NAME_AS_APPLICATION},
    });

    EXPECT_EQ(Quit(window_, starter_.hProcess), 0u);
    EXPECT_FALSE(TrayIconPresent(window_, TRAY_ICON_UID));
    EXPECT_EQ(Resident(), nullptr);
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "Local\\TavelkinStarter"), nullptr);
}

// A window class of that name that does nothing, as another program could
// register it.
bool RegisterBareClass(const char* name)
{
    WNDCLASSA windowClass = {0,       DefWindowProcA, 0,       0,       GetModuleHandleA(nullptr),
                             nullptr, nullptr,        nullptr, nullptr, name};
    return RegisterClassA(&windowClass) != 0;
}

// Either mark of a resident starter alone makes a later one end after its
// launch: the mutex without a window (one that is starting), and a window of
// the class without the mutex (the mark other programs look for).
TEST_F(Starter, EitherMarkAloneEndsALaterStarterWith1)
{
    for (bool byMutex : {true, false}) {
        SCOPED_TRACE(byMutex ? "mutex alone" : "window alone");
        HANDLE mutex = byMutex ? CreateMutexA(nullptr, FALSE, "Local\\TavelkinStarter") : nullptr;
        if (!byMutex && RegisterBareClass("TavelkinStarter"))
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
    ASSERT_TRUE(DeleteTrayIcon(window_, TRAY_ICON_UID));
    ASSERT_FALSE(TrayIconPresent(window_, TRAY_ICON_UID));
    UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    PostMessageA(HWND_BROADCAST, taskbarCreated, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return TrayIconPresent(window_, TRAY_ICON_UID); }));

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
    EXPECT_TRUE(DeleteTrayIcon(window_, TRAY_ICON_UID));
    EXPECT_FALSE(TrayIconPresent(window_, TRAY_ICON_UID));

    EXPECT_EQ(Quit(window_, starter_.hProcess), 0u);
    EXPECT_FALSE(TrayIconPresent(window_, TRAY_ICON_UID));
}

// starter_fallback.exe: the starter bound as where kernel32 lacks
// SetDefaultDllDirectories (what it then keeps out cannot be shown under
// Wine, which protects no KnownDLLs), and made to run out of memory.
TEST_F(Starter, WithoutSetDefaultDllDirectoriesItStaysAndWhenMemoryRunsOutItEndsWith3AndNoIcon)
{
    ASSERT_TRUE(CopyFileA((OwnFolder() + "starter_fallback.exe").c_str(), exe_.c_str(), FALSE));
    ASSERT_TRUE(StartResident()) << "without SetDefaultDllDirectories the starter launches and stays all the same";
    ExpectLaunch(records_, 1, Args{"-x"});
    HANDLE outOfMemory = CreateEventA(nullptr, TRUE, FALSE, "Local\\TavelkinStarterOutOfMemory");
    HANDLE iconDeleted = CreateEventA(nullptr, TRUE, FALSE, "Local\\TavelkinStarterIconDeleted");
    ASSERT_TRUE(SetEvent(outOfMemory));
    EXPECT_EQ(ExitCode(starter_.hProcess), 3u);
    // Windows would leave a dead icon; Wine takes it away itself, so the
    // starter's own NIM_DELETE is what is asked for.
    EXPECT_EQ(WaitForSingleObject(iconDeleted, 0), WAIT_OBJECT_0) << "the icon was not taken away";
    EXPECT_FALSE(TrayIconPresent(window_, TRAY_ICON_UID)) << "a dead icon stayed behind";
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
            EXPECT_EQ(ExitCode(s.hProcess), static_cast<DWORD>(EXIT_ANOTHER_STARTER));
    }
    EXPECT_EQ(Resident(), nullptr);
}

LRESULT CALLBACK RefuseStarterWindows(int code, WPARAM wParam, LPARAM lParam)
{
    char name[64] = "";
    bool refused = code == HCBT_CREATEWND && GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name) &&
                   lstrcmpA(name, STARTER_CLASS) == 0;
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

using StarterMainInProcess = Starter;

TEST_F(StarterMainInProcess, AFailedRegistrationLaunchesNothing)
{
    ASSERT_TRUE(RegisterBareClass(STARTER_CLASS));
    DWORD before = ProcessesStarted();
    EXPECT_EQ(StarterMainWithoutWindows(Expand("\"{RUN}\" starter")), 0);
    // A launch would have started its process before ShellExecuteA returned.
    EXPECT_EQ(ProcessesStarted(), before);
    ExpectLaunch(records_, 0, std::nullopt);
}

TEST_F(StarterMainInProcess, WithoutATrayWindowStartUpEndsWith2AfterItsLaunch)
{
    EXPECT_EQ(StarterMainWithoutWindows(Expand("\"{RUN}\"")), EXIT_NO_TRAY_WINDOW);
    ExpectLaunch(records_, 0, Args{"-x"});
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
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, STARTER_MUTEX), nullptr);
}

// LaunchFromCommandLine against the real shell, which really starts the
// program the run file names.
using LaunchShell = Starter;

TEST_F(LaunchShell, TheRecordingProgramReceivesTheRequest)
{
    // A document the run file names as its program goes to the handler
    // registered for it, by the verb "open", not by its default verb.
    Handlers handlers(recorder_);
    const std::string document = work_ + "\\named by the run file.xhtml";
    std::ofstream(document, std::ios::binary) << "<html/>";
    // The command line is the tail the shell's launch is handed.
    const StartCase cases[] = {
        {"quoted paths with blanks", "\"{RUN}\" \"{DOC}\"", Args{"-x", doc_}},
        {"a document ending in a backslash", "\"{RUN}\" \"{DOC}\\\"", Args{"-x", doc_ + "\\"}},
        {"run file only, no line 2", "\"{RUN}\"", Args{}, PLAIN, nullptr},
        {"plain document", "\"{RUN}\" order.xhtml", Args{"--open", "order.xhtml"}, PLAIN, "--open"},
        {"default run file", "", Args{"-a", "-b"}, PLAIN, "-a  -b"},
        {"a document as the program: the verb open", "\"{RUN}\"", Args{document}, PLAIN, nullptr, document},
    };
    char before[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, before);
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteRunFile(c.line2, c.program);
        std::string records = NewRecordFolder();
        SetCurrentDirectoryA(kit_.c_str()); // where the default run file is found
        DWORD started = ProcessesStarted();
        LaunchFromCommandLine(Expand(c.commandLine).c_str());
        SetCurrentDirectoryA(before);
        ExpectLaunch(records, 0, c.arguments);
        EXPECT_EQ(ProcessesStarted(), started + 1);
    }
}

// The shipped starter.exe, with its own lean runtime, against run files that
// no one should write: a parameters line of hundreds of MiB, device names, a
// folder. With a starter resident, each later starter ends with exit code 1
// after its launch, shows no window (the C runtime's error box above all) and
// launches only what the run file rules allow.
using HostileStarter = Starter;

TEST_F(HostileStarter, LaterStartersEndQuietlyWhateverTheRunFile)
{
    // Line 0 and 1 as usual, then a parameters line of 600 MiB, written a MiB
    // at a time.
    const std::string big = root_ + "\\big.run", pipeName = "\\\\.\\pipe\\starter-hostile";
    std::ofstream out(big, std::ios::binary);
    out << work_ << "\r\n" << recorder_ << "\r\n";
    const std::string mib(1 << 20, 'p');
    for (int i = 0; i < 600; ++i)
        out << mib;
    ASSERT_TRUE(out << "\r\n" << std::flush) << "cannot write 600 MiB here";
    out.close();
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
        {"a folder", exe + root_ + "\" order.xhtml", std::nullopt},
        {"after them, as ever", "\"{EXE}\" \"{RUN}\" order.xhtml", Args{"-x", "order.xhtml"}},
    });
    EXPECT_EQ(Quit(window_, starter_.hProcess), 0u);
    CloseHandle(pipe);
    DeleteFileA(big.c_str());
}

// DLLs planted beside starter.exe and in its working folder must never be
// loaded into it. Marker DLLs (marker_dll.c) are copied there under the
// names of DLLs the starter's process loads that Windows does not protect as
// KnownDLLs, and Wine is told to prefer such native copies, as Windows'
// search order would. The starter then goes through what it does: start-up
// with a launch, the tray icon, the about box, the launch entry and quit.
// Markers fired by other processes (the launched ones) do not count.
//
// STARTER_UNDER_TEST names another starter.exe to try instead of the one
// built beside the tests.
using Planting = Starter;

// The planted names are the ones WINEDLLOVERRIDES makes Wine take from a
// program's own folder first ("name,name=n,b"). Wine reads that setting
// from the environment it was started in, so the test's runner sets it;
// setting it here would not reach the starter.
std::vector<std::string> PlantedNames()
{
    char overrides[4096] = "";
    GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    std::vector<std::string> names;
    std::istringstream entries(overrides);
    for (std::string entry; std::getline(entries, entry, ';');)
        if (size_t eq = entry.find('='); eq != std::string::npos && entry.substr(eq) == "=n,b")
            for (std::istringstream list(entry.substr(0, eq)); std::getline(list, entry, ',');)
                names.push_back(entry);
    return names;
}

TEST_F(Planting, NoPlantedDllIsLoadedIntoTheStarter)
{
    if (const char* underTest = std::getenv("STARTER_UNDER_TEST"); underTest && *underTest) {
        ASSERT_TRUE(CopyFileA(underTest, exe_.c_str(), FALSE)) << underTest;
    }
    // The launch entry opens tavelkin.exe in the program's folder; the
    // start-up launch opens the same recording program, started in the
    // working folder.
    WriteRunFile("-x", tavelkin_);
    std::vector<std::string> names = PlantedNames();
    ASSERT_FALSE(names.empty()) << "WINEDLLOVERRIDES names no DLL to plant";
    const std::string marker = OwnFolder() + "marker.dll";
    for (const std::string& folder : {kit_, work_})
        for (const std::string& name : names)
            ASSERT_TRUE(CopyFileA(marker.c_str(), (folder + "\\" + name + ".dll").c_str(), FALSE)) << folder << name;
    const std::string markers = MakeTempFolder("markers");
    SetEnvironmentVariableA("STARTER_MARKER_DIR", markers.c_str());
    // The control: a marker loaded on purpose leaves its record.
    const std::string control = work_ + "\\marker-control.dll";
    ASSERT_TRUE(CopyFileA(marker.c_str(), control.c_str(), FALSE));
    HMODULE loaded = LoadLibraryA(control.c_str());
    std::vector<Record> own = ReadRecords(markers);
    EXPECT_TRUE(loaded && own.size() == 1 && std::strtoul(own[0]["pid"].c_str(), nullptr, 10) == GetCurrentProcessId())
        << "a marker loaded on purpose leaves its record, of this process";
    FreeLibrary(loaded);

    const bool resident = StartResident("\"{EXE}\" \"{RUN}\"", work_.c_str());
    EXPECT_TRUE(resident) << "the starter stays resident, with its tray icon";
    const DWORD pid = starter_.dwProcessId;
    EXPECT_EQ(ReadRecords(records_).size(), 1u) << "the start-up launch, ended";
    if (resident) {
        PostMessageA(window_, WM_COMMAND, IDM_ABOUT, 0);
        HWND box = nullptr;
        EXPECT_TRUE(WaitFor([&] { return (box = VisibleWindow("#32770", pid)) != nullptr; })) << "the about box";
        if (box)
            PostMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        EXPECT_TRUE(WaitFor([&] { return VisibleWindow("#32770", pid) == nullptr; })) << "the about box closes";
        PostMessageA(window_, WM_COMMAND, IDM_LAUNCH, 0);
        EXPECT_TRUE(WaitFor([&] { return ReadRecords(records_).size() == 2; })) << "the launch entry";
        PostMessageA(window_, WM_COMMAND, IDM_QUIT, 0);
    }
    EXPECT_EQ(ExitCode(starter_.hProcess), 0u) << "the starter quits";
    for (Record& marker : ReadRecords(markers))
        EXPECT_NE(std::strtoul(marker["pid"].c_str(), nullptr, 10), pid)
            << "loaded into the starter: " << marker["dll"];
}

// A starter resident from a kit, beside the two example documents. It is
// started in the work folder, so that only its working folder can lead the
// shell to the kit. The handlers stay registered for the test's length.
class TrayCommands : public Starter {
protected:
    void SetUp() override
    {
        Starter::SetUp();
        CreateDirectoryA((kit_ + "\\examples").c_str(), nullptr);
        for (const char* name : {"reference", "feedback"})
            std::ofstream(kit_ + "\\examples\\" + name + ".xhtml", std::ios::binary) << "<html/>";
        // Its own launch, of the run file it does not find, is done by then.
        ASSERT_TRUE(StartResident("\"{EXE}\"", work_.c_str()));
    }

    Handlers handlers_{recorder_};
};

TEST_F(TrayCommands, EachOpenCommandReachesItsProgram)
{
    if (!handlers_.Effective())
        GTEST_SKIP() << "skipped on purpose: the shell opens .xhtml documents or https addresses with the program "
                        "the user chose, which Windows 8 and later keep where no program may change it, not with "
                        "the handler registered here";
    // The launch opens tavelkin.exe in the kit in its folder, the others the
    // handlers registered; each with SW_SHOWNORMAL (1).
    const Record handler = {{"exe", recorder_}, {"show", "1"}};
    // Each: the commands posted in turn, what the program receives and what
    // else it recorded.
    // clang-format off
    const std::tuple<const char*, std::vector<UINT>, Args, Record> cases[] = {
        {"launch", {IDM_LAUNCH}, {"tavelkin.run"}, {{"exe", tavelkin_}, {"cwd", kit_}, {"show", "1"}}},
        {"reference", {IDM_REFERENCE}, {kit_ + "\\examples\\reference.xhtml"}, handler},
        {"feedback", {IDM_FEEDBACK}, {kit_ + "\\examples\\feedback.xhtml"}, handler},
        {"website", {IDM_WEBSITE}, {"https://tavelkin.example/"}, handler},
        // The known command comes last, so anything the others had started
        // is counted by then: the one program.
        {"unknown identifiers, then the website", {0, 1, 40000, 40007, 40099, IDM_WEBSITE},
         {"https://tavelkin.example/"}, handler},
    };
    // clang-format on
    for (const auto& [name, commands, arguments, seen] : cases) {
        SCOPED_TRACE(name);
        ClearRecords(records_);
        DWORD before = ProcessesStarted();
        for (UINT command : commands)
            PostMessageA(window_, WM_COMMAND, command, 0);
        ExpectLaunch(records_, 1, arguments, seen);
        EXPECT_EQ(ProcessesStarted() - before, 1u) << "every program started left its record";
    }
    // Nor did any command open the box or take the icon away.
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
        PostMessageA(window_, WM_COMMAND, IDM_ABOUT, 0);
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = VisibleWindow("#32770", starter_.dwProcessId)) != nullptr; }));
        DWORD shown = GetTickCount();
        EXPECT_EQ(GetWindow(box, GW_OWNER), window_);
        // Modal inside the command, yet the tray window answers sent messages.
        EXPECT_TRUE(SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 20000, nullptr));
        if (click)
            PostMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }, 30000));
        if (click)
            EXPECT_LT(GetTickCount() - posted, 5000u) << "closed by the click, before its timer could";
        else
            EXPECT_GE(GetTickCount() - shown, 4000u) << "stayed until its timer";
    }
    EXPECT_EQ(Resident(), window_);
    EXPECT_TRUE(TrayIconPresent(window_, TRAY_ICON_UID));
}

// Quit chosen while the about box or the menu is open ends the starter all
// the same; the box, whose modal loop is inside the about command, goes
// with it. When the session ends, or an installer's Restart Manager closes
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
        {"nothing open", WM_NULL, 0, 0, nullptr, WM_COMMAND, IDM_QUIT, 0, false, true},
        {"about box open", WM_COMMAND, IDM_ABOUT, 0, "#32770", WM_COMMAND, IDM_QUIT, 0, false, true},
        {"menu open", WM_TRAYNOTIFY, TRAY_ICON_UID, WM_RBUTTONDOWN, "#32768", WM_COMMAND, IDM_QUIT, 0, false, true},
        {"the Restart Manager", WM_NULL, 0, 0, nullptr, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, false, true},
        {"logoff", WM_NULL, 0, 0, nullptr, WM_ENDSESSION, TRUE, LPARAM(ENDSESSION_LOGOFF), false, false},
        {"shutdown", WM_NULL, 0, 0, nullptr, WM_ENDSESSION, TRUE, 0, false, false},
        {"the session goes on", WM_NULL, 0, 0, nullptr, WM_ENDSESSION, FALSE, ENDSESSION_CLOSEAPP, true, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!Resident()) {
            ASSERT_TRUE(StartResident("\"{EXE}\"", work_.c_str()));
        }
        if (c.openClass) {
            PostMessageA(window_, c.first, c.firstW, c.firstL);
            ASSERT_TRUE(WaitFor([&] { return VisibleWindow(c.openClass, starter_.dwProcessId); }));
        }
        if (c.message == WM_ENDSESSION) {
            DWORD_PTR answer = FALSE;
            SendMessageTimeoutA(window_, WM_QUERYENDSESSION, 0, c.lParam, SMTO_NORMAL, 20000, &answer);
            EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE)) << "the session may end";
            EXPECT_TRUE(SendMessageTimeoutA(window_, WM_ENDSESSION, c.wParam, c.lParam, SMTO_NORMAL, 20000, nullptr));
            EXPECT_EQ(TrayIconPresent(window_, TRAY_ICON_UID), c.iconStays) << "once WM_ENDSESSION has returned";
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
        EXPECT_FALSE(TrayIconPresent(window_, TRAY_ICON_UID));
    }
}

} // namespace
