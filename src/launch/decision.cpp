#include "launch.h"

// Quoted the way the C runtime's argument parser reads it back: backslashes count only before a quote, so those
// get doubled, and a quote inside the document is escaped. A document with no blank or tab goes as it is.
std::string QuoteDocument(const std::string& document)
{
    if (document.find_first_of(" \t") == std::string::npos)
        return document;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : document) {
        if (c != '\\')
            quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\').push_back(c);
        backslashes = c == '\\' ? backslashes + 1 : 0;
    }
    return quoted.append(backslashes * 2, '\\') + '"';
}

std::optional<LaunchRequest> DecideLaunch(const Text& tail, AnsiConversion toAnsi)
{
    const bool haveTail = tail && !tail->empty();
    Text runFile = haveTail ? FirstToken(*tail) : Text(DEFAULT_RUN_FILE);
    if (!runFile)
        return std::nullopt; // the tail opens a quote it never closes

    LaunchRequest request;
    request.directory = ReadRunFileLine(runFile, 0, toAnsi);
    request.program = ReadRunFileLine(runFile, 1, toAnsi);
    request.parameters = ReadRunFileLine(runFile, 2, toAnsi);
    if (!haveTail)
        return request;

    // Only when there is a program to hand a document to is the command line looked at again.
    Text document = request.program ? SecondToken(*tail) : Text();
    std::string& parameters = request.parameters ? *request.parameters : request.parameters.emplace();
    if (!document || document->empty())
        return request;
    const std::string quoted = QuoteDocument(*document);
    if (!parameters.empty() && !Affordable(parameters.size() + quoted.size() + 2))
        return std::nullopt; // no room for the joined parameters: no request rather than a wrong one
    std::string joined;      // one copy of what may be a very long line, into room of its size
    joined.reserve(parameters.size() + 1 + quoted.size());
    parameters = std::move(joined.append(parameters).append(parameters.empty() ? "" : " ").append(quoted));
    return request;
}
