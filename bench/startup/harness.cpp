// Start-up and footprint of the starter against baselines from the same
// toolchain, measured from the Windows side under one Wine.
//
//   harness STARTER EMPTY EMPTY_IMPORTS IDLE [RUNS [STEPS [OLD_STARTER]]]
//
// Start-up: a second starter (one is resident, so it launches and ends with
// exit code 1) against the empty program; each is started RUNS times, in
// alternating order, and timed from CreateProcessA to the end of the
// process. The second starter's run file names the empty program, so its
// ShellExecuteA really starts a process; every start runs in a job object,
// whose process count shows that it did.
// Diagnostics, to tell apart what the time goes to: the empty program with
// the starter's DLL imports, and a second starter whose run file is missing,
// so that its ShellExecuteA is asked to open nothing and starts no process;
// and, given STEPS (bench_steps.exe), the second starter's steps timed one by
// one, RUNS times, as medians.
// Given OLD_STARTER (another build of starter.exe), it is timed as a second
// starter in the same rotation, against the same resident one. A peer, also
// in the rotation: the same launch made by a batch file, `start "" EMPTY`,
// run by cmd /c, which is what a user would write instead of a starter.
// Footprint: the resident starter against the idle program (hidden window and
// message loop), once both have their windows and wait for input.
#include "win32_support.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

const char STARTER_CLASS[] = "TavelkinStarter";
const char IDLE_CLASS[] = "StarterBenchIdle";
const DWORD BOUND_MS = 60000;
const int EXIT_ANOTHER_STARTER = 1;

double g_ticksPerMs;

double NowMs()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / g_ticksPerMs;
}

[[noreturn]] void Fail(const char* what, const std::string& detail = std::string())
{
    std::printf("FAIL %s %s (error %lu)\n", what, detail.c_str(), GetLastError());
    std::fflush(stdout);
    std::exit(2);
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// Starts a program with an exact command line; the caller closes the handles.
PROCESS_INFORMATION Start(const std::string& exe, const std::string& commandLine, const std::string& folder,
                          DWORD flags = 0)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, flags, nullptr, folder.c_str(),
                        &startup, &process))
        Fail("CreateProcessA", exe);
    return process;
}

struct Run {
    double ms;
    DWORD exitCode;
    DWORD processes; // in the job: the program and whatever it started
};

Run TimeOnce(const std::string& exe, const std::string& commandLine, const std::string& folder)
{
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (!job)
        Fail("CreateJobObjectA");
    double start = NowMs();
    PROCESS_INFORMATION process = Start(exe, commandLine, folder, CREATE_SUSPENDED);
    if (!AssignProcessToJobObject(job, process.hProcess))
        Fail("AssignProcessToJobObject", exe);
    ResumeThread(process.hThread);
    if (WaitForSingleObject(process.hProcess, BOUND_MS) != WAIT_OBJECT_0)
        Fail("no end within the bound", exe);
    Run run = {NowMs() - start, 0, 0};
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                  nullptr))
        run.processes = accounting.TotalProcesses;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(job);
    return run;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

HWND WaitForWindow(const char* windowClass)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = FindWindowA(windowClass, nullptr))
            return window;
        if (GetTickCount() - start > BOUND_MS)
            Fail("no window within the bound", windowClass);
        Sleep(20); // polling, with the bound above
    }
}


struct Footprint {
    SIZE_T privateUsage;
    SIZE_T workingSet;
    SIZE_T committedPrivate;
};

Footprint Measure(HANDLE process, const char* what)
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        Fail("GetProcessMemoryInfo", what);
    return {counters.PrivateUsage, counters.WorkingSetSize, CommittedPrivate(process)};
}

