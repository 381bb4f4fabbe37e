#include "TextFile.h"

#include "Errors.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
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
            RaiseInOutError(InOutCodeFromErrno(errno));
        }
        if (n == 0) {
            RaiseInOutError(kIoDiskFull);
        }
        done += static_cast<size_t>(n);
    }
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

void WriteFileReplacing(const std::string& path, const std::string& bytes) {
    struct stat st {};
    mode_t mode = 0644;
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || (st.st_mode & kAnyWrite) == 0) {
            RaiseInOutError(kIoAccessDenied);
        }
        mode = st.st_mode & 07777;
    }
    const std::string dir = dirOf(path);
    if (::stat(dir.c_str(), &st) != 0) {
        RaiseInOutError(InOutCodeFromErrno(errno));
    }
    if ((st.st_mode & kAnyWrite) == 0) {
        RaiseInOutError(kIoAccessDenied);
    }

    std::string tmp = path + ".XXXXXX";
    Fd out;
    out.fd = ::mkstemp(tmp.data());
    if (out.fd < 0) {
        RaiseInOutError(InOutCodeFromErrno(errno));
    }
    try {
        ::fchmod(out.fd, mode);
        writeAll(out.fd, bytes);
        if (::fsync(out.fd) != 0) {
            RaiseInOutError(InOutCodeFromErrno(errno));
        }
        int fd = out.fd;
        out.fd = -1;
        if (::close(fd) != 0) {
            RaiseInOutError(InOutCodeFromErrno(errno));
        }
        if (::rename(tmp.c_str(), path.c_str()) != 0) {
            RaiseInOutError(InOutCodeFromErrno(errno));
        }
    } catch (...) {
        ::unlink(tmp.c_str());
        throw;
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

std::vector<std::string> ReadTextLines(const std::string& path) {
    Fd in;
    in.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) {
        RaiseInOutError(InOutCodeFromErrno(errno));
    }
    std::string text;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(in.fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            RaiseInOutError(InOutCodeFromErrno(errno));
        }
        if (n == 0) {
            break;
        }
        text.append(buf, static_cast<size_t>(n));
    }
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

} // namespace myrl
