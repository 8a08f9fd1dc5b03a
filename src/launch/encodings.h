// What a run file's bytes mean: the encodings a value can be in, decoded a stretch at a time, so that no
// conversion ever holds more than a stretch however long the value.
#pragma once

#include "launch.h"

// How a value's bytes are taken.
enum class Encoding {
    kAnsi,     // bytes in the process's ANSI code page, as they are
    kAnsiUtf8, // the same where that code page is UTF-8: valid UTF-8 only
    kLegacy,   // bytes in the system's legacy code page, converted
    kUtf8,     // after a UTF-8 mark, converted
    kUtf16LE,  // after a UTF-16 mark, converted
    kUtf16BE,
};

// What the text after a byte-order mark is, by the first bytes of a file (kAnsi: no mark), and the mark's length.
Encoding MarkedEncoding(std::string_view head);
size_t MarkLength(Encoding encoding);

// The text of a stretch's first `used` bytes: those bytes, or their text as converted. A character that the
// stretch's end cuts off, with more to come, is left for the next stretch.
struct Piece {
    size_t used;
    std::string_view text;
};

// Absent where the bytes are invalid in their encoding or the text has no exact form in the code page. Converted
// text is kept in `converted`, which the piece's text refers to, as it does to the bytes otherwise.
std::optional<Piece> DecodeStretch(std::string_view bytes, Encoding encoding, bool more, const CodePage& codePage,
                                   Text& converted);

// UTF-16 bytes as code units, into room for half of them rounded up; a lone last byte becomes a unit of its own,
// never a valid one.
std::u16string_view CodeUnits(std::string_view bytes, bool bigEndian, char16_t* units);
