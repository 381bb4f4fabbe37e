// Small helpers shared by the two windows: fonts, colours, self-sizing labels, text
// conversion and text fields.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QString>
#include <QStyle>
#include <QStyleOptionProgressBar>

#include <cstdint>
#include <string>
#include <vector>

namespace myrl {

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
inline std::string S(const QString& s) {
    return s.toStdString();
}

// A 0x00BBGGRR colour value as a QColor.
inline QColor ToQColor(uint32_t c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

// Colours of the layout.
inline const QColor kPanelBackground{30, 45, 60};
inline const QColor kMoneyGreen{192, 220, 192};
inline const QColor kCream{255, 251, 240};
inline const QColor kSkyBlue{166, 202, 240};
inline const QColor kAqua{0, 255, 255};
inline const QColor kYellow{255, 255, 0};
inline const QColor kWhite{255, 255, 255};

// "Times New Roman", or its metric twin Liberation Serif where it is missing.
QFont TimesFont(int pixels, bool bold = false, bool italic = false);
// Arial, or Liberation Sans.
QFont ArialFont(int pixels);
// The proportional Japanese sans-serif face, or IPA P Gothic.
QFont GothicFont(int pixels);

// A label at (x, y) that sizes itself to its text.
QLabel* MakeLabel(QWidget* parent, int x, int y, const QString& text, const QFont& font,
                  const QColor& colour);
// Sets a self-sizing label's text.
void SetCaption(QLabel* label, const QString& text);

// A text field whose length limit holds for typing only: keys, pasting and dropping cannot
// make the text longer than TypingLimit characters, while the program's own setText keeps
// every character it writes (QLineEdit's maxLength would cut those too). A text already
// longer than the limit can still be shortened.
class TextField : public QLineEdit {
public:
    TextField(const QString& text, QWidget* parent);
    void SetTypingLimit(int characters) { limit_ = characters; }
    int TypingLimit() const { return limit_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    // Runs an event that may edit; a user edit in it that leaves the text longer than the
    // limit and longer than it was is taken back whole. Texts the event's handlers write
    // (Enter rewrites the field) are not user edits and stay.
    template <class Edit> void limited(Edit edit);
    int limit_ = 32767;
    QString before_;
    bool tooLong_ = false;
};

// A file to write, asked with the program's own dialog (not the desktop's) starting in
// `folder`: `filter` names the kind ("MYRL limits (*.myrllim)"), and a name typed without an
// extension gets `suffix` (".myrllim"). Empty when the user cancels.
QString AskFileToSave(QWidget* parent, const QString& caption, const QString& folder,
                      const QString& filter, const QString& suffix);
// A file to read, asked likewise; "All files (*)" is offered beside `filter`.
QString AskFileToOpen(QWidget* parent, const QString& caption, const QString& folder,
                      const QString& filter);

// A progress bar that never repaints at once. QProgressBar::setValue repaints on the spot,
// which on an X server means waiting for the server inside the caller (the sweep step, six
// times a sweep). SetPosition leaves the repaint to the event loop. Each picture is the
// style's own drawing of the bar at that position over the colour of the panel beneath,
// drawn once and kept (positions that look alike share one; a position between two that
// look alike is not drawn at all, the fill growing with the position), so a repaint is a
// copy.
class ProgressBar : public QProgressBar {
public:
    explicit ProgressBar(QWidget* parent);
    // As setValue, with the repaint left to the event loop.
    void SetPosition(int value);
    // The kept picture of the bar at `value` as the style draws it now.
    const QImage& Picture(int value);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* event) override;
    void initStyleOption(QStyleOptionProgressBar* option) const override;

private:
    void showPicture(const QImage& picture);
    // Fills `opt` and forgets the kept pictures when what they depend on has changed.
    void checkLook(QStyleOptionProgressBar& opt);

    // What the style's drawing depends on besides the position.
    struct Look {
        const QStyle* Style = nullptr;
        QStyle::State State;
        qint64 Palette = 0;
        int ColourGroup = 0;
        Qt::LayoutDirection Direction = Qt::LeftToRight;
        QSize Size;
        qreal Dpr = 0;
        QRgb Beneath = 0;
        bool operator==(const Look&) const = default;
    };
    Look look_;
    bool lookChecked_ = false;        // look_ is current: no event has reached the bar since
    bool settingValue_ = false;       // inside SetPosition's setValue, whose repaint is off
    std::vector<int> pictureOfValue_; // index in pictures_ by value - minimum(); -1: not drawn
    std::vector<QImage> pictures_;
};

// Call before the QApplication is made. On an X server the windows' pixels then travel in
// the drawing requests themselves rather than through shared memory, which makes every
// repaint wait on the server before the next one can start (a round trip per progress-bar
// step). Leaves the choice to the user when QT_XCB_NO_MITSHM is set.
void PrepareDisplayConnection();

// Paints a widget's background in `colour`.
void SetBackground(QWidget* w, const QColor& colour);

// The locale's separators as single characters ('.' and ',' when the locale's are not
// plain ASCII characters).
char LocaleDecimalSeparator();
char LocaleThousandsSeparator();

} // namespace myrl
