// Start-up and footprint of the starter against baselines from the same
// toolchain, measured from the Windows side under one Wine.
//
//   harness STARTER EMPTY EMPTY_IMPORTS IDLE [RUNS [OLD_STARTER]]
//
// Start-up: while one starter is resident, a second starter (it launches and
// ends with exit code 1) and the programs it is compared with are each
// started RUNS times, in alternating order, and timed from CreateProcessA
// to the end of the process. The run file names the empty program, so the
// starter's ShellExecuteA really starts a process; the harness counts the
// processes each start brought about, which shows that it did. The goal is
// the peer: the same launch made by a batch file, `start "" EMPTY` run by
// cmd /c, which is what a user would write instead of a starter. Given
// OLD_STARTER (another build of starter.exe), it is timed as a second
// starter in the same rotation, against the same resident one.
// Diagnostics, to tell apart what the time goes to: the empty program,
// which loads no user32 and launches nothing; the empty program with the
// starter's DLL imports; and a second starter whose run file is missing, so
// that its ShellExecuteA starts no process.
// Footprint: the resident starter against the idle program (hidden window
// and message loop), once both have their windows and wait for input.
#include "starter_names.h"
#include "win32_support.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char IDLE_CLASS[] = "StarterBenchIdle";
const DWORD BOUND_MS = 60000;

[[noreturn]] void Fail(const char* what, const std::string& detail = std::string())
{
    std::printf("FAIL %s %s (error %lu)\n", what, detail.c_str(), GetLastError());
    std::fflush(stdout);
    std::exit(2);
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

double NowMs()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// What is timed: the command line, and the exit code it must end with.
struct Contender {
    const char* name;
    std::string exe, line;
    int exitCode;
    bool launches; // a process besides itself
    std::vector<double> ms = {};
    DWORD fewestProcesses = ~0u, mostProcesses = 0; // this one and whatever it started
};

// One start, to its end; the processes are counted by the job that this
// program and everything it starts are in.
void TimeOnce(Contender& c, const std::string& folder)
{
    DWORD before = ProcessesStarted();
    double start = NowMs();
    PROCESS_INFORMATION process = StartProcess(c.exe.c_str(), c.line, folder.c_str());
    if (!process.hProcess)
        Fail("CreateProcessA", c.line);
    DWORD exitCode = ExitCode(process.hProcess, BOUND_MS);
    c.ms.push_back(NowMs() - start);
    CloseProcess(process);
    if (exitCode != static_cast<DWORD>(c.exitCode))
        Fail("unexpected exit code", c.line + ": " + std::to_string(exitCode));
    c.fewestProcesses = std::min(c.fewestProcesses, ProcessesStarted() - before);
    c.mostProcesses = std::max(c.mostProcesses, ProcessesStarted() - before);
}

struct Footprint {
    SIZE_T privateUsage, workingSet, committedPrivate;
};

Footprint Measure(HANDLE process, const char* what)
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        Fail("GetProcessMemoryInfo", what);
    return {counters.PrivateUsage, counters.WorkingSetSize, CommittedPrivate(process)};
}

