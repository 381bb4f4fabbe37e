#include "StatusBoard.h"

#include <utility>

namespace myrl {

void StatusBoard::Set(StatusTopic topic, std::string line) {
    std::string& held = lines_.at(static_cast<std::size_t>(topic));
    if (held == line) {
        return;
    }
    held = std::move(line);
    const std::string text = Text();
    for (const auto& listener : listeners_) {
        listener(text);
    }
}

const std::string& StatusBoard::Line(StatusTopic topic) const {
    return lines_.at(static_cast<std::size_t>(topic));
}

std::string StatusBoard::Text() const {
    std::string text;
    for (const std::string& line : lines_) {
        if (line.empty()) {
            continue;
        }
        if (!text.empty()) {
            text += '\n';
        }
        text += line;
    }
    return text;
}

void StatusBoard::OnChange(std::function<void(const std::string&)> listener) {
    listeners_.push_back(std::move(listener));
}

} // namespace myrl
