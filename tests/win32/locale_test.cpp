// The shipped starter.exe in the system locales of five ANSI code pages,
// installed in a folder whose name no legacy code page holds whole: the
// locale's own script, Polish and Thai. It is started by CreateProcessW with
// exact command lines, and what it launches is seen as a Unicode program sees
// it (the recording program's UTF-8 record of CommandLineToArgvW), so every
// name must arrive exactly. Under Wine the code page follows the locale that
// Wine starts in; on Windows it is the machine's own, and the rows of other
// code pages are skipped.
#include "starter_fixture.h"
#include "support.h"

#include <gtest/gtest.h>

namespace {

struct LocaleCodePage {
    UINT id;
    const char* own;    // a word in the locale's own script, in UTF-8
    const char* legacy; // the same in the code page
    bool trail;         // whether it ends in a character whose second byte is 0x5C, the backslash
};

void PrintTo(const LocaleCodePage& page, std::ostream* out) { *out << page.id; }

// 949 has no character with 0x5C as its second byte.
const LocaleCodePage CODE_PAGES[] = {
    {1252, "Jürgen", "J\xFCrgen", false},
    {932, "見積表", "\x8C\xA9\x90\xCF\x95\x5C", true},
    {936, "报价乗", "\xB1\xA8\xBC\xDB\x81\x5C", true},
    {949, "견적", "\xB0\xDF\xC0\xFB", false},
    {950, "報價許", "\xB3\xF8\xBB\xF9\xB3\x5C", true},
};

// The starters' fixture, its launches read as a Unicode program reads them,
// and its kit moved to a folder named in three scripts, as a user has it
// installed; beside it a folder named in the locale's own script alone,
// which a run file in the legacy code page can name.
class Locale : public Starter, public ::testing::WithParamInterface<LocaleCodePage> {
protected:
    Locale() { wideArguments_ = true; }
    void SetUp() override
    {
        if (GetACP() != GetParam().id)
            GTEST_SKIP() << "skipped on purpose: the ANSI code page here is " << GetACP() << ", not " << GetParam().id
                         << " (under Wine: LC_ALL names a locale of it, which localedef made)";
        Starter::SetUp();
        ASSERT_TRUE(CreateDirectoryW(Wide(legacy_).c_str(), nullptr)) << legacy_;
        ASSERT_TRUE(MoveFileW(Wide(kit_.folder).c_str(), Wide(named_).c_str())) << named_;
        const std::string legacy = kit_.root + "\\" + GetParam().legacy;
        ASSERT_TRUE(
            WriteBytes(Wide(legacyRun_), legacy + "\r\n" + kit_.recorder + "\r\n" + GetParam().legacy + "\r\n"));
    }

    // A starter with a run file and a document, started by CreateProcessW:
    // the first stays resident, a later one ends with 1; each launches the
    // run file's program in its folder.
    void ExpectStart(const std::string& exe, const std::string& run, const std::string& document, const Args& arguments,
                     const std::string& program, const std::string& folder)
    {
        std::wstring line = Wide("\"" + exe + "\" \"" + run + "\" \"" + document + "\"");
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION& started = started_.emplace_back();
        ASSERT_TRUE(
            CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started));
        if (window_) {
            EXPECT_EQ(ExitCode(started.hProcess, 120000), 1u) << "a later starter";
        } else {
            starter_ = started;
            ASSERT_TRUE(window_ = WaitForResident(started.dwProcessId)) << "no resident starter";
        }
        ExpectLaunch(records_, 1, arguments, {{"wexe", program}, {"wcwd", folder}});
    }

    const std::string own_ = GetParam().own, legacy_ = kit_.root + "\\" + own_, legacyRun_ = legacy_ + "\\legacy.run";
    const std::string named_ = legacy_ + " Łódź ไทย", exe_ = named_ + "\\starter.exe",
                      tavelkin_ = named_ + "\\tavelkin.exe";
};

