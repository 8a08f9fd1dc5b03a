#include "win32_support.h"

#include "support.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <fstream>

bool WaitFor(const std::function<bool()>& check, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (check())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        // Yields the processor between polls; the bound above is what waits.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

std::wstring Wide(const std::string& utf8)
{
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8.size(), &wide[0], wide.size()));
    return wide;
}

std::string OwnFolder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, std::strrchr(path, '\\') + 1);
}

std::string MakeTempFolder(const std::string& label)
{
    return FreshFolder(fs::temp_directory_path(), "starter-" + label).string();
}

Kit MakeKit()
{
    const std::string root = MakeTempFolder("kit"), folder = root + "\\my kit";
    const Kit kit = {root,
                     folder,
                     root + "\\work folder",
                     folder + "\\starter.exe",
                     folder + "\\tavelkin.exe",
                     folder + "\\tavelkin.run",
                     OwnFolder() + "recorder.exe"};
    for (const std::string& made : {kit.folder, kit.work, kit.folder + "\\examples"})
        CreateDirectoryA(made.c_str(), nullptr);
    CopyFileA((OwnFolder() + "..\\starter.exe").c_str(), kit.exe.c_str(), FALSE);
    CopyFileA(kit.recorder.c_str(), kit.tavelkin.c_str(), FALSE);
    for (const char* name : {"reference", "feedback"})
        std::ofstream(kit.folder + "\\examples\\" + name + ".xhtml", std::ios::binary) << "<html/>";
    WriteRunFile(kit);
    return kit;
}

void WriteRunFile(const Kit& kit, const char* line2, const std::string& program)
{
    std::ofstream(kit.run, std::ios::binary) << kit.work << "\r\n"
                                             << (program.empty() ? kit.recorder : program) << "\r\n"
                                             << (line2 ? line2 + std::string("\r\n") : "");
}

std::string NewRecordFolder()
{
    std::string records = MakeTempFolder("records");
    SetEnvironmentVariableA("STARTER_RECORD_DIR", records.c_str());
    return records;
}

std::vector<Record> ReadRecords(const std::string& folder)
{
    std::map<std::string, Record> found; // by the time written, then the name
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\record-*.txt").c_str(), &data);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &data)) {
        char when[24];
        std::snprintf(when, sizeof when, "%010lu%010lu", data.ftLastWriteTime.dwHighDateTime,
                      data.ftLastWriteTime.dwLowDateTime);
        Record& record = found[when + std::string(data.cFileName)];
        record["file"] = folder + "\\" + data.cFileName;
        std::ifstream in(record["file"], std::ios::binary);
        for (std::string line; std::getline(in, line);)
            if (size_t eq = line.find('='); eq != std::string::npos)
                record[line.substr(0, eq)] = line.substr(eq + 1);
    }
    FindClose(find); // fails harmlessly when nothing was found
    std::vector<Record> records;
    for (auto& f : found)
        records.push_back(f.second);
    return records;
}

void ClearRecords(const std::string& folder)
{
    for (Record& record : ReadRecords(folder))
        DeleteFileA(record["file"].c_str());
}

std::vector<std::string> Arguments(const Record& record, bool wide)
{
    const std::string prefix = wide ? "w" : "";
    auto value = [&](const std::string& key) { return record.count(key) ? record.at(key) : "(missing)"; };
    std::vector<std::string> arguments;
    for (int i = 1; i < std::atoi(value(prefix + "argc").c_str()); ++i)
        arguments.push_back(value(prefix + "arg" + std::to_string(i)));
    return arguments;
}

HWND Resident() { return FindWindowA(STARTER_WINDOW_CLASS, nullptr); }

