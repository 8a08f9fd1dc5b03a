// starter.exe's resources as the real loader finds them: the built program is
// loaded as a data file, and every resource is read back through user32.
#include "resource.h"
#include "win32_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <vector>

namespace {

using Entry = std::tuple<WORD, WORD, WORD>; // type, name, language

BOOL CALLBACK OnLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR found)
{
    // A resource named by a string rather than a number is recorded as 0xFFFF.
    WORD id = IS_INTRESOURCE(name) ? LOWORD(reinterpret_cast<ULONG_PTR>(name)) : 0xFFFF;
    reinterpret_cast<std::vector<Entry>*>(found)->emplace_back(LOWORD(reinterpret_cast<ULONG_PTR>(type)), id, language);
    return TRUE;
}
BOOL CALLBACK OnName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR found)
{
    return EnumResourceLanguagesA(module, type, name, OnLanguage, found);
}
BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR found)
{
    return EnumResourceNamesA(module, type, OnName, found);
}

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // build/win32/starter.exe, beside the folder of the test programs.
        module_ = LoadLibraryExA((OwnFolder() + "..\\starter.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() { FreeLibrary(module_); }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "starter.exe could not be loaded"; }

    // A resource's bytes under the one language every resource carries.
    static std::string Bytes(LPCSTR type, WORD id)
    {
        HRSRC found = FindResourceExA(module_, type, MAKEINTRESOURCEA(id), STARTER_RESOURCE_LANGUAGE);
        if (!found)
            return {};
        const char* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
        return std::string(data, SizeofResource(module_, found));
    }
    template <typename T> static T At(const std::string& bytes, size_t offset)
    {
        T value{};
        if (offset + sizeof value <= bytes.size())
            std::memcpy(&value, bytes.data() + offset, sizeof value);
        return value;
    }

    static HMODULE module_;
};
HMODULE Resources::module_;

struct IconGroupCase {
    WORD group;
    BYTE sizes[2]; // in the order the group lists its images
};

TEST_F(Resources, IconGroupsListTheirImagesInOrder)
{
    const IconGroupCase cases[] = {{IDI_STARTER, {32, 16}}, {IDI_SPARE, {16, 32}}};
    for (const IconGroupCase& c : cases) {
        SCOPED_TRACE(c.group);
        std::string group = Bytes(RT_GROUP_ICON, c.group);
        ASSERT_EQ(group.size(), 6u + 2 * 14);
        EXPECT_EQ(At<WORD>(group, 2), 1); // icons, not cursors
        ASSERT_EQ(At<WORD>(group, 4), 2);
        for (int i = 0; i < 2; ++i) {
            size_t e = 6 + 14 * i;
            EXPECT_EQ(At<BYTE>(group, e), c.sizes[i]);
            EXPECT_EQ(At<BYTE>(group, e + 1), c.sizes[i]);
            EXPECT_EQ(At<BYTE>(group, e + 2), 16); // colours
            EXPECT_EQ(At<WORD>(group, e + 4), 1);  // planes
            EXPECT_EQ(At<WORD>(group, e + 6), 4);  // bits per pixel
            std::string image = Bytes(RT_ICON, At<WORD>(group, e + 12));
            EXPECT_EQ(image.size(), At<DWORD>(group, e + 8));
            EXPECT_EQ(At<LONG>(image, 4), c.sizes[i]);
            EXPECT_EQ(At<LONG>(image, 8), 2 * c.sizes[i]); // colour and mask
            EXPECT_EQ(At<WORD>(image, 14), 4);
        }
    }
}

TEST_F(Resources, EveryResourceIsThereInGermanAndNoOther)
{
    std::vector<Entry> expected = {
        {LOWORD(RT_STRING), 1, 0}, {LOWORD(RT_MENU), IDR_TRAYMENU, 0}, {LOWORD(RT_DIALOG), IDD_ABOUT, 0},
        {LOWORD(RT_BITMAP), IDB_ABOUT, 0}, {LOWORD(RT_GROUP_ICON), IDI_STARTER, 0},
        {LOWORD(RT_GROUP_ICON), IDI_SPARE, 0}, {LOWORD(RT_VERSION), 1, 0}, {LOWORD(RT_MANIFEST), 1, 0}};
    for (WORD group : {IDI_STARTER, IDI_SPARE})
        for (int i = 0; i < 2; ++i)
            expected.emplace_back(LOWORD(RT_ICON), At<WORD>(Bytes(RT_GROUP_ICON, group), 6 + 14 * i + 12), 0);
    for (Entry& e : expected) {
        std::get<2>(e) = STARTER_RESOURCE_LANGUAGE;
        EXPECT_NE(FindResourceExA(module_, MAKEINTRESOURCEA(std::get<0>(e)), MAKEINTRESOURCEA(std::get<1>(e)),
                                  STARTER_RESOURCE_LANGUAGE),
                  nullptr)
            << std::get<0>(e) << "/" << std::get<1>(e);
    }
    std::vector<Entry> found;
    EnumResourceTypesA(module_, OnType, reinterpret_cast<LONG_PTR>(&found));
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
}

struct MenuItemCase {
    const char* text; // nullptr: a separator
    UINT id;
};

TEST_F(Resources, TheTrayMenuHasItsEntriesInOrder)
{
    const MenuItemCase items[] = {
        {"&Launch Velmora", IDM_LAUNCH}, {nullptr, 0},       {"DVQ-&Reference", IDM_REFERENCE},
        {"&Feedback Form", IDM_FEEDBACK}, {nullptr, 0},      {"&About Tavelkin", IDM_ABOUT},
        {"&Tavelkin Website", IDM_WEBSITE}, {nullptr, 0},    {"&Quit", IDM_QUIT},
    };
    HMENU top = LoadMenuA(module_, MAKEINTRESOURCEA(IDR_TRAYMENU));
    ASSERT_NE(top, nullptr);
    ASSERT_EQ(GetMenuItemCount(top), 1);
    char text[64] = "";
    GetMenuStringA(top, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "Menu");
    HMENU popup = GetSubMenu(top, 0);
    ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(std::size(items)));
    for (UINT i = 0; i < std::size(items); ++i) {
        SCOPED_TRACE(i);
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
        text[0] = '\0';
        info.dwTypeData = text;
        info.cch = sizeof text;
        ASSERT_TRUE(GetMenuItemInfoA(popup, i, TRUE, &info));
        EXPECT_EQ(info.fType, items[i].text ? MFT_STRING : MFT_SEPARATOR);
        EXPECT_EQ(info.hSubMenu, nullptr);
        if (items[i].text) {
            EXPECT_STREQ(text, items[i].text);
            EXPECT_EQ(info.wID, items[i].id);
            EXPECT_EQ(info.fState, 0u); // enabled, unchecked, not the default
        }
    }
    DestroyMenu(top);
}

