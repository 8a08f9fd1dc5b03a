// The tail rule and the two tokens over any command line: the tail checked
// against what must hold whatever the bytes are, the tokens against the
// plain model of the token rules that the decision target uses too.
#include "fuzz_support.h"

#include <cstdint>

namespace {

bool IsSeparator(char c) { return c >= 0x01 && c <= 0x20; }

// What CommandLineTail dropped is the program's name and the separators
// after it.
void CheckTail(const std::string& line, const std::string& tail, bool quotedName)
{
    Check(EndsWith(line, tail), "the tail is the end of the line");
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

// The tokens against the plain model of the token rules.
void CheckTokens(const std::string& tail)
{
    const ReferenceTokens model(tail);
    Check(FirstToken(tail) == model.first, "the first token is the model's");
    Check(SecondToken(tail) == model.second, "the second token is the model's");
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
