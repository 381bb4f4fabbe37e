#include "TextFile.h"

#include "Errors.h"
#include "Utf8.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace myrl {

namespace {

constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

// Closes a descriptor on every way out.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

std::string dirOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

void writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            RaiseErrnoError(errno);
        }
        if (n == 0) {
            RaiseErrnoError(ENOSPC);
        }
        done += static_cast<size_t>(n);
    }
}

// The UTF-8 byte order mark some editors put at the start of a text file.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// How many symbolic links a path may lead through, as the kernel allows.
constexpr int kMaxLinks = 40;

// Throws the I/O error of errno value `err` with the English reason `why`.
[[noreturn]] void refuse(int err, std::string why) {
    const int code = InOutCodeFromErrno(err);
    EInOutError e(InOutErrorText(code), code);
    e.Errno = err;
    e.Why = std::move(why);
    throw e;
}

std::string userName(uid_t uid) {
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buf[1024];
    if (::getpwuid_r(uid, &pw, buf, sizeof buf, &found) == 0 && found != nullptr) {
        return found->pw_name;
    }
    return "uid " + std::to_string(uid);
}

// The kernel's rule for protected links, applied whatever the system's setting: a symbolic
// link that lies in a sticky folder every user may write to (/tmp and the like) is followed
// only when it belongs to the user following it or to the folder's owner. Anyone may put a
// link there, and a link another user put there must not lead this program's writes (or
// reads) into a file that user cannot reach. Throws for a link the rule refuses.
void checkLinkMayBeFollowed(const std::string& link, const struct stat& linkStat) {
    const std::string dir = dirOf(link);
    struct stat ds {};
    if (::stat(dir.c_str(), &ds) != 0) {
        return; // nothing to judge by; what follows fails on its own
    }
    const bool shared = (ds.st_mode & S_ISVTX) != 0 && (ds.st_mode & S_IWOTH) != 0;
    if (!shared || linkStat.st_uid == ::geteuid() || linkStat.st_uid == ds.st_uid) {
        return;
    }
    refuse(EACCES, "the symbolic link " + link + " belongs to another user (" +
                       userName(linkStat.st_uid) +
                       ") and lies in a folder that every user may write to (" + dir +
                       "); such a link is not followed");
}

// Follows the symbolic links `path` leads through, one at a time, each only where the rule
// above allows. Returns the file that `path` names at the end: `path` itself when it is no
// link, the missing target when a link leads nowhere (the file is to be made).
std::string followLinks(const std::string& path) {
    std::string p = path;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0) {
            if (errno == ENOENT) {
                return p;
            }
            RaiseErrnoError(errno);
        }
        if (!S_ISLNK(st.st_mode)) {
            return p;
        }
        if (hops == kMaxLinks) {
            RaiseErrnoError(ELOOP);
        }
        checkLinkMayBeFollowed(p, st);
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(p.c_str(), buf, sizeof buf);
        if (n < 0) {
            RaiseErrnoError(errno);
        }
        if (static_cast<size_t>(n) == sizeof buf) {
            RaiseErrnoError(ENAMETOOLONG);
        }
        std::string target(buf, static_cast<size_t>(n));
        p = target.starts_with('/') ? target : dirOf(p) + "/" + target;
    }
}

// The same walk for reading, which leaves the following itself to the kernel: links the
// kernel makes up (/proc/self/fd/N) name no path, and the walk stops where the next hop
// does not exist.
void checkLinksForReading(const std::string& path) {
    std::string p = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return;
        }
        checkLinkMayBeFollowed(p, st);
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(p.c_str(), buf, sizeof buf);
        if (n < 0 || static_cast<size_t>(n) == sizeof buf) {
            return;
        }
        std::string target(buf, static_cast<size_t>(n));
        p = target.starts_with('/') ? target : dirOf(p) + "/" + target;
    }
}

// What a file that is not a regular one is, for the user.
std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO (named pipe)";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "not a plain file";
}

// Opens `path` for reading as every reader of this program does: links followed only
// where the rule above allows, without waiting for a writer (a FIFO), and only when it is
// a regular file (a FIFO, a device like /dev/zero, a folder are refused). Throws.
int openForReading(const std::string& path) {
    checkLinksForReading(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        RaiseErrnoError(errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        RaiseErrnoError(err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        refuse(EINVAL, "not a file to read: it is " + kindOf(st.st_mode));
    }
    return fd;
}

// The user may not write `path`: the system's own answer for this user (ACLs, a read-only
// mount, another user's file), and for every user, root too, a file or folder without any
// write permission bit.
bool mayNotWrite(const std::string& path, const struct stat& st, int how) {
    return (st.st_mode & kAnyWrite) == 0 ||
           ::faccessat(AT_FDCWD, path.c_str(), how, AT_EACCESS) != 0;
}

// A fresh name beside `target` for the temporary file; the creation refuses a name that
// exists, and the caller then asks again.
std::string temporaryName(const std::string& target) {
    static std::atomic<uint64_t> counter{0};
    uint64_t x =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<uint64_t>(::getpid()) << 32) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    static constexpr char kChars[] =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string name = target + ".";
    for (int i = 0; i < 6; ++i) {
        name += kChars[x % 62];
        x /= 62;
    }
    return name;
}

} // namespace

