// The sample files of tests/data: beside the test program when they were copied there (as
// an ordinary user's tests are, scripts/as-user --with), else in the source tree.
#pragma once

#include <filesystem>
#include <string>

namespace myrl {

inline std::string TestDataPath(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path beside = fs::read_symlink("/proc/self/exe").parent_path() / name;
    return fs::exists(beside) ? beside.string()
                              : std::string(MYRL_SOURCE_DIR "/tests/data/") + name;
}

} // namespace myrl
