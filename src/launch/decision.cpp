#include "launch.h"

const char DEFAULT_RUN_FILE[] = "tavelkin.run";

// Quoted the way the C runtime's argument parser reads it back: backslashes
// count only before a quote, so those get doubled, and a quote inside the
// document is escaped. A document with no blank or tab goes as it is.
std::string QuoteDocument(const std::string& document)
{
    if (document.find_first_of(" \t") == std::string::npos)
        return document;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : document) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            quoted.append(backslashes * 2 + 1, '\\');
        else
            quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, '\\');
    quoted.push_back('"');
    return quoted;
}

std::optional<LaunchRequest> DecideLaunch(const Text& tail)
{
    const bool haveTail = tail && !tail->empty();
    Text runFile = haveTail ? FirstToken(*tail) : Text(DEFAULT_RUN_FILE);
    if (!runFile)
        return std::nullopt; // the tail opens a quote it never closes

    LaunchRequest request;
    request.directory = ReadRunFileLine(runFile, 0);
    request.program = ReadRunFileLine(runFile, 1);
    Text fileParameters = ReadRunFileLine(runFile, 2);
    if (!haveTail) {
        request.parameters = fileParameters;
        return request;
    }

    // The command line is looked at again only when there is a program to
    // hand a document to.
    Text document = request.program ? SecondToken(*tail) : Text();
    const bool haveDocument = document && !document->empty();
    std::string parameters;
    if (fileParameters && !fileParameters->empty()) {
        parameters = *fileParameters;
        if (haveDocument)
            parameters += " " + QuoteDocument(*document);
    } else if (haveDocument) {
        parameters = QuoteDocument(*document);
    }
    request.parameters = parameters;
    return request;
}