std::string InOutErrorText(int code) {
    switch (code) {
    case kIoAccessDenied:
        return "ファイルへのアクセスが拒否されました";
    case kIoDiskFull:
        return "ディスクがいっぱいです";
    default:
        return "I/O エラー (" + std::to_string(code) + ")";
    }
}

int InOutCodeFromErrno(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
        return kIoAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return kIoDiskFull;
    default:
        return err;
    }
}

void RaiseInOutError(int code) {
    throw EInOutError(InOutErrorText(code), code);
}

void RaiseErrnoError(int err) {
    const int code = InOutCodeFromErrno(err);
    EInOutError e(InOutErrorText(code), code);
    e.Errno = err;
    throw e;
}

std::string InOutErrorDetail(const EInOutError& e) {
    std::string reason = e.Why;
    switch (reason.empty() ? e.Errno : -1) {
    case -1:
        break;
    case EACCES:
    case EPERM:
        reason = "permission denied: the file or its folder is read-only or belongs to "
                 "another user";
        break;
    case EROFS:
        reason = "the file system is mounted read-only";
        break;
    case ENOSPC:
    case EDQUOT:
        reason = "the disk is full (or your quota is used up)";
        break;
    case EFBIG:
        reason = "the file is larger than the file system allows";
        break;
    case ENOENT:
        reason = "no such file or folder";
        break;
    case ELOOP:
        reason = "too many symbolic links";
        break;
    case 0:
        reason = "reason unknown (error code " + std::to_string(e.ErrorCode) + ")";
        break;
    default:
        reason = std::strerror(e.Errno);
        break;
    }
    return e.Path.empty() ? reason : e.Path + ": " + reason;
}

std::string FileErrorReason(const std::exception& e) {
    if (const auto* io = dynamic_cast<const EInOutError*>(&e)) {
        return InOutErrorDetail(*io) + ".";
    }
    return e.what();
}

std::string FileErrorReason(const std::exception& e, const std::string& path) {
    if (dynamic_cast<const EInOutError*>(&e) != nullptr) {
        return FileErrorReason(e);
    }
    return std::string(e.what()) + " (" + path + ").";
}

int RemoveStaleTemporaries(const std::string& folder, const std::vector<std::string>& names,
                           std::chrono::system_clock::time_point before) {
    DIR* d = ::opendir(folder.c_str());
    if (d == nullptr) {
        return 0;
    }
    const auto temporaryOf = [&](std::string_view entry) {
        for (const std::string& n : names) {
            if (entry.size() == n.size() + 7 && entry.starts_with(n) && entry[n.size()] == '.') {
                const std::string_view tail = entry.substr(n.size() + 1);
                if (std::all_of(tail.begin(), tail.end(), [](char c) {
                        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                               (c >= 'a' && c <= 'z');
                    })) {
                    return true;
                }
            }
        }
        return false;
    };
    const auto limit =
        std::chrono::duration_cast<std::chrono::nanoseconds>(before.time_since_epoch()).count();
    int removed = 0;
    while (const dirent* e = ::readdir(d)) {
        if (!temporaryOf(e->d_name)) {
            continue;
        }
        struct stat st {};
        if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
            continue;
        }
        const long long written =
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        if (written < limit && ::unlinkat(::dirfd(d), e->d_name, 0) == 0) {
            ++removed;
        }
    }
    ::closedir(d);
    return removed;
}

static void writeFileReplacing(const std::string& path, const std::string& bytes) {
    const std::string target = followLinks(path);
    struct stat st {};
    const bool existing = ::lstat(target.c_str(), &st) == 0;
    const struct stat old = st;
    if (existing && (!S_ISREG(old.st_mode) || mayNotWrite(target, old, W_OK))) {
        RaiseErrnoError(EACCES);
    }
    // The new file is made in the folder and renamed over the old one: that needs the
    // right to write and to enter the folder.
    const std::string dir = dirOf(target);
    if (::stat(dir.c_str(), &st) != 0) {
        RaiseErrnoError(errno);
    }
    if (mayNotWrite(dir, st, W_OK | X_OK)) {
        RaiseErrnoError(EACCES);
    }

    // A new file gets what the umask (and the folder's default ACL) leaves of rw-rw-rw-;
    // a replacement stays private until it has the old file's owner and permissions.
    std::string tmp;
    Fd out;
    for (int attempt = 0;; ++attempt) {
        tmp = temporaryName(target);
        out.fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                        existing ? S_IRUSR | S_IWUSR : 0666);
        if (out.fd >= 0) {
            break;
        }
        if (errno != EEXIST || attempt == 100) {
            RaiseErrnoError(errno);
        }
    }
    try {
        if (existing) {
            if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
                ::fchown(out.fd, old.st_uid, old.st_gid) != 0 &&
                ::fchown(out.fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
                // Not permitted: the file becomes the writer's, as any new file would.
            }
            if (::fchmod(out.fd, old.st_mode & 07777) != 0) {
                RaiseErrnoError(errno);
            }
        }
        writeAll(out.fd, bytes);
        if (::fsync(out.fd) != 0) {
            RaiseErrnoError(errno);
        }
        int fd = out.fd;
        out.fd = -1;
        if (::close(fd) != 0) {
            RaiseErrnoError(errno);
        }
        if (::rename(tmp.c_str(), target.c_str()) != 0) {
            RaiseErrnoError(errno);
        }
    } catch (...) {
        ::unlink(tmp.c_str());
        throw;
    }
    // Make the rename itself durable; the new content is in place whatever this gives.
    Fd folder;
    folder.fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder.fd >= 0) {
        ::fsync(folder.fd);
    }
}

