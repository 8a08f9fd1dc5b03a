// A marker for the planting test: a DLL that, copied under a system DLL's
// name beside a program, writes down which process loaded it. It leaves
// record-<pid>-<address>.txt, one for each DLL loaded in each process, in
// the folder named by STARTER_MARKER_DIR, holding
//   pid=<process id>
//   exe=<the process's executable>
//   dll=<this file's path>
// It uses KERNEL32 only, so that it loads wherever it is planted; its
// FormatMessageA does the formatting a C runtime would.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    char folder[MAX_PATH], exe[MAX_PATH], dll[MAX_PATH], path[2 * MAX_PATH], text[3 * MAX_PATH];
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH || !GetEnvironmentVariableA("STARTER_MARKER_DIR", folder, MAX_PATH))
        return TRUE;
    GetModuleFileNameA(NULL, exe, MAX_PATH);
    GetModuleFileNameA(self, dll, MAX_PATH);
    DWORD_PTR values[] = {(DWORD_PTR)folder, GetCurrentProcessId(), (DWORD_PTR)self, (DWORD_PTR)exe, (DWORD_PTR)dll};
    const DWORD flags = FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY;
    FormatMessageA(flags, "%1\\record-%2!lu!-%3!lu!.txt", 0, 0, path, sizeof path, (va_list*)values);
    DWORD size = FormatMessageA(flags, "pid=%2!lu!\nexe=%4\ndll=%5\n", 0, 0, text, sizeof text, (va_list*)values);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written;
    // A file that could not be made leaves no record: on INVALID_HANDLE_VALUE
    // both calls fail harmlessly.
    WriteFile(file, text, size, &written, NULL);
    CloseHandle(file);
    return TRUE;
}
