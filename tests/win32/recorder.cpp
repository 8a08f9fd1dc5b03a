// A stand-in for any program the starter opens: it writes down how it was
// started and ends. Each start leaves one file, record-<pid>-<n>.txt, in the
// folder named by STARTER_RECORD_DIR (without it none, and exit code 2),
// holding
//   commandline=<GetCommandLineA()>
//   cwd=<current folder>
//   exe=<own path>
//   pid=<process id>
//   show=<the show command its start-up information carries; none without one>
//   argc=<count>, arg1=... as the C runtime took the command line apart, so
//   that tests see the arguments a real program receives
//   wargc=<count>, warg1=..., wcwd=..., wexe=... the same as a Unicode
//   program has them (CommandLineToArgvW of GetCommandLineW), in UTF-8: what
//   any name arrives as, whatever this program's ANSI code page lacks
// The file appears whole, by a rename, so a test that polls for it never
// reads half of it.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <fstream>
#include <string>

static std::string Utf8(const wchar_t* text)
{
    std::string utf8(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr)), 0);
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr);
    return utf8.c_str(); // less the terminator
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char exe[MAX_PATH] = "", folder[32768] = "", cwd[32768] = "";
    if (!GetEnvironmentVariableA("STARTER_RECORD_DIR", folder, sizeof folder))
        return 2;
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    GetCurrentDirectoryA(sizeof cwd, cwd);
    // What the shell's nShow became.
    STARTUPINFOA startup = {};
    GetStartupInfoA(&startup);
    std::string show = startup.dwFlags & STARTF_USESHOWWINDOW ? std::to_string(startup.wShowWindow) : "none";
    std::string text = std::string("commandline=") + GetCommandLineA() + "\ncwd=" + cwd + "\nexe=" + exe +
                       "\npid=" + std::to_string(GetCurrentProcessId()) + "\nshow=" + show +
                       "\nargc=" + std::to_string(__argc) + "\n";
    for (int i = 1; i < __argc; ++i)
        text += "arg" + std::to_string(i) + "=" + __argv[i] + "\n";
    wchar_t wideExe[32768] = L"", wideCwd[32768] = L"";
    GetModuleFileNameW(nullptr, wideExe, 32768);
    GetCurrentDirectoryW(32768, wideCwd);
    // shell32, and the user32 it brings, from System32 only: the planting
    // test puts DLLs of their dependencies' names beside this program too.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    auto toArgv = reinterpret_cast<decltype(&CommandLineToArgvW)>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("shell32.dll"), "CommandLineToArgvW")));
    int wideCount = 0;
    wchar_t** wide = toArgv ? toArgv(GetCommandLineW(), &wideCount) : nullptr;
    text += "wcwd=" + Utf8(wideCwd) + "\nwexe=" + Utf8(wideExe) + "\nwargc=" + std::to_string(wide ? wideCount : 0) +
            "\n";
    for (int i = 1; wide && i < wideCount; ++i)
        text += "warg" + std::to_string(i) + "=" + Utf8(wide[i]) + "\n";
    std::string base = std::string(folder) + "\\record-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(GetTickCount());
    if (!(std::ofstream(base + ".part", std::ios::binary) << text))
        return 3;
    return MoveFileA((base + ".part").c_str(), (base + ".txt").c_str()) ? 0 : 4;
}
