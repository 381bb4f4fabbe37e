// Cutting UTF-8 text without splitting a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace myrl {

// The mark put after a text that was cut: "…".
constexpr std::string_view kCutMark = "\xE2\x80\xA6";

// The length in bytes of the first `maxChars` characters of `text` (all of it when it has
// fewer). A character is a lead byte and the continuation bytes its length calls for; a
// byte that fits no sequence counts as one character, so a character is at most 4 bytes.
size_t Utf8PrefixBytes(std::string_view text, size_t maxChars);

// The greatest length not above `maxBytes` that ends between two characters of `text`.
size_t Utf8BoundaryAtOrBefore(std::string_view text, size_t maxBytes);

// `text` itself when it has at most `maxChars` characters; otherwise its first `maxChars`
// characters followed by kCutMark.
std::string CutText(std::string_view text, size_t maxChars);

// Where `text` stops being UTF-8 (the offset of the first byte that starts no well-formed
// character: a stray continuation byte, a sequence cut short, an overlong form, a
// surrogate or a code point beyond U+10FFFF); npos when all of it is.
size_t Utf8InvalidAt(std::string_view text);

} // namespace myrl
