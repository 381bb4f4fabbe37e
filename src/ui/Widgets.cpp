#include "Widgets.h"

#include <QFileDialog>
#include <QFileInfo>

#include <QApplication>
#include <QBackingStore>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QPalette>
#include <QStyleOptionProgressBar>
#include <QWindow>

#include <algorithm>
#include <cstring>

namespace myrl {

namespace {

QFont face(const QStringList& families, int pixels, bool bold, bool italic) {
    QFont f;
    f.setFamilies(families);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

char asciiOr(const QString& s, char fallback) {
    if (s.size() == 1 && s[0].unicode() > 0x20 && s[0].unicode() < 0x7F) {
        return static_cast<char>(s[0].unicode());
    }
    return fallback;
}

} // namespace

QFont TimesFont(int pixels, bool bold, bool italic) {
    return face({"Times New Roman", "Liberation Serif"}, pixels, bold, italic);
}

QFont ArialFont(int pixels) {
    return face({"Arial", "Liberation Sans"}, pixels, false, false);
}

QFont GothicFont(int pixels) {
    return face({QString::fromUtf8("ＭＳ Ｐゴシック"), "MS PGothic", "IPAPGothic", "IPA P Gothic"},
                pixels, false, false);
}

QLabel* MakeLabel(QWidget* parent, int x, int y, const QString& text, const QFont& font,
                  const QColor& colour) {
    auto* l = new QLabel(parent);
    l->setFont(font);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, colour);
    l->setPalette(p);
    l->move(x, y);
    SetCaption(l, text);
    return l;
}

void SetCaption(QLabel* label, const QString& text) {
    // The readouts are rewritten at every redraw, mostly with the text they show: only a
    // new text is measured again.
    if (label->text() == text && label->size() == label->sizeHint()) {
        return;
    }
    label->setText(text);
    label->adjustSize();
}

TextField::TextField(const QString& text, QWidget* parent) : QLineEdit(text, parent) {
    connect(this, &QLineEdit::textEdited, this, [this](const QString& edited) {
        if (edited.size() > limit_ && edited.size() > before_.size()) {
            tooLong_ = true;
        }
    });
}

template <class Edit> void TextField::limited(Edit edit) {
    before_ = text();
    tooLong_ = false;
    const int cursor = cursorPosition();
    edit();
    if (tooLong_) {
        tooLong_ = false;
        setText(before_);
        setCursorPosition(cursor);
    }
}

void TextField::keyPressEvent(QKeyEvent* e) {
    limited([&] { QLineEdit::keyPressEvent(e); });
}

void TextField::inputMethodEvent(QInputMethodEvent* e) {
    limited([&] { QLineEdit::inputMethodEvent(e); });
}

void TextField::dropEvent(QDropEvent* e) {
    limited([&] { QLineEdit::dropEvent(e); });
}

void TextField::contextMenuEvent(QContextMenuEvent* e) {
    limited([&] { QLineEdit::contextMenuEvent(e); }); // its Paste runs inside
}

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    // Every paint covers the whole bar with a kept picture, the panel's colour included.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProgressBar::SetPosition(int value) {
    if (value == this->value()) {
        return;
    }
    // setValue repaints at once, through the whole window's repaint, unless updates are
    // off. They are turned off just for it, the way setUpdatesEnabled does, without the
    // repaint that setUpdatesEnabled(true) would ask for.
    setAttribute(Qt::WA_UpdatesDisabled, true);
    settingValue_ = true;
    setValue(value);
    settingValue_ = false;
    setAttribute(Qt::WA_UpdatesDisabled, false);
    showPicture(Picture(this->value()));
}

namespace {

// Copies `picture` (opaque, 32 bits a pixel) into `device` at `rect` (window pixels) row by
// row when the device is an image of the same pixel ratio whose pixels take the same bytes,
// and the copy lands on whole device pixels; false when it cannot.
bool copyInto(QPaintDevice* device, const QRect& rect, const QImage& picture) {
    if (device->devType() != QInternal::Image) {
        return false;
    }
    auto* image = static_cast<QImage*>(device);
    const qreal dpr = image->devicePixelRatio();
    const QPointF at = QPointF(rect.topLeft()) * dpr;
    const QImage::Format f = image->format();
    const bool sameBytes = f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
                           f == QImage::Format_ARGB32_Premultiplied;
    // A shared image would be copied by the first write (detach), away from the store.
    if (!sameBytes || !image->isDetached() || dpr != picture.devicePixelRatio() ||
        at != QPointF(at.toPoint()) || picture.format() != QImage::Format_ARGB32_Premultiplied) {
        return false;
    }
    const QRect target(at.toPoint(), picture.size());
    if (!image->rect().contains(target)) {
        return false;
    }
    const auto rowBytes = static_cast<size_t>(picture.width()) * 4;
    for (int y = 0; y < picture.height(); ++y) {
        std::memcpy(image->scanLine(target.y() + y) + static_cast<ptrdiff_t>(target.x()) * 4,
                    picture.constScanLine(y), rowBytes);
    }
    return true;
}

} // namespace

void ProgressBar::showPicture(const QImage& picture) {
    // The kept picture goes straight into the window's backing store and out to the
    // screen, for the bar's rectangle alone: the same pixels the bar's paint would put
    // there. Where that cannot be done (no backing store yet, hidden, a paint under way),
    // the event loop repaints the bar.
    QWidget* top = window();
    QBackingStore* store = top->backingStore();
    QWindow* handle = top->windowHandle();
    if (!isVisible() || !store || !handle || !handle->isExposed() || !store->paintDevice() ||
        store->paintDevice()->paintingActive() || paintingActive()) {
        update();
        return;
    }
    const QRect rect(mapTo(top, QPoint(0, 0)), size());
    const QRegion area(rect);
    store->beginPaint(area);
    if (!copyInto(store->paintDevice(), rect, picture)) {
        QPainter p(store->paintDevice());
        p.drawImage(QPointF(rect.topLeft()), picture);
    }
    store->endPaint();
    store->flush(area, handle);
}

