#include "TForm2.h"

#include "ExtraActions.h"

#include "Cepstrum.h"
#include "ErrorReport.h"
#include "FilterReadout.h"
#include "Form2Layout.h"
#include "Format.h"
#include "FreqEntryControls.h"
#include "FreqPlan.h"
#include "Instrument.h"
#include "PanelView.h"
#include "Presentation.h"
#include "Rnd.h"
#include "StartSequence.h"
#include "TGraph.h"
#include "Widgets.h"
#include "WindowFrames.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QTimer>

#include <utility>

namespace myrl {

// The markers are columns of Graph1; a run without windows keeps them on as many.
static_assert(form2::Graph1.w == kGraph1Width);

namespace {

// Black readout panel with a raised outer and a lowered inner bevel.
class BevelPanel : public QFrame {
public:
    explicit BevelPanel(QWidget* parent) : QFrame(parent) { SetBackground(this, Qt::black); }

protected:
    void paintEvent(QPaintEvent* e) override {
        QFrame::paintEvent(e);
        QPainter p(this);
        const QColor light(255, 255, 255), shadow(128, 128, 128);
        auto bevel = [&](QRect r, const QColor& topLeft, const QColor& bottomRight) {
            p.setPen(topLeft);
            p.drawLine(r.topLeft(), r.topRight());
            p.drawLine(r.topLeft(), r.bottomLeft());
            p.setPen(bottomRight);
            p.drawLine(r.bottomLeft(), r.bottomRight());
            p.drawLine(r.topRight(), r.bottomRight());
        };
        bevel(rect(), light, shadow);
        bevel(rect().adjusted(2, 2, -2, -2), shadow, light);
    }
};

QLabel* times(QWidget* parent, const form2::Pos& p, const char* text, int px, const QColor& c,
              bool bold = false, bool italic = false) {
    return MakeLabel(parent, p.x, p.y, QString::fromUtf8(text), TimesFont(px, bold, italic), c);
}

void setupChart(TGraph* g, const form2::Rect& r, int yGrid, double xmax, double ymax, bool refYEn,
                uint32_t refClr) {
    g->setGeometry(r.x, r.y, r.w, r.h);
    GraphPlot& p = g->plot();
    p.BgColor = Rgb(0, 0, 0);
    p.FrmColor = Rgb(192, 192, 192);
    p.GridColor = Rgb(128, 128, 128);
    p.XGridNum = 10;
    p.YGridNum = yGrid;
    p.Xmin = -1;
    p.Xmax = xmax;
    p.Ymin = -1;
    p.Ymax = ymax;
    p.logX = false;
    p.logY = false;
    p.RefX = 0;
    p.RefY = 0;
    p.RefXEn = false;
    p.RefYEn = refYEn;
    p.RefClr = refClr;
}

} // namespace

TForm2::TForm2(Instrument& core, PanelView& panel, StartSequence& start)
    : QWidget(nullptr, Qt::Window), core_(core), panel_(panel), start_(start) {
    // A fixed window with a title but without close, minimise or maximise buttons.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle("MYRL");
    setFixedSize(form2::kWidth, form2::kHeight);
    move(form2::kDefaultPos.x, form2::kDefaultPos.y);
    setFont(GothicFont(12));
    build();
    AskForTitleBarOnly(*this);
    // The chart's title says when the trace shows the memory subtracted.
    events_ = core_.Subscribe([this](InstrumentEvent e) {
        if (e == InstrumentEvent::MemoryChanged) {
            SetCaption(Label11, Q(presentation().Title));
        }
    });
}

void TForm2::closeEvent(QCloseEvent* event) {
    // The window closes only with the program: a request from the window system (a close
    // button the window manager kept, Alt+F4, WM_DELETE_WINDOW) is refused; the program
    // itself closes its windows only when it ends.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    event->accept();
}

void TForm2::build() {
    Label1 = times(this, form2::Label1, "MYRL", 21, kCream, true, true);
    Hdiv = times(this, form2::Hdiv, "10dB/div", 13, kAqua);
    Label11 = times(this, form2::Label11, "FREQUENCY RESPONSE", 12, kSkyBlue, true);
    Label10 = times(this, form2::Label10, "CEPSTRUM", 12, kSkyBlue, true);
    Graph1 = new TGraph(this);
    setupChart(Graph1, form2::Graph1, 10, 1, 1, true, Rgb(255, 255, 0));
    Graph2 = new TGraph(this);
    setupChart(Graph2, form2::Graph2, 2, 1024, 4000, false, Rgb(255, 255, 255));
    Graph2->setCursor(Qt::CrossCursor);
    // The charts' buttons are the markers' and the delay readout's; no menu opens there.
    KeepContextMenuOff(*Graph1);
    KeepContextMenuOff(*Graph2);
    Label12 = times(this, form2::Label12, "0sec", 12, kWhite);
    DelayDiv = times(this, form2::DelayDiv, "sec/div", 12, kAqua);
    Delay = times(this, form2::Delay, "[ Delay ]", 15, kCream);
    SWRmax = times(this, form2::SWRmax, "10.0", 12, kAqua);
    Ref = MakeLabel(this, form2::Ref.x, form2::Ref.y, "   0.0", GothicFont(12), kAqua);
    SWRmin = times(this, form2::SWRmin, "1.0", 12, kAqua);
    // Empty until the start writes the plan: a start that stops before shows no frequency.
    Label_FL = times(this, form2::Label_FL, "", 12, kWhite);
    Label_FC = times(this, form2::Label_FC, "", 12, kWhite);
    Label_FU = times(this, form2::Label_FU, "", 12, kWhite);
    Label_FDIV = times(this, form2::Label_FDIV, "", 12, kAqua);
    Panel1 = new BevelPanel(this);
    Panel1->setGeometry(form2::Panel1.x, form2::Panel1.y, form2::Panel1.w, form2::Panel1.h);
    F_disp1 = times(Panel1, form2::F_disp1, "FL=", 15, kAqua);
    F_disp2 = times(Panel1, form2::F_disp2, "FU=", 15, kAqua);
    DF_disp = times(Panel1, form2::DF_disp, "df =", 15, kAqua);
    M_disp1 = times(Panel1, form2::M_disp1, "(    dB )", 13, kWhite);
    M_disp2 = times(Panel1, form2::M_disp2, "(    dB )", 13, kWhite);
    AvrStat = times(Panel1, form2::AvrStat, "Averaging", 13, kYellow);

    const std::pair<QObject*, const char*> names[] = {
        {Label1, "Label1"},         {Hdiv, "Hdiv"},         {Label11, "Label11"},
        {Label10, "Label10"},       {Graph1, "Graph1"},     {Graph2, "Graph2"},
        {Label12, "Label12"},       {DelayDiv, "DelayDiv"}, {Delay, "Delay"},
        {SWRmax, "SWRmax"},         {Ref, "Ref"},           {SWRmin, "SWRmin"},
        {Label_FL, "Label_FL"},     {Label_FC, "Label_FC"}, {Label_FU, "Label_FU"},
        {Label_FDIV, "Label_FDIV"}, {Panel1, "Panel1"},     {F_disp1, "F_disp1"},
        {F_disp2, "F_disp2"},       {DF_disp, "DF_disp"},   {M_disp1, "M_disp1"},
        {M_disp2, "M_disp2"},       {AvrStat, "AvrStat"}};
    for (const auto& [control, name] : names) {
        control->setObjectName(name);
    }
    // Names for assistive technology; nothing shows.
    Graph1->setAccessibleName("Response chart: drag a marker with the mouse");
    Graph2->setAccessibleName("Delay view (cepstrum): the delay under the pointer below it");
    Panel1->setAccessibleName("Marker readouts");

    for (QWidget* w : {static_cast<QWidget*>(Graph2), static_cast<QWidget*>(Label10),
                       static_cast<QWidget*>(Label12), static_cast<QWidget*>(DelayDiv),
                       static_cast<QWidget*>(Delay)}) {
        w->hide();
    }

    connect(Graph1, &TGraph::MouseDown, this,
            [this](Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
                Guarded([&] { Graph1MouseDown(x, y); });
            });
    connect(Graph1, &TGraph::MouseMove, this, [this](Qt::KeyboardModifiers, int x, int y) {
        Guarded([&] { Graph1MouseMove(x, y); });
    });
    connect(Graph1, &TGraph::MouseUp, this,
            [this](Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
                Guarded([&] { Graph1MouseUp(); });
            });
    connect(Graph2, &TGraph::MouseMove, this, [this](Qt::KeyboardModifiers, int x, int y) {
        Guarded([&] { Graph2MouseMove(x, y); });
    });
}

void TForm2::FormCreate() {
    MeasState& s = core_.State();
    start_.LoadParams();
    ApplyPresentation();
    FreqEntryControls entry(panel_, *this);
    core_.ChangePlan([&](MeasState& st) { ApplyFreqEntries(st, entry); });
    core_.ChangePlan([&](MeasState& st) { ApplyFreqMode(st, entry); });
    CalcSweepWords(s, core_.Settings().Frex);
    CalcFreqAxis(s, core_.Settings().Frex);
    Graph1->Clear();
    Graph2->Clear();
    core_.SetAverage(1);
    panel_.StartSweepTimer();
}

void TForm2::ApplyPresentation() {
    MeasState& s = core_.State();
    GraphPlot& g = Graph1->plot();
    const bool swr = core_.Settings().Swr;
    const Presentation p = presentation();
    SetCaption(Label11, Q(p.Title));
    Ref->setVisible(p.RefLabel);
    SWRmin->setVisible(p.SwrLabels);
    SWRmax->setVisible(p.SwrLabels);
    SetCaption(Hdiv, Q(p.Hdiv));
    g.logY = p.logY;
    g.YGridNum = p.YGridNum;
    g.RefYEn = p.RefYEn;
    g.Ymax = p.Ymax;
    g.Ymin = p.Ymin;
    FillDispTrace(s, swr);
}

Presentation TForm2::presentation() const {
    return ChoosePresentation(core_.Settings().Swr, panel_.RefposIndex(), core_.State().RefPosBias,
                              Graph1->plot().YGridNum, dbPerDiv_, core_.State().MemMode);
}

void TForm2::SetDbPerDiv(int dbPerDiv) {
    dbPerDiv_ = ValidDbPerDiv(dbPerDiv);
    core_.ViewChanged();
}

void TForm2::RedrawResponse() {
    GraphPlot& g = Graph1->plot();
    MeasState& s = core_.State();
    const bool swr = core_.Settings().Swr;
    const char ts = LocaleThousandsSeparator();
    const char ds = LocaleDecimalSeparator();
    if (lastRedrawInputs_ && g.canvas().Generation() == lastRedrawGeneration_ &&
        RedrawInputs(g, s, swr, ts, ds) == *lastRedrawInputs_) {
        return;
    }
    showReadouts(myrl::RedrawResponse(g, s, swr, ts, ds));
    // Taken after the redraw: a logarithmic chart writes 1e-99 into DispTrace.
    lastRedrawInputs_ = RedrawInputs(g, s, swr, ts, ds);
    lastRedrawGeneration_ = g.canvas().Generation();
}

double TForm2::MarkerX(int marker) const {
    const GraphPlot& g = Graph1->plot();
    const MeasState& s = core_.State();
    return MarkerFrequency(marker == 1 ? s.Marker1X : s.Marker2X, g.Xmin, g.Xmax, g.Width());
}

void TForm2::MoveMarker(int marker, double x) {
    const GraphPlot& g = Graph1->plot();
    core_.SetMarker(marker, MarkerColumnFor(x, g.Xmin, g.Xmax, g.Width()));
    RedrawResponse();
}

GraphPlot& TForm2::Graph1Plot() {
    return Graph1->plot();
}

void TForm2::PlaceRefLabel(int refpos) {
    const QRect g = Graph1->geometry();
    const double rows = static_cast<double>(g.height()) / Graph1->plot().YGridNum;
    Ref->move(Ref->x(), rnd(refpos * rows + g.top()) - 5);
}

void TForm2::SetRefCaption(const std::string& text) {
    SetCaption(Ref, Q(text));
}

void TForm2::SetAvrStat(const std::string& text) {
    SetCaption(AvrStat, Q(text));
}

void TForm2::SetFreqLabels(const std::string& fl, const std::string& fc, const std::string& fu,
                           const std::string& fdiv) {
    SetCaption(Label_FL, Q(fl));
    SetCaption(Label_FC, Q(fc));
    SetCaption(Label_FU, Q(fu));
    SetCaption(Label_FDIV, Q(fdiv));
}

void TForm2::showReadouts(const MarkerReadouts& r) {
    SetCaption(F_disp1, Q(r.F_disp1));
    SetCaption(F_disp2, Q(r.F_disp2));
    SetCaption(DF_disp, Q(r.DF_disp));
    SetCaption(M_disp1, Q(r.M_disp1));
    SetCaption(M_disp2, Q(r.M_disp2));
}

void TForm2::CEPSClick(bool ticked) {
    const int d = ticked ? form2::kCepstrumShift : -form2::kCepstrumShift;
    Graph2->setVisible(ticked);
    Graph1->setGeometry(Graph1->x(), Graph1->y() + d, Graph1->width(), Graph1->height() - d);
    RedrawResponse();
    Hdiv->move(Hdiv->x(), Hdiv->y() + d);
    DelayDiv->setVisible(ticked);
    Delay->setVisible(ticked);
    Label10->setVisible(ticked);
    Label11->move(Label11->x(), Label11->y() + d);
    Label11->show();
    Label12->setVisible(ticked);
    SWRmax->move(SWRmax->x(), SWRmax->y() + d);
    PlaceRefLabel(panel_.RefposIndex());
}

void TForm2::CepstrumStep() {
    auto view =
        myrl::CepstrumStep(core_.State(), Graph2->plot().XGridNum, LocaleDecimalSeparator());
    if (!view) {
        return; // no point spacing: the delay view keeps what it shows
    }
    GraphPlot& g = Graph2->plot();
    g.Ymax = view->Ymax;
    g.Xmin = view->Xmin;
    g.Xmax = view->Xmax;
    SetCaption(DelayDiv, Q(view->DelayDiv));
    Graph2->Clear();
    Graph2->Plot(view->X, view->Y, kCepstrumPlotPoints, core_.State().TraceClr);
    lastCepstrum_ = std::move(view);
}

void TForm2::Graph1MouseDown(int X, int) {
    MeasState& s = core_.State();
    s.MouseHeld = true;
    s.DragMarker = 0;
    if (s.Marker1X - 10 < X && X < s.Marker1X + 10) {
        s.DragMarker = 1;
    } else if (s.Marker2X - 10 < X && X < s.Marker2X + 10) {
        s.DragMarker = 2;
    }
}

void TForm2::Graph1MouseMove(int X, int Y) {
    MeasState& s = core_.State();
    if (X >= 0 && X <= Graph1->width() - 1 && Y >= 0 && Y <= Graph1->height() - 1 && s.MouseHeld) {
        if (s.DragMarker == 1 || s.DragMarker == 2) {
            core_.SetMarker(s.DragMarker, X);
        }
        RedrawResponse();
    } else {
        s.MouseHeld = false;
    }
}

void TForm2::Graph1MouseUp() {
    core_.State().MouseHeld = false;
    core_.State().DragMarker = 0;
}

void TForm2::Graph2MouseMove(int X, int) {
    const GraphPlot& g = Graph2->plot();
    const double d = static_cast<double>(X) / (Graph2->width() - 1) * (g.Xmax - g.Xmin);
    pointerDelay_ = d;
    SetCaption(Delay,
               Q("[ Delay = " + FormatExponent(d, 4, 1, LocaleDecimalSeparator()) + " sec ]"));
    core_.ViewChanged();
}

} // namespace myrl
