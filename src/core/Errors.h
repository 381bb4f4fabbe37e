// Exceptions of the core. Each carries the system's own message text (UTF-8),
// which the user-interface edge shows as it stands.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace myrl {

// A text that does not convert to the number asked for. Detail, when set, says the same in
// English for the user.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    EConvertError(const std::string& text, std::string detail)
        : std::runtime_error(text), Detail(std::move(detail)) {}
    std::string Detail;
};

// A file operation that failed ("I/O エラー (%d)", access denied, disk full). Path names
// the file when known; Errno is the system's reason (0: not known); Why, when set, says in
// English what the system's reason cannot (a link not followed, not a regular file).
class EInOutError : public std::runtime_error {
public:
    EInOutError(const std::string& text, int code) : std::runtime_error(text), ErrorCode(code) {}
    int ErrorCode;
    int Errno = 0;
    std::string Path;
    std::string Why;
};

} // namespace myrl
