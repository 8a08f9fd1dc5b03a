// The tail rule and the two tokens over any command line, checked against
// what must hold whatever the bytes are.
#include "fuzz_support.h"

#include <cstdint>

namespace {

// Shift-JIS-like lead bytes, so that the double-byte path of the tail rule is
// exercised without depending on the machine's code page.
bool FakeLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

bool IsSeparator(char c) { return c >= 0x01 && c <= 0x20; }
bool StartsWithAt(const std::string& text, size_t at, const std::string& part)
{
    return at <= text.size() && text.compare(at, part.size(), part) == 0 && text.size() - at >= part.size();
}

// What CommandLineTail dropped is the program's name and the separators
// after it.
void CheckTail(const std::string& line, const std::string& tail, bool quotedName)
{
    Check(tail.size() <= line.size() && StartsWithAt(line, line.size() - tail.size(), tail),
          "the tail is the end of the line");
    Check(tail.empty() || !IsSeparator(tail[0]), "the tail starts after the separators");
    const size_t dropped = line.size() - tail.size();
    size_t nameEnd = dropped;
    while (nameEnd > 0 && IsSeparator(line[nameEnd - 1]))
        --nameEnd;
    if (!quotedName) {
        for (size_t i = 0; i < nameEnd; ++i)
            Check(static_cast<unsigned char>(line[i]) > ' ', "an unquoted name holds no byte up to the blank");
        Check(nameEnd == line.size() || static_cast<unsigned char>(line[nameEnd]) <= ' ',
              "an unquoted name runs to the first byte up to the blank");
        return;
    }
    // A quoted name ends just after a quote, or runs to the end of the line.
    if (tail.empty())
        return;
    Check(nameEnd >= 2 && line[nameEnd - 1] == '"', "a quoted name ends with its closing quote");
}

void CheckTokens(const std::string& tail)
{
    const Text first = FirstToken(tail);
    const Text second = SecondToken(tail);
    const bool quoted = !tail.empty() && tail[0] == '"';
    if (!first) {
        Check(quoted && tail.find('"', 1) == std::string::npos, "only an unclosed quote loses the first token");
        Check(!second, "no second token without a first");
        return;
    }
    size_t rawEnd;
    if (quoted) {
        Check(StartsWithAt(tail, 0, '"' + *first + '"'), "a quoted first token is the text between the quotes");
        Check(first->find('"') == std::string::npos, "no quote inside a quoted first token");
        rawEnd = first->size() + 2;
    } else {
        Check(StartsWithAt(tail, 0, *first), "the first token starts the tail");
        Check(first->find(' ') == std::string::npos, "no blank inside an unquoted first token");
        Check(first->size() == tail.size() || tail[first->size()] == ' ', "an unquoted first token ends at a blank");
        rawEnd = first->size();
    }
    // One character after the first token is skipped, whatever it is.
    const size_t start = rawEnd + 1;
    if (!second) {
        Check(start >= tail.size() || tail[start] == ' ' ||
                  (tail[start] == '"' && tail.find('"', start + 1) == std::string::npos),
              "the second token is absent only for a reason");
        return;
    }
    Check(start < tail.size() && tail[start] != ' ', "the second token starts after one skipped character");
    if (tail[start] == '"') {
        Check(StartsWithAt(tail, start, '"' + *second + '"'), "a quoted second token is the text between the quotes");
        Check(second->find('"') == std::string::npos, "no quote inside a quoted second token");
    } else {
        Check(!second->empty() && StartsWithAt(tail, start, *second), "an unquoted second token is in the tail");
        Check(second->find(' ') == std::string::npos, "no blank inside an unquoted second token");
        const size_t end = start + second->size();
        Check(end == tail.size() || tail[end] == ' ', "an unquoted second token ends at a blank");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    const bool quotedName = !line.empty() && line[0] == '"';
    const std::string plain = CommandLineTail(line, NoLeadBytes);
    const std::string dbcs = CommandLineTail(line, FakeLeadByte);
    CheckTail(line, plain, quotedName);
    CheckTail(line, dbcs, quotedName);
    if (quotedName) {
        // Skipping trail bytes can only move the closing quote further on.
        Check(dbcs.size() <= plain.size(), "lead bytes never end a quoted name earlier");
        const size_t close = line.find('"', 1);
        bool leadBefore = false;
        for (size_t i = 1; i < close && i < line.size(); ++i)
            leadBefore = leadBefore || FakeLeadByte(static_cast<unsigned char>(line[i]));
        if (!leadBefore)
            Check(dbcs == plain, "without lead bytes both tails agree");
    } else {
        Check(dbcs == plain, "lead bytes do not matter to an unquoted name");
    }
    CheckTokens(plain);
    CheckTokens(dbcs);
    return 0;
}
