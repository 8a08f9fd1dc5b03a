#include "launch.h"

#include <cstdlib>

// Quoted the way the C runtime's argument parser reads it back: backslashes count only before a quote, so those
// get doubled, and a quote inside the document is escaped. A document with no blank or tab goes as it is. In a
// double-byte code page the byte after a lead byte is part of its character, whatever its value: 0x5C there is no
// backslash, and the runtime, which knows the lead bytes too, reads the pair back as one character.
std::string QuoteDocument(const std::string& document, LeadBytePredicate isLeadByte)
{
    if (document.find_first_of(" \t") == std::string::npos)
        return document;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (size_t i = 0; i < document.size(); ++i) {
        const char c = document[i];
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\').push_back(c);
        backslashes = 0;
        if (isLeadByte(static_cast<unsigned char>(c)) && i + 1 < document.size())
            quoted.push_back(document[++i]);
    }
    return quoted.append(backslashes * 2, '\\') + '"';
}

std::optional<LaunchRequest> DecideLaunch(const Text& tail, const CodePage& codePage)
{
    const bool haveTail = tail && !tail->empty();
    Text runFile = haveTail ? FirstToken(*tail) : Text(DEFAULT_RUN_FILE);
    if (!runFile)
        return std::nullopt; // the tail opens a quote it never closes

    LaunchRequest request;
    request.directory = ReadRunFileLine(runFile, 0, codePage);
    request.program = ReadRunFileLine(runFile, 1, codePage);
    request.parameters = ReadRunFileLine(runFile, 2, codePage);
    if (!haveTail)
        return request;

    // Only when there is a program to hand a document to is the command line looked at again.
    Text document = request.program ? SecondToken(*tail) : Text();
    std::string& parameters = request.parameters ? *request.parameters : request.parameters.emplace();
    if (!document || document->empty())
        return request;
    const std::string quoted = QuoteDocument(*document, codePage.isLeadByte);
    if (!parameters.empty() && !Affordable(parameters.size() + quoted.size() + 2))
        return std::nullopt; // no room for the joined parameters: no request rather than a wrong one
    std::string joined;      // one copy of what may be a very long line, into room of its size
    joined.reserve(parameters.size() + 1 + quoted.size());
    parameters = std::move(joined.append(parameters).append(parameters.empty() ? "" : " ").append(quoted));
    return request;
}

bool Affordable(unsigned long long size)
{
    void* probe = size < static_cast<size_t>(-1) ? std::malloc(static_cast<size_t>(size)) : nullptr;
    std::free(probe);
    return probe != nullptr;
}
