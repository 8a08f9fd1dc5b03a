// A marker for the planting test: a DLL that, copied under a system DLL's
// name beside a program, writes down which process loaded it. It leaves
// record-<pid>-<address>.txt, one for each DLL loaded in each process, in
// the folder named by STARTER_MARKER_DIR, holding
//   pid=<process id>
//   exe=<the process's executable>
//   dll=<this file's path>
// It uses KERNEL32 only, so that it loads wherever it is planted.
#include <windows.h>

static char* Append(char* at, const char* text)
{
    while ((*at = *text++) != 0)
        ++at;
    return at;
}

static char* AppendNumber(char* at, DWORD n)
{
    char digits[16], *first = digits + sizeof digits - 1;
    *first = 0;
    do
        *--first = (char)('0' + n % 10);
    while ((n /= 10) != 0);
    return Append(at, first);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    char folder[MAX_PATH], exe[MAX_PATH], dll[MAX_PATH], path[2 * MAX_PATH], text[3 * MAX_PATH];
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH || !GetEnvironmentVariableA("STARTER_MARKER_DIR", folder, MAX_PATH))
        return TRUE;
    GetModuleFileNameA(NULL, exe, MAX_PATH);
    GetModuleFileNameA(self, dll, MAX_PATH);
    Append(AppendNumber(Append(AppendNumber(Append(Append(path, folder), "\\record-"), GetCurrentProcessId()), "-"),
                        (DWORD)(UINT_PTR)self),
           ".txt");
    char* end = Append(AppendNumber(Append(text, "pid="), GetCurrentProcessId()), "\nexe=");
    end = Append(Append(Append(Append(end, exe), "\ndll="), dll), "\n");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(file, text, (DWORD)(end - text), &written, NULL);
        CloseHandle(file);
    }
    return TRUE;
}
