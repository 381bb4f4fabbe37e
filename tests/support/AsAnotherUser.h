// Runs a piece of a test as user nobody, in a child process: how a root test shows what an
// ordinary user meets among files that root set up (another user's private file, a link
// another user planted). As any user but root there is no other user to become, and the
// piece is not run.
#pragma once

#include <functional>
#include <grp.h>
#include <optional>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace myrl {

struct OtherUser {
    uid_t Uid;
    gid_t Gid;
};

// User nobody and its group; nullopt when the system has no such user.
inline std::optional<OtherUser> Nobody() {
    const struct passwd* pw = ::getpwnam("nobody");
    if (pw == nullptr) {
        return std::nullopt;
    }
    return OtherUser{pw->pw_uid, pw->pw_gid};
}

// True when this process may become another user (it runs as root).
inline bool CanBecomeAnotherUser() {
    return ::geteuid() == 0 && Nobody().has_value();
}

// Runs `piece` as nobody in a forked child and returns what it returned; nullopt when it
// could not be run (not root, no such user) or the child died. `piece` must not use the
// test framework's assertions: it reports through its result.
inline std::optional<int> RunAsNobody(const std::function<int()>& piece) {
    const auto nobody = Nobody();
    if (::geteuid() != 0 || !nobody) {
        return std::nullopt;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        return std::nullopt;
    }
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 ||
            ::setresgid(nobody->Gid, nobody->Gid, nobody->Gid) != 0 ||
            ::setresuid(nobody->Uid, nobody->Uid, nobody->Uid) != 0) {
            ::_exit(125);
        }
        ::_exit(piece() & 0x7f);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 125) {
        return std::nullopt;
    }
    return WEXITSTATUS(status);
}

} // namespace myrl
