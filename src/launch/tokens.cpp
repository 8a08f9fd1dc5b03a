#include "launch.h"

#include <algorithm>

std::string CommandLineTail(const std::string& line, LeadBytePredicate isLeadByte)
{
    const size_t n = line.size();
    size_t i = 0;
    if (n > 0 && line[0] == '"') {
        // A quoted program name runs to the next quote. The second byte of a double-byte character may have
        // the quote's value, so a lead byte always takes the byte after it along.
        for (i = 1; i < n && line[i] != '"'; ++i)
            if (isLeadByte(static_cast<unsigned char>(line[i])) && i + 1 < n)
                ++i;
        if (i < n)
            ++i; // the closing quote goes with the name
    } else {
        while (i < n && (static_cast<unsigned char>(line[i]) > ' '))
            ++i;
    }
    while (i < n && line[i] != '\0' && static_cast<unsigned char>(line[i]) <= ' ')
        ++i;
    return line.substr(i);
}

// Where the first token ends: just after its closing quote, or at its first blank (the text's end when it has
// none). Absent when a quote is left open.
static std::optional<size_t> FirstTokenEnd(const std::string& text)
{
    if (text.empty() || text[0] != '"')
        return std::min(text.find(' '), text.size());
    const size_t close = text.find('"', 1);
    return close == std::string::npos ? std::optional<size_t>() : close + 1;
}

Text FirstToken(const std::string& tail)
{
    const std::optional<size_t> end = FirstTokenEnd(tail);
    if (!end)
        return std::nullopt;
    if (!tail.empty() && tail[0] == '"')
        return tail.substr(1, *end - 2); // the quotes are no part of it
    return tail.substr(0, *end);
}

// After the first token exactly one character is skipped, whatever it is: the blank, or after a quoted token whatever
// follows its closing quote. A blank there, or nothing, means no second token; else the first token's rule takes it.
Text SecondToken(const std::string& tail)
{
    std::optional<size_t> end = FirstTokenEnd(tail);
    if (!end || *end + 1 >= tail.size() || tail[*end + 1] == ' ')
        return std::nullopt;
    return FirstToken(tail.substr(*end + 1));
}