DWORD ProcessOf(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

HWND WaitForResident(DWORD processId, DWORD timeoutMs)
{
    HWND window = nullptr;
    auto there = [&] { return (window = Resident()) && ProcessOf(window) == processId; };
    return WaitFor([&] { return there() && TrayIconPresent(window, STARTER_ICON_UID); }, timeoutMs) ? window : nullptr;
}

DWORD Quit(HWND window, HANDLE process)
{
    SendMessageTimeoutA(window, WM_DESTROY, 0, 0, SMTO_NORMAL, 20000, nullptr); // no result wanted
    return ExitCode(process);
}

HWND VisibleWindow(const char* className, DWORD processId)
{
    // The desktop's children, in the order EnumWindows takes them.
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, className, nullptr));)
        if (IsWindowVisible(window) && (processId == 0 || ProcessOf(window) == processId))
            return window;
    return nullptr;
}

void EndEveryStarter()
{
    for (int i = 0; i < 20 && Resident(); ++i) {
        HWND window = Resident();
        DeleteTrayIcon(window, STARTER_ICON_UID);
        PROCESS_INFORMATION process = {};
        process.hProcess = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ProcessOf(window));
        CloseProcess(process);
    }
}

bool RegisterWindowClass(const char* name, WNDPROC procedure)
{
    WNDCLASSA windowClass = {0, procedure, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, name};
    return RegisterClassA(&windowClass) != 0;
}

PROCESS_INFORMATION StartProcess(const char* application, std::string commandLine, const char* folder, DWORD flags)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    bool ok = CreateProcessA(application, &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, folder, &startup,
                             &started);
    return ok ? started : PROCESS_INFORMATION{};
}

DWORD ExitCode(HANDLE process, DWORD timeoutMs)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    return code;
}

void CloseProcess(PROCESS_INFORMATION& process)
{
    if (process.hProcess) {
        TerminateProcess(process.hProcess, 99); // fails harmlessly once it has ended
        WaitForSingleObject(process.hProcess, 20000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    process = {};
}

SIZE_T CommittedPrivate(HANDLE process)
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (char* at = nullptr; VirtualQueryEx(process, at, &info, sizeof info) == sizeof info;) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
        if ((at = static_cast<char*>(info.BaseAddress) + info.RegionSize) <= info.BaseAddress)
            break; // past the top of the address space
    }
    return total;
}

static const HANDLE g_countingJob = CreateJobObjectA(nullptr, nullptr);

bool JoinCountingJob() { return g_countingJob && AssignProcessToJobObject(g_countingJob, GetCurrentProcess()); }

DWORD ProcessesStarted()
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
    QueryInformationJobObject(g_countingJob, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr);
    return info.TotalProcesses - 1;
}

// Wine starts some of its own programs from the system folder on demand (the
// desktop's process among them) as children of whoever needed them; those
// are no launch of the starter's and are not waited for.
static bool WineOwnProgram(DWORD id)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    char image[MAX_PATH] = "";
    DWORD size = sizeof image;
    bool known = process && QueryFullProcessImageNameA(process, 0, image, &size);
    CloseHandle(process); // nothing when it could not be opened
    return known && _strnicmp(image, "C:\\windows\\system32\\", 20) == 0;
}

DWORD ProcessesRunning()
{
    struct {
        JOBOBJECT_BASIC_PROCESS_ID_LIST list;
        ULONG_PTR more[255];
    } ids = {};
    ids.list.NumberOfAssignedProcesses = 256;
    QueryInformationJobObject(g_countingJob, JobObjectBasicProcessIdList, &ids, sizeof ids, nullptr);
    DWORD running = 0;
    for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList; ++i) {
        DWORD id = static_cast<DWORD>(ids.list.ProcessIdList[i]);
        running += id != GetCurrentProcessId() && !WineOwnProgram(id);
    }
    return running;
}

bool WaitUntilRunning(DWORD staying, DWORD timeoutMs)
{
    return WaitFor([&] { return ProcessesRunning() == staying; }, timeoutMs);
}

static bool TrayIconCall(DWORD call, HWND window, UINT id)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = id;
    return Shell_NotifyIconA(call, &data) != FALSE;
}

