#include "program_folder.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

// FakeLeadByte: 0x5C, the backslash, is a valid trail byte there.
struct FolderCase {
    std::string path;
    LeadBytePredicate lead;
    std::string folder;
};

TEST(ProgramFolder, TheFolderPartKeepsDriveAndShare)
{
    const std::string deep = "C:\\" + std::string(300, 'd') + "\\" + std::string(300, 'e') + "\\";
    const FolderCase cases[] = {
        {"C:\\Tools\\Kit\\starter.exe", NoLeadBytes, "C:\\Tools\\Kit\\"},
        {"\\\\server\\share\\kit\\starter.exe", NoLeadBytes, "\\\\server\\share\\kit\\"},
        {"\\\\server\\share\\starter.exe", NoLeadBytes, "\\\\server\\share\\"},
        {"C:/Tools/Kit/starter.exe", NoLeadBytes, "C:/Tools/Kit/"},
        {"C:\\Tools/Kit\\sub/starter.exe", NoLeadBytes, "C:\\Tools/Kit\\sub/"},
        {"C:\\starter.exe", NoLeadBytes, "C:\\"},
        {"C:starter.exe", NoLeadBytes, "C:"},
        {"starter.exe", NoLeadBytes, ""},
        {"", NoLeadBytes, ""},
        {"\\\\?\\C:\\Kit\\starter.exe", NoLeadBytes, "\\\\?\\C:\\Kit\\"},
        {"C:\\Kit.d\\starter", NoLeadBytes, "C:\\Kit.d\\"},
        {deep + "starter.exe", NoLeadBytes, deep}, // never cut at 255 or MAX_PATH
        // A trail byte with a backslash's value is not a separator...
        {"C:\\Kit\\\x83\\starter.exe", FakeLeadByte, "C:\\Kit\\"},
        {"C:\\Kit\\\x83\\\\starter.exe", FakeLeadByte, "C:\\Kit\\\x83\\\\"},
        // ...unless the code page has no lead bytes.
        {"C:\\Kit\\\x83\\starter.exe", NoLeadBytes, "C:\\Kit\\\x83\\"},
        {"C:\\Kit\\\x83", FakeLeadByte, "C:\\Kit\\"}, // a lead byte with nothing after it
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.path.substr(0, 80));
        EXPECT_EQ(SplitProgramFolder(c.path, c.lead), c.folder);
    }
}

} // namespace
