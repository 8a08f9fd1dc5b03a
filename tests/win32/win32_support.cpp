#include "win32_support.h"

#include <shellapi.h>

#include <algorithm>
#include <fstream>
#include <cstdio>

bool WaitFor(const std::function<bool()>& check, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (check())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        // Yields the processor between polls; the bound above is what waits.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

std::string OwnFolder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string own(path);
    return own.substr(0, own.find_last_of('\\') + 1);
}

std::string MakeTempFolder(const std::string& label)
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        std::string folder = std::string(temp) + "starter-" + label + "-" + std::to_string(GetCurrentProcessId()) +
                             "-" + std::to_string(++counter);
        if (CreateDirectoryA(folder.c_str(), nullptr))
            return folder;
    }
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<Record> ReadRecords(const std::string& folder)
{
    std::vector<std::pair<std::string, Record>> found;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\record-*.txt").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return {};
    do {
        std::ifstream in(folder + "\\" + data.cFileName, std::ios::binary);
        Record record;
        std::string line;
        while (std::getline(in, line)) {
            size_t eq = line.find('=');
            if (eq != std::string::npos)
                record[line.substr(0, eq)] = line.substr(eq + 1);
        }
        char key[32];
        unsigned long long when =
            (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
        std::snprintf(key, sizeof key, "%020llu", when);
        found.emplace_back(key + std::string(data.cFileName), record);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Record> records;
    for (auto& f : found)
        records.push_back(f.second);
    return records;
}

std::vector<Record> WaitForRecords(const std::string& folder, size_t count, DWORD timeoutMs)
{
    std::vector<Record> records;
    WaitFor([&] {
        records = ReadRecords(folder);
        return records.size() >= count;
    }, timeoutMs);
    return records;
}

static bool TrayIconCall(DWORD call, HWND window, UINT id)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = id;
    return Shell_NotifyIconA(call, &data) != FALSE;
}

bool TrayIconPresent(HWND window, UINT id) { return TrayIconCall(NIM_MODIFY, window, id); }
bool DeleteTrayIcon(HWND window, UINT id) { return TrayIconCall(NIM_DELETE, window, id); }

// GoogleTest hands every failure message to OutputDebugStringA as well, for a
// debugger's benefit. Under Wine on the emulated 32-bit CPU that call can
// crash the test program after the first failure, so that the remaining
// tests, their clean-up and the summary are lost. Linked into every program
// that uses these helpers, this takes the call's place; the messages are on
// standard output anyway.
static void WINAPI DiscardDebugString(LPCSTR) {}
extern "C" void* g_outputDebugStringA __asm__("__imp__OutputDebugStringA@4");
void* g_outputDebugStringA = reinterpret_cast<void*>(&DiscardDebugString);
