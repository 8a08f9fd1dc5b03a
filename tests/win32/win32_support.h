// Helpers for the tests that run against real Win32 under Wine: polling with
// a bound, the recording program's records, paths beside the test, and a
// look at the tray.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// Calls the check until it says yes or the bound runs out; says which.
bool WaitFor(const std::function<bool()>& check, DWORD timeoutMs = 20000);

// The folder holding the running test program, ending in a backslash.
std::string OwnFolder();

// A fresh empty folder below the system's temporary folder, without a
// trailing backslash.
std::string MakeTempFolder(const std::string& label);
void WriteBytes(const std::string& path, const std::string& bytes);

using Record = std::map<std::string, std::string>;

// The records that the recording program has left in a folder, oldest first.
std::vector<Record> ReadRecords(const std::string& folder);
// Waits until the folder holds at least `count` records and returns them.
std::vector<Record> WaitForRecords(const std::string& folder, size_t count, DWORD timeoutMs = 20000);

// Whether the tray holds the icon of that window and identifier: changing
// nothing about an icon succeeds only while it is there, from any process.
bool TrayIconPresent(HWND window, UINT id);
// Takes the icon away, as a taskbar that restarts forgets it.
bool DeleteTrayIcon(HWND window, UINT id);
