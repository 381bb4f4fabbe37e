// A pseudo-terminal pair: the master end plays the analyser unit, the slave is the device
// the program opens, published as COM<n> in a folder the way the simulator publishes it.
#pragma once

#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace myrl {

class PtyPair {
public:
    // Throws std::runtime_error when no pseudo-terminal can be had.
    PtyPair() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        char name[128] = {};
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
            ::ptsname_r(master_, name, sizeof name) != 0) {
            Hangup();
            throw std::runtime_error("no pseudo-terminal");
        }
        slave_ = name;
    }
    ~PtyPair() { Hangup(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int Master() const { return master_; }
    const std::string& SlavePath() const { return slave_; }
    // The master's reads and writes return at once (EAGAIN) instead of waiting.
    void SetMasterNonBlocking() const {
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    // Publishes the slave as the link COM<portNo> in `folder`.
    void Publish(const std::filesystem::path& folder, int portNo) const {
        std::filesystem::create_symlink(slave_, folder / ("COM" + std::to_string(portNo)));
    }
    // Closes the master end: the program's side of the line hangs up.
    void Hangup() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

private:
    int master_ = -1;
    std::string slave_;
};

} // namespace myrl
