// The run-file reader over fuzzer-made file contents, compared line by line
// with the plain model of the text rules, and the file must be unchanged.
// Each line is read in code page 1252, and under UTF-8 with a double-byte
// legacy code page, whose characters the reader's stretches may cut in two.
//
// Input: one mode byte, then the file's bytes. Bit 7 of the mode puts a
// filler of 65,528 to 65,543 bytes (bits 0-3) in front, so that what the
// fuzzer makes lands on the reader's 64 KiB buffer edge; bits 5 and 6 pick
// the filler's pattern. Bit 4 adds 1,152 KiB of 'x' at the end: a line that
// long is measured before it is read, rather than given room for the rest of
// the file.
#include "fuzz_support.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

std::string g_folder, g_path;

std::string Filler(unsigned mode)
{
    static const char* const patterns[] = {"x", "\n", "\r\n", "ab\r"};
    const char* pattern = patterns[(mode >> 5) & 3];
    const size_t length = 65536 - 8 + (mode & 0x0F);
    std::string filler;
    while (filler.size() < length)
        filler += pattern;
    filler.resize(length);
    return filler;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_folder = ScratchFolder();
    g_path = g_folder + "/fuzz.run";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const unsigned mode = size > 0 ? data[0] : 0;
    std::string bytes = mode & 0x80 ? Filler(mode) : std::string();
    if (size > 0)
        bytes.append(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (mode & 0x10)
        bytes.append(1152 * 1024, 'x');
    Check(WriteBytes(g_path, bytes), "scratch file can be written");
    const auto written = Snapshot(g_folder);

    const ReferenceRunFile model(bytes);
    // The first lines, and those around the end (a filler of LFs makes tens
    // of thousands of lines; reading every one would slow the fuzzing down).
    const unsigned long count = static_cast<unsigned long>(model.LineCount());
    std::vector<unsigned long> lines;
    for (unsigned long n = 0; n < 8 && n <= count + 1; ++n)
        lines.push_back(n);
    for (unsigned long n = std::max(count > 2 ? count - 2 : 0, 8ul); n <= count + 1; ++n)
        lines.push_back(n);
    const CodePage utf8 = {NoLeadBytes, Utf8FromUtf16, FakeDoubleByteLegacy};
    for (const CodePage& codePage : {kCodePage1252, utf8}) {
        for (unsigned long n : lines) {
            const Text got = ReadRunFileLine(g_path, n, codePage);
            const Text want = model.Line(n, codePage);
            if (got != want) {
                std::fprintf(stderr, "line %lu%s: got %s (%zu bytes), want %s (%zu bytes)\n", n,
                             codePage.fromLegacy ? " under UTF-8" : "", got ? "a value" : "absent",
                             got ? got->size() : 0, want ? "a value" : "absent", want ? want->size() : 0);
                Check(false, "the reader follows the text rules");
            }
        }
    }
    Check(ReadRunFileLine(g_path, ULONG_MAX) == model.Line(ULONG_MAX), "a line far beyond the end");
    Check(Snapshot(g_folder) == written, "the file is left as it was");
    return 0;
}
