#include "ToolsWindow.h"

#include "DisplayView.h"
#include "Distance.h"
#include "ErrorReport.h"
#include "Errors.h"
#include "LimitsPanel.h"
#include "MarkerFunctions.h"
#include "Presentation.h"
#include "SetupPanel.h"
#include "SetupRecall.h"
#include "TextFile.h"
#include "TraceMemory.h"
#include "UserSettings.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <functional>
#include <span>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

namespace myrl {

namespace {

// One decimal only where the tenth says something: "10,700,000 Hz", "10,675,432.5 Hz".
std::string hz(double v) {
    const bool whole = std::fmod(std::round(v * 10), 10) == 0;
    return S(QLocale().toString(v, 'f', whole ? 0 : 1)) + " Hz";
}
std::string db(double v) {
    return S(QLocale().toString(v, 'f', 2)) + " dB";
}
std::string fixed(double v, int decimals) {
    return S(QLocale().toString(v, 'f', decimals));
}

// A page of the tabs: its sections in a column that scrolls when the window is lower than
// they are, and that asks for their whole size otherwise (a scroll area alone asks for at
// most 24 lines), with room for the scroll bar so that showing it covers nothing.
class Page : public QScrollArea {
public:
    explicit Page(QWidget* parent) : QScrollArea(parent) {
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        auto* content = new QWidget(this);
        auto* column = new QVBoxLayout(content);
        column->addStretch();
        setWidget(content);
    }
    QVBoxLayout* Column() const { return static_cast<QVBoxLayout*>(widget()->layout()); }
    void Add(QWidget* section) { Column()->insertWidget(Column()->count() - 1, section); }
    QSize sizeHint() const override {
        return widget()->sizeHint() +
               QSize(2 * frameWidth() + verticalScrollBar()->sizeHint().width(), 2 * frameWidth());
    }
};

// A failure of a file operation, reported with the English line under it.
void report(const std::string& message, const std::string& detail) {
    ReportError(std::runtime_error(message), detail);
}

QPushButton* button(const char* text, QWidget* parent, std::function<void()> run) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    QObject::connect(b, &QPushButton::clicked, parent, [run] { Guarded(run); });
    return b;
}

} // namespace

void AutoLoadCalibration(Instrument& core) {
    const auto settings = OpenUserSettings();
    if (!settings->value("calibration/autoLoad", false).toBool()) {
        return;
    }
    const std::string last = S(settings->value("calibration/last").toString());
    if (last.empty()) {
        return;
    }
    try {
        core.LoadCalibration(last);
    } catch (const std::exception& e) {
        // The English reason: a file error's own text is the system's.
        std::string why = ErrorReason(e);
        if (why.find(last) == std::string::npos) {
            why = last + ": " + why;
        }
        report("Calibration not loaded at start-up",
               why + (why.ends_with('.') ? "" : ".") + " The calibration in force is unchanged.");
    }
}

ToolsWindow::ToolsWindow(Instrument& core, DisplayView& display, PanelView& panel)
    : QWidget(nullptr, Qt::Window), core_(core), display_(display), panel_(panel) {
    setWindowTitle("MYRL Tools");
    setObjectName("Tools");
    build();
    status_->setText(Q(core_.Status().Text()));
    events_ = core_.Subscribe([this](InstrumentEvent e) {
        if (e == InstrumentEvent::StatusChanged) {
            status_->setText(Q(core_.Status().Text()));
        } else {
            scheduleRefresh();
        }
    });
}

void ToolsWindow::AddSection(const QString& tab, QWidget* section) {
    for (int i = 0; i < tabs_->count(); ++i) {
        if (tabs_->tabText(i) == tab) {
            static_cast<Page*>(tabs_->widget(i))->Add(section);
            return;
        }
    }
    auto* page = new Page(tabs_);
    page->Add(section);
    tabs_->addTab(page, tab);
}

void ToolsWindow::KeepBeside(std::vector<QWidget*> windows) {
    neighbours_.clear();
    for (QWidget* w : windows) {
        neighbours_.emplace_back(w);
    }
}

