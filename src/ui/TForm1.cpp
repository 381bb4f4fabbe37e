#include "TForm1.h"

#include "CommX.h"
#include "Convert.h"
#include "DisplayView.h"
#include "ErrorReport.h"
#include "Errors.h"
#include "Export.h"
#include "Form1Layout.h"
#include "Format.h"
#include "LineWait.h"
#include "Notice.h"
#include "Rnd.h"
#include "StartSequence.h"
#include "TraceFile.h"
#include "UpDown.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include <filesystem>
#include <stdexcept>

namespace myrl {

namespace {

template <class T> void place(T* w, const form1::Rect& r) {
    w->setGeometry(r.x, r.y, r.w, r.h);
}

QGroupBox* group(QWidget* parent, const char* caption, const form1::Rect& r, int captionPx) {
    auto* g = new QGroupBox(caption, parent);
    place(g, r);
    g->setFont(TimesFont(captionPx, true));
    g->setStyleSheet(QString("QGroupBox { color: rgb(192, 220, 192); border: 1px solid "
                             "rgb(110, 125, 140); margin-top: 6px; }"
                             "QGroupBox::title { subcontrol-origin: margin; left: 6px; "
                             "padding: 0 2px; }"));
    return g;
}

QLabel* label(QWidget* parent, const form1::Pos& p, const char* text, int px = 12) {
    return MakeLabel(parent, p.x, p.y, text, TimesFont(px, true), kMoneyGreen);
}

// The layout's drop-downs are narrow: a slimmer arrow leaves room for "CENTER/SPAN".
class CompactComboStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl cc, const QStyleOptionComplex* opt, SubControl sc,
                         const QWidget* w) const override {
        QRect r = QProxyStyle::subControlRect(cc, opt, sc, w);
        if (cc == CC_ComboBox && sc == SC_ComboBoxArrow) {
            r.setLeft(r.left() + kTrim);
        } else if (cc == CC_ComboBox && sc == SC_ComboBoxEditField) {
            r.setRight(r.right() + kTrim);
        }
        return r;
    }

private:
    static constexpr int kTrim = 5;
};

QComboBox* dropDown(QWidget* parent, const form1::Rect& r, const QStringList& items, int index,
                    bool editable, QStyle* style) {
    auto* c = new QComboBox(parent);
    place(c, r);
    c->setStyle(style);
    c->addItems(items);
    c->setEditable(editable);
    if (editable) {
        // Typed text stays what was typed: no completion from the items, and a confirmed
        // text never becomes an item of the list.
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setCompleter(nullptr);
    }
    c->setCurrentIndex(index);
    c->setFont(TimesFont(13));
    return c;
}

TextField* field(QWidget* parent, const form1::Rect& r, const char* text) {
    auto* e = new TextField(text, parent);
    place(e, r);
    e->setFont(ArialFont(13));
    return e;
}

QPushButton* button(QWidget* parent, const form1::Rect& r, const char* caption, int px = 15) {
    auto* b = new QPushButton(caption, parent);
    place(b, r);
    b->setFont(TimesFont(px));
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

QCheckBox* checkBox(QWidget* parent, const form1::Rect& r, const char* caption, bool ticked) {
    auto* c = new QCheckBox(caption, parent);
    place(c, r);
    c->setFont(TimesFont(15, true));
    // Caption colour only: the tick keeps the style's own colour on the white box.
    QPalette p = c->palette();
    p.setColor(QPalette::WindowText, Qt::white);
    c->setPalette(p);
    c->setChecked(ticked);
    return c;
}

} // namespace

