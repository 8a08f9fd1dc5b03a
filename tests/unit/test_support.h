// Small helpers shared by the unit tests: a temporary folder of real files.
#pragma once

#include "launch.h"

#include <filesystem>
#include <fstream>
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