void ToolsWindow::placeBesideTheWindows() {
    // The frames of the windows to keep clear, and the frame the window manager puts around
    // a window (theirs: this one has none before it is shown).
    QRect taken;
    QMargins frame;
    QScreen* screen = this->screen();
    for (const QPointer<QWidget>& w : neighbours_) {
        if (w && w->isVisible()) {
            taken |= w->frameGeometry();
            const QRect f = w->frameGeometry(), g = w->geometry();
            frame = QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(),
                             f.bottom() - g.bottom());
            screen = w->screen();
        }
    }
    if (screen == nullptr) {
        return;
    }
    // This window can be resized and theirs cannot: some window managers give it a resize
    // handle below (openbox, 4 pixels more) that their frames lack.
    frame.setBottom(frame.bottom() + 6);
    ensurePolished();
    layout()->activate();
    const QRect room = screen->availableGeometry();
    // As large as the sections ask for, at most the screen's room.
    const QSize wanted =
        sizeHint().expandedTo(minimumSizeHint()).boundedTo(room.size().shrunkBy(frame));
    resize(wanted);
    if (taken.isEmpty()) {
        return;
    }
    // The strips of the screen right of the windows, below them and left of them. The
    // window goes to the one where it keeps most of the size it asks for (the first of
    // equals), made smaller to fit there (its tabs scroll); where none has room even for
    // its smallest size, at the screen's right edge, over as little of them as may be.
    const QRect strips[] = {
        QRect(QPoint(taken.right() + 1, room.top()), room.bottomRight()),
        QRect(QPoint(room.left(), taken.bottom() + 1), room.bottomRight()),
        QRect(room.topLeft(), QPoint(taken.left() - 1, room.bottom())),
    };
    const QSize least = minimumSizeHint();
    double best = 0;
    QRect chosen;
    for (const QRect& strip : strips) {
        const QSize fits = wanted.boundedTo(strip.size().shrunkBy(frame));
        if (strip.isEmpty() || fits.width() < least.width() || fits.height() < least.height()) {
            continue;
        }
        const double kept = double(fits.width()) / wanted.width() * fits.height() / wanted.height();
        if (kept > best) {
            best = kept;
            // Level with the windows' top where the strip is beside them.
            const int top =
                strip.top() == room.top() ? std::max(room.top(), taken.top()) : strip.top();
            const QSize outer = fits.grownBy(frame);
            chosen = QRect(QPoint(strip.left(), std::min(top, strip.bottom() + 1 - outer.height())),
                           fits);
        }
    }
    if (chosen.isNull()) {
        move(room.right() + 1 - wanted.grownBy(frame).width(), room.top());
        return;
    }
    resize(chosen.size());
    const QPoint at = chosen.topLeft();
    move(at); // a top-level widget's position is its frame's
}

void ToolsWindow::scheduleRefresh() {
    if (refreshPending_ || !isVisible()) {
        return;
    }
    refreshPending_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshPending_ = false;
        Guarded([&] { Refresh(); });
    });
}

