// The plot control: a widget that owns a GraphPlot, shows its canvas 1:1 anchored at the
// top-left corner and passes mouse events on as signals in pixel coordinates relative to
// that corner. Lives and is used on the user-interface thread only.
#pragma once

#include "GraphPlot.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <span>
#include <vector>

namespace myrl {

class TGraph : public QWidget {
    Q_OBJECT

public:
    explicit TGraph(QWidget* parent = nullptr);
    ~TGraph() override;

    // The chart: properties, Clear, Plot and the canvas for overlays. Its size follows the
    // widget's (also while the widget is hidden); drawing on it schedules a repaint.
    GraphPlot& plot();
    const GraphPlot& plot() const { return plot_; }

    // Shorthands for plot().Clear() and plot().Plot(...).
    void Clear() { plot().Clear(); }
    void Plot(std::span<double> X, std::span<double> Y, int32_t N, uint32_t Color) {
        plot().Plot(X, Y, N, Color);
    }

    QSize sizeHint() const override;

signals:
    // Button pressed on the control; X, Y in pixels from its top-left corner.
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int X, int Y);
    // Pointer moved over the control, or anywhere while a button pressed on it is held
    // (then X, Y may lie outside 0..W-1 / 0..H-1).
    void MouseMove(Qt::KeyboardModifiers modifiers, int X, int Y);
    // Button released after a press on the control.
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int X, int Y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void syncSize();
    // Runs once after a burst of drawing: points frame_ at the picture and schedules the
    // repaint of the part that changed, if any.
    void present();

    GraphPlot plot_;
    bool presentPending_ = false;
    // The chart as the screen shows it, a view of the canvas's own pixels (no copy): the
    // chart's canvas at a scale factor of 1, else device_, the chart drawn at the screen's
    // resolution.
    QImage frame_;
    Canvas device_; // the chart at the screen's resolution, above a scale factor of 1
    // The drawing operations that made the picture in frame_ (see Canvas::Record).
    std::vector<CanvasOp> shownOps_;
    bool shownWhole_ = false;
};

} // namespace myrl
