// The wait of the serial port's Read on the user-interface thread: the event loop sleeps
// until the line has something to read, one of its own events comes (window, timer) or
// the time is up, and handles those events meanwhile. One wake-up where polling the line
// every millisecond took one a millisecond.
#pragma once

#include <QObject>
#include <QTimer>

#include <memory>

class QSocketNotifier;

namespace myrl {

class LineWait : public QObject {
public:
    explicit LineWait(QObject* parent = nullptr);
    ~LineWait() override;

    // Waits as above for descriptor `fd` at most `timeoutMs`; the caller reads afterwards.
    void Wait(int fd, int timeoutMs);

private:
    std::unique_ptr<QSocketNotifier> line_;
    QTimer timeout_;
};

} // namespace myrl
