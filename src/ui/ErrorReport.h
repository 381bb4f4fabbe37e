// How errors reach the user: every handler runs guarded, and what it throws is shown in a
// message box. User-interface thread only.
#pragma once

#include "ErrorDetail.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>

class QMessageBox;

namespace myrl {

// How errors reach the user: a message box with an error icon titled "MYRL", the
// message with a full stop appended; below it, as the box's informative text, what the error
// itself says in English (ErrorDetail) followed by `detail`, when given. Tests may replace
// it to collect the messages.
using ErrorReporter = std::function<void(const std::string& message, const std::string& detail)>;
void SetErrorReporter(ErrorReporter reporter);
void ReportError(const std::exception& e, const std::string& detail = {});

// The box ReportError shows (when no reporter is set): both texts shown as plain text, so
// that file text quoted in them never renders as markup.
std::unique_ptr<QMessageBox> ErrorBox(const std::string& message, const std::string& detail);

// Runs `f`; an exception it throws is reported and goes no further, so an event
// handler that fails stops there and the program carries on. Returns false then.
bool Guarded(const std::function<void()>& f);

} // namespace myrl
