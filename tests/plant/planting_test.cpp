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

#include <cstdlib>
#include <sstream>

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
    std::istringstream entries(overrides);
    for (std::string entry; std::getline(entries, entry, ';');) {
        size_t eq = entry.find('=');
        if (eq == std::string::npos || entry.substr(eq) != "=n,b")
            continue;
        std::istringstream list(entry.substr(0, eq));
        for (std::string name; std::getline(list, name, ',');)
            names.push_back(name);
    }
    return names;
}

TEST(Planting, NoPlantedDllIsLoadedIntoTheStarter)
{
    ASSERT_EQ(Resident(), nullptr) << "a starter is already running";
    Kit kit = MakeKit("planting");
    const char* underTest = std::getenv("STARTER_UNDER_TEST");
    if (underTest && *underTest) {
        ASSERT_TRUE(CopyFileA(underTest, kit.starter.c_str(), FALSE)) << underTest;
    }
    // The launch entry opens tavelkin.exe in the program's folder; the
    // start-up launch opens the same recording program, started in the
    // working folder.
    WriteBytes(kit.run, kit.work + "\r\n" + kit.tavelkin + "\r\n-x\r\n");
    std::vector<std::string> names = PlantedNames();
    ASSERT_FALSE(names.empty()) << "WINEDLLOVERRIDES names no DLL to plant";
    for (const std::string& folder : {kit.folder, kit.work})
        for (const std::string& name : names)
            ASSERT_TRUE(CopyFileA((OwnFolder() + "marker.dll").c_str(), (folder + "\\" + name + ".dll").c_str(), FALSE))
                << folder << name;
    const std::string markers = MakeTempFolder("markers");
    SetEnvironmentVariableA("STARTER_MARKER_DIR", markers.c_str());

    PROCESS_INFORMATION starter = StartProcess(nullptr, Expand("\"{EXE}\" \"{RUN}\"", kit), kit.work.c_str());
    ASSERT_NE(starter.hProcess, nullptr);
    const DWORD pid = starter.dwProcessId;
    HWND window = WaitForResident(pid);
    EXPECT_NE(window, nullptr) << "the starter stays resident, with its tray icon";
    EXPECT_EQ(WaitForRecords(kit.records, 1).size(), 1u) << "the start-up launch";
    if (window) {
        PostMessageA(window, WM_COMMAND, IDM_ABOUT, 0);
        HWND box = nullptr;
        EXPECT_TRUE(WaitFor([&] { return (box = VisibleWindow("#32770", pid)) != nullptr; })) << "the about box";
        if (box)
            PostMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        EXPECT_TRUE(WaitFor([&] { return VisibleWindow("#32770", pid) == nullptr; })) << "the about box closes";
        PostMessageA(window, WM_COMMAND, IDM_LAUNCH, 0);
        EXPECT_EQ(WaitForRecords(kit.records, 2).size(), 2u) << "the launch entry";
        PostMessageA(window, WM_COMMAND, IDM_QUIT, 0);
    }
    EXPECT_EQ(ExitCode(starter.hProcess), 0u) << "the starter quits";
    CloseProcess(starter);

    for (Record& marker : ReadRecords(markers))
        EXPECT_NE(std::strtoul(marker["pid"].c_str(), nullptr, 10), pid)
            << "loaded into the starter: " << marker["dll"];
}

} // namespace
