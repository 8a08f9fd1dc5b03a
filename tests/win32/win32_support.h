// Helpers for everything that runs against real Win32 under Wine: the
// GoogleTest programs and the probe of the real-input tests. Polling with a
// bound, folders and files, the recording program's records, the resident
// starter and its windows, processes and the job that counts them, the
// tray, and the file-type handlers in the registry.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The names and numbers by which other programs find and drive the resident
// starter, written out here rather than taken from the code under test.
const char STARTER_WINDOW_CLASS[] = "TavelkinStarter"; // its window's class and title
const char STARTER_MUTEX_NAME[] = "Local\\TavelkinStarter";
const UINT STARTER_ICON_UID = 1000;
const UINT STARTER_ICON_MESSAGE = 0x87D0; // what a click on the icon arrives as
// The tray menu's commands, as its entries send them.
const UINT MENU_ABOUT = 40001, MENU_WEBSITE = 40002, MENU_REFERENCE = 40003, MENU_FEEDBACK = 40004, MENU_QUIT = 40005,
           MENU_LAUNCH = 40006;

// Calls the check until it says yes or the bound runs out; says which.
bool WaitFor(const std::function<bool()>& check, DWORD timeoutMs = 20000);

// UTF-8 as UTF-16, for the wide functions, which reach any name.
std::wstring Wide(const std::string& utf8);

// The folder holding the running test program, ending in a backslash.
std::string OwnFolder();

// A fresh empty folder below the system's temporary folder, without a
// trailing backslash.
std::string MakeTempFolder(const std::string& label);

// A kit as a user has it, in a fresh folder (root): "my kit" (a blank in its
// name) holding a copy of starter.exe (the one a folder above this program),
// the recording program as tavelkin.exe, the run file tavelkin.run (as
// WriteRunFile writes it by default) and the two example documents; "work
// folder" beside it. The recording program beside this one is the original
// of tavelkin.exe, and the handler that Handlers registers.
struct Kit {
    std::string root, folder, work, exe, tavelkin, run, recorder;
};
Kit MakeKit();
// Writes the kit's run file: it opens the program (none given: the recording
// program beside this one) in the work folder, with line 2 (none: nullptr).
void WriteRunFile(const Kit& kit, const char* line2 = "-x", const std::string& program = "");

// What the recording program wrote of one start: "commandline", "cwd",
// "exe", "pid", "show" (its show command), "argc" and "arg1" ... as its C
// runtime parsed them; "wcwd", "wexe", "wargc" and "warg1" ... as a Unicode
// program has them, in UTF-8; and "file", the record's own path.
using Record = std::map<std::string, std::string>;

// A fresh folder for the records of what starts next: STARTER_RECORD_DIR
// names it from now on, for this program and what it starts.
std::string NewRecordFolder();

// The records that the recording program has left in a folder, oldest first.
std::vector<Record> ReadRecords(const std::string& folder);
void ClearRecords(const std::string& folder);
// The arguments after the program's own name, as the recorded program's C
// runtime handed them to it; or (wide) as a Unicode program's runtime takes
// them apart, in UTF-8.
std::vector<std::string> Arguments(const Record& record, bool wide = false);

// The resident starter's window, and the process of any window.
HWND Resident();
DWORD ProcessOf(HWND window);
// The resident starter of that process, once its window and icon are there;
// nullptr if they are not within the bound.
HWND WaitForResident(DWORD processId, DWORD timeoutMs = 20000);
// Ends a resident starter by the path its quit command takes, and returns
// its exit code as ExitCode does.
DWORD Quit(HWND window, HANDLE process);
// A visible top-level window of the class (nullptr: any class) in the
// process (0: any process).
HWND VisibleWindow(const char* className, DWORD processId);
// Ends every starter there is, so that none outlives a test or is there
// before one.
void EndEveryStarter();

// Registers a window class of this program under that name, with nothing
// but its procedure; says whether it did.
bool RegisterWindowClass(const char* name, WNDPROC procedure);

// Starts a program with an exact command line; no handles when it fails.
PROCESS_INFORMATION StartProcess(const char* application, std::string commandLine, const char* folder = nullptr,
                                 DWORD flags = 0);
// The exit code once the process has ended, STILL_ACTIVE if it has not
// within the bound.
DWORD ExitCode(HANDLE process, DWORD timeoutMs = 30000);
void CloseProcess(PROCESS_INFORMATION& process);
// The committed private memory of a process, region by region
// (VirtualQueryEx): what it has allocated for itself, whichever counters the
// system keeps.
SIZE_T CommittedPrivate(HANDLE process);

// Puts this program into a job, so that every process it starts, and every
// process those start, is counted: launches are counted once they have all
// ended, and a late second launch cannot be missed.
bool JoinCountingJob();
DWORD ProcessesStarted(); // ever, this program excluded
DWORD ProcessesRunning(); // now, this program and Wine's own programs excluded
// Waits until only `staying` of the started processes still run.
bool WaitUntilRunning(DWORD staying, DWORD timeoutMs = 30000);

// Whether the tray holds the icon of that window and identifier: changing
// nothing about an icon succeeds only while it is there, from any process.
bool TrayIconPresent(HWND window, UINT id);
// Takes the icon away, as a taskbar that restarts forgets it.
bool DeleteTrayIcon(HWND window, UINT id);

// Whether this runs under Wine rather than Windows: Wine's ntdll exports its
// own version. A check that holds on one of them only is skipped on the
// other, on purpose.
bool UnderWine();

// Registers the recording program as the handler of .xhtml documents and of
// https addresses, as a user's system has its own, for the current user
// only; the destructor puts back what was there. The documents' default
// verb is not "open" but "view", whose command hands the program "/view"
// before the document.
struct Handlers {
    explicit Handlers(const std::string& recorder);
    ~Handlers();
    // Whether the shell opens both with the recording program now. Windows 8
    // and later keep the user's own choice of program apart, where no program
    // may change it, and that choice comes first.
    bool Effective() const;
    std::string command;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};
