// What the port's failures mean to the user, in English, beside the system's own texts.
#include "CommX.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace myrl {

namespace {

// The name of a user or group by its number; the number itself where the system has no name.
template <class Entry, class Lookup>
std::string nameOf(unsigned id, Lookup lookup, char* Entry::*field) {
    Entry entry{};
    Entry* found = nullptr;
    std::vector<char> buf(4096);
    while (lookup(id, &entry, buf.data(), buf.size(), &found) == ERANGE && buf.size() < 1u << 20) {
        buf.resize(buf.size() * 2);
    }
    return found != nullptr ? std::string(found->*field) : std::to_string(id);
}

} // namespace

std::optional<DeviceOwnership> OwnershipOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return DeviceOwnership{nameOf<passwd>(st.st_uid, ::getpwuid_r, &passwd::pw_name),
                           nameOf<group>(st.st_gid, ::getgrgid_r, &group::gr_name),
                           static_cast<unsigned>(st.st_mode & 07777)};
}

std::string PermissionHint(const std::optional<DeviceOwnership>& o) {
    if (!o) {
        return "permission denied";
    }
    if ((o->Mode & 0060) == 0060) {
        return "permission denied: add your user to the " + o->Group + " group (sudo usermod -aG " +
               o->Group + " $USER) and log in again";
    }
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", o->Mode);
    return "permission denied: its group " + o->Group + " may not open it (owner " + o->Owner +
           ", mode " + mode + ")";
}

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
        return PermissionHint(OwnershipOf(device));
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
