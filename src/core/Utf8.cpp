#include "Utf8.h"

#include <cstdint>

namespace myrl {

namespace {

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Bytes of the character that starts at `at`.
size_t charLength(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t want = 1;
    if ((lead & 0xE0) == 0xC0) {
        want = 2;
    } else if ((lead & 0xF0) == 0xE0) {
        want = 3;
    } else if ((lead & 0xF8) == 0xF0) {
        want = 4;
    }
    size_t n = 1;
    while (n < want && at + n < text.size() &&
           isContinuation(static_cast<unsigned char>(text[at + n]))) {
        ++n;
    }
    return n;
}

} // namespace

size_t Utf8PrefixBytes(std::string_view text, size_t maxChars) {
    size_t at = 0;
    for (size_t chars = 0; chars < maxChars && at < text.size(); ++chars) {
        at += charLength(text, at);
    }
    return at;
}

size_t Utf8BoundaryAtOrBefore(std::string_view text, size_t maxBytes) {
    size_t at = 0;
    while (at < text.size()) {
        const size_t next = at + charLength(text, at);
        if (next > maxBytes) {
            break;
        }
        at = next;
    }
    return at;
}

std::string CutText(std::string_view text, size_t maxChars) {
    const size_t bytes = Utf8PrefixBytes(text, maxChars);
    if (bytes == text.size()) {
        return std::string(text);
    }
    std::string out(text.substr(0, bytes));
    out += kCutMark;
    return out;
}

size_t Utf8InvalidAt(std::string_view text) {
    size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        size_t n = 0;
        uint32_t cp = 0;
        uint32_t least = 0;
        if (lead < 0x80) {
            ++at;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            n = 2;
            cp = lead & 0x1F;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            n = 3;
            cp = lead & 0x0F;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            n = 4;
            cp = lead & 0x07;
            least = 0x10000;
        } else {
            return at;
        }
        if (at + n > text.size()) {
            return at;
        }
        for (size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(text[at + k]);
            if (!isContinuation(c)) {
                return at;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return at;
        }
        at += n;
    }
    return std::string_view::npos;
}

} // namespace myrl
