// The fields of the program's own versioned text files (limits, set-ups): blanks trimmed,
// numbers in the shortest form that reads back to the same double with a full stop whatever
// the locale, and the first line that names the kind of file and its version.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace myrl {

// `s` without the blanks and tabs around it.
std::string_view TrimBlanks(std::string_view s);

// The shortest text that reads back to the same double ("0.1", "-3", "1e-300").
std::string ShortestDouble(double v);

// A finite number with a full stop, an optional sign ('+' too) and exponent; nothing for
// anything else.
std::optional<double> ParseDouble(std::string_view text);

// The lines of a file's text (as TextLines takes them: a UTF-8 byte order mark dropped, LF,
// CR LF or a lone CR ending a line) whose first
// line must be "<magic> <version>": empty `why` then; else `why` says what line 1 holds
// instead, "Line 1 of the <kind> file: this is not a MYRL <kind> file (...)" or "... is of
// version '<what it says>'..." (quoted as QuotedText quotes), with a full stop.
std::vector<std::string_view> VersionedTextLines(std::string_view text, std::string_view magic,
                                                 int version, std::string_view kind,
                                                 std::string& why);

} // namespace myrl
