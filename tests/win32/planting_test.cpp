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
#include "starter_fixture.h"

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
    for (std::string entry; std::getline(entries, entry, ';');)
        if (size_t eq = entry.find('='); eq != std::string::npos && entry.substr(eq) == "=n,b")
            for (std::istringstream list(entry.substr(0, eq)); std::getline(list, entry, ',');)
                names.push_back(entry);
    return names;
}

TEST_F(Starter, NoPlantedDllIsLoadedIntoTheStarter)
{
    if (const char* underTest = std::getenv("STARTER_UNDER_TEST"); underTest && *underTest) {
        ASSERT_TRUE(CopyFileA(underTest, kit_.exe.c_str(), FALSE)) << underTest;
    }
    // The launch entry opens tavelkin.exe in the program's folder; the
    // start-up launch opens the same recording program, started in the
    // working folder.
    WriteRunFile(kit_, "-x", kit_.tavelkin);
    std::vector<std::string> names = PlantedNames();
    ASSERT_FALSE(names.empty()) << "WINEDLLOVERRIDES names no DLL to plant";
    const std::string marker = OwnFolder() + "marker.dll";
    for (const std::string& folder : {kit_.folder, kit_.work})
        for (const std::string& name : names)
            ASSERT_TRUE(CopyFileA(marker.c_str(), (folder + "\\" + name + ".dll").c_str(), FALSE)) << folder << name;
    const std::string markers = MakeTempFolder("markers");
    SetEnvironmentVariableA("STARTER_MARKER_DIR", markers.c_str());
    // The control: a marker loaded on purpose leaves its record.
    const std::string control = kit_.work + "\\marker-control.dll";
    ASSERT_TRUE(CopyFileA(marker.c_str(), control.c_str(), FALSE));
    HMODULE loaded = LoadLibraryA(control.c_str());
    std::vector<Record> own = ReadRecords(markers);
    EXPECT_TRUE(loaded && own.size() == 1 && std::strtoul(own[0]["pid"].c_str(), nullptr, 10) == GetCurrentProcessId())
        << "a marker loaded on purpose leaves its record, of this process";
    FreeLibrary(loaded);

    const bool resident = StartResident("\"{EXE}\" \"{RUN}\"", kit_.work.c_str());
    EXPECT_TRUE(resident) << "the starter stays resident, with its tray icon";
    const DWORD pid = starter_.dwProcessId;
    EXPECT_EQ(ReadRecords(records_).size(), 1u) << "the start-up launch, ended";
    if (resident) {
        PostMessageA(window_, WM_COMMAND, MENU_ABOUT, 0);
        HWND box = nullptr;
        EXPECT_TRUE(WaitFor([&] { return (box = VisibleWindow("#32770", pid)) != nullptr; })) << "the about box";
        if (box)
            PostMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        EXPECT_TRUE(WaitFor([&] { return VisibleWindow("#32770", pid) == nullptr; })) << "the about box closes";
        PostMessageA(window_, WM_COMMAND, MENU_LAUNCH, 0);
        EXPECT_TRUE(WaitFor([&] { return ReadRecords(records_).size() == 2; })) << "the launch entry";
        PostMessageA(window_, WM_COMMAND, MENU_QUIT, 0);
    }
    EXPECT_EQ(ExitCode(starter_.hProcess), 0u) << "the starter quits";
    for (Record& marker : ReadRecords(markers))
        EXPECT_NE(std::strtoul(marker["pid"].c_str(), nullptr, 10), pid)
            << "loaded into the starter: " << marker["dll"];
}

} // namespace