TEST_F(Resources, StringsOneToFourAndNothingElseInTheirBlock)
{
    const char* texts[16] = {};
    texts[IDS_TIP] = "Tavelkin";
    texts[IDS_WEBSITE] = "https://tavelkin.example/";
    texts[IDS_REFERENCE] = "examples\\reference.xhtml";
    texts[IDS_FEEDBACK] = "examples\\feedback.xhtml";
    for (UINT id = 0; id < 16; ++id) {
        char text[256] = "";
        int length = LoadStringA(module_, id, text, sizeof text);
        EXPECT_STREQ(text, texts[id] ? texts[id] : "") << id;
        EXPECT_EQ(length, static_cast<int>(std::strlen(text))) << id;
    }
    EXPECT_LE(std::strlen(texts[IDS_TIP]), 63u); // what the tray's tip field holds
}

TEST_F(Resources, TheAboutTemplateHasItsBytes)
{
    std::string expected;
    auto word = [&](uint16_t w) { expected.append(reinterpret_cast<const char*>(&w), 2); };
    auto dword = [&](uint32_t d) { expected.append(reinterpret_cast<const char*>(&d), 4); };
    dword(WS_POPUP | DS_SETFONT);
    dword(0); // extended style
    word(1);  // one control
    word(0), word(0), word(275), word(192);
    word(0), word(0), word(0); // no menu, the default class, no title
    word(8);
    for (const char* s = "MS Sans Serif";; ++s) {
        word(static_cast<uint16_t>(*s));
        if (!*s)
            break;
    }
    expected.resize((expected.size() + 3) & ~size_t(3));
    dword(WS_CHILD | WS_VISIBLE | SS_BITMAP);
    dword(0);
    word(0), word(0), word(275), word(192);
    word(0xFFFF);                  // no identifier
    word(0xFFFF), word(0x0082);    // the predefined static class
    word(0xFFFF), word(IDB_ABOUT); // the picture, by its ordinal
    word(0);                       // no creation data
    std::string bytes = Bytes(RT_DIALOG, IDD_ABOUT);
    EXPECT_EQ(bytes.substr(0, expected.size()), expected);
    EXPECT_EQ(bytes.find_first_not_of('\0', expected.size()), std::string::npos); // padding only
}