// Windows before 10 version 1903 ignores the starter's opt-in to UTF-8; Wine
// 8 honours it, whichever version of Windows it reports.
bool HonoursUtf8OptIn()
{
    OSVERSIONINFOW version = {sizeof version, 0, 0, 0, 0, {}};
    auto getVersion = reinterpret_cast<LONG(WINAPI*)(OSVERSIONINFOW*)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
    return UnderWine() || (getVersion && getVersion(&version) == 0 && version.dwBuildNumber >= 18362);
}

TEST_P(Locale, TheStarterHandsOnEveryNameExactlyFromEveryRunFile)
{
    if (!HonoursUtf8OptIn())
        GTEST_SKIP() << "skipped on purpose: this Windows is older than 10 version 1903 and keeps the legacy code "
                        "page, which cannot hold the kit's folder";
    const std::string document = own_ + " Łódź ＂ไทย＂ " + own_; // the fullwidth quotation mark, U+FF02
    ExpectStart(exe_, legacyRun_, document, {own_, document}, kit_.recorder, legacy_);
    // The kit's run file in UTF-8 without and with a mark, and in UTF-16.
    const std::string lines = named_ + "\r\n" + tavelkin_ + "\r\n" + own_ + " Łódź ไทย\r\n";
    const std::wstring wide = Wide(lines);
    const std::string utf16(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    const std::pair<const char*, std::string> runFiles[] = {{"UTF-8", lines},
                                                            {"UTF-8 with a mark", "\xEF\xBB\xBF" + lines},
                                                            {"UTF-16", "\xFF\xFE" + utf16}};
    for (const auto& [encoding, bytes] : runFiles) {
        SCOPED_TRACE(encoding);
        ASSERT_TRUE(WriteBytes(Wide(named_ + "\\tavelkin.run"), bytes));
        ExpectStart(exe_, named_ + "\\tavelkin.run", document, {own_, "Łódź", "ไทย", document}, tavelkin_, named_);
    }
    // The menu's launch and reference entries, in its own folder.
    PostMessageA(window_, WM_COMMAND, MENU_LAUNCH, 0);
    ExpectLaunch(records_, 1, Args{"tavelkin.run"}, {{"wexe", tavelkin_}, {"wcwd", named_}});
    Handlers handlers(kit_.recorder);
    if (!handlers.Effective())
        GTEST_SKIP() << "skipped on purpose: the shell opens .xhtml documents with the program the user chose, "
                        "which Windows 8 and later keep where no program may change it";
    PostMessageA(window_, WM_COMMAND, MENU_REFERENCE, 0);
    ExpectLaunch(records_, 1, Args{named_ + "\\examples\\reference.xhtml"}, {{"wexe", kit_.recorder}});
    EXPECT_EQ(Quit(window_, starter_.hProcess), 0u);
}

// Without the opt-in (the fallback starter has none) the starter keeps the
// legacy code page, where the second byte of a double-byte character may be
// a backslash's; the quotes it puts around a document with a blank must
// still hold it as one argument.
TEST_P(Locale, WithoutTheOptInADoubleByteDocumentStaysOneArgument)
{
    if (!GetParam().trail)
        GTEST_SKIP() << "skipped on purpose: no character of code page " << GetParam().id
                     << " has 0x5C as its second byte";
    const std::string fallback = legacy_ + "\\starter.exe", document = own_ + " " + own_;
    ASSERT_TRUE(CopyFileW(Wide(OwnFolder() + "starter_fallback.exe").c_str(), Wide(fallback).c_str(), FALSE));
    ExpectStart(fallback, legacyRun_, document, {own_, document}, kit_.recorder, legacy_);
    EXPECT_EQ(Quit(window_, starter_.hProcess), 0u);
}

INSTANTIATE_TEST_SUITE_P(CodePages, Locale, ::testing::ValuesIn(CODE_PAGES),
                         [](const auto& info) { return "cp" + std::to_string(info.param.id); });

} // namespace
