#include "PtyLink.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace myrl::sim {

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

} // namespace

void PtyLink::CheckLinkPath(const std::string& linkPath) {
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        throw std::runtime_error(linkPath + " exists and is not a symbolic link; not replacing it");
    }
}

PtyLink::PtyLink(std::string linkPath) : link_(std::move(linkPath)) {
    CheckLinkPath(link_);
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        Fail("posix_openpt");
    }
    try {
        if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
            Fail("unlockpt");
        }
        char name[128];
        if (ptsname_r(master_, name, sizeof name) != 0) {
            Fail("ptsname");
        }
        slave_ = name;
        termios tio{};
        if (tcgetattr(master_, &tio) != 0) {
            Fail("tcgetattr");
        }
        cfmakeraw(&tio);
        cfsetispeed(&tio, B19200);
        cfsetospeed(&tio, B19200);
        if (tcsetattr(master_, TCSANOW, &tio) != 0) {
            Fail("tcsetattr");
        }
        int fl = fcntl(master_, F_GETFL);
        if (fl < 0 || fcntl(master_, F_SETFL, fl | O_NONBLOCK) != 0) {
            Fail("fcntl");
        }
        slaveKeep_ = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (slaveKeep_ < 0) {
            Fail("open " + slave_);
        }
        // Publish atomically: a fresh link under a private name, renamed over the old one.
        std::string tmp = link_ + ".tmp" + std::to_string(getpid()) + "." + std::to_string(master_);
        unlink(tmp.c_str());
        if (symlink(slave_.c_str(), tmp.c_str()) != 0) {
            Fail("symlink " + tmp);
        }
        CheckLinkPath(link_);
        if (rename(tmp.c_str(), link_.c_str()) != 0) {
            int e = errno;
            unlink(tmp.c_str());
            errno = e;
            Fail("rename " + link_);
        }
    } catch (...) {
        if (slaveKeep_ >= 0) {
            close(slaveKeep_);
        }
        close(master_);
        throw;
    }
}

int PtyLink::SlaveQueued() const {
    int n = 0;
    return ioctl(slaveKeep_, TIOCINQ, &n) == 0 ? n : 0;
}

PtyLink::~PtyLink() {
    // The line goes first (the program sees the hang-up), then the name.
    close(master_);
    close(slaveKeep_);
    char target[256];
    ssize_t n = readlink(link_.c_str(), target, sizeof target - 1);
    if (n >= 0 && std::string(target, static_cast<size_t>(n)) == slave_) {
        unlink(link_.c_str());
    }
}

} // namespace myrl::sim