void ProgressBar::checkLook(QStyleOptionProgressBar& opt) {
    initStyleOption(&opt);
    // The colour the bar's unpainted pixels show: that of the nearest panel beneath that
    // paints its background.
    const QWidget* beneath = parentWidget();
    while (beneath && !beneath->autoFillBackground() && !beneath->isWindow()) {
        beneath = beneath->parentWidget();
    }
    const QColor under = beneath ? beneath->palette().color(beneath->backgroundRole())
                                 : palette().color(QPalette::Window);
    const Look look{style(),
                    opt.state,
                    opt.palette.cacheKey(),
                    static_cast<int>(opt.palette.currentColorGroup()),
                    opt.direction,
                    size(),
                    devicePixelRatioF(),
                    under.rgba()};
    const auto span = static_cast<size_t>(std::max(0, maximum() - minimum())) + 1;
    if (!(look == look_) || pictureOfValue_.size() != span) {
        look_ = look;
        pictureOfValue_.assign(span, -1);
        pictures_.clear();
    }
    lookChecked_ = true;
}

bool ProgressBar::event(QEvent* e) {
    // Whatever reaches the bar may change how the style draws it (activation, palette,
    // size, screen...): the next picture checks its look again.
    lookChecked_ = false;
    return QProgressBar::event(e);
}

const QImage& ProgressBar::Picture(int value) {
    QStyleOptionProgressBar opt;
    const auto span = static_cast<size_t>(std::max(0, maximum() - minimum())) + 1;
    bool filled = false;
    if (!lookChecked_ || pictureOfValue_.size() != span) {
        checkLook(opt);
        filled = true;
    }
    const auto slot = static_cast<size_t>(std::clamp(value, minimum(), maximum()) - minimum());
    if (pictureOfValue_[slot] < 0) {
        // The fill grows with the position: between two positions that look alike every
        // position looks the same, and needs no drawing of its own.
        auto below = static_cast<std::ptrdiff_t>(slot);
        while (below >= 0 && pictureOfValue_[static_cast<size_t>(below)] < 0) {
            --below;
        }
        size_t above = slot;
        while (above < pictureOfValue_.size() && pictureOfValue_[above] < 0) {
            ++above;
        }
        if (below >= 0 && above < pictureOfValue_.size() &&
            pictureOfValue_[static_cast<size_t>(below)] == pictureOfValue_[above]) {
            std::fill(pictureOfValue_.begin() + below + 1,
                      pictureOfValue_.begin() + static_cast<std::ptrdiff_t>(above),
                      pictureOfValue_[above]);
        }
    }
    if (pictureOfValue_[slot] < 0) {
        if (!filled) {
            initStyleOption(&opt);
        }
        opt.progress = std::clamp(value, minimum(), maximum());
        QImage picture((QSizeF(size()) * look_.Dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(look_.Dpr);
        picture.fill(QColor::fromRgba(look_.Beneath));
        {
            // As a paint on the widget starts: its font, pen and background.
            QPainter p(&picture);
            p.setFont(font());
            p.setPen(QPen(palette().brush(foregroundRole()), 1));
            p.setBackground(palette().brush(backgroundRole()));
            style()->drawControl(QStyle::CE_ProgressBar, &opt, &p, this);
        }
        const auto same = std::find(pictures_.begin(), pictures_.end(), picture);
        pictureOfValue_[slot] = static_cast<int>(same - pictures_.begin());
        if (same == pictures_.end()) {
            pictures_.push_back(std::move(picture));
        }
    }
    return pictures_[static_cast<size_t>(pictureOfValue_[slot])];
}

void ProgressBar::initStyleOption(QStyleOptionProgressBar* option) const {
    // setValue fills a style option for every position between the ends only to decide
    // whether to repaint at once, which SetPosition has turned off: a tenth of a sweep's
    // work. That option is left as constructed; every drawing gets the full one.
    if (settingValue_) {
        return;
    }
    QProgressBar::initStyleOption(option);
}

void ProgressBar::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.drawImage(QPointF(0, 0), Picture(value()));
}

void PrepareDisplayConnection() {
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
}

void SetBackground(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

namespace {

struct Separators {
    char Decimal;
    char Thousands;
};

// The system locale is the one the environment named at the start, for the whole run; asking
// Qt for it again costs more than a sweep's readouts take to format.
const Separators& SystemSeparators() {
    static const Separators separators = [] {
        const QLocale system = QLocale::system();
        const QString g = system.groupSeparator();
        const bool space = g.size() == 1 && (g[0].unicode() == 0xA0 || g[0].unicode() == 0x202F);
        return Separators{asciiOr(system.decimalPoint(), '.'), space ? ' ' : asciiOr(g, ',')};
    }();
    return separators;
}

} // namespace

char LocaleDecimalSeparator() {
    return SystemSeparators().Decimal;
}

char LocaleThousandsSeparator() {
    return SystemSeparators().Thousands;
}

QString AskFileToSave(QWidget* parent, const QString& caption, const QString& folder,
                      const QString& filter, const QString& suffix) {
    QString path = QFileDialog::getSaveFileName(parent, caption, folder, filter, nullptr,
                                                QFileDialog::DontUseNativeDialog);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
        path += suffix;
    }
    return path;
}

QString AskFileToOpen(QWidget* parent, const QString& caption, const QString& folder,
                      const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, folder, filter + ";;All files (*)",
                                        nullptr, QFileDialog::DontUseNativeDialog);
}

} // namespace myrl
