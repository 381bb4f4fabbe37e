// The display window: the response chart Graph1, the cepstrum chart Graph2, the axis
// and scale labels and the readout panel. Its creation handler starts the measurement.
// User-interface thread only.
#pragma once

#include "Draw.h"

#include <QWidget>

class QFrame;
class QLabel;

namespace myrl {

class Program;
class TGraph;

class TForm2 : public QWidget {
    Q_OBJECT

public:
    explicit TForm2(Program& program);

    QLabel* Label1;
    QLabel* Hdiv;
    QLabel* Label11;
    QLabel* Label10;
    TGraph* Graph1;
    TGraph* Graph2;
    QLabel* Label12;
    QLabel* DelayDiv;
    QLabel* Delay;
    QLabel* SWRmax;
    QLabel* Ref;
    QLabel* SWRmin;
    QLabel* Label_FL;
    QLabel* Label_FC;
    QLabel* Label_FU;
    QLabel* Label_FDIV;
    QFrame* Panel1;
    QLabel* F_disp1;
    QLabel* F_disp2;
    QLabel* DF_disp;
    QLabel* M_disp1;
    QLabel* M_disp2;
    QLabel* AvrStat;

    // The start sequence; throws at the first failure, leaving Timer1 off.
    void FormCreate();
    // dB (linear) or SWR (logarithmic) presentation of Graph1 by the SWR box; refills
    // DispTrace. Does not redraw.
    void ApplyPresentation();
    // Shows the marker readouts.
    void ShowReadouts(const MarkerReadouts& r);
    // Opens (ticked) or closes the delay view above the response chart.
    void CEPSClick(bool ticked);
    // Transform of the sweep just processed, drawn on Graph2.
    void CepstrumStep();

    void Graph1MouseDown(int X, int Y);
    void Graph1MouseMove(int X, int Y);
    void Graph1MouseUp();
    void Graph2MouseMove(int X, int Y);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();

    Program& program_;
};

} // namespace myrl
