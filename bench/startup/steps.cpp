// A diagnostic for the start-up figure: the second starter's steps, in its
// order and with its resources and launch code, each timed on its own.
//
//   bench_steps RUNFILE OUTFILE
//
// Writes one line "step ms" per step to OUTFILE. The first step, "loading",
// runs from the process's creation time to WinMain: the loader mapping the
// program and its DLLs, and the C runtime's start. A starter must be
// resident, so that the last steps find it as a second starter does.
#include "launch.h"
#include "launch_shell.h"
#include "resource.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

namespace {

double FileTimeMs(const FILETIME& t)
{
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 10000.0;
}

double NowMs()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return FileTimeMs(now);
}

const char* OrNull(const Text& text) { return text ? text->c_str() : nullptr; }

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    double entry = NowMs();
    if (__argc < 3)
        return 2;
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    FILE* out = std::fopen(__argv[2], "w");
    if (!out)
        return 2;
    std::fprintf(out, "loading %.1f\n", entry - FileTimeMs(created));

    double t = NowMs();
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_STARTER), IMAGE_ICON, 32, 32, 0));
    windowClass.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_STARTER), IMAGE_ICON, 16, 16, 0));
    double icons = NowMs();
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszClassName = "StarterBenchSteps";
    RegisterClassExA(&windowClass);
    double registered = NowMs();
    std::fprintf(out, "icons %.1f\nclass %.1f\n", icons - t, registered - icons);

    // What LaunchFromCommandLine does, in its two parts.
    std::string tail = std::string("\"") + __argv[1] + "\"";
    t = NowMs();
    std::optional<LaunchRequest> request = DecideLaunch(Text(tail));
    double decided = NowMs();
    if (request)
        ShellExecuteA(nullptr, "open", OrNull(request->program), OrNull(request->parameters),
                      OrNull(request->directory), SW_SHOW);
    double launched = NowMs();
    std::fprintf(out, "decision %.1f\nShellExecuteA %.1f\n", decided - t, launched - decided);

    t = NowMs();
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "Local\\TavelkinStarter");
    bool another = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
    bool found = FindWindowA("TavelkinStarter", nullptr) != nullptr;
    std::fprintf(out, "single-instance %.1f\n", NowMs() - t);
    std::fprintf(out, "resident-found %d\n", another && found ? 1 : 0);
    std::fclose(out);
    return 0;
}
