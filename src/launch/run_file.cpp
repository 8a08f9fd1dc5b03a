#include "run_file.h"
#include "encodings.h"

#include <algorithm>

namespace {

// The search for line n's value, a stretch at a time; positions are in bytes from the file's start.
struct Search {
    unsigned long lineEndsToPass;
    std::optional<unsigned long long> start{}, end{}, ctrlZ{}; // end: at an LF or a NUL, before any Ctrl-Z
    bool crLast = false;                                       // the stretch before ended in a CR
};

// The text rules over a stretch of units (bytes or UTF-16 code units) from byte `at`: an LF ends a line, and neither
// it nor the CR of a CR LF is part of the value; a NUL ends the value, and a Ctrl-Z the text.
template <class Unit>
void Scan(std::basic_string_view<Unit> units, unsigned long long at, Search& search)
{
    constexpr unsigned long long width = sizeof(Unit);
    const size_t ctrlZ = std::min(units.find(Unit{0x1A}), units.size());
    if (ctrlZ < units.size())
        search.ctrlZ = at + ctrlZ * width;
    for (size_t lf = units.find(Unit{'\n'}); !search.start && lf < ctrlZ; lf = units.find(Unit{'\n'}, lf + 1))
        if (--search.lineEndsToPass == 0)
            search.start = at + (lf + 1) * width;
    const bool crBefore = search.crLast;
    search.crLast = !units.empty() && units.back() == Unit{'\r'};
    if (!search.start)
        return;
    const size_t from = *search.start > at ? static_cast<size_t>((*search.start - at) / width) : 0;
    const size_t stop = std::min(units.find(Unit{'\n'}, from), units.find(Unit{0}, from));
    if (stop >= ctrlZ)
        return;
    const bool afterCr = stop > from ? units[stop - 1] == Unit{'\r'} : *search.start < at && crBefore;
    search.end = at + stop * width;
    if (units[stop] == Unit{'\n'} && afterCr)
        *search.end -= width;
}

// Where line n's value lies in the text from byte `textStart` on, or false where there is no such line.
bool FindLine(const RunFileBytes& bytes, size_t textStart, Encoding encoding, Search& search)
{
    if (search.lineEndsToPass == 0)
        search.start = textStart;
    char16_t units[kStretch / 2];
    for (unsigned long long at = textStart; at < bytes.size && !search.end && !search.ctrlZ; at += kStretch) {
        const auto stretch = bytes.read(bytes.source, at, static_cast<size_t>(std::min(bytes.size - at, kStretch)));
        if (!stretch)
            return false;
        if (encoding == Encoding::kUtf16LE || encoding == Encoding::kUtf16BE)
            Scan(CodeUnits(*stretch, encoding == Encoding::kUtf16BE, units), at, search);
        else
            Scan(*stretch, at, search);
    }
    const unsigned long long textEnd = search.ctrlZ.value_or(bytes.size);
    if (!search.start || (!search.end && *search.start >= textEnd))
        return false; // past the last line, or where a Ctrl-Z ends the text before the line begins
    search.end = search.end.value_or(textEnd);
    return true;
}

// The bytes from `start` to `end` as text, converted a stretch at a time into room of their size, so that a long
// value is held once. More room (UTF-16 grows by half as UTF-8) is asked for before it is taken, doubling and all.
Text Value(const RunFileBytes& bytes, const Search& search, Encoding encoding, const CodePage& codePage)
{
    const unsigned long long start = *search.start, end = *search.end;
    if (!Affordable(end - start + 1))
        return std::nullopt;
    std::string value;
    value.reserve(static_cast<size_t>(end - start));
    Text converted; // a stretch's text, where it is not its bytes
    for (unsigned long long at = start; at < end;) {
        const size_t count = static_cast<size_t>(std::min(end - at, kStretch));
        const std::optional<std::string_view> stretch = bytes.read(bytes.source, at, count);
        const auto piece = stretch ? DecodeStretch(*stretch, encoding, at + count < end, codePage, converted)
                                   : std::nullopt;
        if (!piece || piece->used == 0)
            return std::nullopt;
        const bool full = piece->text.size() > value.capacity() - value.size();
        if (full && !Affordable(2 * static_cast<unsigned long long>(value.capacity()) + piece->text.size() + 1))
            return std::nullopt;
        value += piece->text;
        at += piece->used;
    }
    return value;
}

// Under a UTF-8 code page, a value without a mark is UTF-8 where it is valid UTF-8, and else the legacy code
// page's text: files saved either way keep their meaning. It is decided value by value, from the value's bytes.
Text ValueByCodePage(const RunFileBytes& bytes, const Search& search, Encoding encoding, const CodePage& codePage)
{
    if (encoding != Encoding::kAnsi || !codePage.fromLegacy)
        return Value(bytes, search, encoding, codePage);
    Text utf8 = Value(bytes, search, Encoding::kAnsiUtf8, codePage);
    if (utf8)
        return utf8; // moved: a copy of a long value could take the last of the memory
    return Value(bytes, search, Encoding::kLegacy, codePage);
}

} // namespace

Text LineOfRunFile(const RunFileBytes& bytes, unsigned long n, const CodePage& codePage)
{
    const auto head = bytes.read(bytes.source, 0, static_cast<size_t>(std::min(bytes.size, kStretch)));
    if (!head)
        return std::nullopt;
    const Encoding encoding = MarkedEncoding(*head);
    const size_t textStart = MarkLength(encoding);
    if (bytes.size == textStart)
        return std::string(); // a text of no characters has every line, empty
    Search search{n};
    return FindLine(bytes, textStart, encoding, search) ? ValueByCodePage(bytes, search, encoding, codePage) : Text();
}

Text RunFileLine(std::string_view text, unsigned long n, const CodePage& codePage)
{
    const auto fromMemory = [](void* source, unsigned long long at, size_t count) {
        const std::string_view whole = *static_cast<std::string_view*>(source);
        return std::optional<std::string_view>(whole.substr(static_cast<size_t>(at), count));
    };
    return LineOfRunFile({text.size(), fromMemory, &text}, n, codePage);
}
