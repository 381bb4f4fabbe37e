// Exceptions of the core. Each carries the system's own message text (UTF-8),
// which the user-interface edge shows as it stands.
#pragma once

#include <stdexcept>
#include <string>

namespace myrl {

// A text that does not convert to the number asked for.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file operation that failed ("I/O エラー (%d)", access denied, disk full).
class EInOutError : public std::runtime_error {
public:
    EInOutError(const std::string& text, int code) : std::runtime_error(text), ErrorCode(code) {}
    int ErrorCode;
};

} // namespace myrl
