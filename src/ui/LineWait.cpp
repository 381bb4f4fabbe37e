#include "LineWait.h"

#include <QCoreApplication>
#include <QSocketNotifier>

namespace myrl {

LineWait::LineWait(QObject* parent) : QObject(parent) {
    timeout_.setSingleShot(true);
    timeout_.setTimerType(Qt::PreciseTimer);
}

LineWait::~LineWait() = default;

void LineWait::Wait(int fd, int timeoutMs) {
    if (!line_ || line_->socket() != fd) {
        line_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    }
    // Only while waiting: the descriptor may be closed by the time of the next wait.
    line_->setEnabled(true);
    timeout_.start(timeoutMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    timeout_.stop();
    line_->setEnabled(false);
}

} // namespace myrl
