// The errors of the remote-control language, with the standard numbers and texts of IEEE
// 488.2 and SCPI, and the queue SYST:ERR? reads them from. Plain data: one thread.
#pragma once

#include <cstddef>
#include <deque>
#include <stdexcept>
#include <string>
#include <string_view>

namespace myrl {

// The standard numbers this instrument reports. Negative: defined by the standard; the
// hundreds give the class (-1xx command, -2xx execution, -3xx device, -4xx query).
enum class ScpiCode : int {
    NoError = 0,
    CommandError = -100,
    InvalidCharacter = -101,
    SyntaxError = -102,
    InvalidSeparator = -103,
    DataTypeError = -104,
    ParameterNotAllowed = -108,
    MissingParameter = -109,
    HeaderSeparatorError = -111,
    MnemonicTooLong = -112,
    UndefinedHeader = -113,
    HeaderSuffixOutOfRange = -114,
    NumericDataError = -120,
    InvalidCharacterInNumber = -121,
    ExponentTooLarge = -123,
    TooManyDigits = -124,
    NumericDataNotAllowed = -128,
    InvalidSuffix = -131,
    SuffixTooLong = -134,
    SuffixNotAllowed = -138,
    InvalidCharacterData = -141,
    CharacterDataTooLong = -144,
    CharacterDataNotAllowed = -148,
    InvalidStringData = -151,
    StringDataNotAllowed = -158,
    ExecutionError = -200,
    SettingsConflict = -221,
    DataOutOfRange = -222,
    IllegalParameterValue = -224,
    DataStale = -230,
    MassStorageError = -250,
    FileNameNotFound = -256,
    FileNameError = -257,
    QueueOverflow = -350,
    InputBufferOverrun = -363,
};

// The standard text of `code` ("Undefined header"); "No error" for 0.
std::string_view ScpiText(ScpiCode code);

// What a command throws when it cannot be carried out: the code and an English detail
// (may be empty) that follows the standard text after a semicolon.
class ScpiError : public std::runtime_error {
public:
    explicit ScpiError(ScpiCode code, std::string detail = {})
        : std::runtime_error(std::string(ScpiText(code))), Code(code), Detail(std::move(detail)) {}
    ScpiCode Code;
    std::string Detail;
};

// The error/event queue: first in, first out, at most kDepth entries. An error arriving
// at a full queue replaces the newest entry with -350 "Queue overflow" and is lost, so
// the queue always ends in that entry once it overflowed.
class ScpiErrorQueue {
public:
    static constexpr size_t kDepth = 16;

    void Push(ScpiCode code, std::string_view detail = {});
    // The oldest entry, removed: `-113,"Undefined header;FOO:BAR"`, or `0,"No error"`.
    std::string Pop();
    void Clear() { entries_.clear(); }
    size_t Count() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }

private:
    struct Entry {
        ScpiCode Code;
        std::string Detail;
    };
    std::deque<Entry> entries_;
};

// `text` as the contents of a quoted response string: printable ASCII only (anything
// else as '?', except that an arrow becomes "->"), double quotes doubled, at most
// `maxBytes` long.
std::string ScpiQuotable(std::string_view text, size_t maxBytes = 200);

} // namespace myrl
