// The English sentence that goes with an error of the program, for the user.
#pragma once

#include <exception>
#include <string>

namespace myrl {

// An English sentence for the user about `e`: the device, file or text concerned and the
// reason (a port, a file, a number that does not convert); empty when `e` says nothing more.
std::string ErrorDetail(const std::exception& e);
// ErrorDetail, or the exception's own text when that says nothing more.
std::string ErrorReason(const std::exception& e);

} // namespace myrl
