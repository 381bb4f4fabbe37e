// Up-down arrows not attached to any field: a position within a range, moved by one per
// click, without wrap-around. A click is reported only when the position moves.
#pragma once

#include <QWidget>

class QToolButton;

namespace myrl {

class UpDown : public QWidget {
    Q_OBJECT

public:
    explicit UpDown(QWidget* parent = nullptr, int min = -1000, int max = 1000);

    int Position() const { return position_; }
    // Sets the position, limited to the range; reports nothing.
    void SetPosition(int position);

    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

signals:
    // The position moved by one; up is true for the upper arrow.
    void Click(bool up);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void step(int delta);

    QToolButton* up_;
    QToolButton* down_;
    int min_;
    int max_;
    int position_ = 0;
};

} // namespace myrl
