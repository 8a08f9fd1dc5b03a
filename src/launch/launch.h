// The starter's launch logic: command-line tokens, the tail rule, the run-file
// reader and the launch decision. Portable and free of <windows.h>, so that it
// builds and is tested natively as well as in the Windows build.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// A text value. Absent (no such token, no such line, unreadable file) and
// empty are different things to the launch decision, so both are kept.
using Text = std::optional<std::string>;

// Tells whether a byte is the lead byte of a double-byte character in the
// ANSI code page in force. The Windows build passes one built on
// IsDBCSLeadByte; single-byte code pages have none.
using LeadBytePredicate = bool (*)(unsigned char);
inline bool NoLeadBytes(unsigned char) { return false; }

// The run file used when the command line names none, resolved against the
// current working folder.
inline constexpr char DEFAULT_RUN_FILE[] = "tavelkin.run";

// The command-line tail: the full command line less the program's own name
// and the run of characters 0x01..0x20 after it.
std::string CommandLineTail(const std::string& commandLine, LeadBytePredicate isLeadByte);

// The first and second token of a tail. A blank (0x20) is the only separator
// and the double quote the only quoting character; there is no escaping.
Text FirstToken(const std::string& tail);
Text SecondToken(const std::string& tail);

// UTF-16 text in the ANSI code page exactly, or absent (no best fit, no '?').
// The Windows build passes one on WideCharToMultiByte; the host, 1252's table.
using AnsiConversion = Text (*)(const std::u16string&);
Text Cp1252FromUtf16(const std::u16string& text);

// Line n (from 0) of a run file, without its line end: from the file's bytes
// at hand, or read from the file itself stretch by stretch. Absent when there
// is no such line, or no regular file to read. After a byte-order mark the
// text is UTF-8 or UTF-16, its values converted by toAnsi.
Text RunFileLine(std::string_view text, unsigned long n, AnsiConversion toAnsi = Cp1252FromUtf16);
Text ReadRunFileLine(const Text& path, unsigned long n, AnsiConversion toAnsi = Cp1252FromUtf16);

// Whether a block of that size can be had. Built without exceptions, the
// starter asks here first for memory that a run file wants.
bool Affordable(unsigned long long size);

// What the shell is asked to "open".
struct LaunchRequest { Text program, parameters, directory; };

// The document as it goes into the parameters: quoted when it holds a blank
// or a tab, so that the launched program receives it as one argument.
std::string QuoteDocument(const std::string& document);

// The whole launch decision for a command-line tail (absent or empty: the
// default run file). No value means that no request is made at all.
std::optional<LaunchRequest> DecideLaunch(const Text& tail, AnsiConversion toAnsi = Cp1252FromUtf16);
