// starter.exe as a Windows 7 without the update that brought
// SetDefaultDllDirectories runs it. Wine cannot be made such a system (its
// kernel32 has the function whatever version it reports), so the binding is
// handed none. Linked as starter.exe is (its lean runtime, no import
// libraries for the DLLs it binds), it can also be made to run out
// of memory while resident, which no test can bring about in the shipped
// starter: once the event "Local\TavelkinStarterOutOfMemory" is set, a
// thread of its own asks for more than a 32-bit process can have. Wine
// takes a dead window's icons away itself, where Windows leaves them in the
// notification area, so its NIM_DELETE is watched: it sets the event
// "Local\TavelkinStarterIconDeleted".
#include "launch_shell.h"
#include "system_imports.h"
#include "tray.h"

#include <new>
#include <string>

static void* volatile g_kept;
static HANDLE g_iconDeleted;

// The slot that the binding fills with shell32's Shell_NotifyIconA.
extern "C" void* g_notifySlot __asm__("__imp__Shell_NotifyIconA@8");
static void* g_notify;

static BOOL WINAPI WatchedNotify(DWORD message, PNOTIFYICONDATAA data)
{
    if (message == NIM_DELETE)
        SetEvent(g_iconDeleted);
    return reinterpret_cast<BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA)>(g_notify)(message, data);
}

static DWORD WINAPI RunOutOfMemory(void* event)
{
    WaitForSingleObject(event, INFINITE);
    g_kept = ::operator new(0x7FFFFFF0u); // the lean runtime's end
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (!BindSystemImports(nullptr))
        return 0;
    g_iconDeleted = CreateEventA(nullptr, TRUE, FALSE, "Local\\TavelkinStarterIconDeleted");
    g_notify = g_notifySlot;
    g_notifySlot = reinterpret_cast<void*>(WatchedNotify);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, "Local\\TavelkinStarterOutOfMemory");
    if (event)
        CloseHandle(CreateThread(nullptr, 0, RunOutOfMemory, event, 0, nullptr));
    std::string tail = CommandLineTail(GetCommandLineA(), AnsiLeadByte);
    return StarterMain(instance, tail.c_str());
}
