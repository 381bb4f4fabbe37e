// A short message that something was done (a file written, a picture copied), shown
// without asking for a click: a small frameless window just outside the frame of the
// window where it was done, so that none of that window's pixels is covered, gone after a
// few seconds or at a click. One at a time: a new message replaces the one shown.
// User-interface thread only.
#pragma once

#include <QLabel>
#include <QTimer>

namespace myrl {

class Notice : public QLabel {
    Q_OBJECT

public:
    // How long a message stays.
    static constexpr int kShownMs = 5000;

    // Shows `text` beside the window of `near` (below it, else above it, else inside its
    // bottom edge where the screen leaves no room).
    static void Show(QWidget& near, const QString& text);
    // The notice on the screen, or null.
    static Notice* Shown();
    // The message in full: a text wider than the screen shows without its middle.
    const QString& FullText() const { return full_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    Notice();
    void showBeside(QWidget& window);

    QTimer hide_;
    QString full_;
};

} // namespace myrl
