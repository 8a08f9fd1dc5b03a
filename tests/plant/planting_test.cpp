// DLLs planted beside starter.exe and in its working folder must never be
// loaded into it. Marker DLLs (marker_dll.c) are copied there under the
// names of DLLs the starter's process loads that Windows does not protect as
// KnownDLLs, and Wine is told to prefer such native copies, as Windows'
// search order would. The starter then goes through what it does: start-up
// with a launch, the tray icon, the about box, the launch entry and quit.
// Markers fired by other processes (the launched ones) do not count.
//
// STARTER_UNDER_TEST names another starter.exe to try instead of the one
// built beside the tests.
#include "resource.h"
#include "win32_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

// The planted names are the ones WINEDLLOVERRIDES makes Wine take from a
// program's own folder first ("name,name=n,b"). Wine reads that setting
// from the environment it was started in, so the test's runner sets it;
// setting it here would not reach the starter.
std::vector<std::string> PlantedNames()
{
    char overrides[4096] = "";
    GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    std::vector<std::string> names;
    std::string all = overrides;
    for (size_t start = 0, end; start < all.size(); start = end + 1) {
        end = std::min(all.find(';', start), all.size());
        std::string entry = all.substr(start, end - start);
        size_t eq = entry.find('=');
        if (eq == std::string::npos || entry.substr(eq) != "=n,b")
            continue;
        for (size_t from = 0, to; from < eq; from = to + 1) {
            to = std::min(entry.find(',', from), eq);
            names.push_back(entry.substr(from, to - from));
        }
    }
    return names;
}

const UINT TRAY_ICON_UID = 1000;

void Plant(const std::vector<std::string>& names, const std::string& folder)
{
    for (const std::string& name : names)
        ASSERT_TRUE(CopyFileA((OwnFolder() + "marker.dll").c_str(), (folder + "\\" + name + ".dll").c_str(), FALSE))
            << folder << name;
}

TEST(Planting, NoPlantedDllIsLoadedIntoTheStarter)
{
    ASSERT_EQ(Resident(), nullptr) << "a starter is already running";
    const char* underTest = std::getenv("STARTER_UNDER_TEST");
    std::string root = MakeTempFolder("planting");
    std::string kit = root + "\\kit", work = root + "\\work", records = root + "\\records",
                markers = root + "\\markers";
    for (const std::string& folder : {kit, work, records, markers})
        CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(underTest && *underTest ? underTest : (OwnFolder() + "..\\starter.exe").c_str(),
                          (kit + "\\starter.exe").c_str(), FALSE));
    // The launch entry opens tavelkin.exe in the program's folder; the
    // start-up launch opens the same recording program, started in the
    // working folder.
    ASSERT_TRUE(CopyFileA((OwnFolder() + "recorder.exe").c_str(), (kit + "\\tavelkin.exe").c_str(), FALSE));
    WriteBytes(kit + "\\tavelkin.run", work + "\r\n" + kit + "\\tavelkin.exe\r\n-x\r\n");
    std::vector<std::string> names = PlantedNames();
    ASSERT_FALSE(names.empty()) << "WINEDLLOVERRIDES names no DLL to plant";
    Plant(names, kit);
    Plant(names, work);

    SetEnvironmentVariableA("STARTER_RECORD_DIR", records.c_str());
    SetEnvironmentVariableA("STARTER_MARKER_DIR", markers.c_str());

    PROCESS_INFORMATION starter =
        StartProcess(nullptr, "\"" + kit + "\\starter.exe\" \"" + kit + "\\tavelkin.run\"", work.c_str());
    ASSERT_NE(starter.hProcess, nullptr);
    DWORD pid = starter.dwProcessId;

    HWND window = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (window = Resident()) && ProcessOf(window) == pid; }))
        << "the starter stays resident";
    EXPECT_EQ(WaitForRecords(records, 1).size(), 1u) << "the start-up launch";
    if (window) {
        EXPECT_TRUE(WaitFor([&] { return TrayIconPresent(window, TRAY_ICON_UID); })) << "the tray icon";
        PostMessageA(window, WM_COMMAND, IDM_ABOUT, 0);
        HWND box = nullptr;
        EXPECT_TRUE(WaitFor([&] { return (box = VisibleWindow("#32770", pid)) != nullptr; })) << "the about box";
        if (box)
            PostMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        EXPECT_TRUE(WaitFor([&] { return VisibleWindow("#32770", pid) == nullptr; })) << "the about box closes";
        PostMessageA(window, WM_COMMAND, IDM_LAUNCH, 0);
        EXPECT_EQ(WaitForRecords(records, 2).size(), 2u) << "the launch entry";
        PostMessageA(window, WM_COMMAND, IDM_QUIT, 0);
    }
    EXPECT_EQ(ExitCode(starter.hProcess), 0u) << "the starter quits";
    CloseProcess(starter);

    for (Record& marker : ReadRecords(markers))
        EXPECT_NE(std::strtoul(marker["pid"].c_str(), nullptr, 10), pid)
            << "loaded into the starter: " << marker["dll"];
}

} // namespace
