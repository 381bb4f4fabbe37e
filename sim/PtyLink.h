// A pseudo-terminal published under a link name, as the simulated unit's serial port.
//
// The master is put in raw mode (19200 bit/s) before the link exists, so the program
// finds a raw line; after that nothing here touches termios again (termios calls on
// the master act on the slave the program has configured). The object also keeps one
// slave descriptor of its own so that the master never sees a hang-up while no program
// has the port open. Owned and used by one thread at a time.
#pragma once

#include <string>

namespace myrl::sim {

class PtyLink {
public:
    // Opens the pty and publishes `linkPath` -> slave. Throws std::runtime_error when the
    // pty cannot be made or `linkPath` exists and is not a symbolic link.
    explicit PtyLink(std::string linkPath);
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    int MasterFd() const { return master_; }
    const std::string& SlavePath() const { return slave_; }
    const std::string& LinkPath() const { return link_; }
    // Characters sent and not yet read by the program (the slave's input queue).
    int SlaveQueued() const;

    // Throws std::runtime_error when `linkPath` exists and is not a symbolic link.
    static void CheckLinkPath(const std::string& linkPath);

private:
    std::string link_;
    std::string slave_;
    int master_ = -1;
    int slaveKeep_ = -1;
};

} // namespace myrl::sim
