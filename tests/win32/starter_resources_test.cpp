// starter.exe's resources as the real loader finds them: the built program is
// loaded as a data file, and every resource is read back through user32.
#include "win32_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <vector>

namespace {

using Entry = std::tuple<WORD, WORD, WORD>; // type, name, language

// Every resource carries German (Germany); the menu, the about box's template
// and its picture by their identifiers.
const WORD GERMAN = 0x0407, MENU = 103, DIALOG = 106, PICTURE = 105;

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

// build/win32/starter.exe, beside the folder of the test programs, as a data file.
const std::string g_starterPath = OwnFolder() + "..\\starter.exe";
const HMODULE g_starter = LoadLibraryExA(g_starterPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);

struct Resources : ::testing::Test {
    void SetUp() override { ASSERT_NE(g_starter, nullptr) << "starter.exe could not be loaded"; }
};

// A resource's bytes under the one language every resource carries.
std::string Bytes(LPCSTR type, WORD id)
{
    HRSRC found = FindResourceExA(g_starter, type, MAKEINTRESOURCEA(id), GERMAN);
    if (!found)
        return {};
    return std::string(static_cast<const char*>(LockResource(LoadResource(g_starter, found))),
                       SizeofResource(g_starter, found));
}

template <typename T>
T At(const std::string& bytes, size_t offset)
{
    T value{};
    if (offset + sizeof value <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

struct IconGroupCase {
    WORD group;
    BYTE sizes[2]; // in the order the group lists its images
};

// The icon groups list their images, each found in German too, and the
// resources enumerated are those expected and no other.
TEST_F(Resources, IconGroupsListTheirImagesInOrderAndEveryResourceIsThereInGermanAlone)
{
    std::vector<Entry> expected = {{LOWORD(RT_STRING), 1, GERMAN},       {LOWORD(RT_MENU), MENU, GERMAN},
                                   {LOWORD(RT_DIALOG), DIALOG, GERMAN},  {LOWORD(RT_BITMAP), PICTURE, GERMAN},
                                   {LOWORD(RT_GROUP_ICON), 102, GERMAN}, {LOWORD(RT_GROUP_ICON), 103, GERMAN},
                                   {LOWORD(RT_VERSION), 1, GERMAN},      {LOWORD(RT_MANIFEST), 1, GERMAN}};
    const IconGroupCase cases[] = {{102, {32, 16}}, {103, {16, 32}}}; // the starter's, and the spare one
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
            expected.emplace_back(LOWORD(RT_ICON), At<WORD>(group, e + 12), GERMAN);
            std::string image = Bytes(RT_ICON, At<WORD>(group, e + 12));
            EXPECT_EQ(image.size(), At<DWORD>(group, e + 8));
            EXPECT_EQ(At<LONG>(image, 4), c.sizes[i]);
            EXPECT_EQ(At<LONG>(image, 8), 2 * c.sizes[i]); // colour and mask
            EXPECT_EQ(At<WORD>(image, 14), 4);
        }
    }
    for (auto [type, id, language] : expected)
        EXPECT_NE(FindResourceExA(g_starter, MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(id), language), nullptr)
            << type << "/" << id;
    std::vector<Entry> found;
    EnumResourceTypesA(g_starter, OnType, reinterpret_cast<LONG_PTR>(&found));
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
}

TEST_F(Resources, TheTrayMenuHasItsEntriesInOrder)
{
    const std::pair<const char*, UINT> items[] = {
        // the text, nullptr for a separator, and the identifier
        {"&Launch Velmora", MENU_LAUNCH},    {nullptr, 0}, {"DVQ-&Reference", MENU_REFERENCE},
        {"&Feedback Form", MENU_FEEDBACK},   {nullptr, 0}, {"&About Tavelkin", MENU_ABOUT},
        {"&Tavelkin Website", MENU_WEBSITE}, {nullptr, 0}, {"&Quit", MENU_QUIT},
    };
    HMENU top = LoadMenuA(g_starter, MAKEINTRESOURCEA(MENU));
    ASSERT_NE(top, nullptr);
    ASSERT_EQ(GetMenuItemCount(top), 1);
    char title[64] = "";
    GetMenuStringA(top, 0, title, sizeof title, MF_BYPOSITION);
    EXPECT_STREQ(title, "Menu");
    HMENU popup = GetSubMenu(top, 0);
    ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(std::size(items)));
    for (UINT i = 0; i < std::size(items); ++i) {
        SCOPED_TRACE(i);
        auto [label, id] = items[i];
        char text[64] = "";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
        info.dwTypeData = text;
        info.cch = sizeof text;
        ASSERT_TRUE(GetMenuItemInfoA(popup, i, TRUE, &info));
        EXPECT_EQ(info.fType, label ? MFT_STRING : MFT_SEPARATOR);
        EXPECT_EQ(info.hSubMenu, nullptr);
        if (label) {
            EXPECT_STREQ(text, label);
            EXPECT_EQ(info.wID, id);
            EXPECT_EQ(info.fState, 0u); // enabled, unchecked, not the default
        }
    }
    DestroyMenu(top);
}

