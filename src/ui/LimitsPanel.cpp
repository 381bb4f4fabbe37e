#include "LimitsPanel.h"

#include "DisplayView.h"
#include "ErrorReport.h"
#include "FreqEntry.h"
#include "TextFile.h"
#include "TraceMemory.h"
#include "UserSettings.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <functional>
#include <span>
#include <stdexcept>

namespace myrl {

namespace {

enum Column { kOn, kKind, kF1, kV1, kF2, kV2, kColumns };

QLocale plainLocale() {
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l;
}

QString hzText(double hz) {
    if (hz == std::round(hz) && std::fabs(hz) < 1e15) {
        return QString::number(static_cast<long long>(hz));
    }
    return plainLocale().toString(hz, 'g', 15);
}

// A frequency cell: whole hertz, or with k or M, in the locale's way or with a full stop.
std::optional<double> cellHz(const QString& text) {
    for (char sep : {LocaleDecimalSeparator(), '.'}) {
        try {
            const double v = std::stod(NormalisedFrequency(S(text.trimmed()), sep));
            if (std::isfinite(v)) {
                return v;
            }
        } catch (const std::exception&) {
        }
    }
    return std::nullopt;
}

std::optional<double> cellValue(const QString& text) {
    bool ok = false;
    double v = plainLocale().toDouble(text.trimmed(), &ok);
    if (!ok) {
        v = QLocale::c().toDouble(text.trimmed(), &ok);
    }
    if (!ok || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

QPushButton* button(const char* text, QWidget* parent, std::function<void()> run) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    QObject::connect(b, &QPushButton::clicked, parent, [run] { Guarded(run); });
    return b;
}

} // namespace

LimitsPanel::LimitsPanel(Instrument& core, DisplayView& display, QWidget* parent)
    : QGroupBox("Limit lines and verdict", parent), core_(core), display_(display) {
    setObjectName("Limits");
    build();
    // The table of the last run comes back (off: it changes no pixel and judges nothing).
    RestoreKeptLimits(core_);
    Refresh();
    events_ = core_.Subscribe([this](InstrumentEvent e) {
        if (e == InstrumentEvent::LimitsChanged) {
            if (editing_) {
                // The table's own edit, inside the table's signal: its items are rewritten
                // (in the form the set holds) once that has returned.
                QTimer::singleShot(0, this, [this] { Refresh(); });
            } else {
                Refresh();
            }
        } else if (e == InstrumentEvent::VerdictChanged) {
            showVerdict();
        }
    });
}

void LimitsPanel::build() {
    const auto settings = OpenUserSettings();
    auto* box = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    on_ = new QCheckBox("Limit lines on (drawn on the chart, judged)", this);
    on_->setObjectName("LimitsOn");
    connect(on_, &QCheckBox::clicked, this, [this](bool on) { Guarded([&] { SetOn(on); }); });
    top->addWidget(on_);
    top->addStretch();
    top->addWidget(new QLabel("They bound the", this));
    view_ = new QComboBox(this);
    view_->setObjectName("LimitsView");
    view_->addItem("level (dB)");
    view_->addItem("SWR");
    connect(view_, &QComboBox::activated, this, [this] { Guarded([&] { tableEdited(); }); });
    top->addWidget(view_);
    box->addLayout(top);

    auto* verdictRow = new QHBoxLayout;
    verdict_ = new QLabel("--", this);
    verdict_->setObjectName("Verdict");
    QFont big = verdict_->font();
    big.setPixelSize(44);
    big.setBold(true);
    verdict_->setFont(big);
    verdict_->setMinimumWidth(QFontMetrics(big).horizontalAdvance("FAIL") + 24);
    verdict_->setAlignment(Qt::AlignCenter);
    verdict_->setAutoFillBackground(true);
    verdictRow->addWidget(verdict_);
    detail_ = new QLabel(this);
    detail_->setObjectName("VerdictDetail");
    detail_->setWordWrap(true);
    detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    verdictRow->addWidget(detail_, 1);
    box->addLayout(verdictRow);

    table_ = new QTableWidget(0, kColumns, this);
    table_->setObjectName("LimitTable");
    table_->setHorizontalHeaderLabels({"on", "limit", "F1 / Hz", "V1", "F2 / Hz", "V2"});
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(kOn, QHeaderView::ResizeToContents);
    table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height() +
                             5 * table_->verticalHeader()->defaultSectionSize() + 4);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(table_, &QTableWidget::itemChanged, this, [this] {
        if (!filling_) {
            Guarded([&] { tableEdited(); });
        }
    });
    box->addWidget(table_);
    problem_ = new QLabel(this);
    problem_->setObjectName("LimitsProblem");
    problem_->setStyleSheet("color: rgb(200, 0, 0);");
    problem_->setWordWrap(true);
    problem_->hide();
    box->addWidget(problem_);

