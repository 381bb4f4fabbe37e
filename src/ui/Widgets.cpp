#include "Widgets.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QPalette>
#include <QStyleOptionProgressBar>

#include <algorithm>

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
    // setValue repaints at once unless updates are off; turning them on again asks for
    // the repaint the event loop carries out.
    setUpdatesEnabled(false);
    setValue(value);
    setUpdatesEnabled(true);
}

const QImage& ProgressBar::Picture(int value) {
    QStyleOptionProgressBar opt;
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
    const auto slot = static_cast<size_t>(std::clamp(value, minimum(), maximum()) - minimum());
    if (pictureOfValue_[slot] < 0) {
        opt.progress = std::clamp(value, minimum(), maximum());
        QImage picture((QSizeF(size()) * look.Dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(look.Dpr);
        picture.fill(under);
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

void ProgressBar::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.drawImage(QPointF(0, 0), Picture(value()));
}

void SetBackground(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

char LocaleDecimalSeparator() {
    return asciiOr(QLocale::system().decimalPoint(), '.');
}

char LocaleThousandsSeparator() {
    QString g = QLocale::system().groupSeparator();
    if (g.size() == 1 && (g[0].unicode() == 0xA0 || g[0].unicode() == 0x202F)) {
        return ' ';
    }
    return asciiOr(g, ',');
}

} // namespace myrl
