#include "launch.h"

bool NoLeadBytes(unsigned char) { return false; }

std::string CommandLineTail(const std::string& line, LeadBytePredicate isLeadByte)
{
    const size_t n = line.size();
    size_t i = 0;
    if (n > 0 && line[0] == '"') {
        // A quoted program name runs to the next quote. The second byte of a
        // double-byte character may have the quote's value, so a lead byte
        // always takes the byte after it along.
        i = 1;
        while (i < n && line[i] != '"') {
            if (isLeadByte(static_cast<unsigned char>(line[i])) && i + 1 < n)
                ++i;
            ++i;
        }
        if (i < n)
            ++i; // the closing quote goes with the name
    } else {
        while (i < n && static_cast<unsigned char>(line[i]) > ' ')
            ++i;
    }
    while (i < n && line[i] != '\0' && static_cast<unsigned char>(line[i]) <= ' ')
        ++i;
    return line.substr(i);
}

namespace {

// Where the first token ends: just after its closing quote, or at its first
// blank (the text's end when it has none). Absent when a quote is left open.
std::optional<size_t> FirstTokenEnd(const std::string& text)
{
    if (!text.empty() && text[0] == '"') {
        size_t close = text.find('"', 1);
        if (close == std::string::npos)
            return std::nullopt;
        return close + 1;
    }
    size_t blank = text.find(' ');
    return blank == std::string::npos ? text.size() : blank;
}

} // namespace

Text FirstToken(const std::string& text)
{
    std::optional<size_t> end = FirstTokenEnd(text);
    if (!end)
        return std::nullopt;
    if (!text.empty() && text[0] == '"')
        return text.substr(1, *end - 2);
    return text.substr(0, *end);
}

Text SecondToken(const std::string& text)
{
    std::optional<size_t> end = FirstTokenEnd(text);
    if (!end || *end >= text.size())
        return std::nullopt;
    // Exactly one character is skipped, whatever it is: normally the blank,
    // after a quoted first token whatever follows the closing quote.
    size_t start = *end + 1;
    if (start >= text.size() || text[start] == ' ')
        return std::nullopt;
    if (text[start] == '"') {
        size_t close = text.find('"', start + 1);
        if (close == std::string::npos)
            return std::nullopt;
        return text.substr(start + 1, close - start - 1);
    }
    size_t blank = text.find(' ', start);
    return text.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
}