TForm1::TForm1(Instrument& core, StartSequence& start) : core_(core), start_(start) {
    setWindowTitle("MYRL  Ver. 1.43");
    setFont(TimesFont(15));
    setFixedSize(form1::kWidth, form1::kHeight);
    move(form1::kDefaultPos.x, form1::kDefaultPos.y);
    build();
    CommX1 = std::make_unique<TCommX>();
    ConfigureUnitPort(*CommX1);
    // Reads and writes let window events run while they wait. The panel takes the reply in
    // the timer step and handles no line events (OnReceive, OnBreak, OnError), so no
    // dispatcher is set: the component drops its notifications instead of handing this
    // thread one posted call per received character (about 2000 a second while a reply
    // streams in). SetLineEventDispatch() installs it for code that assigns a handler.
    CommX1->SetProcessEvents([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
    CommX1->SetWaitEvents([wait = new LineWait(this)](int fd, int ms) { wait->Wait(fd, ms); });
    core_.AttachPort(*CommX1);
    connectHandlers();
    // A single acquisition ends in HOLD: selected inside the step that settled it, so the
    // timer is not switched on again.
    singleDone_ = core_.Subscribe([this](InstrumentEvent e) {
        if (e == InstrumentEvent::SingleDone && Running()) {
            HoldItem->click();
        }
    });
}

void TForm1::SetDisplay(DisplayView& display) {
    display_ = &display;
    entry_ = std::make_unique<FreqEntryControls>(*this, display);
}

void TForm1::SetLineEventDispatch() {
    // Line events reach this thread as posted calls.
    CommX1->SetDispatcher([this](std::function<void()> task) {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
    });
}

TForm1::~TForm1() {
    Timer1->stop();
    core_.DetachPort();
    if (CommX1) {
        CommX1->Close();
    }
}

void TForm1::build() {
    Display = group(this, "DISPLAY", form1::Display, 15);
    GroupBox1 = group(this, "FREQUENCY", form1::GroupBox1, 15);
    GroupBox2 = group(this, "UTILITIES", form1::GroupBox2, 13);
    RadioGroup1 = group(this, "STATUS", form1::RadioGroup1, 13);

    auto* comboStyle = new CompactComboStyle;
    comboStyle->setParent(this);
    QLabel* modeLabel = label(Display, form1::Label4, "MODE");
    MODE = dropDown(Display, form1::MODE, {"THRU", "NORM", "CAL"}, 0, false, comboStyle);
    QLabel* refposLabel = label(Display, form1::Label5, "REF.");
    Refpos = dropDown(Display, form1::Refpos, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}, 1,
                      false, comboStyle);
    Refpos->setMaxVisibleItems(10);
    label(Display, form1::Label10, "REF.");
    QLabel* levelLabel = label(Display, form1::Label1, "Level");
    label(Display, form1::Label12, "dB");
    Reflvl = field(Display, form1::Reflvl, "   0.0");
    UpDown1 = new UpDown(Display);
    place(UpDown1, form1::UpDown1);
    QLabel* avrLabel = label(Display, form1::Label13, "AVERAGING");
    AvrSet = dropDown(Display, form1::AvrSet, {"1", "2", "4", "8", "16", "32", "64"}, 0, true,
                      comboStyle);
    QLabel* sweepTimeLabel = label(Display, form1::Label3, "SWEEP TIME");
    SweepTime = dropDown(Display, form1::SweepTime,
                         {"<0.5", "0.5s", "1.0s", "1.5s", "2.0s", "2.5s", "3.0s", "3.5s", "4.0s",
                          "4.5s", "5.0s", "5.5s", "6.0s", "8.0s", "10s", "15s", "20s"},
                         1, false, comboStyle);
    SweepTime->setMaxVisibleItems(18);
    Panel2 = new QFrame(Display);
    place(Panel2, form1::Panel2);
    SetBackground(Panel2, Qt::white);
    ProgressBar1 = new ProgressBar(Panel2);
    ProgressBar1->setGeometry(1, 1, form1::Panel2.w - 2, form1::Panel2.h - 2);
    ProgressBar1->setRange(0, 2 * kPointCount);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    F_DEF = dropDown(GroupBox1, form1::F_DEF, {"START/STOP", "CENTER/SPAN", "ZERO SPAN"}, 1, false,
                     comboStyle);
    Label6 = label(GroupBox1, form1::Label6, "CENTER");
    Edit1 = field(GroupBox1, form1::Edit1, "10700000");
    label(GroupBox1, form1::Label8, "Hz", 15);
    Label7 = label(GroupBox1, form1::Label7, "SPAN");
    Edit2 = field(GroupBox1, form1::Edit2, "100000");
    Label9 = label(GroupBox1, form1::Label9, "Hz", 15);
    for (TextField* e : {Edit1, Edit2}) {
        e->SetTypingLimit(11);
        e->setAttribute(Qt::WA_InputMethodEnabled, false);
    }
    label(GroupBox1, form1::Label14, "ZOOM");
    label(GroupBox1, form1::Label15, "MOVE");
    Button2 = button(GroupBox1, form1::Button2, "-");
    Button3 = button(GroupBox1, form1::Button3, "+");
    Button1 = button(GroupBox1, form1::Button1, "<");
    Button4 = button(GroupBox1, form1::Button4, ">");
    Button5 = button(GroupBox1, form1::Button5, "FL=C");
    Button6 = button(GroupBox1, form1::Button6, "FU=C");

    FREX = checkBox(GroupBox2, form1::FREX, "FREX", true);
    SWR = checkBox(GroupBox2, form1::SWR, "SWR", false);
    CEPS = checkBox(GroupBox2, form1::CEPS, "CEPSTRUM", false);
    Button7 = button(GroupBox2, form1::Button7, "SAVE DATA", 11);

    RunItem = new QRadioButton("RUN", RadioGroup1);
    HoldItem = new QRadioButton("HOLD", RadioGroup1);
    place(RunItem, form1::RunItem);
    place(HoldItem, form1::HoldItem);
    for (QRadioButton* r : {RunItem, HoldItem}) {
        r->setFont(TimesFont(15, true));
        QPalette p = r->palette();
        p.setColor(QPalette::WindowText, Qt::white);
        r->setPalette(p);
    }
    RunItem->setChecked(true);

    Timer1 = new QTimer(this);
    Timer1->setInterval(50);
    Timer1->setSingleShot(false);

    const std::pair<QObject*, const char*> names[] = {{Display, "Display"},
                                                      {GroupBox1, "GroupBox1"},
                                                      {GroupBox2, "GroupBox2"},
                                                      {RadioGroup1, "RadioGroup1"},
                                                      {MODE, "MODE"},
                                                      {Refpos, "Refpos"},
                                                      {Reflvl, "Reflvl"},
                                                      {UpDown1, "UpDown1"},
                                                      {AvrSet, "AvrSet"},
                                                      {SweepTime, "SweepTime"},
                                                      {Panel2, "Panel2"},
                                                      {ProgressBar1, "ProgressBar1"},
                                                      {F_DEF, "F_DEF"},
                                                      {Label6, "Label6"},
                                                      {Label7, "Label7"},
                                                      {Label9, "Label9"},
                                                      {Edit1, "Edit1"},
                                                      {Edit2, "Edit2"},
                                                      {Button1, "Button1"},
                                                      {Button2, "Button2"},
                                                      {Button3, "Button3"},
                                                      {Button4, "Button4"},
                                                      {Button5, "Button5"},
                                                      {Button6, "Button6"},
                                                      {Button7, "Button7"},
                                                      {FREX, "FREX"},
                                                      {SWR, "SWR"},
                                                      {CEPS, "CEPS"},
                                                      {RunItem, "RunItem"},
                                                      {HoldItem, "HoldItem"},
                                                      {Timer1, "Timer1"}};
    for (const auto& [control, name] : names) {
        control->setObjectName(name);
    }

    // Names for assistive technology and English tool tips; neither shows until asked for.
    const std::pair<QLabel*, QWidget*> buddies[] = {
        {modeLabel, MODE},  {refposLabel, Refpos},       {levelLabel, Reflvl},
        {avrLabel, AvrSet}, {sweepTimeLabel, SweepTime}, {Label6, Edit1},
        {Label7, Edit2}};
    for (const auto& [l, w] : buddies) {
        l->setBuddy(w);
    }
    const struct {
        QWidget* control;
        const char* name;
        const char* tip;
    } described[] = {
        {MODE, "MODE",
         "THRU: the level as measured. CAL: each sweep is kept as the calibration. NORM: the "
         "level relative to that calibration."},
        {Refpos, "REF. position",
         "The grid line, counted from the top, on which the reference level lies"},
        {Reflvl, "REF. Level (dB)",
         "The reference level in dB: type it and press Enter (-99.9 to 99.9), or step it with "
         "the arrows"},
        {UpDown1, "REF. Level arrows", "Step the reference level by 0.1 dB"},
        {UpDown1->UpButton(), "REF. Level up by 0.1 dB", "Raise the reference level by 0.1 dB"},
        {UpDown1->DownButton(), "REF. Level down by 0.1 dB", "Lower the reference level by 0.1 dB"},
        {AvrSet, "AVERAGING",
         "Sweeps in the running average, 1 to 64: choose one, or type it and press Enter"},
        {SweepTime, "SWEEP TIME", "How long the unit takes for one sweep"},
        {ProgressBar1, "Reception of the sweep", nullptr}, // its tip is the link's state
        {F_DEF, "FREQUENCY definition",
         "How the two fields give the plan: START/STOP, CENTER/SPAN, or one frequency "
         "(ZERO SPAN)"},
        {Edit1, "CENTER (Hz)",
         "Frequency in Hz; a trailing M or k means MHz or kHz (10.7M, 455k). Enter applies "
         "both fields."},
        {Edit2, "SPAN (Hz)",
         "Frequency in Hz; a trailing M or k means MHz or kHz (10.7M, 455k). Enter applies "
         "both fields."},
        {Button2, "ZOOM out", "Zoom out: the span times 1.1, about the same centre"},
        {Button3, "ZOOM in", "Zoom in: the span divided by 1.1, about the same centre"},
        {Button1, "MOVE left", "Move the span down by a tenth of it"},
        {Button4, "MOVE right", "Move the span up by a tenth of it"},
        {Button5, "FL=C: centre on marker FL", "Centre the span on the lower marker (FL)"},
        {Button6, "FU=C: centre on marker FU", "Centre the span on the upper marker (FU)"},
        {Button7, "SAVE DATA",
         "Save the trace as myrl_data.csv in the working folder (Ctrl+S: a file of your "
         "choice, with a header)"},
        {FREX, "FREX", "The frequencies of the external frequency extension (FREX)"},
        {SWR, "SWR", "Show the standing-wave ratio instead of the level"},
        {CEPS, "CEPSTRUM", "Show the delay view (cepstrum) above the response chart"},
        {RunItem, "RUN", "Sweep continuously (F9)"},
        {HoldItem, "HOLD", "Keep the last sweep on the charts (F9)"},
    };
    for (const auto& d : described) {
        d.control->setAccessibleName(QString::fromUtf8(d.name));
        if (d.tip != nullptr) {
            d.control->setToolTip(QString::fromUtf8(d.tip));
        }
    }
    // The typed part of AVERAGING is the same control.
    AvrSet->lineEdit()->setAccessibleName(AvrSet->accessibleName());
}

void TForm1::connectHandlers() {
    auto on = [](auto handler) { return [handler] { Guarded(handler); }; };
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(SweepTime, &QComboBox::currentIndexChanged, this, on([this] { SweepTimeChange(); }));
    connect(Refpos, &QComboBox::currentIndexChanged, this, on([this] { RefposChange(); }));
    connect(SWR, &QCheckBox::clicked, this, on([this] { RefposChange(); }));
    connect(Edit1, &QLineEdit::returnPressed, this, on([this] { Edit1KeyPress(); }));
    connect(Edit2, &QLineEdit::returnPressed, this, on([this] { Edit1KeyPress(); }));
    connect(F_DEF, &QComboBox::currentIndexChanged, this, on([this] { F_DEFChange(); }));
    connect(Button7, &QPushButton::clicked, this, on([this] { Button7Click(); }));
    // The handler runs when the selection changes; a click on the item already selected
    // changes nothing.
    connect(RunItem, &QRadioButton::toggled, this, on([this] { RadioGroup1Click(); }));
    const std::pair<QPushButton*, PlanButton> plan[] = {
        {Button2, PlanButton::ZoomOut},    {Button3, PlanButton::ZoomIn},
        {Button1, PlanButton::MoveLeft},   {Button4, PlanButton::MoveRight},
        {Button5, PlanButton::CentreOnFL}, {Button6, PlanButton::CentreOnFU}};
    for (const auto& [b, kind] : plan) {
        connect(b, &QPushButton::clicked, this,
                on([this, k = kind] { PlanButtonClick(static_cast<int>(k)); }));
    }
    connect(CEPS, &QCheckBox::clicked, this, on([this] { CEPSClick(); }));
    // The averaging count is taken when an item is chosen or a typed count is confirmed
    // (Enter or leaving the field), not at every keystroke.
    connect(AvrSet, &QComboBox::activated, this, on([this] { AvrSetChange(); }));
    connect(AvrSet->lineEdit(), &QLineEdit::editingFinished, this, on([this] {
                if (AvrSet->currentText() != lastAvrText_) {
                    AvrSetChange();
                }
            }));
    lastAvrText_ = AvrSet->currentText();
    connect(FREX, &QCheckBox::clicked, this, on([this] { FREXClick(); }));
    connect(MODE, &QComboBox::currentIndexChanged, this, on([this] { MODEChange(); }));
    connect(UpDown1, &UpDown::Click, this, [this](bool up) { Guarded([&] { UpDown1Click(up); }); });
    connect(Reflvl, &QLineEdit::returnPressed, this, on([this] { ReflvlKeyPress(); }));
}

bool TForm1::Running() const {
    return RunItem->isChecked();
}

std::string TForm1::SweepTimeText() const {
    return S(SweepTime->currentText());
}

void TForm1::ToggleRunHold() {
    (Running() ? HoldItem : RunItem)->click();
}

void TForm1::Timer1Timer() {
    Timer1->stop();
    if (core_.StepRunning()) {
        // RUN was chosen while the running step waits in the port's read: that step goes
        // on and switches the timer on again when it ends.
        return;
    }
    const bool done = Guarded([&] {
        core_.Step(*this);
        display_->RedrawResponse();
    });
    if (done && Running()) {
        Timer1->start();
    }
}

void TForm1::SweepTimeChange() {
    core_.SetSweepTime(SweepTime->currentIndex());
}

void TForm1::placeRefLabel() {
    display_->PlaceRefLabel(Refpos->currentIndex());
}

// Also the SWR box's handler: the view follows the box.
void TForm1::RefposChange() {
    core_.SetSwr(SWR->isChecked());
    placeRefLabel();
    display_->SetRefCaption(S(Reflvl->text()));
    display_->ApplyPresentation();
    display_->RedrawResponse();
}

void TForm1::Edit1KeyPress() {
    core_.ChangePlan([&](MeasState& s) { ApplyFreqEntries(s, *entry_); });
}

void TForm1::F_DEFChange() {
    core_.ChangePlan([&](MeasState& s) { ApplyFreqMode(s, *entry_); });
}

void TForm1::Button7Click() {
    if (ExportData(core_.State(), kExportFileName, LocaleDecimalSeparator())) {
        std::error_code ec;
        const std::filesystem::path written = std::filesystem::absolute(kExportFileName, ec);
        const std::string line = SavedLine(ec ? kExportFileName : written.string(), LocalTimeNow());
        core_.Status().Set(StatusTopic::Saved, line);
        Notice::Show(*this, Q(line));
    } else {
        Notice::Show(*this, "Zero span: SAVE DATA writes nothing (it saves the points of a span)");
    }
}

void TForm1::RadioGroup1Click() {
    if (!Running()) {
        core_.CancelSingle(); // HOLD chosen before a single acquisition settled ends it
    }
    core_.SetRunning(Running());
    // A run whose start-up failed never sweeps: the plan or the port it would use was
    // never set up.
    if (Running() && start_.Started()) {
        Timer1->start();
    }
}

void TForm1::PlanButtonClick(int button) {
    core_.ChangePlan(
        [&](MeasState& s) { ApplyPlanButton(s, *entry_, static_cast<PlanButton>(button)); });
}

void TForm1::CEPSClick() {
    core_.SetCeps(CEPS->isChecked());
    display_->CEPSClick(CEPS->isChecked());
}

void TForm1::AvrSetChange() {
    const QString text = AvrSet->currentText();
    lastAvrText_ = text;
    const int32_t n = StrToInt(S(text));
    if (n < 1 || n > kRingDepth) {
        throw EConvertError(NotAnIntegerInRangeText(S(text), 1, kRingDepth),
                            QuotedText(S(text)) + " is not a whole number from 1 to " +
                                std::to_string(kRingDepth));
    }
    core_.SetAverage(n);
}

void TForm1::FREXClick() {
    core_.SetFrex(FREX->isChecked());
}

void TForm1::MODEChange() {
    // The list holds the three modes only.
    core_.SetMode(ModeFromText(S(MODE->currentText())).value_or(MeasMode::Thru));
}

void TForm1::showReferenceLevel() {
    Reflvl->setText(Q(FormatFixed(core_.State().RefLevel, 6, 1, LocaleDecimalSeparator())));
    display_->SetRefCaption(S(Reflvl->text()));
    display_->ApplyPresentation();
    display_->RedrawResponse();
}

void TForm1::UpDown1Click(bool up) {
    core_.SetRefLevel(core_.State().RefLevel + (up ? 0.1 : -0.1));
    showReferenceLevel();
}

void TForm1::ReflvlKeyPress() {
    const double v = StrToFloat(S(Reflvl->text()), LocaleDecimalSeparator());
    UpDown1->SetPosition(rnd(v / 0.1));
    double level = v;
    if (level >= 100) {
        level = 99.9;
    } else if (level <= -100) {
        level = -99.9;
    }
    core_.SetRefLevel(level);
    showReferenceLevel();
}

void TForm1::SetStatusTip(const std::string& text) {
    ProgressBar1->setToolTip(Q(text));
}

std::string TForm1::ModeText() const {
    return S(MODE->currentText());
}
bool TForm1::SwrTicked() const {
    return SWR->isChecked();
}
bool TForm1::CepsTicked() const {
    return CEPS->isChecked();
}
bool TForm1::FrexTicked() const {
    return FREX->isChecked();
}
int TForm1::RefposIndex() const {
    return Refpos->currentIndex();
}
std::string TForm1::ReflvlText() const {
    return S(Reflvl->text());
}
int TForm1::SweepTimeIndex() const {
    return SweepTime->currentIndex();
}
std::string TForm1::AvrSetText() const {
    return S(AvrSet->currentText());
}
int TForm1::FDefIndex() const {
    return F_DEF->currentIndex();
}
std::string TForm1::FDefText() const {
    return S(F_DEF->currentText());
}
std::string TForm1::Edit1Text() const {
    return S(Edit1->text());
}
std::string TForm1::Edit2Text() const {
    return S(Edit2->text());
}
void TForm1::SelectFDef(int index) {
    QSignalBlocker quiet(F_DEF);
    F_DEF->setCurrentIndex(index);
}
void TForm1::SetEdit1Text(const std::string& text) {
    Edit1->setText(Q(text));
}
void TForm1::SetEdit2Text(const std::string& text) {
    Edit2->setText(Q(text));
}
void TForm1::SetFieldCaptions(const std::string& first, const std::string& second) {
    SetCaption(Label6, Q(first));
    SetCaption(Label7, Q(second));
    // The fields are named by their captions; the hidden span field of ZERO SPAN keeps its
    // name.
    Edit1->setAccessibleName(Q(first) + " (Hz)");
    if (!second.empty()) {
        Edit2->setAccessibleName(Q(second) + " (Hz)");
    }
}
void TForm1::SetSecondFieldVisible(bool visible) {
    Edit2->setVisible(visible);
    Label9->setVisible(visible);
}
void TForm1::SetFrex(bool ticked) {
    if (FREX->isChecked() != ticked) {
        FREX->setChecked(ticked);
        FREXClick();
    }
}
void TForm1::EnterPlan(int fdef, const std::string& edit1, const std::string& edit2) {
    F_DEF->setCurrentIndex(fdef); // F_DEFChange runs when the item changes
    Edit1->setText(Q(edit1));
    if (F_DEF->currentText() != "ZERO SPAN") { // in zero span the second field is hidden
        Edit2->setText(Q(edit2));
    }
    Edit1KeyPress();
}
void TForm1::ChooseMode(const std::string& modeText) {
    const int i = MODE->findText(Q(modeText));
    if (i < 0) {
        throw std::invalid_argument("no MODE item \"" + modeText + "\"");
    }
    MODE->setCurrentIndex(i); // MODEChange runs when the item changes
}
void TForm1::ChooseSweepTime(int item) {
    SweepTime->setCurrentIndex(item); // SweepTimeChange runs when the item changes
}
void TForm1::ChooseAverage(int count) {
    const QString text = QString::number(count);
    const int i = AvrSet->findText(text);
    if (i >= 0) {
        AvrSet->setCurrentIndex(i);
    } else {
        AvrSet->setEditText(text);
    }
    AvrSetChange();
}
void TForm1::SetSwrTicked(bool ticked) {
    if (SWR->isChecked() != ticked) {
        SWR->setChecked(ticked);
        RefposChange(); // the box's click handler
    }
}
void TForm1::ChooseRefpos(int item) {
    Refpos->setCurrentIndex(item); // RefposChange runs when the item changes
}
void TForm1::EnterRefLevel(double db) {
    Reflvl->setText(Q(FormatFixed(db, 6, 1, LocaleDecimalSeparator())));
    ReflvlKeyPress();
}
void TForm1::ChooseRunning(bool run) {
    if (run != Running()) {
        (run ? RunItem : HoldItem)->click(); // RadioGroup1Click runs
    }
}
void TForm1::StartSingle() {
    core_.StartSingle();
    if (!Running()) {
        RunItem->click(); // RadioGroup1Click switches the timer on
    }
}
void TForm1::StartSweepTimer() {
    Timer1->start();
}
bool TForm1::SweepTimerActive() const {
    return Timer1->isActive();
}
void TForm1::SetProgress(int32_t received) {
    ProgressBar1->SetPosition(std::min(received, ProgressBar1->maximum()));
}
void TForm1::SetAvrStat(const std::string& text) {
    display_->SetAvrStat(text);
}
void TForm1::CepstrumStep() {
    display_->CepstrumStep();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!Guarded([&] { start_.SaveParams(); })) {
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

} // namespace myrl