TEST_F(Resources, StringsOneToFourAndNothingElseInTheirBlock)
{
    // 1, the tip; 2 to 4, what three of the menu's entries open
    const char* texts[16] = {nullptr, "Tavelkin", "https://tavelkin.example/", "examples\\reference.xhtml",
                             "examples\\feedback.xhtml"};
    for (UINT id = 0; id < 16; ++id) {
        char text[256] = "";
        int length = LoadStringA(g_starter, id, text, sizeof text);
        EXPECT_STREQ(text, texts[id] ? texts[id] : "") << id;
        EXPECT_EQ(length, static_cast<int>(std::strlen(text))) << id;
    }
    EXPECT_LE(std::strlen(texts[1]), 63u); // what the tray's tip field holds
}

TEST_F(Resources, TheAboutTemplateHasItsBytes)
{
    // The box: its style and extended style (two words each), one control, its place and size in dialog
    // units, no menu, the default class, no title, and its font, 8 points of MS Sans Serif.
    const DWORD box = WS_POPUP | DS_SETFONT, picture = WS_CHILD | WS_VISIBLE | SS_BITMAP;
    std::u16string words = {LOWORD(box), HIWORD(box), 0, 0, 1, 0, 0, 275, 192, 0, 0, 0, 8};
    words += u"MS Sans Serif";
    words.resize((words.size() + 2) & ~size_t(1)); // its terminator, and on to a double word's boundary
    // The picture: style and extended style, place and size, no identifier, the predefined static class,
    // the picture by its ordinal, no creation data.
    words += {LOWORD(picture), HIWORD(picture), 0, 0, 0, 0, 275, 192, 0xFFFF, 0xFFFF, 0x0082, 0xFFFF, PICTURE, 0};
    std::string expected(reinterpret_cast<const char*>(words.data()), 2 * words.size());
    std::string bytes = Bytes(RT_DIALOG, DIALOG);
    EXPECT_EQ(bytes.substr(0, expected.size()), expected);
    EXPECT_EQ(bytes.find_first_not_of('\0', expected.size()), std::string::npos); // padding only
}

TEST_F(Resources, TheAboutPictureIs412By312With256Colours)
{
    std::string bytes = Bytes(RT_BITMAP, PICTURE);
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
    std::vector<char> info(GetFileVersionInfoSizeA(g_starterPath.c_str(), nullptr));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoA(g_starterPath.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
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
    EXPECT_EQ(*static_cast<DWORD*>(value), MAKELONG(GERMAN, 1200)); // Unicode
    const std::pair<const char*, const char*> strings[] = {
        {"ProductName", "Tavelkin"},      {"FileDescription", "Tavelkin starter"},
        {"FileVersion", STARTER_VERSION}, {"ProductVersion", STARTER_VERSION},
        {"CompanyName", "Tavelkin team"}, {"LegalCopyright", "\xA9 2026 Tavelkin team. All rights reserved."},
    };
    for (auto [key, expected] : strings) {
        std::string query = std::string("\\StringFileInfo\\040704B0\\") + key;
        ASSERT_TRUE(VerQueryValueA(info.data(), query.c_str(), &value, &size)) << key;
        EXPECT_STREQ(static_cast<const char*>(value), expected) << key;
    }
}

TEST_F(Resources, TheManifestAsksNoElevationNamesWindows7To11AndAsksForUtf8)
{
    std::string manifest = Bytes(RT_MANIFEST, 1);
    const char* present[] = {
        "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // 10 and 11
        "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>",
    };
    for (const char* text : present)
        EXPECT_NE(manifest.find(text), std::string::npos) << text;
    for (const char* text : {"dpiAware", "Common-Controls", "dependency"})
        EXPECT_EQ(manifest.find(text), std::string::npos) << text;
}

} // namespace
