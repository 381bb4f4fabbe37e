#include "TextFile.h"

#include "Errors.h"
#include "Utf8.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

// The file that `path` names once every symbolic link is followed: `path` itself when it
// is no link, the missing target when a link leads nowhere (the file is to be made).
std::string resolveLinks(const std::string& path) {
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
    std::string reason;
    switch (e.Errno) {
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

static void writeFileReplacing(const std::string& path, const std::string& bytes) {
    const std::string target = resolveLinks(path);
    struct stat st {};
    const bool existing = ::stat(target.c_str(), &st) == 0;
    const struct stat old = st;
    if (existing && (!S_ISREG(old.st_mode) || (old.st_mode & kAnyWrite) == 0)) {
        RaiseErrnoError(EACCES);
    }
    const std::string dir = dirOf(target);
    if (::stat(dir.c_str(), &st) != 0) {
        RaiseErrnoError(errno);
    }
    if ((st.st_mode & kAnyWrite) == 0) {
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
    Fd in;
    in.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in.fd < 0) {
        return false;
    }
    struct stat st {};
    return ::fstat(in.fd, &st) == 0 && S_ISREG(st.st_mode);
}

static std::vector<std::string> readTextLines(const std::string& path, size_t maxLines,
                                              size_t maxLineBytes) {
    Fd in;
    in.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) {
        RaiseErrnoError(errno);
    }
    // Up to three bytes beyond the limit are kept, so that the character the limit falls
    // in is whole when the line is cut.
    const size_t keep = maxLineBytes > std::numeric_limits<size_t>::max() - 3
                            ? std::numeric_limits<size_t>::max()
                            : maxLineBytes + 3;
    std::vector<std::string> lines;
    std::string line;
    bool dropped = false; // bytes of this line were read past
    bool afterCr = false;
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
                                       size_t maxLineBytes) {
    return naming(path, [&] { return readTextLines(path, maxLines, maxLineBytes); });
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

} // namespace myrl
