#include "MarkerFunctions.h"

#include "DisplayView.h"
#include "ErrorReport.h"
#include "FilterReadout.h"
#include "Format.h"
#include "MarkerSearch.h"
#include "Rnd.h"
#include "UserSettings.h"
#include "Widgets.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <span>
#include <tuple>

namespace myrl {

namespace {

// The points of the trace the functions search: 0 .. SweepSteps.
size_t pointsOf(const MeasState& s) {
    return static_cast<size_t>(std::clamp(std::min(s.SweepSteps + 1, s.PointNum), 0, kArrayLen));
}

} // namespace

MarkerFunctions::MarkerFunctions(Instrument& core, DisplayView& display, QWidget* parent)
    : QGroupBox("Marker functions", parent), core_(core), display_(display) {
    setObjectName("MarkerFunctions");
    const auto settings = OpenUserSettings();
    auto* box = new QVBoxLayout(this);
    delta_ = new QLabel(this);
    delta_->setObjectName("MarkerDelta");
    delta_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->addWidget(delta_);

    auto* choose = new QHBoxLayout;
    marker_ = new QComboBox(this);
    marker_->setObjectName("FunctionMarker");
    marker_->addItem("Marker 1");
    marker_->addItem("Marker 2");
    choose->addWidget(new QLabel("Move", this));
    choose->addWidget(marker_);
    choose->addWidget(new QLabel("peak/minimum over", this));
    range_ = new QComboBox(this);
    range_->setObjectName("FunctionRange");
    range_->addItem("the span");
    range_->addItem("between the markers");
    range_->setCurrentIndex(std::clamp(settings->value("markers/range", 0).toInt(), 0, 1));
    connect(range_, &QComboBox::activated, this,
            [](int i) { OpenUserSettings()->setValue("markers/range", i); });
    choose->addWidget(range_);
    choose->addStretch();
    box->addLayout(choose);

    auto* buttons = new QGridLayout;
    auto add = [&](const char* text, const char* name, Function f, int row, int col) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, [this, f] { Guarded([&] { Move(f); }); });
        buttons->addWidget(b, row, col);
    };
    add("Peak", "ToPeak", Function::Peak, 0, 0);
    add("Minimum", "ToMinimum", Function::Minimum, 0, 1);
    add("Next peak down", "ToNextPeak", Function::NextPeak, 0, 2);
    add("◀ Crossing of L", "ToCrossingLeft", Function::CrossingLeft, 1, 0);
    add("Crossing of L ▶", "ToCrossingRight", Function::CrossingRight, 1, 1);
    box->addLayout(buttons);

    auto* values = new QHBoxLayout;
    level_ = new QDoubleSpinBox(this);
    level_->setObjectName("CrossingLevel");
    level_->setRange(-200, 200);
    level_->setDecimals(2);
    level_->setSingleStep(0.5);
    level_->setValue(settings->value("markers/level", -3.0).toDouble());
    connect(level_, &QDoubleSpinBox::valueChanged, this,
            [](double v) { OpenUserSettings()->setValue("markers/level", v); });
    excursion_ = new QDoubleSpinBox(this);
    excursion_->setObjectName("PeakExcursion");
    excursion_->setRange(0, 100);
    excursion_->setDecimals(2);
    excursion_->setSingleStep(0.5);
    excursion_->setValue(settings->value("markers/excursion", 3.0).toDouble());
    connect(excursion_, &QDoubleSpinBox::valueChanged, this,
            [](double v) { OpenUserSettings()->setValue("markers/excursion", v); });
    values->addWidget(new QLabel("L", this));
    values->addWidget(level_);
    values->addWidget(new QLabel("peaks rise", this));
    values->addWidget(excursion_);
    values->addWidget(new QLabel("or more", this));
    values->addStretch();
    box->addLayout(values);
    note_ = new QLabel("Levels as the chart shows them (relative to the reference level, or SWR).",
                       this);
    note_->setWordWrap(true);
    box->addWidget(note_);

    Refresh();
    events_ = core_.Subscribe([this](InstrumentEvent e) {
        if (e == InstrumentEvent::ViewChanged || e == InstrumentEvent::SweepCompleted ||
            e == InstrumentEvent::SettingsChanged || e == InstrumentEvent::MemoryChanged) {
            QTimer::singleShot(0, this, [this] { Refresh(); });
        }
    });
}

