#include "Notice.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QToolTip>

#include <algorithm>
#include <vector>

namespace myrl {

namespace {

QPointer<Notice>& instance() {
    static QPointer<Notice> notice;
    return notice;
}

} // namespace

Notice::Notice() : QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint) {
    setObjectName("Notice");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setTextFormat(Qt::PlainText);
    setPalette(QToolTip::palette());
    setAutoFillBackground(true);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setMargin(6);
    hide_.setSingleShot(true);
    connect(&hide_, &QTimer::timeout, this, &QWidget::hide);
}

void Notice::Show(QWidget& near, const QString& text) {
    QPointer<Notice>& n = instance();
    if (!n) {
        n = new Notice;
    }
    // Owned by the window it stands beside: it goes with that window.
    QWidget* window = near.window();
    if (n->parentWidget() != window) {
        n->setParent(window, n->windowFlags());
    }
    n->full_ = text;
    n->setText(text);
    // A text wider than the screen (a long path) loses its middle.
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr && n->sizeHint().width() > screen->availableGeometry().width()) {
        const int chrome = n->sizeHint().width() - n->fontMetrics().horizontalAdvance(text);
        n->setText(n->fontMetrics().elidedText(text, Qt::ElideMiddle,
                                               screen->availableGeometry().width() - chrome));
    }
    n->adjustSize();
    n->showBeside(*window);
    n->hide_.start(kShownMs);
}

Notice* Notice::Shown() {
    Notice* n = instance();
    return n && n->isVisible() ? n : nullptr;
}

void Notice::mousePressEvent(QMouseEvent*) {
    hide();
}

void Notice::showBeside(QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
    const QSize size = sizeHint();
    // The program's other windows are not covered either, where the screen leaves room.
    std::vector<QRect> windows;
    int lowest = frame.bottom();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = w->windowType();
        if (w == this || !w->isVisible() || type == Qt::ToolTip || type == Qt::Popup) {
            continue;
        }
        windows.push_back(w->frameGeometry());
        if (w->frameGeometry().intersects(
                QRect(frame.left(), frame.bottom() + 1, size.width(), room.height()))) {
            lowest = std::max(lowest, w->frameGeometry().bottom());
        }
    }
    const QPoint candidates[] = {
        {frame.left(), frame.bottom() + 1},          // below the window
        {frame.left(), lowest + 1},                  // below the windows under it
        {frame.left(), frame.top() - size.height()}, // above the window
    };
    auto fits = [&](QPoint at) {
        const QRect r(at, size);
        return room.contains(r) && std::none_of(windows.begin(), windows.end(),
                                                [&](const QRect& w) { return w.intersects(r); });
    };
    QPoint at = candidates[0];
    for (const QPoint& c : candidates) {
        QPoint shifted(std::max(room.left(), std::min(c.x(), room.right() - size.width() + 1)),
                       c.y());
        if (fits(shifted)) {
            at = shifted;
            break;
        }
    }
    at.setX(std::max(room.left(), std::min(at.x(), room.right() - size.width() + 1)));
    at.setY(std::max(room.top(), std::min(at.y(), room.bottom() - size.height() + 1)));
    resize(size);
    move(at);
    show();
    raise();
}

} // namespace myrl