TEST_F(Resources, TheAboutPictureIs412By312With256Colours)
{
    std::string bytes = Bytes(RT_BITMAP, IDB_ABOUT);
    BITMAPINFOHEADER header = At<BITMAPINFOHEADER>(bytes, 0);
    EXPECT_EQ(header.biSize, sizeof header);
    EXPECT_EQ(header.biWidth, 412);
    EXPECT_EQ(header.biHeight, 312); // positive: bottom-up
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 8);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_TRUE(header.biClrUsed == 0 || header.biClrUsed == 256) << header.biClrUsed;
    EXPECT_EQ(bytes.size(), sizeof header + 256 * sizeof(RGBQUAD) + 412 * 312);
}

TEST_F(Resources, TheVersionIsTheProjectsUnderTheAboutPicturesNames)
{
    std::string path = OwnFolder() + "..\\starter.exe";
    std::vector<char> info(GetFileVersionInfoSizeA(path.c_str(), nullptr));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    void* value = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", &value, &size));
    const VS_FIXEDFILEINFO& fixed = *static_cast<VS_FIXEDFILEINFO*>(value);
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(STARTER_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);
    EXPECT_EQ(fixed.dwFileVersionMS, MAKELONG(minor, major));
    EXPECT_EQ(fixed.dwFileVersionLS, MAKELONG(0, patch));
    EXPECT_EQ(fixed.dwProductVersionMS, fixed.dwFileVersionMS);
    EXPECT_EQ(fixed.dwProductVersionLS, fixed.dwFileVersionLS);
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &value, &size));
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(static_cast<WORD*>(value)[0], STARTER_RESOURCE_LANGUAGE);
    EXPECT_EQ(static_cast<WORD*>(value)[1], 1200); // Unicode
    const std::pair<const char*, const char*> strings[] = {
        {"ProductName", "Tavelkin"},
        {"FileDescription", "Tavelkin starter"},
        {"FileVersion", STARTER_VERSION},
        {"ProductVersion", STARTER_VERSION},
        {"CompanyName", "Tavelkin team"},
        {"LegalCopyright", "\xA9 2026 Tavelkin team. All rights reserved."},
    };
    for (auto [key, expected] : strings) {
        std::string query = std::string("\\StringFileInfo\\040704B0\\") + key;
        ASSERT_TRUE(VerQueryValueA(info.data(), query.c_str(), &value, &size)) << key;
        EXPECT_STREQ(static_cast<const char*>(value), expected) << key;
    }
}

TEST_F(Resources, TheManifestAsksNoElevationAndNamesWindows7To11)
{
    std::string manifest = Bytes(RT_MANIFEST, 1);
    const char* present[] = {
        "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // 10 and 11
    };
    for (const char* text : present)
        EXPECT_NE(manifest.find(text), std::string::npos) << text;
    for (const char* text : {"dpiAware", "Common-Controls", "dependency"})
        EXPECT_EQ(manifest.find(text), std::string::npos) << text;
}

} // namespace
