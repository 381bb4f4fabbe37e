#include "ScpiError.h"

namespace myrl {

std::string_view ScpiText(ScpiCode code) {
    switch (code) {
    case ScpiCode::NoError:
        return "No error";
    case ScpiCode::CommandError:
        return "Command error";
    case ScpiCode::InvalidCharacter:
        return "Invalid character";
    case ScpiCode::SyntaxError:
        return "Syntax error";
    case ScpiCode::InvalidSeparator:
        return "Invalid separator";
    case ScpiCode::DataTypeError:
        return "Data type error";
    case ScpiCode::ParameterNotAllowed:
        return "Parameter not allowed";
    case ScpiCode::MissingParameter:
        return "Missing parameter";
    case ScpiCode::HeaderSeparatorError:
        return "Header separator error";
    case ScpiCode::MnemonicTooLong:
        return "Program mnemonic too long";
    case ScpiCode::UndefinedHeader:
        return "Undefined header";
    case ScpiCode::HeaderSuffixOutOfRange:
        return "Header suffix out of range";
    case ScpiCode::NumericDataError:
        return "Numeric data error";
    case ScpiCode::InvalidCharacterInNumber:
        return "Invalid character in number";
    case ScpiCode::ExponentTooLarge:
        return "Exponent too large";
    case ScpiCode::TooManyDigits:
        return "Too many digits";
    case ScpiCode::NumericDataNotAllowed:
        return "Numeric data not allowed";
    case ScpiCode::InvalidSuffix:
        return "Invalid suffix";
    case ScpiCode::SuffixTooLong:
        return "Suffix too long";
    case ScpiCode::SuffixNotAllowed:
        return "Suffix not allowed";
    case ScpiCode::InvalidCharacterData:
        return "Invalid character data";
    case ScpiCode::CharacterDataTooLong:
        return "Character data too long";
    case ScpiCode::CharacterDataNotAllowed:
        return "Character data not allowed";
    case ScpiCode::InvalidStringData:
        return "Invalid string data";
    case ScpiCode::StringDataNotAllowed:
        return "String data not allowed";
    case ScpiCode::ExecutionError:
        return "Execution error";
    case ScpiCode::SettingsConflict:
        return "Settings conflict";
    case ScpiCode::DataOutOfRange:
        return "Data out of range";
    case ScpiCode::IllegalParameterValue:
        return "Illegal parameter value";
    case ScpiCode::DataStale:
        return "Data corrupt or stale";
    case ScpiCode::MassStorageError:
        return "Mass storage error";
    case ScpiCode::FileNameNotFound:
        return "File name not found";
    case ScpiCode::FileNameError:
        return "File name error";
    case ScpiCode::QueueOverflow:
        return "Queue overflow";
    case ScpiCode::InputBufferOverrun:
        return "Input buffer overrun";
    }
    return "Command error";
}

void ScpiErrorQueue::Push(ScpiCode code, std::string_view detail) {
    if (entries_.size() < kDepth) {
        entries_.push_back({code, std::string(detail)});
        return;
    }
    entries_.back() = {ScpiCode::QueueOverflow, {}};
}

std::string ScpiErrorQueue::Pop() {
    if (entries_.empty()) {
        return "0,\"No error\"";
    }
    const Entry e = std::move(entries_.front());
    entries_.pop_front();
    std::string text(ScpiText(e.Code));
    if (!e.Detail.empty()) {
        text += ";";
        text += e.Detail;
    }
    return std::to_string(static_cast<int>(e.Code)) + ",\"" + ScpiQuotable(text, 255) + "\"";
}

std::string ScpiQuotable(std::string_view text, size_t maxBytes) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::string_view piece;
        char one[1] = {static_cast<char>(c)};
        if (text.substr(i, 3) == "\xE2\x86\x92") { // "→"
            piece = "->";
            i += 2;
        } else if (c == '"') {
            piece = "\"\"";
        } else if (c >= 0x20 && c < 0x7F) {
            piece = std::string_view(one, 1);
        } else if (c < 0x80 || c >= 0xC0) {
            piece = "?"; // a control byte, or the first byte of a character beyond ASCII
        }
        if (out.size() + piece.size() > maxBytes) {
            break;
        }
        out += piece;
    }
    return out;
}

} // namespace myrl
