// launch-preview: prints, as one line of JSON, the request the starter would
// hand to the shell for a command-line tail, and launches nothing.
//
//   launch-preview [--] [TAIL]
//   launch-preview --command-line LINE
//
// Exits 0, 2 for a usage error, and 1 when its line could not be written:
// a caller that reads nothing must not take that for a preview.
#include "launch.h"

#ifdef _WIN32
#include "launch_shell.h"
#endif

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Plain ASCII JSON: bytes 0x80..0xFF each become one code point, so any byte
// string round-trips whatever the reader's encoding.
std::string JsonString(const Text& text)
{
    if (!text)
        return "null";
    std::string out = "\"";
    for (unsigned char c : *text) {
        char esc[8];
        switch (c) {
        // clang-format off
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        // clang-format on
        default:
            if (c < 0x20 || c >= 0x7F) {
                std::snprintf(esc, sizeof esc, "\\u%04X", c);
                out += esc;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

int Usage()
{
    std::fputs("usage: launch-preview [--] [TAIL]\n"
               "       launch-preview --command-line LINE\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // The process's own code page, without the legacy decoding that the starter has under UTF-8: other tools
    // rely on the values of a run file without a mark coming out byte for byte.
    const CodePage codePage = {AnsiLeadByte, AnsiFromUtf16, nullptr};
#else
    const CodePage codePage = kCodePage1252;
#endif
    // "--" ends the options, so that any tail, "--command-line" too, can be
    // previewed; anything else is taken as the tail exactly.
    const bool optionsEnded = argc >= 2 && std::strcmp(argv[1], "--") == 0;
    const int first = optionsEnded ? 2 : 1;
    std::string tail;
    if (!optionsEnded && argc >= 2 && std::strcmp(argv[1], "--command-line") == 0) {
        if (argc != 3)
            return Usage();
        tail = CommandLineTail(argv[2], codePage.isLeadByte);
    } else if (argc == first + 1) {
        tail = argv[first];
    } else if (argc > first + 1) {
        return Usage();
    }

    std::optional<LaunchRequest> request = DecideLaunch(tail, codePage);
    if (!request)
        std::puts("null");
    else
        std::printf("{\"verb\":\"open\",\"program\":%s,\"parameters\":%s,\"directory\":%s,\"show\":5}\n",
                    JsonString(request->program).c_str(), JsonString(request->parameters).c_str(),
                    JsonString(request->directory).c_str());
    // A full disk may show only here, when the buffered line is written out.
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
