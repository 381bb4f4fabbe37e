// The control panel's progress bar: what it shows at every fill, and that setting the
// position never repaints on the spot.
#include "PanelFixture.h"

#include <QApplication>
#include <QFrame>
#include <QPaintEvent>
#include <QProgressBar>
#include <QScreen>

namespace myrl {
namespace {

class ProgressBarTest : public PanelTest {};

// Counts the paints a widget receives.
class PaintCount : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

QImage rgb(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32);
}

// The panel's bar at every position 0..512, in a scrambled order, as the window shows it at
// once and after the event loop has run, is the plain smooth progress bar of the layout
// (QProgressBar over the white panel, same place, palette and style) at that position, pixel
// for pixel. Setting a position sends the bar no paint event: the window's repaint (which
// waited on the display inside the sweep step) is not involved.
TEST_F(ProgressBarTest, ShowsTheLayoutsBarAtEveryFillWithoutRepaintingTheWindow) {
    StartHeld();
    auto* bar = PanelControl<QProgressBar>("ProgressBar1");
    auto* panel = PanelControl<QFrame>("Panel2");
    // The layout's bar, in the same panel at the same place (hidden but while it is drawn).
    auto* layoutBar = new QProgressBar(panel);
    layoutBar->setGeometry(bar->geometry());
    layoutBar->setRange(0, 512);
    layoutBar->setTextVisible(false);
    layoutBar->hide();
    PaintCount count;
    bar->installEventFilter(&count);
    const QPoint at = bar->mapTo(&Form1(), QPoint(0, 0));
    QScreen* screen = Form1().screen();

    auto shown = [&] {
        return rgb(screen->grabWindow(Form1().winId(), at.x(), at.y(), bar->width(), bar->height())
                       .toImage());
    };
    int differing = 0;
    // Every position once, in a scrambled order (as sweeps meet them: a position between
    // two already seen may be taken from them).
    for (int k = 0; k <= 512; ++k) {
        const int v = (k * 97 + 200) % 513;
        count.paints = 0;
        Form1().SetProgress(v);
        ASSERT_EQ(count.paints, 0) << v;
        ASSERT_EQ(bar->value(), v);
        const QImage atOnce = shown();
        QApplication::processEvents();
        const QImage later = shown();
        // The panel drawn with the layout's bar in place of ours.
        layoutBar->setValue(v);
        bar->hide();
        layoutBar->show();
        const QImage want = rgb(panel->grab(bar->geometry()).toImage());
        layoutBar->hide();
        bar->show();
        QApplication::processEvents();
        ASSERT_EQ(atOnce.size(), want.size());
        differing += atOnce != want || later != want;
        EXPECT_EQ(rgb(panel->grab(bar->geometry()).toImage()), want) << v;
    }
    EXPECT_EQ(differing, 0);
    // Beyond the maximum the bar stays full, as the layout's does.
    Form1().SetProgress(600);
    EXPECT_EQ(bar->value(), 512);
    delete layoutBar;
}

} // namespace
} // namespace myrl
