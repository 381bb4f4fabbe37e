// Helpers of the simulator tests: the program's side of the line (the slave opened
// through the published link, as the program opens it); temporary folders are TempDir.
#pragma once

#include "TempDir.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace simtest {

class Port {
public:
    explicit Port(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~Port() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    bool IsOpen() const { return fd_ >= 0; }

    void Send(const std::string& text) {
        [[maybe_unused]] ssize_t n = write(fd_, text.data(), text.size());
    }

    // Reads until `count` characters came, the line hung up or `timeout` passed.
    std::string Read(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::string got;
        auto end = std::chrono::steady_clock::now() + timeout;
        HungUp = false;
        while (got.size() < count) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            char buf[1024];
            ssize_t n = read(fd_, buf, std::min(sizeof buf, count - got.size()));
            if (n > 0) {
                got.append(buf, static_cast<size_t>(n));
            } else if (p.revents & (POLLHUP | POLLERR)) {
                HungUp = true;
                break;
            }
        }
        return got;
    }

    bool HungUp = false;

private:
    int fd_;
};

} // namespace simtest
