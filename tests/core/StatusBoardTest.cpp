#include "StatusBoard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace myrl {
namespace {

TEST(StatusBoardTest, TextListsTheTopicsWithALineInTopicOrder) {
    struct Step {
        StatusTopic topic;
        const char* line;
        const char* text;
    };
    const Step steps[] = {
        {StatusTopic::Saved, "saved b", "saved b"},
        {StatusTopic::Link, "link a", "link a\nsaved b"},
        {StatusTopic::Calibration, "cal d", "link a\nsaved b\ncal d"},
        {StatusTopic::Curve, "curve c", "link a\ncurve c\nsaved b\ncal d"},
        {StatusTopic::Saved, "", "link a\ncurve c\ncal d"},
        {StatusTopic::Link, "link A", "link A\ncurve c\ncal d"},
    };
    StatusBoard board;
    EXPECT_EQ(board.Text(), "");
    for (const Step& s : steps) {
        board.Set(s.topic, s.line);
        EXPECT_EQ(board.Line(s.topic), s.line);
        EXPECT_EQ(board.Text(), s.text) << "after setting " << s.line;
    }
}

TEST(StatusBoardTest, ListenersHearEachChangeOnce) {
    StatusBoard board;
    std::vector<std::string> heard;
    board.OnChange([&](const std::string& text) { heard.push_back(text); });
    board.Set(StatusTopic::Link, "open");
    board.Set(StatusTopic::Link, "open"); // unchanged: nothing to hear
    board.Set(StatusTopic::Curve, "");    // was empty already
    board.Set(StatusTopic::Link, "");
    EXPECT_EQ(heard, (std::vector<std::string>{"open", ""}));
}

} // namespace
} // namespace myrl
