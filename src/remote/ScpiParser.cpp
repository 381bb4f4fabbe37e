#include "ScpiParser.h"

#include "ScpiError.h"

#include <charconv>
#include <cmath>

namespace myrl {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}
bool isAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string upperText(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = upper(c);
    }
    return out;
}
// A byte beyond printable ASCII (the line passed the text check, so no control bytes but
// the tab reach the parser; UTF-8 only inside strings).
bool foreign(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

// Reads a unit left to right.
class UnitReader {
public:
    explicit UnitReader(std::string_view t) : t_(t) {}

    ScpiUnit Read() {
        ScpiUnit u;
        skipSpace();
        const size_t headerStart = p_;
        readHeader(u);
        u.Header = std::string(t_.substr(headerStart, p_ - headerStart));
        if (atEnd()) {
            return u;
        }
        if (!isSpace(t_[p_])) {
            throw ScpiError(foreign(t_[p_]) ? ScpiCode::InvalidCharacter
                                            : ScpiCode::HeaderSeparatorError,
                            u.Header);
        }
        skipSpace();
        if (atEnd()) {
            return u;
        }
        for (;;) {
            u.Params.push_back(readParam());
            skipSpace();
            if (atEnd()) {
                return u;
            }
            if (t_[p_] != ',') {
                throw ScpiError(foreign(t_[p_]) ? ScpiCode::InvalidCharacter
                                                : ScpiCode::InvalidSeparator,
                                u.Header);
            }
            ++p_;
            skipSpace();
            if (atEnd()) {
                throw ScpiError(ScpiCode::SyntaxError, "a parameter is missing after ','");
            }
        }
    }

private:
    bool atEnd() const { return p_ >= t_.size(); }
    void skipSpace() {
        while (!atEnd() && isSpace(t_[p_])) {
            ++p_;
        }
    }

    // [:]mnemonic{:mnemonic}[?] or *mnemonic[?]
    void readHeader(ScpiUnit& u) {
        if (atEnd()) {
            throw ScpiError(ScpiCode::SyntaxError, "an empty command");
        }
        if (t_[p_] == '*') {
            u.Common = true;
            ++p_;
            u.Nodes.push_back("*" + readMnemonic());
        } else {
            if (t_[p_] == ':') {
                u.Absolute = true;
                ++p_;
            }
            u.Nodes.push_back(readMnemonic());
            while (!atEnd() && t_[p_] == ':') {
                ++p_;
                u.Nodes.push_back(readMnemonic());
            }
        }
        if (!atEnd() && t_[p_] == '?') {
            u.Query = true;
            ++p_;
        }
    }

    std::string readMnemonic() {
        const size_t start = p_;
        if (atEnd() || !isAlpha(t_[p_])) {
            if (!atEnd() && foreign(t_[p_])) {
                throw ScpiError(ScpiCode::InvalidCharacter, "in a header");
            }
            throw ScpiError(ScpiCode::SyntaxError, atEnd() ? "a header ends in ':'"
                                                           : "a header mnemonic begins with '" +
                                                                 std::string(1, t_[p_]) + "'");
        }
        while (!atEnd() && (isAlpha(t_[p_]) || isDigit(t_[p_]) || t_[p_] == '_')) {
            ++p_;
        }
        const std::string_view m = t_.substr(start, p_ - start);
        if (m.size() > kScpiMnemonicMax) {
            throw ScpiError(ScpiCode::MnemonicTooLong, std::string(m.substr(0, 40)));
        }
        return upperText(m);
    }

    ScpiParam readParam() {
        const char c = t_[p_];
        if (c == '"' || c == '\'') {
            return readString();
        }
        if (isDigit(c) || c == '+' || c == '-' || c == '.') {
            return readNumber();
        }
        if (isAlpha(c)) {
            ScpiParam prm;
            prm.Type = ScpiParam::Kind::Character;
            const size_t start = p_;
            while (!atEnd() && (isAlpha(t_[p_]) || isDigit(t_[p_]) || t_[p_] == '_')) {
                ++p_;
            }
            if (p_ - start > kScpiMnemonicMax) {
                throw ScpiError(ScpiCode::CharacterDataTooLong,
                                std::string(t_.substr(start, std::min<size_t>(p_ - start, 40))));
            }
            prm.Text = upperText(t_.substr(start, p_ - start));
            return prm;
        }
        if (c == '#') {
            throw ScpiError(ScpiCode::DataTypeError, "no block or non-decimal data here");
        }
        throw ScpiError(ScpiCode::InvalidCharacter, "in a parameter");
    }

    ScpiParam readString() {
        const char quote = t_[p_++];
        ScpiParam prm;
        prm.Type = ScpiParam::Kind::String;
        for (;;) {
            if (atEnd()) {
                throw ScpiError(ScpiCode::InvalidStringData, "the string has no closing quote");
            }
            const char c = t_[p_++];
            if (c == quote) {
                if (!atEnd() && t_[p_] == quote) {
                    prm.Text += quote; // a doubled quote stands for one
                    ++p_;
                    continue;
                }
                return prm;
            }
            prm.Text += c;
        }
    }

    // Decimal numeric program data: [+|-](digits[.digits]|.digits)[ws][E[ws][+|-]digits],
    // then an optional suffix after optional white space.
    ScpiParam readNumber() {
        std::string number;
        if (t_[p_] == '+' || t_[p_] == '-') {
            number += t_[p_++];
        }
        size_t digits = 0;
        while (!atEnd() && isDigit(t_[p_])) {
            number += t_[p_++];
            ++digits;
        }
        if (!atEnd() && t_[p_] == '.') {
            number += t_[p_++];
            while (!atEnd() && isDigit(t_[p_])) {
                number += t_[p_++];
                ++digits;
            }
        }
        if (digits == 0) {
            throw ScpiError(ScpiCode::NumericDataError, "a number without digits");
        }
        if (digits > 255) {
            throw ScpiError(ScpiCode::TooManyDigits);
        }
        // An exponent: E, then digits (white space allowed after the mantissa and the E).
        size_t q = p_;
        while (q < t_.size() && isSpace(t_[q])) {
            ++q;
        }
        long exponentSign = 1;
        if (q < t_.size() && upper(t_[q]) == 'E') {
            size_t r = q + 1;
            while (r < t_.size() && isSpace(t_[r])) {
                ++r;
            }
            std::string exponent;
            if (r < t_.size() && (t_[r] == '+' || t_[r] == '-')) {
                exponentSign = t_[r] == '-' ? -1 : 1;
                exponent += t_[r++];
            }
            if (r < t_.size() && isDigit(t_[r])) {
                while (r < t_.size() && isDigit(t_[r])) {
                    exponent += t_[r++];
                }
                number += "e" + exponent;
                p_ = r;
            } else if (!exponent.empty()) {
                throw ScpiError(ScpiCode::InvalidCharacterInNumber, "an exponent without digits");
            }
        }
        ScpiParam prm;
        prm.Type = ScpiParam::Kind::Numeric;
        const char* first = number.data() + (number[0] == '+' ? 1 : 0);
        const auto r = std::from_chars(first, number.data() + number.size(), prm.Number);
        if (r.ec == std::errc::result_out_of_range) {
            if (exponentSign > 0) {
                throw ScpiError(ScpiCode::ExponentTooLarge);
            }
            prm.Number = 0; // too small to tell from zero
        } else if (r.ec != std::errc() || r.ptr != number.data() + number.size() ||
                   !std::isfinite(prm.Number)) {
            throw ScpiError(ScpiCode::NumericDataError);
        }
        // A suffix: letters (a unit such as MHZ), after optional white space.
        q = p_;
        while (q < t_.size() && isSpace(t_[q])) {
            ++q;
        }
        if (q < t_.size() && (isAlpha(t_[q]) || t_[q] == '/')) {
            const size_t start = q;
            while (q < t_.size() && (isAlpha(t_[q]) || isDigit(t_[q]) || t_[q] == '/')) {
                ++q;
            }
            if (q - start > kScpiMnemonicMax) {
                throw ScpiError(ScpiCode::SuffixTooLong);
            }
            prm.Suffix = upperText(t_.substr(start, q - start));
            p_ = q;
        } else if (p_ < t_.size() && !isSpace(t_[p_]) && t_[p_] != ',') {
            throw ScpiError(foreign(t_[p_]) ? ScpiCode::InvalidCharacter
                                            : ScpiCode::InvalidCharacterInNumber);
        }
        return prm;
    }

    std::string_view t_;
    size_t p_ = 0;
};

std::pair<std::string_view, std::string_view> splitSuffix(std::string_view mnemonic) {
    size_t end = mnemonic.size();
    while (end > 0 && isDigit(mnemonic[end - 1])) {
        --end;
    }
    return {mnemonic.substr(0, end), mnemonic.substr(end)};
}

} // namespace