void ToolsWindow::build() {
    const auto settings = OpenUserSettings();
    // The sections on tabs over the status lines, which stay in view whatever the tab.
    auto* outer = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("ToolsTabs");
    tabs_->setUsesScrollButtons(true);
    outer->addWidget(tabs_, 1);
    auto* readouts = new Page(tabs_);
    tabs_->addTab(readouts, "Readouts");
    // What judges the trace and moves the markers, beside the readouts.
    limits_ = new LimitsPanel(core_, display_, this);
    AddSection("Limit lines", limits_);
    markers_ = new MarkerFunctions(core_, display_, this);
    AddSection("Marker functions", markers_);
    auto* files = new Page(tabs_);
    tabs_->addTab(files, "Calibration and memory");
    auto* delay = new Page(tabs_);
    tabs_->addTab(delay, "Delay view");
    setups_ = new SetupPanel(core_, panel_, display_, this);
    AddSection("Set-ups", setups_);
    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    // Level scale.
    auto* scaleBox = new QGroupBox("Level scale", this);
    auto* scaleRow = new QHBoxLayout(scaleBox);
    scale_ = new QComboBox(scaleBox);
    scale_->setObjectName("Scale");
    for (int c : kDbPerDivChoices) {
        scale_->addItem(QString::number(c) + " dB/div", c);
    }
    scale_->setCurrentIndex(scale_->findData(display_.DbPerDiv()));
    connect(scale_, &QComboBox::activated, this,
            [this](int i) { Guarded([&] { SetDbPerDiv(scale_->itemData(i).toInt()); }); });
    scaleRow->addWidget(new QLabel("Response chart", scaleBox));
    scaleRow->addWidget(scale_);
    scaleRow->addStretch();
    readouts->Add(scaleBox);

    // Filter and peak readout.
    auto* filterBox = new QGroupBox("Filter and peak", this);
    auto* filter = new QVBoxLayout(filterBox);
    auto* filterRow = new QHBoxLayout;
    range_ = new QComboBox(filterBox);
    range_->setObjectName("Range");
    range_->addItem("whole trace");
    range_->addItem("between the markers");
    range_->setCurrentIndex(std::clamp(settings->value("tools/range", 0).toInt(), 0, 1));
    down_ = new QDoubleSpinBox(filterBox);
    down_->setObjectName("DownDb");
    down_->setRange(0.1, 60);
    down_->setDecimals(1);
    down_->setSingleStep(0.5);
    down_->setSuffix(" dB");
    down_->setValue(settings->value("tools/downDb", 3.0).toDouble());
    filterRow->addWidget(new QLabel("Over", filterBox));
    filterRow->addWidget(range_);
    filterRow->addWidget(new QLabel("edges at", filterBox));
    filterRow->addWidget(down_);
    filterRow->addWidget(new QLabel("below the peak", filterBox));
    filterRow->addStretch();
    filter->addLayout(filterRow);
    readout_ = new QLabel(filterBox);
    readout_->setObjectName("Readout");
    readout_->setFont(mono);
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    readout_->setMinimumHeight(QFontMetrics(mono).lineSpacing() * 9);
    readout_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    filter->addWidget(readout_);
    auto* markers = new QGridLayout;
    auto move = [this](int m, Target t) { return [this, m, t] { MoveMarker(m, t); }; };
    // The same moves for both markers.
    const struct {
        const char* text;
        Target target;
        const char* name;
    } targets[] = {{"peak", Target::Peak, "Peak"},
                   {"lower edge", Target::LowerEdge, "LowerEdge"},
                   {"upper edge", Target::UpperEdge, "UpperEdge"},
                   {"minimum", Target::Minimum, "Minimum"}};
    for (int m = 1; m <= 2; ++m) {
        markers->addWidget(new QLabel(QString("Marker %1 to").arg(m), filterBox), m - 1, 0);
        for (int t = 0; t < 4; ++t) {
            QPushButton* b = button(targets[t].text, filterBox, move(m, targets[t].target));
            b->setObjectName(QString("Marker%1To%2").arg(m).arg(targets[t].name));
            b->setAccessibleName(QString("Marker %1 to %2").arg(m).arg(targets[t].text));
            markers->addWidget(b, m - 1, t + 1);
        }
    }
    filter->addLayout(markers);
    readouts->Add(filterBox);
    connect(range_, &QComboBox::activated, this, [this] {
        saveSettings();
        Refresh();
    });
    connect(down_, &QDoubleSpinBox::valueChanged, this, [this] {
        saveSettings();
        Refresh();
    });

    // Calibration files.
    auto* calBox = new QGroupBox("Calibration (CAL tables for NORM)", this);
    auto* cal = new QVBoxLayout(calBox);
    calState_ = new QLabel(calBox);
    calState_->setObjectName("CalState");
    calState_->setWordWrap(true);
    cal->addWidget(calState_);
    auto* noteRow = new QHBoxLayout;
    note_ = new QLineEdit(settings->value("calibration/note").toString(), calBox);
    note_->setObjectName("CalNote");
    note_->setPlaceholderText("what was measured, cables, adaptors…");
    noteRow->addWidget(new QLabel("Note", calBox));
    noteRow->addWidget(note_);
    cal->addLayout(noteRow);
    auto* calRow = new QHBoxLayout;
    calRow->addWidget(button("Save calibration…", calBox, [this] {
        const QString p = AskFileToSave(this, "Save calibration", QString(),
                                        "MYRL calibration (*.myrlcal)", kCalFileSuffix);
        if (p.isEmpty()) {
            return;
        }
        SaveCalibration(S(p), S(note_->text()));
    }));
    calRow->addWidget(button("Load calibration…", calBox, [this] {
        const QString path =
            AskFileToOpen(this, "Load calibration", QString(), "MYRL calibration (*.myrlcal)");
        if (!path.isEmpty()) {
            LoadCalibration(S(path));
        }
    }));
    autoLoad_ = new QCheckBox("Load the last one at start-up", calBox);
    autoLoad_->setObjectName("CalAutoLoad");
    autoLoad_->setChecked(settings->value("calibration/autoLoad", false).toBool());
    connect(autoLoad_, &QCheckBox::toggled, this, [this](bool on) { SetAutoLoad(on); });
    calRow->addWidget(autoLoad_);
    calRow->addStretch();
    cal->addLayout(calRow);
    files->Add(calBox);

    // Trace memory.
    auto* memBox = new QGroupBox("Trace memory", this);
    auto* mem = new QVBoxLayout(memBox);
    auto* memRow = new QHBoxLayout;
    memRow->addWidget(button("Store trace", memBox, [this] { StoreTrace(); }));
    memRow->addWidget(button("Load data file…", memBox, [this] {
        const QString path =
            AskFileToOpen(this, "Load data file as memory", QString(), "Data (*.csv)");
        if (!path.isEmpty()) {
            LoadMemory(S(path));
        }
    }));
    memMode_ = new QComboBox(memBox);
    memMode_->setObjectName("MemMode");
    memMode_->addItem("off", kMemOff);
    memMode_->addItem("shown beside the trace", kMemShown);
    memMode_->addItem(QString::fromUtf8("trace − memory"), kMemSubtracted);
    connect(memMode_, &QComboBox::activated, this,
            [this](int i) { Guarded([&] { SetMemoryMode(memMode_->itemData(i).toInt()); }); });
    memRow->addWidget(new QLabel("On the chart:", memBox));
    memRow->addWidget(memMode_);
    memRow->addStretch();
    mem->addLayout(memRow);
    memState_ = new QLabel("no memory", memBox);
    memState_->setObjectName("MemState");
    mem->addWidget(memState_);
    files->Add(memBox);

    // Distance in the delay view.
    auto* distBox = new QGroupBox("Distance to a reflection (delay view)", this);
    auto* dist = new QVBoxLayout(distBox);
    auto* vfRow = new QHBoxLayout;
    cable_ = new QComboBox(distBox);
    cable_->setObjectName("Cable");
    for (const CableType& t : kCableTypes) {
        cable_->addItem(t.Name, t.VelocityFactor);
    }
    cable_->addItem("other");
    vf_ = new QDoubleSpinBox(distBox);
    vf_->setObjectName("VelocityFactor");
    vf_->setRange(0.01, 1.0);
    vf_->setDecimals(3);
    vf_->setSingleStep(0.01);
    vf_->setValue(settings->value("tools/velocity", kCableTypes[0].VelocityFactor).toDouble());
    auto matchCable = [this] {
        int idx = cable_->count() - 1;
        for (int i = 0; i + 1 < cable_->count(); ++i) {
            if (std::fabs(cable_->itemData(i).toDouble() - vf_->value()) < 1e-9) {
                idx = i;
            }
        }
        cable_->setCurrentIndex(idx);
    };
    matchCable();
    connect(cable_, &QComboBox::activated, this, [this](int i) {
        if (cable_->itemData(i).isValid()) {
            vf_->setValue(cable_->itemData(i).toDouble());
        }
    });
    connect(vf_, &QDoubleSpinBox::valueChanged, this, [this, matchCable] {
        matchCable();
        saveSettings();
        Refresh();
    });
    vfRow->addWidget(new QLabel("Cable", distBox));
    vfRow->addWidget(cable_);
    vfRow->addWidget(new QLabel("velocity factor", distBox));
    vfRow->addWidget(vf_);
    vfRow->addStretch();
    dist->addLayout(vfRow);
    distance_ = new QLabel(distBox);
    distance_->setObjectName("Distance");
    distance_->setFont(mono);
    distance_->setMinimumHeight(QFontMetrics(mono).lineSpacing() * 2);
    dist->addWidget(distance_);
    delay->Add(distBox);

    // How things stand.
    auto* statusBox = new QGroupBox("Status", this);
    auto* statusLayout = new QVBoxLayout(statusBox);
    status_ = new QLabel(statusBox);
    status_->setObjectName("Status");
    status_->setWordWrap(true);
    // Room for the link's, the calibration's and one more line from the start: the window
    // is sized before they come.
    status_->setMinimumHeight(QFontMetrics(status_->font()).lineSpacing() * 3);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statusLayout->addWidget(status_);
    outer->addWidget(statusBox);
    // These lines quote file names and a calibration file's note: shown as they stand.
    for (QLabel* l : {calState_, memState_, status_}) {
        l->setTextFormat(Qt::PlainText);
    }
}