void MarkerFunctions::SetMarker(int marker) {
    marker_->setCurrentIndex(marker == 2 ? 1 : 0);
}

void MarkerFunctions::SetBetweenMarkers(bool between) {
    range_->setCurrentIndex(between ? 1 : 0);
}

void MarkerFunctions::SetLevel(double level) {
    level_->setValue(level);
}

void MarkerFunctions::SetExcursion(double excursion) {
    excursion_->setValue(excursion);
}

double MarkerFunctions::markerX(int marker) const {
    const GraphPlot& g = display_.Graph1Plot();
    const MeasState& s = core_.State();
    const long double column = marker == 1 ? s.Marker1X : s.Marker2X;
    return static_cast<double>(
        column / (g.Width() - 1) * (static_cast<long double>(g.Xmax) - g.Xmin) + g.Xmin);
}

std::optional<double> MarkerFunctions::Target(Function f) const {
    const MeasState& s = core_.State();
    const size_t n = pointsOf(s);
    if (n < 2) {
        return std::nullopt;
    }
    const std::span<const double> freq(s.FreqAxis.data(), n);
    const std::span<const double> value(s.DispTrace.data(), n);
    const int marker = marker_->currentIndex() + 1;
    const double x = markerX(marker);
    switch (f) {
    case Function::Peak:
    case Function::Minimum: {
        int first = 0;
        int last = static_cast<int>(n) - 1;
        if (range_->currentIndex() == 1) {
            const auto r = PointsBetween(freq, s.MarkerFL, s.MarkerFU);
            if (!r) {
                return std::nullopt;
            }
            std::tie(first, last) = *r;
        }
        const FilterReadout r = ReadFilter(freq, value, first, last);
        if (!r.Valid) {
            return std::nullopt;
        }
        return f == Function::Peak ? r.PeakHz : r.MinHz;
    }
    case Function::NextPeak: {
        const auto peaks = FindPeaks(freq, value, 0, static_cast<int>(n) - 1, excursion_->value());
        const auto next = NextPeakDown(peaks, freq, value, x);
        if (!next) {
            return std::nullopt;
        }
        return next->Hz;
    }
    case Function::CrossingLeft:
    case Function::CrossingRight: {
        // Beyond the column the marker stands in, so that a marker on a crossing moves on.
        const GraphPlot& g = display_.Graph1Plot();
        const double half = (g.Xmax - g.Xmin) / (g.Width() - 1) / 2;
        const bool right = f == Function::CrossingRight;
        return CrossingFrom(freq, value, right ? x + half : x - half, level_->value(), right);
    }
    }
    return std::nullopt;
}

bool MarkerFunctions::Move(Function f) {
    const auto hz = Target(f);
    if (!hz) {
        note_->setText(f == Function::NextPeak ? "No lower peak."
                       : f == Function::CrossingLeft || f == Function::CrossingRight
                           ? "The trace does not cross L on that side of the marker."
                           : "Fewer than two points in the range.");
        return false;
    }
    const GraphPlot& g = display_.Graph1Plot();
    core_.SetMarker(marker_->currentIndex() + 1, MarkerColumnFor(*hz, g.Xmin, g.Xmax, g.Width()));
    display_.RedrawResponse();
    note_->setText("Levels as the chart shows them (relative to the reference level, or SWR).");
    Refresh();
    return true;
}

QString MarkerFunctions::DeltaText() const {
    return delta_->text();
}

void MarkerFunctions::Refresh() {
    const MeasState& s = core_.State();
    const double x1 = markerX(1);
    const double x2 = markerX(2);
    const bool swr = core_.Settings().Swr;
    const char ds = LocaleDecimalSeparator();
    const double dv = TraceValueAt(s, x2) - TraceValueAt(s, x1);
    const std::string level =
        swr ? FormatFixed(dv, 1, 3, ds) + " SWR" : FormatFixed(dv, 1, 2, ds) + " dB";
    const std::string dx =
        FormatGrouped(rnd(x2 - x1), 1, LocaleThousandsSeparator()) + (s.ZeroSpan ? " %" : " Hz");
    delta_->setText(QString::fromUtf8("Marker 2 − marker 1:  ") + Q(level) + ",  " + Q(dx));
}

} // namespace myrl
