// The display window: the response chart Graph1, the cepstrum chart Graph2, the axis
// and scale labels and the readout panel; a view of the instrument core. Its creation
// handler starts the measurement. User-interface thread only.
#pragma once

#include "DisplayView.h"
#include "Draw.h"
#include "Instrument.h"
#include "Presentation.h"

#include <QWidget>

class QFrame;
class QLabel;

namespace myrl {

class Instrument;
class PanelView;
class StartSequence;
class TGraph;

class TForm2 : public QWidget, public DisplayView {
    Q_OBJECT

public:
    TForm2(Instrument& core, PanelView& panel, StartSequence& start);

    // DisplayView.
    void FormCreate() override;
    GraphPlot& Graph1Plot() override;
    void ApplyPresentation() override;
    void RedrawResponse() override;
    void PlaceRefLabel(int refpos) override;
    void SetRefCaption(const std::string& text) override;
    void SetAvrStat(const std::string& text) override;
    void SetFreqLabels(const std::string& fl, const std::string& fc, const std::string& fu,
                       const std::string& fdiv) override;
    double MarkerX(int marker) const override;
    void MoveMarker(int marker, double x) override;
    void CEPSClick(bool ticked) override;
    void CepstrumStep() override;
    int DbPerDiv() const override { return dbPerDiv_; }
    void SetDbPerDiv(int dbPerDiv) override;
    const std::optional<CepstrumView>& LastCepstrum() const override { return lastCepstrum_; }
    std::optional<double> PointerDelay() const override { return pointerDelay_; }

    void Graph1MouseDown(int X, int Y);
    void Graph1MouseMove(int X, int Y);
    void Graph1MouseUp();
    void Graph2MouseMove(int X, int Y);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void showReadouts(const MarkerReadouts& r);
    // Graph1's presentation as the panel, the level scale and the memory ask for it.
    Presentation presentation() const;

    // Controls, each with its initial caption; reached by nobody outside this window
    // (tests find them by object name, which is the control's name).
    QLabel* Label1;     // "MYRL", the window's title
    QLabel* Hdiv;       // "10dB/div", Graph1's vertical scale
    QLabel* Label11;    // "FREQUENCY RESPONSE", Graph1's title
    QLabel* Label10;    // "CEPSTRUM", Graph2's title
    TGraph* Graph1;     // the response chart
    TGraph* Graph2;     // the cepstrum chart
    QLabel* Label12;    // "0sec"
    QLabel* DelayDiv;   // "sec/div"
    QLabel* Delay;      // "[ Delay ]"
    QLabel* SWRmax;     // "10.0"
    QLabel* Ref;        // "   0.0", the reference level beside its grid line
    QLabel* SWRmin;     // "1.0"
    QLabel* Label_FL;   // start frequency
    QLabel* Label_FC;   // centre frequency
    QLabel* Label_FU;   // stop frequency
    QLabel* Label_FDIV; // frequency per division
    QFrame* Panel1;     // the readout panel
    QLabel* F_disp1;    // "FL="
    QLabel* F_disp2;    // "FU="
    QLabel* DF_disp;    // "df ="
    QLabel* M_disp1;    // "(    dB )"
    QLabel* M_disp2;    // "(    dB )"
    QLabel* AvrStat;    // "Averaging"

    Instrument& core_;
    PanelView& panel_;
    StartSequence& start_;
    int dbPerDiv_ = kDefaultDbPerDiv;
    std::optional<RedrawKey> lastRedrawInputs_;
    uint64_t lastRedrawGeneration_ = 0;
    std::optional<CepstrumView> lastCepstrum_;
    std::optional<double> pointerDelay_;
    Instrument::Subscription events_;
};

} // namespace myrl
