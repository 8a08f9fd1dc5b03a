// Small helpers shared by the unit tests: value checks and a temporary folder
// of real files.
#pragma once

#include "launch.h"
#include "support.h"
#ifdef _WIN32
#include "launch_shell.h"
#endif

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline const Text None;

// Every code page 1252 at hand, with its legacy decoding for the rows that
// ask for one: the core's table, and in the Windows build the system's own
// conversions (the unit tests take Windows' code page to be 1252).
#ifdef _WIN32
inline const CodePage kCodePages[] = {{NoLeadBytes, Cp1252FromUtf16, Utf16FromCp1252},
                                      {NoLeadBytes, AnsiFromUtf16, Utf16FromLegacy}};
#else
inline const CodePage kCodePages[] = {{NoLeadBytes, Cp1252FromUtf16, Utf16FromCp1252}};
#endif

// Compares without printing a multi-megabyte value on failure.
inline void ExpectValue(const Text& got, const Text& want, const std::string& what)
{
    EXPECT_EQ(got.has_value(), want.has_value()) << what;
    if (got && want && *got != *want)
        ADD_FAILURE() << what << ": got " << got->size() << " bytes, want " << want->size()
                      << (got->size() < 200 ? ": \"" + *got + "\"" : "");
}

// Lines from, from + 1, ... of a run file.
inline void ExpectLines(const std::string& path, const std::vector<Text>& want, unsigned long from = 0,
                        const CodePage& codePage = kCodePage1252)
{
    for (unsigned long n = 0; n < want.size(); ++n)
        ExpectValue(ReadRunFileLine(path, from + n, codePage), want[n], "line " + std::to_string(from + n));
}

// A decision: whether a request is made, and then its values (none without one).
inline void ExpectRequest(const std::optional<LaunchRequest>& got, bool request, const Text& program,
                          const Text& parameters, const Text& directory)
{
    EXPECT_EQ(got.has_value(), request) << "a request is made";
    const LaunchRequest made = got.value_or(LaunchRequest{});
    ExpectValue(made.program, program, "program");
    ExpectValue(made.parameters, parameters, "parameters");
    ExpectValue(made.directory, directory, "directory");
}

// A fresh folder per test under the system's temporary folder, removed again
// afterwards. Once frozen, nothing in it may change until then.
struct TempFolder {
    fs::path path = FreshFolder(fs::temp_directory_path(), "starter-test");
    std::optional<std::map<std::string, std::string>> frozen;

    ~TempFolder()
    {
        if (frozen) {
            EXPECT_EQ(Snapshot(path), *frozen) << "the folder changed";
        }
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    void Freeze() { frozen = Snapshot(path); }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        fs::create_directories((path / name).parent_path());
        EXPECT_TRUE(WriteBytes(path / name, bytes)) << name;
        return (path / name).string();
    }
};

struct LineCase {
    const char* name;
    std::string bytes;
    std::vector<Text> values; // of lines from, from + 1, ...
    unsigned long from = 0;
    AnsiConversion toAnsi = nullptr;     // none: each conversion at hand
    LegacyDecoding fromLegacy = nullptr; // Utf16FromCp1252: each 1252 at hand
};

// Each case from a file of its own and from its bytes with no file, in every
// code page at hand (with the case's own conversions); no read changes the
// file.
inline void ExpectLineCases(const std::vector<LineCase>& cases)
{
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const std::string path = dir.Write("case.run", c.bytes);
        dir.Freeze();
        for (CodePage codePage : kCodePages) {
            codePage.toAnsi = c.toAnsi ? c.toAnsi : codePage.toAnsi;
            codePage.fromLegacy = c.fromLegacy == Utf16FromCp1252 ? codePage.fromLegacy : c.fromLegacy;
            ExpectLines(path, c.values, c.from, codePage);
            for (unsigned long n = 0; n < c.values.size(); ++n)
                ExpectValue(RunFileLine(c.bytes, c.from + n, codePage), c.values[n],
                            "line " + std::to_string(c.from + n) + " from the bytes, no file");
        }
    }
}