    auto* rows = new QHBoxLayout;
    rows->addWidget(button("Add", this, [this] {
        LimitSet set = core_.Limits();
        LimitSegment s;
        const MeasState& st = core_.State();
        s.F1 = st.StartFreq;
        s.F2 = st.StopFreq;
        s.V1 = s.V2 = set.View == LimitView::Swr ? 2.0 : 0.0;
        set.Segments.push_back(s);
        SetLimits(set);
    }));
    rows->addWidget(button("Remove", this, [this] {
        LimitSet set = core_.Limits();
        const int row = table_->currentRow();
        if (row >= 0 && row < static_cast<int>(set.Segments.size())) {
            set.Segments.erase(set.Segments.begin() + row);
            SetLimits(set);
        }
    }));
    rows->addWidget(button("Load…", this, [this] {
        const QString path =
            AskFileToOpen(this, "Load limit lines", QString(), "MYRL limits (*.myrllim)");
        if (!path.isEmpty()) {
            LoadLimits(S(path));
        }
    }));
    rows->addWidget(button("Save…", this, [this] {
        const QString path = AskFileToSave(this, "Save limit lines", QString(),
                                           "MYRL limits (*.myrllim)", kLimitFileSuffix);
        if (!path.isEmpty()) {
            SaveLimits(S(path));
        }
    }));
    rows->addStretch();
    box->addLayout(rows);
    // The mask around the memory on a row of its own: the section stays narrow enough for the
    // tools window to lie beside the two windows on a small screen.
    auto* memoryRow = new QHBoxLayout;
    memoryRow->addWidget(
        button("Around the memory ±", this, [this] { FromMemory(offset_->value()); }));
    offset_ = new QDoubleSpinBox(this);
    offset_->setObjectName("LimitsOffset");
    offset_->setRange(0, 60);
    offset_->setDecimals(1);
    offset_->setSingleStep(0.5);
    offset_->setSuffix(" dB");
    offset_->setValue(settings->value("limits/offset", 1.0).toDouble());
    connect(offset_, &QDoubleSpinBox::valueChanged, this,
            [](double v) { OpenUserSettings()->setValue("limits/offset", v); });
    memoryRow->addWidget(offset_);
    memoryRow->addStretch();
    box->addLayout(memoryRow);

