// The wait of the port's read on the user-interface thread: woken by the line, running the
// window events that come meanwhile, and over when the time is up.
#include "LineWait.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

namespace myrl {
namespace {

class LineWaitTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::pipe(fds_), 0); }
    void TearDown() override {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    bool readable() const {
        pollfd p{fds_[0], POLLIN, 0};
        return ::poll(&p, 1, 0) == 1;
    }
    int fds_[2] = {-1, -1};
};

TEST_F(LineWaitTest, WakesForTheLineRunsEventsMeanwhileAndEndsWithTheTime) {
    LineWait wait;
    // A window event comes first, the line's byte later (from a handler, as a unit would
    // answer while the window works): the wait goes on through the event until the byte.
    bool eventRan = false;
    QTimer::singleShot(10, [&] { eventRan = true; });
    QTimer::singleShot(30, [&] { ASSERT_EQ(::write(fds_[1], "x", 1), 1); });
    while (!readable()) {
        wait.Wait(fds_[0], 5000);
    }
    EXPECT_TRUE(eventRan);
    char c = 0;
    ASSERT_EQ(::read(fds_[0], &c, 1), 1);

    // Nothing comes: the wait ends at its time, again and again (the time-out is its own).
    for (int k = 0; k < 3; ++k) {
        wait.Wait(fds_[0], 20);
        EXPECT_FALSE(readable());
    }
}

} // namespace
} // namespace myrl