std::vector<std::string_view> SplitScpiUnits(std::string_view message) {
    std::vector<std::string_view> units;
    size_t start = 0;
    char quote = 0;
    for (size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (quote) {
            if (c == quote) {
                quote = 0; // a doubled quote closes and opens again: the same
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            units.push_back(message.substr(start, i - start));
            start = i + 1;
        }
    }
    std::string_view last = message.substr(start);
    bool blank = true;
    for (char c : last) {
        blank = blank && isSpace(c);
    }
    if (!blank || units.empty()) {
        units.push_back(last);
    }
    return units;
}

ScpiUnit ParseScpiUnit(std::string_view text) {
    return UnitReader(text).Read();
}

ScpiPattern::ScpiPattern(std::string_view header, int suffixMax)
    : header_(header), suffixMax_(suffixMax) {
    std::string_view s = header;
    if (!s.empty() && s.front() == '*') {
        nodes_.push_back({std::string(s), std::string(s), false, false});
        return;
    }
    while (!s.empty()) {
        Node n;
        if (s.front() == '[') {
            n.Optional = true;
            s.remove_prefix(1);
        }
        if (!s.empty() && s.front() == ':') {
            s.remove_prefix(1);
        }
        size_t end = 0;
        while (end < s.size() && s[end] != ':' && s[end] != '[' && s[end] != ']') {
            ++end;
        }
        std::string_view word = s.substr(0, end);
        s.remove_prefix(end);
        if (!word.empty() && word.back() == '#') {
            n.Suffixed = true;
            word.remove_suffix(1);
        }
        for (char c : word) {
            if (upper(c) == c) {
                n.Short += c;
            }
        }
        n.Long = upperText(word);
        if (!s.empty() && s.front() == ']') {
            s.remove_prefix(1);
        }
        nodes_.push_back(std::move(n));
    }
}

ScpiPattern::Fit ScpiPattern::Match(const std::vector<std::string>& nodes, int* suffix) const {
    int found = 1;
    const Fit f = match(nodes, 0, 0, &found);
    if (f == Fit::Yes && suffix) {
        *suffix = found;
    }
    return f;
}

ScpiPattern::Fit ScpiPattern::match(const std::vector<std::string>& nodes, size_t i, size_t j,
                                    int* suffix) const {
    if (j == nodes_.size()) {
        return i == nodes.size() ? Fit::Yes : Fit::No;
    }
    const Node& n = nodes_[j];
    Fit best = Fit::No;
    if (n.Optional) {
        best = match(nodes, i, j + 1, suffix);
        if (best == Fit::Yes) {
            return best;
        }
    }
    if (i == nodes.size()) {
        return best;
    }
    if (nodes[i].front() == '*' || n.Long.front() == '*') {
        return nodes[i] == n.Long ? match(nodes, i + 1, j + 1, suffix) : best;
    }
    const auto [name, digits] = splitSuffix(nodes[i]);
    if (name != n.Long && name != n.Short) {
        return best;
    }
    int value = 1;
    bool inRange = true;
    if (!digits.empty()) {
        if (!n.Suffixed) {
            return best;
        }
        if (digits.size() > 3) {
            inRange = false;
        } else {
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
            inRange = value >= 1 && value <= suffixMax_;
        }
    }
    const Fit rest = match(nodes, i + 1, j + 1, suffix);
    if (rest == Fit::Yes && !inRange) {
        return Fit::SuffixOutOfRange;
    }
    if (rest == Fit::Yes && n.Suffixed) {
        *suffix = value;
    }
    return rest == Fit::No ? best : rest;
}

} // namespace myrl
