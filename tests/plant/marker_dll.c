/* A marker for the planting test: a DLL that, copied under a system DLL's
   name beside a program, writes down which process loaded it. It leaves
   record-<pid>-<name>.txt in the folder named by STARTER_MARKER_DIR, holding
     pid=<process id>
     exe=<the process's executable>
     dll=<this file's path>
   It uses KERNEL32 only, so that it loads wherever it is planted. */
#include <windows.h>

static char* Append(char* at, const char* text)
{
    while (*text)
        *at++ = *text++;
    return at;
}

static char* AppendNumber(char* at, DWORD n)
{
    char digits[16];
    int count = 0;
    do
        digits[count++] = (char)('0' + n % 10);
    while ((n /= 10) != 0);
    while (count)
        *at++ = digits[--count];
    return at;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char folder[MAX_PATH], exe[MAX_PATH], dll[MAX_PATH], path[3 * MAX_PATH], text[3 * MAX_PATH];
    if (!GetEnvironmentVariableA("STARTER_MARKER_DIR", folder, MAX_PATH))
        return TRUE;
    GetModuleFileNameA(NULL, exe, MAX_PATH);
    GetModuleFileNameA(self, dll, MAX_PATH);
    const char* name = dll;
    for (const char* c = dll; *c; ++c)
        if (*c == '\\')
            name = c + 1;
    char* at = Append(Append(AppendNumber(Append(Append(path, folder), "\\record-"), GetCurrentProcessId()), "-"),
                      name);
    Append(at, ".txt")[0] = 0;
    at = Append(Append(Append(Append(AppendNumber(Append(text, "pid="), GetCurrentProcessId()), "\nexe="), exe),
                       "\ndll="), dll);
    at = Append(at, "\n");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(file, text, (DWORD)(at - text), &written, NULL);
        CloseHandle(file);
    }
    return TRUE;
}
