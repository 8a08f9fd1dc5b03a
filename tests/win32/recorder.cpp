// A stand-in for any program the starter opens: it writes down how it was
// started and ends. Each start leaves one file, record-<pid>-<n>.txt, in the
// folder named by STARTER_RECORD_DIR (or beside this program), holding
//   commandline=<GetCommandLineA()>
//   cwd=<current folder>
//   exe=<own path>
//   pid=<process id>
//   argc=<count>, arg1=... as the C runtime took the command line apart, so
//   that tests see the arguments a real program receives
// The file appears whole, by a rename, so a test that polls for it never
// reads half of it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char exe[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    char dir[32768] = "";
    if (GetEnvironmentVariableA("STARTER_RECORD_DIR", dir, sizeof dir) == 0) {
        std::string own(exe);
        std::snprintf(dir, sizeof dir, "%s", own.substr(0, own.find_last_of("\\/")).c_str());
    }
    char cwd[32768] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);

    std::string text = std::string("commandline=") + GetCommandLineA() + "\ncwd=" + cwd + "\nexe=" + exe +
                       "\npid=" + std::to_string(GetCurrentProcessId()) + "\nargc=" + std::to_string(__argc) + "\n";
    for (int i = 1; i < __argc; ++i)
        text += "arg" + std::to_string(i) + "=" + __argv[i] + "\n";
    std::string base = std::string(dir) + "\\record-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(GetTickCount());
    std::string part = base + ".part";
    HANDLE file = CreateFileA(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileA(part.c_str(), (base + ".txt").c_str()) ? 0 : 4;
}
