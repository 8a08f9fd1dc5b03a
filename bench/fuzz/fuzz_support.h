// What the fuzz targets share: a failed check that libFuzzer sees as a crash,
// a scratch folder, and a plain model of the run file's text rules to compare
// the reader against.
#pragma once

#include "launch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

inline void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

inline void RemoveTree(const std::string& path)
{
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            if (name != "." && name != "..")
                RemoveTree(path + "/" + name);
        }
        closedir(dir);
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

inline std::string g_scratch;

// A folder of its own for this process, in memory where the machine offers
// that: the decision and reader targets write a file for every input. It
// goes again when the process ends normally; after a crash it stays, to look at.
inline std::string ScratchFolder()
{
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    std::string pattern = std::string(base) + "/starter-fuzz-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    Check(mkdtemp(buf.data()) != nullptr, "scratch folder can be made");
    g_scratch = buf.data();
    std::atexit([] { RemoveTree(g_scratch); });
    return g_scratch;
}

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Check(fd >= 0, "scratch file can be written");
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        Check(n > 0, "scratch file write");
        done += static_cast<size_t>(n);
    }
    close(fd);
}

inline std::string ReadWholeFile(const std::string& path)
{
    std::string bytes;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    Check(fd >= 0, "scratch file can be read back");
    struct stat st;
    if (fstat(fd, &st) == 0)
        bytes.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        bytes.append(buf, static_cast<size_t>(n));
    close(fd);
    return bytes;
}

// Every entry of a folder with its bytes (regular files) or its mode (the
// rest), sorted by name: two listings compare equal when nothing changed.
inline std::vector<std::string> Listing(const std::string& folder)
{
    std::vector<std::string> entries;
    DIR* dir = opendir(folder.c_str());
    Check(dir != nullptr, "scratch folder can be listed");
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        std::string path = folder + "/" + name;
        Check(lstat(path.c_str(), &st) == 0, "scratch entry can be looked at");
        std::string entry = name + '\0' + std::to_string(st.st_mode) + '\0' + std::to_string(st.st_size) + '\0' +
                            std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec);
        if (S_ISREG(st.st_mode))
            entry += '\0' + ReadWholeFile(path);
        entries.push_back(entry);
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end());
    return entries;
}

// A run file's lines by the text rules, done the slow and obvious way: cut
// at Ctrl-Z, count LFs to the line, then take off a CR that stood before its
// LF and whatever follows a NUL.
struct ReferenceRunFile {
    std::string text; // up to the Ctrl-Z
    bool zeroBytes;
    size_t lineCount;

    explicit ReferenceRunFile(const std::string& bytes)
        : text(bytes.substr(0, bytes.find('\x1A'))), zeroBytes(bytes.empty()), lineCount(0)
    {
        for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', lf + 1))
            ++lineCount;
        if (!text.empty() && text.back() != '\n')
            ++lineCount;
    }

    size_t LineCount() const { return lineCount; }

    Text Line(unsigned long n) const
    {
        if (zeroBytes)
            return std::string();
        if (n >= LineCount())
            return std::nullopt;
        size_t start = 0;
        for (unsigned long i = 0; i < n; ++i)
            start = text.find('\n', start) + 1;
        const size_t lf = text.find('\n', start);
        size_t end = lf == std::string::npos ? text.size() : lf;
        if (lf != std::string::npos && end > start && text[end - 1] == '\r')
            --end;
        const size_t nul = text.find('\0', start);
        if (nul < end)
            end = nul;
        return text.substr(start, end - start);
    }
};
