// Helpers shared by the fuzz targets: a reader of fixed-size values from the front of
// the input, property checks that stop the run with a message, and a file in memory.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace myrl::fuzz {

// A property that must hold: otherwise the input is a finding.
[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property violated: %s\n", file, line, what);
    std::abort();
}
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            ::myrl::fuzz::Fail(#cond, __FILE__, __LINE__);                                         \
        }                                                                                          \
    } while (0)

// Takes little-endian values from the front of the input; past its end every value is 0.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : p_(data), left_(size) {}

    template <typename T> T Take() {
        T v{};
        unsigned char b[sizeof(T)] = {};
        const size_t n = left_ < sizeof(T) ? left_ : sizeof(T);
        std::memcpy(b, p_, n);
        p_ += n;
        left_ -= n;
        std::memcpy(&v, b, sizeof(T));
        return v;
    }
    // The next line (without its '\n'); the rest of the input when no '\n' is left.
    std::string Line() {
        const auto* nl = static_cast<const uint8_t*>(std::memchr(p_, '\n', left_));
        const size_t n = nl ? static_cast<size_t>(nl - p_) : left_;
        std::string s(reinterpret_cast<const char*>(p_), n);
        const size_t used = nl ? n + 1 : n;
        p_ += used;
        left_ -= used;
        return s;
    }
    std::string_view Rest() const { return {reinterpret_cast<const char*>(p_), left_}; }
    size_t Left() const { return left_; }

private:
    const uint8_t* p_;
    size_t left_;
};

// Bitwise equality, so that NaNs compare as the same value and 0 differs from -0.
inline bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A file that lives in memory for the whole run, reachable by a path like any other.
class MemFile {
public:
    MemFile() : fd_(::memfd_create("myrl-fuzz", 0)) {
        if (fd_ < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemFile() { ::close(fd_); }
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;

    // Replaces the content with `bytes`; returns the path to open.
    const std::string& Put(std::string_view bytes) {
        if (::ftruncate(fd_, 0) != 0 ||
            ::pwrite(fd_, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
            std::perror("memfd write");
            std::abort();
        }
        return path_;
    }

private:
    int fd_;
    std::string path_;
};

} // namespace myrl::fuzz
