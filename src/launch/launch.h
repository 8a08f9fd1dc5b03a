// The starter's launch logic: command-line tokens, the tail rule, the run-file reader and the launch decision.
// Portable and free of <windows.h>, so that it builds and is tested natively as well as in the Windows build.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// A text value; absent (no such token or line, an unreadable file) and empty differ to the launch decision.
using Text = std::optional<std::string>;

// Whether a byte leads a double-byte character in the ANSI code page: on Windows, IsDBCSLeadByte's answer.
using LeadBytePredicate = bool (*)(unsigned char);
inline bool NoLeadBytes(unsigned char) { return false; }

// The run file used when the command line names none, resolved against the current working folder.
inline constexpr char DEFAULT_RUN_FILE[] = "tavelkin.run";

// The command-line tail: the command line less the program's own name and the characters 0x01..0x20 after it.
std::string CommandLineTail(const std::string& commandLine, LeadBytePredicate isLeadByte);

// The first and second token of a tail. A blank (0x20) is the only separator and the double quote the only
// quoting character; there is no escaping.
Text FirstToken(const std::string& tail);
Text SecondToken(const std::string& tail);

// UTF-16 text in the ANSI code page exactly, or absent (no best fit, no '?').
using AnsiConversion = Text (*)(const std::u16string&);
// Text in the system's legacy ANSI code page as UTF-16, exactly, or absent (an invalid byte, a double-byte
// character cut off at the end).
using LegacyDecoding = std::optional<std::u16string> (*)(std::string_view);

// What the launch rules need of the process's ANSI code page.
struct CodePage {
    LeadBytePredicate isLeadByte; // double-byte lead bytes (none under UTF-8)
    AnsiConversion toAnsi;        // UTF-16 into the process's ANSI code page
    LegacyDecoding fromLegacy;    // set only where that code page is UTF-8: run files may predate it
};

// Code page 1252 by the core's own table, both ways: the native build's code page, which Windows' can be
// compared with.
Text Cp1252FromUtf16(const std::u16string& text);
std::optional<std::u16string> Utf16FromCp1252(std::string_view bytes);
inline constexpr CodePage kCodePage1252 = {NoLeadBytes, Cp1252FromUtf16, nullptr};

// Line n (from 0) of a run file, without its line end, from its bytes or from the file; absent when there is no
// such line or no regular file. After a byte-order mark the text is UTF-8 or UTF-16, converted by toAnsi. Without
// one, a value is its bytes; but where the code page has a legacy one, a value that is not valid UTF-8 is taken
// to be in that one, and converted.
Text RunFileLine(std::string_view text, unsigned long n, const CodePage& codePage = kCodePage1252);
Text ReadRunFileLine(const Text& path, unsigned long n, const CodePage& codePage = kCodePage1252);

// Whether a block of that size can be had: without exceptions, the starter asks before taking what a run file wants.
bool Affordable(unsigned long long size);

// The document as it goes into the parameters: quoted when it holds a blank or a tab, so as to stay one argument.
// A lead byte takes the byte after it along, so that byte is never taken for a backslash.
std::string QuoteDocument(const std::string& document, LeadBytePredicate isLeadByte);

struct LaunchRequest { // what the shell is asked to "open"
    Text program, parameters, directory;
};
// The launch decision for a command-line tail (absent or empty: the default run file); none: no request at all.
std::optional<LaunchRequest> DecideLaunch(const Text& tail, const CodePage& codePage = kCodePage1252);
