// Start-up and footprint of the starter, each against what a user would
// have instead, measured from the Windows side under one Wine.
//
//   harness STARTER IDLE [RUNS [OLD_STARTER]]
//
// Start-up: while one starter is resident, a second starter (it launches and
// ends with exit code 1) and the same launch by a batch file, `start "" IDLE
// now` run by cmd /c, are each started RUNS times in alternating order and
// timed from CreateProcessA to the end of the process. Both launch the idle
// program, which ends at once when given an argument; the job this harness
// runs in counts the processes each start brought about, which shows that
// the launch was made. Given OLD_STARTER (another build of starter.exe), it
// is timed as a second starter in the same rotation, against the same
// resident one, so that a change can be measured before and after.
// Footprint: the resident starter against the idle program (a hidden window
// and a message loop), once both have their windows and wait for input.
#include "starter_names.h"
#include "win32_support.h"

#include <windows.h>

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

void Row(const char* figure, double measured, double baseline, const char* goal)
{
    std::printf("| %s | %.1f | %.1f | %.3f | %s |\n", figure, measured, baseline, measured / baseline, goal);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::printf("usage: harness STARTER IDLE [RUNS [OLD_STARTER]]\n");
        return 2;
    }
    const std::string starter = argv[1], idle = argv[2];
    const int runs = argc > 3 ? std::atoi(argv[3]) : 20;
    if (Resident())
        Fail("a starter is resident already; end it first");
    if (!JoinCountingJob())
        Fail("joining a job that counts the processes started");

    // The run file: folder, program, parameters.
    const std::string folder = MakeTempFolder("bench"), runFile = folder + "\\bench.run";
    const std::string batch = folder + "\\launch.cmd";
    std::ofstream(runFile, std::ios::binary) << folder << "\r\n" << idle << "\r\nnow\r\n";
    std::ofstream(batch, std::ios::binary) << "@start \"\" " << Quoted(idle) << " now\r\n";
    const std::string starterLine = Quoted(starter) + " " + Quoted(runFile);

    PROCESS_INFORMATION resident = StartProcess(starter.c_str(), starterLine, folder.c_str());
    HWND residentWindow = WaitForResident(resident.dwProcessId, BOUND_MS);
    if (!residentWindow)
        Fail("the first starter did not become resident");

    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    const std::string cmd = std::string(system) + "\\cmd.exe";
    std::vector<Contender> contenders = {
        {"second starter", starter, starterLine, EXIT_ANOTHER_STARTER},
        {"batch file", cmd, Quoted(cmd) + " /c " + Quoted(batch), 0},
    };
    if (argc > 4)
        contenders.push_back({"old starter", argv[4], Quoted(argv[4]) + " " + Quoted(runFile), EXIT_ANOTHER_STARTER});

    // One start of each, untimed, so that the first timed one does not pay
    // for Wine reading the programs from disk for the first time.
    for (Contender& c : contenders) {
        TimeOnce(c, folder);
        c.ms.clear();
    }
    for (int i = 0; i < runs; ++i) // alternating order: none always runs in another's wake
        for (size_t k = 0; k < contenders.size(); ++k)
            TimeOnce(contenders[i % 2 ? contenders.size() - 1 - k : k], folder);

    PROCESS_INFORMATION idler = StartProcess(idle.c_str(), Quoted(idle), folder.c_str());
    HWND idleWindow = nullptr;
    if (!WaitFor([&] { return (idleWindow = FindWindowA(IDLE_CLASS, nullptr)) != nullptr; }, BOUND_MS))
        Fail("the idle program's window did not come");
    WaitForInputIdle(idler.hProcess, BOUND_MS);
    WaitForInputIdle(resident.hProcess, BOUND_MS);
    // Wine leaves GetProcessMemoryInfo's PrivateUsage at 0, so the private
    // bytes are counted region by region.
    const double starterKiB = CommittedPrivate(resident.hProcess) / 1024.0;
    const double idleKiB = CommittedPrivate(idler.hProcess) / 1024.0;

    std::printf("| figure | measured | baseline | ratio | goal |\n|---|---|---|---|---|\n");
    Row("start-up, median ms (second starter / the same launch by a batch file, cmd /c)", Median(contenders[0].ms),
        Median(contenders[1].ms), "<= 1.00");
    if (argc > 4)
        Row("start-up, median ms (second starter / OLD_STARTER as a second starter)", Median(contenders[0].ms),
            Median(contenders[2].ms), "-");
    Row("footprint, private bytes KiB by VirtualQueryEx (resident starter / idle program)", starterKiB, idleKiB,
        "<= 1.10");
    std::printf("\n%d timed starts of each; min/max ms, fewest/most processes a start brought about:\n", runs);
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
    // A starter launches one process, the batch file's cmd one more.
    bool launched = true;
    for (const Contender& c : contenders)
        launched = launched && c.fewestProcesses >= 2;
    if (!launched)
        std::printf("FAIL a start did not launch the idle program\n");
    if (idleExit != 0 || residentExit != 0)
        std::printf("FAIL exit codes at the end: idle program %lu, resident starter %lu\n", idleExit, residentExit);
    return launched && idleExit == 0 && residentExit == 0 ? 0 : 1;
}