bool TrayIconPresent(HWND window, UINT id) { return TrayIconCall(NIM_MODIFY, window, id); }
bool DeleteTrayIcon(HWND window, UINT id) { return TrayIconCall(NIM_DELETE, window, id); }

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// Where the handlers are registered. On Windows: the current user's own
// classes, which take no administrator and reach no other account (what is
// written under HKEY_CLASSES_ROOT goes to the machine's classes unless the
// user's key is there already). Wine 8's shell looks them up under
// HKEY_CLASSES_ROOT alone and ignores the user's classes, so under Wine they
// go there: into the test's own prefix.
static HKEY Classes()
{
    static HKEY classes = nullptr;
    if (!classes && (UnderWine() || RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, nullptr, 0,
                                                    KEY_ALL_ACCESS, nullptr, &classes, nullptr) != ERROR_SUCCESS))
        classes = HKEY_CLASSES_ROOT;
    return classes;
}

// The default value of a key among those classes ("" when it has none), or
// absent when the key is not there; putting an absent value removes the key
// and all below it.
static std::optional<std::string> ClassesDefault(const std::string& key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(Classes(), key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return std::nullopt;
    char value[1024] = "";
    DWORD size = sizeof value - 1;
    RegQueryValueExA(opened, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size); // none: ""
    RegCloseKey(opened);
    return std::string(value);
}

static void PutClassesDefault(const std::string& key, const std::optional<std::string>& value)
{
    if (value) { // RegSetValueA creates the key when it is not there
        RegSetValueA(Classes(), key.c_str(), REG_SZ, value->c_str(), static_cast<DWORD>(value->size()));
        return;
    }
    RegDeleteTreeA(Classes(), key.c_str());
    RegDeleteKeyA(Classes(), key.c_str());
}

static const char PROG_ID[] = "TavelkinStarterTest.xhtml";

Handlers::Handlers(const std::string& recorder) : command("\"" + recorder + "\" \"%1\"")
{
    // The keys that may be new, from the top, so that none of them is left.
    for (const char* key : {".xhtml", PROG_ID, "https", "https\\shell\\open\\command"})
        saved.emplace_back(key, ClassesDefault(key));
    PutClassesDefault(".xhtml", PROG_ID);
    PutClassesDefault(std::string(PROG_ID) + "\\shell\\open\\command", command);
    // Its default verb is another one, which records differently: a request
    // that names no verb is then told from one for "open".
    PutClassesDefault(std::string(PROG_ID) + "\\shell", "view");
    PutClassesDefault(std::string(PROG_ID) + "\\shell\\view\\command", "\"" + recorder + "\" /view \"%1\"");
    PutClassesDefault("https\\shell\\open\\command", command);
    // What the shell has cached of the associations is out of date now.
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

Handlers::~Handlers()
{
    for (auto it = saved.rbegin(); it != saved.rend(); ++it)
        if (ClassesDefault(it->first) != it->second)
            PutClassesDefault(it->first, it->second);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

bool Handlers::Effective() const
{
    for (const char* what : {".xhtml", "https"}) {
        char found[1024] = "";
        DWORD size = sizeof found;
        if (AssocQueryStringA(ASSOCF_NONE, ASSOCSTR_COMMAND, what, "open", found, &size) != S_OK || command != found)
            return false;
    }
    return true;
}

// GoogleTest hands every failure message to OutputDebugStringA as well, for a
// debugger's benefit. Under Wine on the emulated 32-bit CPU that call can
// crash the test program after the first failure, so that the remaining
// tests, their clean-up and the summary are lost. Linked into every program
// that uses these helpers, this takes the call's place; the messages are on
// standard output anyway.
static void WINAPI DiscardDebugString(LPCSTR) {}
extern "C" void* g_outputDebugStringA __asm__("__imp__OutputDebugStringA@4");
void* g_outputDebugStringA = reinterpret_cast<void*>(&DiscardDebugString);