bool FileCanBeRead(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    try {
        Fd in;
        in.fd = openForReading(path);
        return true;
    } catch (const EInOutError&) {
        return false;
    }
}

static std::string readFileBytes(const std::string& path, size_t maxBytes) {
    Fd in;
    in.fd = openForReading(path);
    const size_t cap = maxBytes == std::numeric_limits<size_t>::max() ? maxBytes : maxBytes + 1;
    std::string out;
    char buf[65536];
    while (out.size() < cap) {
        const ssize_t n = ::read(in.fd, buf, std::min(sizeof buf, cap - out.size()));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            RaiseErrnoError(errno);
        }
        if (n == 0) {
            break;
        }
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

static std::vector<std::string> readTextLines(const std::string& path, size_t maxLines,
                                              size_t maxLineBytes, size_t maxBytes) {
    Fd in;
    in.fd = openForReading(path);
    // Up to three bytes beyond the limit are kept, so that the character the limit falls
    // in is whole when the line is cut.
    const size_t keep = maxLineBytes > std::numeric_limits<size_t>::max() - 3
                            ? std::numeric_limits<size_t>::max()
                            : maxLineBytes + 3;
    std::vector<std::string> lines;
    std::string line;
    bool dropped = false; // bytes of this line were read past
    bool afterCr = false;
    size_t consumed = 0;
    auto endLine = [&] {
        if (lines.empty() && line.starts_with(kByteOrderMark)) {
            line.erase(0, kByteOrderMark.size());
        }
        if (dropped || line.size() > maxLineBytes) {
            line.resize(Utf8BoundaryAtOrBefore(line, maxLineBytes));
            line += kCutMark;
        }
        lines.push_back(std::move(line));
        line.clear();
        dropped = false;
    };
    char buf[65536];
    while (lines.size() < maxLines) {
        ssize_t n = ::read(in.fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            RaiseErrnoError(errno);
        }
        if (n == 0) {
            if (!line.empty() || dropped) {
                endLine();
            }
            break;
        }
        for (ssize_t i = 0; i < n && lines.size() < maxLines; ++i) {
            if (++consumed > maxBytes) {
                refuse(EINVAL, "more than " + std::to_string(maxBytes) + " bytes before line " +
                                   std::to_string(lines.size() + 1) +
                                   " ends: not a file of this kind");
            }
            const char c = buf[i];
            if (c == '\n' && afterCr) {
                afterCr = false;
                continue;
            }
            afterCr = c == '\r';
            if (c == '\r' || c == '\n') {
                endLine();
            } else if (line.size() < keep) {
                line += c;
            } else {
                dropped = true;
            }
        }
    }
    return lines;
}

namespace {

// An error of the file at `path` names it.
template <class F> auto naming(const std::string& path, F f) {
    try {
        return f();
    } catch (EInOutError& e) {
        if (e.Path.empty()) {
            e.Path = path;
        }
        throw;
    }
}

} // namespace

void WriteFileReplacing(const std::string& path, const std::string& bytes) {
    naming(path, [&] { writeFileReplacing(path, bytes); });
}

std::vector<std::string> ReadTextLines(const std::string& path, size_t maxLines,
                                       size_t maxLineBytes, size_t maxBytes) {
    return naming(path, [&] { return readTextLines(path, maxLines, maxLineBytes, maxBytes); });
}

std::string ReadFileBytes(const std::string& path, size_t maxBytes) {
    return naming(path, [&] { return readFileBytes(path, maxBytes); });
}

} // namespace myrl

namespace myrl {

std::vector<std::string_view> SplitTextLines(std::string_view text, size_t maxLines) {
    std::vector<std::string_view> lines;
    size_t pos = 0;
    while (pos < text.size() && lines.size() < maxLines) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

std::vector<std::string_view> TextLines(std::string_view text, size_t maxLines) {
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    std::vector<std::string_view> lines;
    size_t pos = 0;
    while (pos < text.size() && lines.size() < maxLines) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    }
    return lines;
}

} // namespace myrl
