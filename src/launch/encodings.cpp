#include "encodings.h"

#include <algorithm>

namespace {

// Code page 1252 as Windows has it: bytes 0x80..0x9F stand for these, the others for their own code points.
constexpr char16_t kCp1252High[] = u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039"
                                   u"\u0152\u008D\u017D\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014"
                                   u"\u02DC\u2122\u0161\u203A\u0153\u009D\u017E\u0178";

// The byte-order marks that Windows editors write, and what the text after them is.
constexpr struct {
    std::string_view mark;
    Encoding encoding;
} kMarks[] = {{"\xEF\xBB\xBF", Encoding::kUtf8}, {"\xFF\xFE", Encoding::kUtf16LE}, {"\xFE\xFF", Encoding::kUtf16BE}};

bool IsHighSurrogate(char16_t unit) { return (unit & 0xFC00) == 0xD800; }
bool IsLowSurrogate(char16_t unit) { return (unit & 0xFC00) == 0xDC00; }

// How many bytes a UTF-8 character takes, by its first byte; 0 for a byte that starts none (a continuation
// byte, an overlong two-byte form, or past U+10FFFF).
size_t Utf8Length(unsigned char first)
{
    if (first < 0x80)
        return 1;
    if (first < 0xC2)
        return 0;
    if (first < 0xE0)
        return 2;
    if (first < 0xF0)
        return 3;
    return first < 0xF5 ? 4 : 0;
}

// The UTF-8 character at the start of `bytes` and its code point: its length; 0 where it is invalid (a bad byte,
// an overlong form, an encoded surrogate), or more than there are bytes where it is cut off.
size_t Utf8Character(std::string_view bytes, char32_t& code)
{
    static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000}; // by length: anything less is overlong
    const auto first = static_cast<unsigned char>(bytes[0]);
    const size_t length = Utf8Length(first);
    if (length == 0 || length > bytes.size())
        return length;
    code = length == 1 ? first : first & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3Fu);
    }
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
        return 0;
    return length;
}

// As UTF-16 into `units`, or only checked where there are none to fill. No character takes more units than bytes.
std::optional<size_t> DecodeUtf8(std::string_view bytes, bool more, std::u16string* units)
{
    size_t used = 0, filled = 0;
    if (units)
        units->resize(bytes.size());
    while (used < bytes.size()) {
        char32_t code = static_cast<unsigned char>(bytes[used]);
        const size_t length = code < 0x80 ? 1 : Utf8Character(bytes.substr(used), code);
        if (length > bytes.size() - used && more)
            break;
        if (length == 0 || length > bytes.size() - used)
            return std::nullopt;
        used += length;
        if (units && code >= 0x10000) {
            (*units)[filled++] = static_cast<char16_t>(0xD7C0 + (code >> 10));
            code = 0xDC00 | (code & 0x3FF);
        }
        if (units)
            (*units)[filled++] = static_cast<char16_t>(code);
    }
    if (units)
        units->resize(filled);
    return used;
}

std::optional<size_t> DecodeUtf16(std::string_view bytes, bool bigEndian, bool more, std::u16string& units)
{
    units.resize((bytes.size() + 1) / 2);
    CodeUnits(bytes, bigEndian, &units[0]);
    if (more && !units.empty() && IsHighSurrogate(units.back()))
        units.resize(units.size() - 1); // its pair comes with the next stretch
    for (size_t i = 0; i < units.size(); ++i) {
        const bool paired = IsHighSurrogate(units[i]) && i + 1 < units.size() && IsLowSurrogate(units[i + 1]);
        if (paired)
            ++i;
        else if (IsHighSurrogate(units[i]) || IsLowSurrogate(units[i]))
            return std::nullopt;
    }
    return units.size() * 2;
}

// A double-byte character that the stretch's end cuts off in two is invalid as it stands, so a stretch that
// does not decode whole is tried once more without its last byte, which then starts the next stretch.
std::optional<size_t> DecodeLegacy(std::string_view bytes, bool more, LegacyDecoding fromLegacy, std::u16string& units)
{
    size_t used = bytes.size();
    std::optional<std::u16string> decoded = fromLegacy(bytes);
    if (!decoded && more) {
        used = bytes.size() - 1;
        decoded = fromLegacy(bytes.substr(0, used));
    }
    if (!decoded)
        return std::nullopt;
    units = std::move(*decoded);
    return used;
}

} // namespace

Encoding MarkedEncoding(std::string_view head)
{
    for (const auto& marked : kMarks)
        if (head.substr(0, marked.mark.size()) == marked.mark)
            return marked.encoding;
    return Encoding::kAnsi;
}

size_t MarkLength(Encoding encoding)
{
    for (const auto& marked : kMarks)
        if (marked.encoding == encoding)
            return marked.mark.size();
    return 0;
}

std::optional<Piece> DecodeStretch(std::string_view bytes, Encoding encoding, bool more, const CodePage& codePage,
                                   Text& converted)
{
    if (encoding == Encoding::kAnsi)
        return Piece{bytes.size(), bytes};
    if (encoding == Encoding::kAnsiUtf8) { // valid UTF-8 stands as it is
        const std::optional<size_t> valid = DecodeUtf8(bytes, more, nullptr);
        if (!valid)
            return std::nullopt;
        return Piece{*valid, bytes.substr(0, *valid)};
    }
    std::u16string units;
    std::optional<size_t> used;
    if (encoding == Encoding::kLegacy)
        used = DecodeLegacy(bytes, more, codePage.fromLegacy, units);
    else if (encoding == Encoding::kUtf16LE || encoding == Encoding::kUtf16BE)
        used = DecodeUtf16(bytes, encoding == Encoding::kUtf16BE, more, units);
    else
        used = DecodeUtf8(bytes, more, &units);
    converted = used ? codePage.toAnsi(units) : Text();
    if (!converted)
        return std::nullopt;
    return Piece{*used, *converted};
}

std::u16string_view CodeUnits(std::string_view bytes, bool bigEndian, char16_t* units)
{
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
        units[i / 2] = static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    if (bytes.size() % 2 != 0)
        units[bytes.size() / 2] = 0xDC00;
    return std::u16string_view(units, (bytes.size() + 1) / 2);
}

Text Cp1252FromUtf16(const std::u16string& text)
{
    std::string ansi;
    for (const char16_t unit : text) {
        const bool own = unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF);
        const char16_t* const high = own ? nullptr : std::find(kCp1252High, kCp1252High + 32, unit);
        if (!own && high == kCp1252High + 32)
            return std::nullopt;
        ansi += static_cast<char>(own ? unit : 0x80 + (high - kCp1252High));
    }
    return ansi;
}

std::optional<std::u16string> Utf16FromCp1252(std::string_view bytes)
{
    std::u16string text;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        text += code >= 0x80 && code < 0xA0 ? kCp1252High[code - 0x80] : static_cast<char16_t>(code);
    }
    return text;
}
