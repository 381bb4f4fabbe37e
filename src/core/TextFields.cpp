#include "TextFields.h"

#include "Convert.h"
#include "TextFile.h"

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

namespace myrl {

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string ShortestDouble(double v) {
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    return std::string(buf.data(), res.ptr);
}

std::optional<double> ParseDouble(std::string_view text) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double v = 0;
    const auto res =
        std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
    if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size() ||
        !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

std::vector<std::string_view> VersionedTextLines(std::string_view text, std::string_view magic,
                                                 int version, std::string_view kind,
                                                 std::string& why) {
    std::vector<std::string_view> lines = TextLines(text);
    const std::string head = std::string(magic) + " ";
    const std::string_view first = lines.empty() ? std::string_view() : TrimBlanks(lines[0]);
    const std::string line1 = "Line 1 of the " + std::string(kind) + " file: ";
    why.clear();
    if (!first.starts_with(head)) {
        why = line1 + "this is not a MYRL " + std::string(kind) +
              " file (its first line is not \"" + head + std::to_string(version) + "\").";
    } else if (first.substr(head.size()) != std::to_string(version)) {
        why = line1 + "this " + std::string(kind) + " file is of version " +
              QuotedText(first.substr(head.size())) + "; this MYRL reads version " +
              std::to_string(version) + ".";
    }
    return lines;
}

} // namespace myrl
