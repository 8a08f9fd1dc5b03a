// One ReadRunFileLine call against one plain read of the same file into
// memory, on the files that bench/run-reader writes. It uses only what every
// version of the reader has, so that bench/run-reader builds it against an
// older commit's reader too.
//
//   run_file_bench --files DIR [benchmark options]   every file in DIR
//   run_file_bench --peak FILE LINE|plain [WARMUP]
//       one call in this fresh process, after the same call on the file
//       WARMUP if given; prints value bytes (-1: absent), peak heap bytes,
//       resident-memory growth in KiB, the call's time in ns and its minor
//       page faults
#include "launch.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// Every C++ allocation is counted, so that --peak can tell the most heap the
// call held at once. Each block carries its size in front. (Not inlined: GCC
// would otherwise pair these with its built-in idea of new and delete, and
// warn.)
namespace {
size_t g_heapNow = 0;
size_t g_heapPeak = 0;
constexpr size_t kHeader = alignof(std::max_align_t);
} // namespace

__attribute__((noinline)) void* operator new(size_t size)
{
    char* block = static_cast<char*>(std::malloc(size + kHeader));
    if (!block)
        std::abort();
    std::memcpy(block, &size, sizeof size);
    g_heapNow += size;
    if (g_heapNow > g_heapPeak)
        g_heapPeak = g_heapNow;
    return block + kHeader;
}

__attribute__((noinline)) void operator delete(void* p) noexcept
{
    if (!p)
        return;
    char* block = static_cast<char*>(p) - kHeader;
    size_t size;
    std::memcpy(&size, block, sizeof size);
    g_heapNow -= size;
    std::free(block);
}

void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

// The comparison: open the file, read all of it into one buffer, close.
size_t PlainRead(const std::string& path)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct stat st;
    fstat(fd, &st);
    const size_t size = static_cast<size_t>(st.st_size);
    std::unique_ptr<char[]> buf(new char[size]);
    size_t done = 0;
    while (done < size) {
        ssize_t n = read(fd, buf.get() + done, size - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    benchmark::DoNotOptimize(buf.get());
    benchmark::ClobberMemory();
    return done;
}

// This process's resident memory (VmRSS) or its high-water mark (VmHWM), in
// KiB. Not getrusage's ru_maxrss: that carries the parent's mark over
// through exec, so a child of a big parent would show no growth at all.
long StatusKiB(const char* field)
{
    long kib = -1;
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        const size_t n = std::strlen(field);
        while (std::fgets(line, sizeof line, status))
            if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
                kib = std::strtol(line + n + 1, nullptr, 10);
                break;
            }
        std::fclose(status);
    }
    return kib;
}

// Brings the high-water mark down to what is resident now, so that its
// growth across a call is the call's own peak.
void ResetPeakRss()
{
    if (std::FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", clear);
        std::fclose(clear);
    }
}

long MinorFaults()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The peak is the kernel's high-water mark of resident memory (which counts
// the reader's buffer on the stack, and code touched for the first time)
// and, exactly, the most C++ heap held at once.
size_t Call(const Text& file, const std::string& what)
{
    if (what == "plain")
        return PlainRead(*file);
    Text value = ReadRunFileLine(file, std::strtoul(what.c_str(), nullptr, 10));
    return value ? value->size() : static_cast<size_t>(-1);
}

// A warm-up call on another file first pages in the code, which would
// otherwise count as resident memory the call took.
int Peak(const std::string& path, const std::string& what, const char* warmUp)
{
    if (warmUp)
        Call(std::string(warmUp), what);
    const Text file = path; // made before measuring: the reader is handed one
    StatusKiB("VmRSS");     // the first look pages in code of its own
    ResetPeakRss();
    const long rssBefore = StatusKiB("VmRSS");
    const long faultsBefore = MinorFaults();
    g_heapPeak = g_heapNow;
    const size_t heapBefore = g_heapNow;
    const auto start = std::chrono::steady_clock::now();
    const long long valueBytes = static_cast<long long>(Call(file, what));
    const auto took = std::chrono::steady_clock::now() - start;
    const long faults = MinorFaults() - faultsBefore;
    std::printf("%lld %zu %ld %lld %ld\n", valueBytes, g_heapPeak - heapBefore, StatusKiB("VmHWM") - rssBefore,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(took).count()), faults);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "--peak") == 0)
        return Peak(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
    if (argc < 3 || std::strcmp(argv[1], "--files") != 0) {
        std::fputs("usage: run_file_bench --files DIR [benchmark options] | --peak FILE LINE|plain [WARMUP]\n", stderr);
        return 2;
    }
    for (const auto& file : std::filesystem::directory_iterator(argv[2])) {
        const std::string path = file.path().string(), name = file.path().stem().string();
        benchmark::RegisterBenchmark(("plain/" + name).c_str(),
                                     [path](benchmark::State& state) {
                                         for (auto _ : state)
                                             benchmark::DoNotOptimize(PlainRead(path));
                                     })
            ->UseRealTime()
            ->Unit(benchmark::kMicrosecond);
        for (unsigned long line = 0; line < 3; ++line) {
            const std::string label = "line" + std::to_string(line) + "/" + name;
            benchmark::RegisterBenchmark(label.c_str(),
                                         [path, line](benchmark::State& state) {
                                             for (auto _ : state)
                                                 benchmark::DoNotOptimize(ReadRunFileLine(path, line));
                                         })
                ->UseRealTime()
                ->Unit(benchmark::kMicrosecond);
        }
    }
    argv[2] = argv[0];
    int rest = argc - 2;
    benchmark::Initialize(&rest, argv + 2);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
