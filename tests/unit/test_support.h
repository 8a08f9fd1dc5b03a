// Small helpers shared by the unit tests: a temporary folder of real files.
#pragma once

#include "launch.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <string>

inline std::string Show(const Text& text) { return text ? "\"" + *text + "\"" : "(absent)"; }

// A fresh folder per test under the system's temporary folder, removed again
// afterwards.
class TempFolder {
public:
    TempFolder()
    {
        static int counter = 0;
        namespace fs = std::filesystem;
        fs::path base = fs::temp_directory_path();
        for (;;) {
            path_ = base / ("starter-test-" + std::to_string(std::rand()) + "-" + std::to_string(++counter));
            if (fs::create_directory(path_))
                break;
        }
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::filesystem::path file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }

private:
    std::filesystem::path path_;
};

// What a folder holds, entry by entry: kind, and for a regular file its size,
// modification time and a hash of its bytes. Equal snapshots: nothing was
// created, removed or changed. Files beyond 256 MiB (sparse ones) are hashed
// by their first and last MiB, which with size and time is enough to see a
// write.
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder)
{
    namespace fs = std::filesystem;
    std::map<std::string, std::string> entries;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
        const fs::file_status status = e.symlink_status();
        std::string what = std::to_string(static_cast<int>(status.type()));
        if (fs::is_regular_file(status)) {
            const uintmax_t size = fs::file_size(e.path());
            uint64_t hash = 14695981039346656037ull;
            std::ifstream in(e.path(), std::ios::binary);
            std::string chunk(1 << 20, '\0');
            auto add = [&](uintmax_t from, uintmax_t to) {
                in.seekg(static_cast<std::streamoff>(from));
                for (uintmax_t at = from; at < to && in;) {
                    in.read(&chunk[0], static_cast<std::streamsize>(std::min<uintmax_t>(chunk.size(), to - at)));
                    for (std::streamsize i = 0; i < in.gcount(); ++i)
                        hash = (hash ^ static_cast<unsigned char>(chunk[static_cast<size_t>(i)])) * 1099511628211ull;
                    at += static_cast<uintmax_t>(in.gcount());
                }
            };
            if (size <= (256u << 20)) {
                add(0, size);
            } else {
                add(0, 1u << 20);
                add(size - (1u << 20), size);
            }
            what += " " + std::to_string(size) + " " +
                    std::to_string(fs::last_write_time(e.path()).time_since_epoch().count()) + " " +
                    std::to_string(hash);
        }
        entries[fs::relative(e.path(), folder).generic_string()] = what;
    }
    return entries;
}