void Row(const std::string& figure, double starter, double baseline, const char* goal)
{
    std::printf("| %s | %.1f | %.1f | ", figure.c_str(), starter, baseline);
    if (baseline > 0)
        std::printf("%.3f | %s |\n", starter / baseline, goal);
    else
        std::printf("n/a | %s |\n", goal);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::printf("usage: harness STARTER EMPTY EMPTY_IMPORTS IDLE [RUNS [OLD_STARTER]]\n");
        return 2;
    }
    const std::string starter = argv[1], empty = argv[2], emptyImports = argv[3], idle = argv[4];
    const int runs = argc > 5 ? std::atoi(argv[5]) : 20;
    if (Resident())
        Fail("a starter is resident already; end it first");
    if (!JoinCountingJob())
        Fail("joining a job that counts the processes started");

    const std::string folder = MakeTempFolder("bench"), runFile = folder + "\\bench.run";
    const std::string batch = folder + "\\launch.cmd";
    std::ofstream(runFile, std::ios::binary) << folder << "\r\n" << empty << "\r\n"; // folder, program; no parameters
    std::ofstream(batch, std::ios::binary) << "@start \"\" " << Quoted(empty) << "\r\n";
    const std::string starterLine = Quoted(starter) + " " + Quoted(runFile);

    PROCESS_INFORMATION resident = StartProcess(starter.c_str(), starterLine, folder.c_str());
    HWND residentWindow = WaitForResident(resident.dwProcessId, BOUND_MS);
    if (!residentWindow)
        Fail("the first starter did not become resident");

    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    const std::string cmd = std::string(system) + "\\cmd.exe";
    enum { SECOND, BATCH, EMPTY, IMPORTS, NO_LAUNCH, OLD };
    std::vector<Contender> contenders = {
        {"second starter", starter, starterLine, EXIT_ANOTHER_STARTER, true},
        {"batch file", cmd, Quoted(cmd) + " /c " + Quoted(batch), 0, true},
        {"empty", empty, Quoted(empty), 0, false},
        {"empty with imports", emptyImports, Quoted(emptyImports), 0, false},
        {"launching nothing", starter, Quoted(starter) + " " + Quoted(folder + "\\missing.run"), EXIT_ANOTHER_STARTER,
         false},
    };
    if (argc > 6)
        contenders.push_back(
            {"old starter", argv[6], Quoted(argv[6]) + " " + Quoted(runFile), EXIT_ANOTHER_STARTER, true});

    // One start of each, untimed, so that the first timed one does not pay
    // for Wine reading the programs from disk for the first time.
    for (Contender& c : contenders)
        TimeOnce(c, folder);
    for (Contender& c : contenders)
        c.ms.clear();
    for (int i = 0; i < runs; ++i) {
        // Alternating order, so that no program always runs in another's wake.
        for (size_t k = 0; k < contenders.size(); ++k) {
            size_t at = i % 2 ? contenders.size() - 1 - k : k;
            TimeOnce(contenders[at], folder);
        }
    }
    auto ms = [&](int which) { return Median(contenders[which].ms); };

    PROCESS_INFORMATION idler = StartProcess(idle.c_str(), Quoted(idle), folder.c_str());
    HWND idleWindow = nullptr;
    if (!WaitFor([&] { return (idleWindow = FindWindowA(IDLE_CLASS, nullptr)) != nullptr; }, BOUND_MS))
        Fail("the idle program's window did not come");
    WaitForInputIdle(idler.hProcess, BOUND_MS);
    WaitForInputIdle(resident.hProcess, BOUND_MS);
    Footprint starterFootprint = Measure(resident.hProcess, "starter");
    Footprint idleFootprint = Measure(idler.hProcess, "idle");

    std::printf("| figure | starter | baseline | ratio | goal |\n|---|---|---|---|---|\n");
    Row("start-up, median ms (second starter / the same launch by a batch file, cmd /c)", ms(SECOND), ms(BATCH),
        "<= 1.00");
    if (argc > 6)
        Row("start-up, median ms (second starter / the same of OLD_STARTER)", ms(SECOND), ms(OLD), "<= 1.05");
    Row("footprint, private bytes KiB: committed private memory by VirtualQueryEx (resident / idle program)",
        starterFootprint.committedPrivate / 1024.0, idleFootprint.committedPrivate / 1024.0, "<= 1.10");
    Row("footprint, PrivateUsage KiB as GetProcessMemoryInfo gives it (resident / idle program)",
        starterFootprint.privateUsage / 1024.0, idleFootprint.privateUsage / 1024.0, "<= 1.10");
    const std::string imports = "empty program importing user32, gdi32, shell32";
    // Not a goal: the working set counts the pages of shell32 and of what
    // ShellExecuteA loads, which a tray program needs and the idle one lacks.
    Row("diagnostic: footprint, WorkingSetSize KiB (resident / idle program)", starterFootprint.workingSet / 1024.0,
        idleFootprint.workingSet / 1024.0, "-");
    Row("diagnostic: start-up, median ms (second starter / empty program)", ms(SECOND), ms(EMPTY), "-");
    Row("diagnostic: start-up, median ms (second starter / " + imports + ")", ms(SECOND), ms(IMPORTS), "-");
    Row("diagnostic: start-up, median ms (" + imports + " / empty program)", ms(IMPORTS), ms(EMPTY), "-");
    Row("diagnostic: start-up, median ms (second starter / second starter that launches nothing)", ms(SECOND),
        ms(NO_LAUNCH), "-");
    Row("diagnostic: start-up, median ms (second starter that launches nothing / " + imports + ")", ms(NO_LAUNCH),
        ms(IMPORTS), "-");

    std::printf("\n%d timed starts of each program; min/max ms, fewest/most processes a start brought about:\n", runs);
    for (const Contender& c : contenders)
        std::printf("  %s %.1f/%.1f, %lu/%lu;\n", c.name, *std::min_element(c.ms.begin(), c.ms.end()),
                    *std::max_element(c.ms.begin(), c.ms.end()), c.fewestProcesses, c.mostProcesses);

    // Both end through their own quit paths.
    PostMessageA(idleWindow, WM_CLOSE, 0, 0);
    DWORD idleExit = ExitCode(idler.hProcess, BOUND_MS), residentExit = Quit(residentWindow, resident.hProcess);
    CloseProcess(idler);
    CloseProcess(resident);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    const bool launched = std::all_of(contenders.begin(), contenders.end(),
                                      [](const Contender& c) { return !c.launches || c.fewestProcesses >= 2; });
    if (!launched)
        std::printf("FAIL a start that should have launched a process did not\n");
    if (idleExit != 0 || residentExit != 0)
        std::printf("FAIL exit codes at the end: idle program %lu, resident starter %lu\n", idleExit, residentExit);
    return launched && idleExit == 0 && residentExit == 0 ? 0 : 1;
}
