// The whole launch decision over a fuzzer-made command-line tail and run
// file, checked against the run file's text rules and the command-line rules;
// the scratch folder must look exactly the same afterwards.
//
// Input: one mode byte (bit 0: no tail at all; bit 1: no run file; bit 2: a
// double-byte code page's lead bytes), then the tail up to the first NUL, then the run file's bytes. In the tail, '@'
// stands for the run file's full path and '%' for the same file under a name with a blank; '/' becomes '_' so that the
// fuzzer can name nothing outside the scratch folder (no devices of the machine get opened).
#include "fuzz_support.h"

#include <cstdint>

namespace {

std::string g_folder;

// How the C runtime reads back an argument that opens with a quote, given
// the whole of its command line: 2n backslashes before a quote give n and the
// quote closes, 2n+1 give n and a literal quote, other backslashes are
// literal, and a lead byte takes the byte after it along, whatever it is.
// The text is that one argument only if its closing quote is its last byte.
Text QuotedArgument(const std::string& line, LeadBytePredicate isLeadByte)
{
    std::string arg;
    for (size_t i = 1; i < line.size();) {
        size_t slashes = 0;
        while (i < line.size() && line[i] == '\\')
            ++slashes, ++i;
        const bool quote = i < line.size() && line[i] == '"';
        arg.append(quote ? slashes / 2 : slashes, '\\');
        if (quote && slashes % 2 == 0)
            return i + 1 == line.size() ? Text(arg) : std::nullopt;
        if (i + 1 < line.size() && isLeadByte(static_cast<unsigned char>(line[i])))
            arg += line[i++];
        if (i < line.size())
            arg += line[i++];
    }
    return std::nullopt; // never closed
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_folder = ScratchFolder();
    fs::current_path(g_folder);
    Check(fs::create_directory(g_folder + "/folder.run"), "a folder to name");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const unsigned mode = size > 0 ? data[0] : 0;
    const std::string rest = size > 0 ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1) : std::string();
    const size_t nul = rest.find('\0');
    const std::string rawTail = rest.substr(0, nul);
    const std::string bytes = nul == std::string::npos ? std::string() : rest.substr(nul + 1);
    const bool haveFile = !(mode & 2);

    const std::string kit = g_folder + "/kit.run";
    const std::string spaced = g_folder + "/my kit.run";
    std::string tailText;
    for (char c : rawTail) {
        if (c == '@')
            tailText += kit;
        else if (c == '%')
            tailText += spaced;
        else
            tailText += c == '/' ? '_' : c;
    }
    const Text tail = (mode & 1) ? Text() : Text(tailText);

    for (const char* name : {"kit.run", "my kit.run", DEFAULT_RUN_FILE}) {
        if (haveFile)
            Check(WriteBytes(g_folder + "/" + name, bytes), "scratch file can be written");
        else
            fs::remove(g_folder + "/" + name);
    }
    const auto before = Snapshot(g_folder);

    const CodePage codePage = {mode & 4 ? FakeLeadByte : NoLeadBytes, Cp1252FromUtf16, nullptr};
    const std::optional<LaunchRequest> request = DecideLaunch(tail, codePage);

    Check(Snapshot(g_folder) == before, "the scratch folder is left as it was");

    const bool haveTail = tail && !tail->empty();
    // The tokens by the model, not by the code under test.
    const ReferenceTokens tokens(haveTail ? *tail : std::string());
    const Text runFile = haveTail ? tokens.first : Text(DEFAULT_RUN_FILE);
    Check(request.has_value() == runFile.has_value(), "no request only for an unclosed quote");
    if (!request)
        return 0;

    // Without '/' in the tail, only these names reach the file; all else
    // names nothing, a folder or the folder's parent, and reads as absent.
    const bool names = *runFile == kit || *runFile == spaced || *runFile == "kit.run" || *runFile == "my kit.run" ||
                       *runFile == DEFAULT_RUN_FILE;
    const ReferenceRunFile model(bytes);
    const Text line0 = names && haveFile ? model.Line(0) : Text();
    const Text line1 = names && haveFile ? model.Line(1) : Text();
    const Text line2 = names && haveFile ? model.Line(2) : Text();
    Check(request->directory == line0, "the folder is line 0");
    Check(request->program == line1, "the program is line 1");

    const Text& parameters = request->parameters;
    if (!haveTail) {
        Check(parameters == line2, "without a tail the parameters are line 2 as it is");
        return 0;
    }
    Check(parameters.has_value(), "with a tail there are always parameters");
    const bool line2Used = line2 && !line2->empty();
    Check(!StartsWith(*parameters, " ") || (line2Used && StartsWith(*line2, " ")),
          "parameters start with a blank only when line 2 does");

    const Text document = request->program ? tokens.second : Text();
    if (!document || document->empty()) {
        Check(*parameters == (line2Used ? *line2 : std::string()), "no document: line 2 alone");
        return 0;
    }
    const std::string added = line2Used ? *line2 + " " : std::string();
    Check(StartsWith(*parameters, added), "line 2 and one blank come first");
    const std::string quoted = parameters->substr(added.size());
    if (document->find_first_of(" \t") != std::string::npos) {
        Check(quoted.size() >= 2 && quoted.front() == '"' && quoted.back() == '"', "a document with a blank is quoted");
        // A lead byte with no byte after it would take the closing quote: text that no code page holds.
        size_t i = 0;
        while (i + 1 < document->size())
            i += codePage.isLeadByte(static_cast<unsigned char>((*document)[i])) ? 2 : 1;
        const bool whole = i == document->size() || !codePage.isLeadByte(static_cast<unsigned char>(document->back()));
        Check(!whole || QuotedArgument(quoted, codePage.isLeadByte) == document,
              "the quoted document reads back as itself, one argument");
    } else {
        Check(quoted == *document, "a document without blanks goes as it is");
    }
    Check(EndsWith(*parameters, quoted), "the document comes last");
    return 0;
}
