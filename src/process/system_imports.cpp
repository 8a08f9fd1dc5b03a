// starter.exe imports only KERNEL32 and msvcrt, which Windows always takes
// from System32 together with everything they need. Had it imported user32,
// gdi32, shell32 and ole32 as well, the loader would have loaded them, and the
// DLLs they depend on, before WinMain, and those dependencies that are not
// KnownDLLs are searched for in the program's own folder first: a DLL
// planted beside the starter under such a name would run inside it.
//
// So the program binds those four itself. Code compiled against
// <windows.h> calls them through the pointers __imp__Name@N, which an
// import library would put into the import table; this file defines them as
// plain data instead, and BindSystemImports fills them once the search has
// been restricted to System32, which then holds for every DLL searched for
// afterwards, dependencies and the shell's own loads included (what the
// shell loads by a full path is not searched for). starter.exe is linked
// against empty stand-ins for the four import libraries, so a call to a
// function missing from the table below fails the link with an undefined
// reference to its __imp__ name.
#include "system_imports.h"

namespace {

enum SystemDll { USER32, GDI32, SHELL32, OLE32 };
const char* const SYSTEM_DLLS[] = {"user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll"};

// Each function: its DLL, its name and the bytes of its arguments, which
// are part of a stdcall function's linker name.
#define SYSTEM_IMPORTS(X) \
    X(USER32, CreateWindowExA, 48) \
    X(USER32, DefWindowProcA, 16) \
    X(USER32, DestroyWindow, 4) \
    X(USER32, DialogBoxParamA, 20) \
    X(USER32, DispatchMessageA, 4) \
    X(USER32, EndDialog, 8) \
    X(USER32, EndMenu, 0) \
    X(USER32, FindWindowA, 8) \
    X(USER32, GetCursorPos, 4) \
    X(USER32, GetMessageA, 16) \
    X(USER32, GetSubMenu, 8) \
    X(USER32, GetSystemMetrics, 4) \
    X(USER32, GetWindowRect, 8) \
    X(USER32, KillTimer, 8) \
    X(USER32, LoadImageA, 24) \
    X(USER32, LoadMenuA, 8) \
    X(USER32, LoadStringA, 16) \
    X(USER32, MessageBoxA, 16) \
    X(USER32, PostMessageA, 16) \
    X(USER32, PostQuitMessage, 4) \
    X(USER32, RegisterClassExA, 4) \
    X(USER32, RegisterWindowMessageA, 4) \
    X(USER32, SendMessageA, 16) \
    X(USER32, SetForegroundWindow, 4) \
    X(USER32, SetTimer, 16) \
    X(USER32, SetWindowPos, 28) \
    X(USER32, ShowWindow, 8) \
    X(USER32, SystemParametersInfoA, 16) \
    X(USER32, TrackPopupMenu, 28) \
    X(USER32, TranslateMessage, 4) \
    X(GDI32, GetStockObject, 4) \
    X(SHELL32, ShellExecuteA, 24) \
    X(SHELL32, Shell_NotifyIconA, 8) \
    X(OLE32, CoInitializeEx, 8)

} // namespace

#define SYSTEM_IMPORT_SLOT(dll, name, bytes) \
    extern "C" void* g_##name __asm__("__imp__" #name "@" #bytes); \
    void* g_##name;
SYSTEM_IMPORTS(SYSTEM_IMPORT_SLOT)

namespace {

struct SystemImport {
    SystemDll dll;
    const char* name;
    void** slot;
};

#define SYSTEM_IMPORT_ENTRY(dll, name, bytes) {dll, #name, &g_##name},
const SystemImport SYSTEM_IMPORT_TABLE[] = {SYSTEM_IMPORTS(SYSTEM_IMPORT_ENTRY)};

} // namespace

// Given SetDefaultDllDirectories as kernel32 has it, so that a test can
// hand it none.
bool BindSystemImports(RestrictSearchCall restrictSearch)
{
    // Without the restriction (a Windows 7 without the update that brought
    // SetDefaultDllDirectories) the starter still has to launch, so it does
    // what such a system allows: the current folder is taken out of the
    // search, and the four are loaded by their full path. Their own
    // dependencies and the shell's later loads are then searched for in the
    // standard order, the program's folder first.
    if (!restrictSearch || !restrictSearch(LOAD_LIBRARY_SEARCH_SYSTEM32))
        SetDllDirectoryA("");
    char path[MAX_PATH + 16];
    const UINT folder = GetSystemDirectoryA(path, MAX_PATH);
    if (folder == 0 || folder >= MAX_PATH)
        return false;
    path[folder] = '\\';
    HMODULE modules[sizeof SYSTEM_DLLS / sizeof SYSTEM_DLLS[0]];
    for (size_t i = 0; i < sizeof SYSTEM_DLLS / sizeof SYSTEM_DLLS[0]; ++i) {
        lstrcpyA(path + folder + 1, SYSTEM_DLLS[i]);
        if (!(modules[i] = LoadLibraryA(path)))
            return false;
    }
    for (const SystemImport& import : SYSTEM_IMPORT_TABLE)
        if (!(*import.slot = reinterpret_cast<void*>(GetProcAddress(modules[import.dll], import.name))))
            return false;
    return true;
}

// Looked up rather than imported, so that a Windows 7 without the update
// that brought it gets no loader error.
bool BindSystemImports()
{
    return BindSystemImports(reinterpret_cast<RestrictSearchCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories"))));
}