void ToolsWindow::saveSettings() const {
    const auto settings = OpenUserSettings();
    settings->setValue("tools/range", range_->currentIndex());
    settings->setValue("tools/downDb", down_->value());
    settings->setValue("tools/velocity", vf_->value());
    settings->setValue("calibration/note", note_->text());
    settings->setValue("calibration/autoLoad", autoLoad_->isChecked());
}

void ToolsWindow::Open() {
    if (!placed_) {
        // Sized for what the readouts hold, then placed.
        placed_ = true;
        fillReadouts();
        placeBesideTheWindows();
    }
    show();
    Refresh();
    raise();
    activateWindow();
}

void ToolsWindow::SetDbPerDiv(int dbPerDiv) {
    display_.SetDbPerDiv(dbPerDiv);
    display_.ApplyPresentation();
    display_.RedrawResponse();
    scale_->setCurrentIndex(scale_->findData(display_.DbPerDiv()));
}

void ToolsWindow::SaveCalibration(const std::string& path, const std::string& note) {
    if (!core_.HasCalibration()) {
        report("No calibration to save",
               "No sweep was taken in CAL mode in this run: select CAL, let it sweep, then save.");
        return;
    }
    const std::string taken =
        S(QDateTime::currentDateTimeUtc().toString("yyyy-MM-dd hh:mm:ss 'UTC'"));
    try {
        core_.SaveCalibration(path, note, taken);
    } catch (const std::exception& e) {
        const bool io = dynamic_cast<const EInOutError*>(&e) != nullptr;
        report(e.what(), (io ? FileErrorReason(e) + " " : std::string()) + "The calibration file " +
                             path + " was not written.");
        return;
    }
    const auto settings = OpenUserSettings();
    settings->setValue("calibration/last", Q(path));
    settings->setValue("calibration/note", Q(note));
    Refresh();
}

