// A fresh folder of its own for a test or a measurement, under TMPDIR (or /tmp), removed
// with everything in it at the end, even where a test took the write permission away.
// Entered as the working folder for its life when asked.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace myrl {

class TempDir {
public:
    enum class Enter { No, Yes };

    explicit TempDir(const std::string& prefix = "myrl", Enter enter = Enter::No) {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX"));
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a folder like " + pattern);
        }
        path_ = pattern;
        if (enter == Enter::Yes) {
            old_ = std::filesystem::current_path();
            std::filesystem::current_path(path_);
        }
    }
    ~TempDir() {
        std::error_code ec;
        if (!old_.empty()) {
            std::filesystem::current_path(old_, ec);
        }
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
    std::filesystem::path old_;
};

} // namespace myrl
