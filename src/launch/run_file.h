// The run file's text rules over its bytes, which come a stretch at a time: from memory, or read from a file.
#pragma once

#include "launch.h"

constexpr unsigned long long kStretch = 64ull * 1024; // the most that is read, or converted, at once

// A run file's bytes: read(source, at, count) gives `count` of them from byte `at` on, up to kStretch, as a view
// that holds until the next read, or none where they cannot be read.
struct RunFileBytes {
    unsigned long long size;
    std::optional<std::string_view> (*read)(void* source, unsigned long long at, size_t count);
    void* source;
};

// Line n, or none where there is no such line.
Text LineOfRunFile(const RunFileBytes& bytes, unsigned long n, const CodePage& codePage);