bool ToolsWindow::LoadCalibration(const std::string& path) {
    try {
        core_.LoadCalibration(path);
    } catch (const std::exception& e) {
        report("Calibration not loaded",
               FileErrorReason(e, path) + " The calibration in force is unchanged.");
        return false;
    }
    OpenUserSettings()->setValue("calibration/last", Q(path));
    Refresh();
    const std::string mismatch = core_.CalibrationPlanLine();
    if (!mismatch.empty()) {
        QMessageBox ask(QMessageBox::Question, "MYRL",
                        "The calibration was taken over another plan than the one in force.",
                        QMessageBox::Yes | QMessageBox::No, this);
        ask.setObjectName("CalibrationPlanQuestion");
        ask.setInformativeText(Q(mismatch + ".\n\nSwitch to the calibration's plan?"));
        ask.setTextFormat(Qt::PlainText);
        ask.setDefaultButton(QMessageBox::Yes);
        if (ask.exec() == QMessageBox::Yes) {
            EnterCalibrationPlan(core_, panel_);
            Refresh();
        }
    }
    return true;
}

void ToolsWindow::SetAutoLoad(bool on) {
    if (autoLoad_->isChecked() != on) {
        autoLoad_->setChecked(on);
    }
    saveSettings();
}

void ToolsWindow::StoreTrace() {
    core_.StoreTrace("the trace of " + S(QDateTime::currentDateTime().toString("hh:mm:ss")));
    display_.RedrawResponse();
    Refresh();
}

bool ToolsWindow::LoadMemory(const std::string& path) {
    try {
        core_.LoadMemory(path);
    } catch (const std::exception& e) {
        report("Data file not loaded as memory", FileErrorReason(e) + " The memory is unchanged.");
        return false;
    }
    display_.RedrawResponse();
    Refresh();
    return true;
}

void ToolsWindow::SetMemoryMode(int mode) {
    core_.SetMemoryMode(mode);
    display_.RedrawResponse();
    memMode_->setCurrentIndex(memMode_->findData(core_.State().MemMode));
    Refresh();
}

std::optional<FilterReadout> ToolsWindow::Readout() const {
    return core_.Readout(range_->currentIndex() == 1, down_->value());
}

