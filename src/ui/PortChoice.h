// The port chosen in the Port dialog as the default of a working folder, kept in the
// user's settings (never in the parameter file), by the folder's absolute path.
#pragma once

#include <string>

namespace myrl {

// The device chosen for `folder`; empty when none was.
std::string DefaultPortFor(const std::string& folder);
// Makes `device` the default of `folder`; an empty device forgets it.
void SetDefaultPortFor(const std::string& folder, const std::string& device);

} // namespace myrl