void Row(const char* figure, double starter, double baseline, const char* goal)
{
    if (baseline > 0)
        std::printf("| %s | %.1f | %.1f | %.3f | %s |\n", figure, starter, baseline, starter / baseline, goal);
    else
        std::printf("| %s | %.1f | %.1f | n/a | %s |\n", figure, starter, baseline, goal);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::printf("usage: harness STARTER EMPTY EMPTY_IMPORTS IDLE [RUNS [STEPS [OLD_STARTER]]]\n");
        return 2;
    }
    const std::string starter = argv[1], empty = argv[2], emptyImports = argv[3], idle = argv[4];
    const int runs = argc > 5 ? std::atoi(argv[5]) : 20;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    g_ticksPerMs = static_cast<double>(frequency.QuadPart) / 1000.0;

    if (FindWindowA(STARTER_CLASS, nullptr))
        Fail("a starter is resident already; end it first");

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "starter-bench-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string runFile = folder + "\\bench.run";
    {
        // Working folder, program; no parameters line.
        std::string text = folder + "\r\n" + empty + "\r\n";
        HANDLE file = CreateFileA(runFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        if (file == INVALID_HANDLE_VALUE || !WriteFile(file, text.data(), static_cast<DWORD>(text.size()),
                                                        &written, nullptr))
            Fail("writing the run file", runFile);
        CloseHandle(file);
    }
    const std::string starterLine = Quoted(starter) + " " + Quoted(runFile);
    const std::string noLaunchLine = Quoted(starter) + " " + Quoted(folder + "\\missing.run");

    PROCESS_INFORMATION resident = Start(starter, starterLine, folder);
    HWND residentWindow = WaitForWindow(STARTER_CLASS);
    WaitForInputIdle(resident.hProcess, BOUND_MS);

    // What is timed: the command line, and the exit code it must end with.
    struct Contender {
        std::string exe, line;
        DWORD exitCode;
        std::vector<double> ms;
        DWORD fewestProcesses, mostProcesses;
    };
    std::string batch = folder + "\\launch.cmd";
    {
        std::ofstream(batch, std::ios::binary) << "@start \"\" " << Quoted(empty) << "\r\n";
    }
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    const std::string cmd = std::string(system) + "\\cmd.exe";
    std::vector<Contender> contenders = {
        {starter, starterLine, EXIT_ANOTHER_STARTER, {}, ~0u, 0},
        {empty, Quoted(empty), 0, {}, ~0u, 0},
        {emptyImports, Quoted(emptyImports), 0, {}, ~0u, 0},
        {starter, noLaunchLine, EXIT_ANOTHER_STARTER, {}, ~0u, 0},
        {cmd, Quoted(cmd) + " /c " + Quoted(batch), 0, {}, ~0u, 0},
    };
    const bool old = argc > 7;
    if (old)
        contenders.push_back({argv[7], Quoted(argv[7]) + " " + Quoted(runFile), EXIT_ANOTHER_STARTER, {}, ~0u, 0});
    enum { SECOND, EMPTY, IMPORTS, NO_LAUNCH, BATCH, OLD };

    // One start of each, untimed, so that the first timed one does not pay
    // for Wine reading the programs from disk for the first time.
    for (Contender& c : contenders)
        TimeOnce(c.exe, c.line, folder);
    for (int i = 0; i < runs; ++i) {
        // Alternating order, so that no program always runs in another's
        // wake.
        for (size_t k = 0; k < contenders.size(); ++k) {
            Contender& c = contenders[i % 2 ? contenders.size() - 1 - k : k];
            Run run = TimeOnce(c.exe, c.line, folder);
            if (run.exitCode != c.exitCode)
                Fail("unexpected exit code", c.line + ": " + std::to_string(run.exitCode));
            c.ms.push_back(run.ms);
            c.fewestProcesses = std::min(c.fewestProcesses, run.processes);
            c.mostProcesses = std::max(c.mostProcesses, run.processes);
        }
    }
    const std::vector<double>&starterMs = contenders[SECOND].ms, &emptyMs = contenders[EMPTY].ms,
                        &importsMs = contenders[IMPORTS].ms, &noLaunchMs = contenders[NO_LAUNCH].ms;
    const DWORD fewestStarterProcesses = contenders[SECOND].fewestProcesses,
                mostNoLaunchProcesses = contenders[NO_LAUNCH].mostProcesses;

    std::string stepsLine;
    if (argc > 6) {
        const std::string steps = argv[6], stepsOut = folder + "\\steps.txt";
        std::vector<std::string> order;
        std::map<std::string, std::vector<double>> byStep;
        for (int i = 0; i < runs; ++i) {
            Run run = TimeOnce(steps, Quoted(steps) + " " + Quoted(runFile) + " " + Quoted(stepsOut), folder);
            if (run.exitCode != 0)
                Fail("the steps program failed", std::to_string(run.exitCode));
            std::ifstream in(stepsOut);
            std::string name;
            double value;
            while (in >> name >> value) {
                if (byStep.find(name) == byStep.end())
                    order.push_back(name);
                byStep[name].push_back(value);
            }
        }
        DeleteFileA(stepsOut.c_str());
        stepsLine = "The second starter's steps, median ms of " + std::to_string(runs) + " runs of bench_steps:";
        for (const std::string& name : order) {
            char value[32];
            std::snprintf(value, sizeof value, " %.1f;", Median(byStep[name]));
            stepsLine += " " + name + value;
        }
        stepsLine += "\n";
    }

    PROCESS_INFORMATION idler = Start(idle, Quoted(idle), folder);
    HWND idleWindow = WaitForWindow(IDLE_CLASS);
    WaitForInputIdle(idler.hProcess, BOUND_MS);
    WaitForInputIdle(resident.hProcess, BOUND_MS);
    Footprint starterFootprint = Measure(resident.hProcess, "starter");
    Footprint idleFootprint = Measure(idler.hProcess, "idle");

    std::printf("| figure | starter | baseline | ratio | goal |\n|---|---|---|---|---|\n");
    Row("start-up, median ms (second starter / empty program)", Median(starterMs), Median(emptyMs), "<= 1.10");
    Row("footprint, private bytes KiB: committed private memory by VirtualQueryEx (resident / idle program)",
        starterFootprint.committedPrivate / 1024.0, idleFootprint.committedPrivate / 1024.0, "<= 1.10");
    Row("footprint, PrivateUsage KiB as GetProcessMemoryInfo gives it (resident / idle program)",
        starterFootprint.privateUsage / 1024.0, idleFootprint.privateUsage / 1024.0, "<= 1.10");
    Row("footprint, WorkingSetSize KiB (resident / idle program)", starterFootprint.workingSet / 1024.0,
        idleFootprint.workingSet / 1024.0, "<= 1.10");
    Row("diagnostic: start-up, median ms (second starter / empty program importing user32, gdi32, shell32)",
        Median(starterMs), Median(importsMs), "-");
    Row("diagnostic: start-up, median ms (empty program importing user32, gdi32, shell32 / empty program)",
        Median(importsMs), Median(emptyMs), "-");
    Row("diagnostic: start-up, median ms (second starter / second starter that launches nothing)",
        Median(starterMs), Median(noLaunchMs), "-");
    Row("diagnostic: start-up, median ms (second starter that launches nothing / empty program importing "
        "user32, gdi32, shell32)", Median(noLaunchMs), Median(importsMs), "-");
    if (old)
        Row("start-up, median ms (second starter / the same of OLD_STARTER)", Median(starterMs),
            Median(contenders[OLD].ms), "<= 1.05");
    Row("peer: start-up, median ms (second starter / the same launch by a batch file, cmd /c)", Median(starterMs),
        Median(contenders[BATCH].ms), "-");
    std::printf("\n%s", stepsLine.c_str());
    // Whether PrivateUsage is filled in at all: for the calling process
    // itself, as against another one.
    Footprint own = Measure(GetCurrentProcess(), "harness");
    std::printf("The harness's own PrivateUsage: %.1f KiB, WorkingSetSize: %.1f KiB.\n", own.privateUsage / 1024.0,
                own.workingSet / 1024.0);
    std::printf("%d timed starts of each program; min/max ms: second starter %.1f/%.1f, empty %.1f/%.1f, "
                "empty with imports %.1f/%.1f, launching nothing %.1f/%.1f. Processes in the second starter's job: at least %lu; "
                "in the one that launches nothing: at most %lu.\n",
                runs, *std::min_element(starterMs.begin(), starterMs.end()),
                *std::max_element(starterMs.begin(), starterMs.end()),
                *std::min_element(emptyMs.begin(), emptyMs.end()), *std::max_element(emptyMs.begin(), emptyMs.end()),
                *std::min_element(importsMs.begin(), importsMs.end()),
                *std::max_element(importsMs.begin(), importsMs.end()),
                *std::min_element(noLaunchMs.begin(), noLaunchMs.end()),
                *std::max_element(noLaunchMs.begin(), noLaunchMs.end()), fewestStarterProcesses, mostNoLaunchProcesses);

    // Both end through their own quit paths: the window's close ends in
    // WM_DESTROY, which posts the quit message.
    PostMessageA(idleWindow, WM_CLOSE, 0, 0);
    PostMessageA(residentWindow, WM_CLOSE, 0, 0);
    HANDLE both[] = {idler.hProcess, resident.hProcess};
    if (WaitForMultipleObjects(2, both, TRUE, BOUND_MS) != WAIT_OBJECT_0) {
        TerminateProcess(idler.hProcess, 3);
        TerminateProcess(resident.hProcess, 3);
    }
    DeleteFileA(runFile.c_str());
    DeleteFileA(batch.c_str());
    RemoveDirectoryA(folder.c_str());
    bool launched = fewestStarterProcesses >= 2 && contenders[BATCH].fewestProcesses >= 2 &&
                    (!old || contenders[OLD].fewestProcesses >= 2);
    if (!launched)
        std::printf("FAIL a job that should have held the launched process never did\n");
    return launched ? 0 : 1;
}