bool ToolsWindow::MoveMarker(int marker, Target target) {
    const auto r = Readout();
    if (!r) {
        return false;
    }
    double hz = 0;
    switch (target) {
    case Target::Peak:
        hz = r->PeakHz;
        break;
    case Target::Minimum:
        hz = r->MinHz;
        break;
    case Target::LowerEdge:
        if (!r->Lower.Found) {
            return false;
        }
        hz = r->Lower.Hz;
        break;
    case Target::UpperEdge:
        if (!r->Upper.Found) {
            return false;
        }
        hz = r->Upper.Hz;
        break;
    }
    display_.MoveMarker(marker, hz);
    Refresh();
    return true;
}

std::string ToolsWindow::CalibrationLine() const {
    return core_.CalibrationLine();
}

std::string ToolsWindow::CoverageLine() const {
    return core_.CoverageLine();
}

double ToolsWindow::VelocityFactor() const {
    return vf_->value();
}

std::optional<double> ToolsWindow::PeakDelay() const {
    const auto& view = display_.LastCepstrum();
    if (!view || view->X.size() < 2) {
        return std::nullopt;
    }
    const auto bin = HighestPeakBin(view->Y);
    if (!bin) {
        return std::nullopt;
    }
    return *bin * (view->X[1] - view->X[0]);
}

std::string ToolsWindow::readoutText() const {
    if (core_.State().ZeroSpan) {
        return "Zero span: the trace has no frequency axis to read.";
    }
    const auto r = Readout();
    if (!r) {
        return range_->currentIndex() == 1 ? "Fewer than two points lie between the markers."
                                           : "No trace yet.";
    }
    const bool markers = range_->currentIndex() == 1;
    const std::string where = markers ? "the markers" : "the span";
    auto row = [](const std::string& label, const std::string& text) {
        return label + std::string(label.size() < 12 ? 12 - label.size() : 1, ' ') + text + "\n";
    };
    std::string t;
    t += row("Peak", db(r->PeakDb) + " at " + hz(r->PeakHz));
    t += row(std::string("-").append(fixed(r->DownDb, 1)) + " dB",
             "lower " + (r->Lower.Found ? hz(r->Lower.Hz) : "edge below " + where));
    t += row("", "upper " + (r->Upper.Found ? hz(r->Upper.Hz) : "edge above " + where));
    if (r->BandwidthHz) {
        t += row("Bandwidth", hz(*r->BandwidthHz));
        t += row("Centre", hz(*r->CentreHz) + (r->Q ? "   Q " + fixed(*r->Q, 2) : ""));
    } else {
        t += row("Bandwidth", "-- (an edge lies outside " + where + ")");
        t += row("Centre", "--");
    }
    t +=
        row("Shape", "-60/-6 dB: " + (r->ShapeFactor ? fixed(*r->ShapeFactor, 2)
                                                     : "-- (not 60 dB deep within " + where + ")"));
    t += row("Minimum", db(r->MinDb) + " at " + hz(r->MinHz));
    t += "Levels relative to the reference level; points " + std::to_string(r->First) + "–" +
         std::to_string(r->Last);
    return t;
}

std::string ToolsWindow::distanceText() const {
    if (!core_.Settings().Ceps || !display_.LastCepstrum()) {
        return "Tick CEPSTRUM on the panel to open the delay view.\n";
    }
    const double vf = VelocityFactor();
    auto line = [&](const char* what, std::optional<double> delay) {
        std::string l = what;
        if (!delay) {
            return l + "--";
        }
        const double m = OneWayDistanceM(*delay, vf);
        return l + "delay " + DelayText(*delay, LocaleDecimalSeparator()) + "   " + fixed(m, 2) +
               " m   " + fixed(MetresToFeet(m), 2) + " ft";
    };
    return line("Pointer:       ", display_.PointerDelay()) + "\n" +
           line("Highest peak:  ", PeakDelay());
}

void ToolsWindow::Refresh() {
    if (isVisible()) {
        core_.Status().Set(StatusTopic::Calibration, CalibrationLine());
        fillReadouts();
    }
}

void ToolsWindow::fillReadouts() {
    const std::string calLine = CalibrationLine();
    const std::string coverage = CoverageLine();
    calState_->setText(Q(coverage.empty() ? calLine : calLine + "\n" + coverage));
    readout_->setText(Q(readoutText()));
    memState_->setText(Q(core_.MemoryLine()));
    memMode_->setCurrentIndex(memMode_->findData(core_.State().MemMode));
    distance_->setText(Q(distanceText()));
    scale_->setCurrentIndex(scale_->findData(display_.DbPerDiv()));
}

} // namespace myrl
