// What the port's failures mean to the user, in English, beside the system's own texts.
#include "CommX.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace myrl {

std::string DeviceWithTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<size_t>(n) == sizeof buf) {
        return path;
    }
    return path + " → " + std::string(buf, static_cast<size_t>(n));
}

std::string CommErrorReason(const std::string& device, int err) {
    switch (err) {
    case EACCES:
    case EPERM:
        return "permission denied: add your user to the dialout group (sudo usermod -aG "
               "dialout $USER) and log in again";
    case EBUSY:
        return "busy: another program has " + device + " open";
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return "no such device";
    case ENOTTY:
        return "not a serial device";
    case EIO:
        return "input/output error: the device was unplugged or has failed";
    case ELOOP:
        return "too many symbolic links";
    case EINVAL:
        return "the device refused the line settings";
    case 0:
        return "reason unknown";
    default:
        return std::strerror(err);
    }
}

std::string CommErrorDetail(const std::string& device, int err) {
    if (device.empty()) {
        return {};
    }
    const std::string reason = CommErrorReason(device, err);
    // A reason that names the device already stands alone.
    if (reason.find(device) != std::string::npos) {
        return DeviceWithTarget(device) == device ? reason
                                                  : reason + " (" + DeviceWithTarget(device) + ")";
    }
    return DeviceWithTarget(device) + ": " + reason;
}

} // namespace myrl
