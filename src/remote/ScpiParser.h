// The remote-control language as written: a program message (one line) split into its
// units, each unit into a header and parameters, by the syntax of IEEE 488.2; and the
// headers of a command set, with their long and short forms, optional nodes and numeric
// suffixes, matched case-insensitively. No meaning here: that is the command set's.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace myrl {

// One parameter as written.
struct ScpiParam {
    enum class Kind { Numeric, Character, String };
    Kind Type = Kind::Numeric;
    double Number = 0;  // Numeric: the value
    std::string Suffix; // Numeric: the unit written after it, upper case ("MHZ"); may be empty
    std::string Text;   // Character: upper case ("THRU"); String: the contents, quotes undone
};

// One program message unit: a header and its parameters.
struct ScpiUnit {
    bool Common = false;   // a common command: *IDN?
    bool Absolute = false; // the header began with ':' (from the root, not the current path)
    // The header's mnemonics in upper case with their numeric suffixes ("CALC", "MARK1",
    // "X"); a common command's one mnemonic keeps its star ("*IDN").
    std::vector<std::string> Nodes;
    bool Query = false;
    std::vector<ScpiParam> Params;
    std::string Header; // the header as written, for error details
};

// Mnemonics and character data are at most this long.
constexpr size_t kScpiMnemonicMax = 12;

// The units of a program message: the texts between semicolons outside quoted strings
// (an unterminated string runs to the end). A message ending in a semicolon has no empty
// last unit; other empty units stay, for the parser to refuse.
std::vector<std::string_view> SplitScpiUnits(std::string_view message);

// Parses one unit. Throws ScpiError with a command error (-1xx) for what does not follow
// the syntax.
ScpiUnit ParseScpiUnit(std::string_view text);

// The header of a command of the set, written with its short form in capitals and its
// optional nodes in brackets: "[SENSe]:FREQuency:STARt", "SYSTem:ERRor[:NEXT]",
// "CALCulate:MARKer#:X" ('#': a numeric suffix 1..suffixMax, 1 when left out), "*IDN".
class ScpiPattern {
public:
    explicit ScpiPattern(std::string_view header, int suffixMax = 1);

    enum class Fit { No, Yes, SuffixOutOfRange };
    // Whether `nodes` (a unit's, in upper case) name this header; the suffix of its '#'
    // node (1 when there is none) in `suffix`.
    Fit Match(const std::vector<std::string>& nodes, int* suffix = nullptr) const;
    const std::string& Header() const { return header_; }

private:
    struct Node {
        std::string Long, Short;
        bool Optional = false;
        bool Suffixed = false;
    };
    Fit match(const std::vector<std::string>& nodes, size_t i, size_t j, int* suffix) const;

    std::string header_;
    std::vector<Node> nodes_;
    int suffixMax_;
};

} // namespace myrl
