#include "Widgets.h"

#include <QFileDialog>
#include <QFileInfo>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QPalette>

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
