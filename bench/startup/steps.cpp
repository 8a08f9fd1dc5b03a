// A diagnostic for the start-up figure: starter.exe with a WinMain that
// makes the real WinMain's and StarterMain's calls in their order, each
// timed, and ends where a second starter ends. Built from starter.exe's
// parts, it binds its system DLLs itself as the starter does.
//
//   STARTER_STEPS_OUT=OUTFILE bench_steps "RUNFILE"
//
// The command line is a second starter's; the file for the figures comes
// from the environment. Writes one line "step ms" per step. The first,
// "loading", runs from the process's creation to WinMain: the loader
// mapping the program and its DLLs, and the C runtime's start. "decision"
// is the launch decision once more after the launch, to tell its share.
// Ends with EXIT_ANOTHER_STARTER when it found the resident starter.
#include "launch_shell.h"
#include "tray.h"

#include <cstdio>
#include <cstdlib>
#include <string>

static double FileTimeMs(const FILETIME& t)
{
    return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 10000.0;
}

static double NowMs()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return FileTimeMs(now);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    double last = NowMs();
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const char* outPath = std::getenv("STARTER_STEPS_OUT");
    FILE* out = outPath ? std::fopen(outPath, "w") : nullptr;
    if (!out)
        return 99;
    std::fprintf(out, "loading %.1f\n", last - FileTimeMs(created));
    auto step = [&](const char* name) {
        double now = NowMs();
        std::fprintf(out, "%s %.1f\n", name, now - last);
        last = NowMs();
    };

    last = NowMs();
    bool bound = BindSystemImports();
    step("system-imports");
    std::string tail = CommandLineTail(GetCommandLineA(), AnsiLeadByte);
    step("tail");
    bool registered = RegisterStarterClass(instance);
    step("class");
    LaunchFromCommandLine(tail.c_str());
    step("launch");
    SingleInstance single = TakeSingleInstance();
    step("single-instance");
    DecideLaunch(tail, ProcessCodePage());
    step("decision");
    if (single.mutex)
        CloseHandle(single.mutex);
    std::fclose(out);
    return bound && registered && single.another ? EXIT_ANOTHER_STARTER : 98;
}