    beep_ = new QCheckBox("Beep when the verdict turns to FAIL", this);
    beep_->setObjectName("LimitsBeep");
    beep_->setChecked(settings->value("limits/beep", false).toBool());
    connect(beep_, &QCheckBox::toggled, this, [this](bool on) { SetBeep(on); });
    box->addWidget(beep_);
}

void ApplyLimits(Instrument& core, DisplayView& display, LimitSet set) {
    core.SetLimits(std::move(set));
    OpenUserSettings()->setValue("limits/set", Q(FormatLimitFile(core.Limits())));
    display.RedrawResponse();
}

void RestoreKeptLimits(Instrument& core) {
    if (!core.Limits().Segments.empty()) {
        return;
    }
    const QString kept = OpenUserSettings()->value("limits/set").toString();
    if (!kept.isEmpty()) {
        try {
            core.SetLimits(ParseLimitFile(S(kept)));
        } catch (const std::exception&) {
            // Not a set this program wrote: start with an empty table.
        }
    }
}

void SwitchLimits(Instrument& core, DisplayView& display, bool on) {
    RestoreKeptLimits(core);
    core.SetLimitsOn(on);
    display.RedrawResponse();
}

void LimitsPanel::SetOn(bool on) {
    SwitchLimits(core_, display_, on);
    Refresh();
}

void LimitsPanel::SetLimits(const LimitSet& set) {
    ApplyLimits(core_, display_, set);
    problem_->clear();
    problem_->hide();
    Refresh();
}

bool LimitsPanel::LoadLimits(const std::string& path) {
    LimitSet set;
    try {
        set = ReadLimitFile(path);
    } catch (const std::exception& e) {
        ReportError(std::runtime_error("Limit lines not loaded"),
                    FileErrorReason(e, path) + " The limit lines in force are unchanged.");
        return false;
    }
    SetLimits(set);
    return true;
}

bool LimitsPanel::SaveLimits(const std::string& path) {
    try {
        WriteLimitFile(path, core_.Limits());
    } catch (const std::exception& e) {
        ReportError(std::runtime_error("Limit lines not saved"),
                    FileErrorReason(e) + " The file " + path + " was not written.");
        return false;
    }
    return true;
}

bool LimitsPanel::FromMemory(double offsetDb) {
    const MeasState& s = core_.State();
    if (s.MemPoints < 2) {
        ReportError(std::runtime_error("No trace memory"),
                    "Store the trace or load a data file as memory first (Trace memory).");
        return false;
    }
    const auto n = static_cast<size_t>(std::min(s.MemPoints, kArrayLen));
    SetLimits(LimitsAroundTrace(std::span<const double>(s.MemFreq.data(), n),
                                std::span<const double>(s.MemLevel.data(), n), offsetDb));
    return true;
}

void LimitsPanel::SetBeep(bool on) {
    if (beep_->isChecked() != on) {
        beep_->setChecked(on);
    }
    OpenUserSettings()->setValue("limits/beep", on);
}

QString LimitsPanel::VerdictText() const {
    return verdict_->text();
}

QString LimitsPanel::Problem() const {
    return problem_->text();
}

void LimitsPanel::Refresh() {
    const QSignalBlocker quiet(on_);
    on_->setChecked(core_.LimitsOn());
    view_->setCurrentIndex(core_.Limits().View == LimitView::Swr ? 1 : 0);
    fillTable();
    showVerdict();
}

void LimitsPanel::fillTable() {
    const LimitSet& set = core_.Limits();
    filling_ = true;
    const QString unit = set.View == LimitView::Swr ? " / SWR" : " / dB";
    table_->setHorizontalHeaderLabels(
        {"on", "limit", "F1 / Hz", "V1" + unit, "F2 / Hz", "V2" + unit});
    table_->setRowCount(static_cast<int>(set.Segments.size()));
    const QLocale l = plainLocale();
    for (int r = 0; r < table_->rowCount(); ++r) {
        const LimitSegment& s = set.Segments[static_cast<size_t>(r)];
        auto* on = new QTableWidgetItem;
        on->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        on->setCheckState(s.On ? Qt::Checked : Qt::Unchecked);
        table_->setItem(r, kOn, on);
        table_->setItem(r, kKind, new QTableWidgetItem(s.Upper ? "upper" : "lower"));
        table_->setItem(r, kF1, new QTableWidgetItem(hzText(s.F1)));
        table_->setItem(r, kV1, new QTableWidgetItem(l.toString(s.V1, 'g', 12)));
        table_->setItem(r, kF2, new QTableWidgetItem(hzText(s.F2)));
        table_->setItem(r, kV2, new QTableWidgetItem(l.toString(s.V2, 'g', 12)));
    }
    filling_ = false;
}

void LimitsPanel::tableEdited() {
    LimitSet set;
    set.View = view_->currentIndex() == 1 ? LimitView::Swr : LimitView::Level;
    std::string why;
    for (int r = 0; r < table_->rowCount() && why.empty(); ++r) {
        auto text = [&](int c) { return table_->item(r, c) ? table_->item(r, c)->text() : ""; };
        const std::string row = "Row " + std::to_string(r + 1) + ": ";
        LimitSegment s;
        s.On = table_->item(r, kOn) && table_->item(r, kOn)->checkState() == Qt::Checked;
        const QString kind = text(kKind).trimmed().toLower();
        if (kind != "upper" && kind != "lower") {
            why = row + "the limit is \"upper\" or \"lower\".";
            break;
        }
        s.Upper = kind == "upper";
        const auto f1 = cellHz(text(kF1));
        const auto f2 = cellHz(text(kF2));
        const auto v1 = cellValue(text(kV1));
        const auto v2 = cellValue(text(kV2));
        if (!f1 || !f2) {
            why = row + "'" + S(text(f1 ? kF2 : kF1)) +
                  "' is not a frequency (hertz, or with k or M: 10.7M).";
        } else if (!v1 || !v2) {
            why = row + "'" + S(text(v1 ? kV2 : kV1)) + "' is not a number.";
        } else {
            s.F1 = *f1;
            s.F2 = *f2;
            s.V1 = *v1;
            s.V2 = *v2;
            set.Segments.push_back(s);
        }
    }
    if (!why.empty()) {
        problem_->setText(Q(why + " The limit lines in force are unchanged."));
        problem_->show();
        return;
    }
    problem_->clear();
    problem_->hide();
    editing_ = true;
    ApplyLimits(core_, display_, std::move(set));
    editing_ = false;
}

void LimitsPanel::showVerdict() {
    const auto& v = core_.Verdict();
    QPalette p = verdict_->palette();
    QString text = "--";
    QColor colour(128, 128, 128);
    std::string detail;
    if (!core_.LimitsOn()) {
        detail = "Limit lines off: no verdict, the chart as without them.";
    } else if (!v) {
        detail = "Waiting for a sweep the average has settled for.";
    } else {
        const char ds = LocaleDecimalSeparator();
        text = v->Kind == VerdictKind::Pass ? "PASS" : "FAIL";
        colour = v->Kind == VerdictKind::Pass ? QColor(0, 150, 0) : QColor(210, 0, 0);
        if (v->Kind == VerdictKind::NoPoints) {
            text = "FAIL";
            detail = "No points in range: no limit that is on covers the trace.";
        } else {
            std::string line = VerdictLine(*v, ds);
            line = line.substr(line.find(", ") + 2);
            line[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
            detail = line + "; " + std::to_string(v->Tested) + " positions tested, sweep " +
                     std::to_string(core_.VerdictSweep()) + ".";
        }
    }
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Window, colour);
    verdict_->setPalette(p);
    verdict_->setText(text);
    detail_->setText(Q(detail));
}

} // namespace myrl
