#include "Takeaways.h"

#include "ErrorReport.h"
#include "ExtraActions.h"
#include "Instrument.h"
#include "Notice.h"
#include "PanelView.h"
#include "TextFile.h"
#include "UserSettings.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QPixmap>
#include <QSettings>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <ctime>

#ifndef MYRL_VERSION
#define MYRL_VERSION "?"
#endif

namespace myrl {

namespace {

constexpr const char* kFolderKey = "files/lastFolder";

std::string Std(const QString& s) {
    return s.toStdString();
}

} // namespace

Takeaways::Takeaways(Instrument& core, PanelView& panel, QWidget& panelWindow, QWidget& display,
                     ExtraActions& x)
    : core_(core), panel_(panel), panelWindow_(panelWindow), display_(display) {
    auto guarded = [](auto f) { return [f] { Guarded(f); }; };
    x.Add(ActionGroup::Files, "Save picture as PNG…", QKeySequence(Qt::CTRL | Qt::Key_P),
          guarded([this] { SavePictureAs(); }));
    x.Add(ActionGroup::Files, "Copy picture", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
          guarded([this] { CopyPicture(); }));
    x.Add(ActionGroup::Files, "Save data as…", QKeySequence(Qt::CTRL | Qt::Key_S),
          guarded([this] { SaveDataAs(); }));
    x.Add(ActionGroup::Sweep, "RUN / HOLD", QKeySequence(Qt::Key_F9),
          guarded([this] { panel_.ToggleRunHold(); }));
    x.Add(ActionGroup::Help, "Help", QKeySequence(Qt::Key_F1), guarded([this] { ShowHelp(); }));
    // As the panel's own close: the parameter file is written, then the program ends.
    x.Add(ActionGroup::Quit, "Quit", QKeySequence(Qt::CTRL | Qt::Key_Q),
          [this] { panelWindow_.close(); });
}

Takeaways::~Takeaways() = default;

QImage Takeaways::Picture() const {
    return display_.grab().toImage();
}

void Takeaways::SavePicture(const QString& path) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    Picture().save(&buffer, "PNG");
    WriteFileReplacing(Std(path), png.toStdString());
    saved(path);
}

void Takeaways::CopyPicture() {
    askedFrom_ = nullptr;
    QApplication::clipboard()->setImage(Picture());
    Notice::Show(noticeWindow(), "Picture of the display window copied to the clipboard");
}

std::vector<Takeaways::DataFormat> Takeaways::DataFormats() const {
    std::vector<DataFormat> out{DataFormat::Csv};
    if (TouchstoneApplies(core_.State(), panel_.ModeText(), panel_.SwrTicked())) {
        out.push_back(DataFormat::TouchstoneS21);
        out.push_back(DataFormat::TouchstoneS11);
    }
    return out;
}

QString Takeaways::FilterText(DataFormat f) {
    switch (f) {
    case DataFormat::TouchstoneS21:
        return "Touchstone, S21 (transmission) magnitude in dB, NORM level (*.s1p)";
    case DataFormat::TouchstoneS11:
        return "Touchstone, S11 (reflection) magnitude in dB, NORM level (*.s1p)";
    case DataFormat::Csv:
        break;
    }
    return "CSV: frequency, level, SWR, raw and normalised level (*.csv)";
}

void Takeaways::SaveData(const QString& path, DataFormat format) {
    const TraceFileInfo info = Info();
    std::string bytes;
    switch (format) {
    case DataFormat::Csv:
        bytes = TraceCsvBytes(core_.State(), info);
        break;
    case DataFormat::TouchstoneS21:
        bytes = TouchstoneBytes(core_.State(), info, TouchstoneParam::S21);
        break;
    case DataFormat::TouchstoneS11:
        bytes = TouchstoneBytes(core_.State(), info, TouchstoneParam::S11);
        break;
    }
    WriteFileReplacing(Std(path), bytes);
    saved(path);
}

TraceFileInfo Takeaways::Info() const {
    PanelView& panel = panel_;
    TraceFileInfo info;
    info.Program = std::string("MYRL ") + MYRL_VERSION;
    info.Written = LocalTimeNow();
    const int def = panel.FDefIndex();
    info.Plan = core_.State().ZeroSpan ? PlanDefinition::ZeroSpan
                : def == 1             ? PlanDefinition::CentreSpan
                                       : PlanDefinition::StartStop;
    info.Frex = panel.FrexTicked();
    info.SweepTime = panel.SweepTimeText();
    info.Mode = panel.ModeText();
    info.Averaging = panel.AvrSetText();
    info.Calibration = core_.CalibrationSource();
    return info;
}

QString Takeaways::OfferedName(const std::string& extension) const {
    const TraceFileInfo info = Info();
    return QString::fromStdString(OfferedFileName(info.Plan, core_.State().StartFreq,
                                                  core_.State().StopFreq, info.Written, extension));
}

QString Takeaways::askPath(const QString& caption, const QStringList& filters, const QString& name,
                           QString* chosenFilter) {
    askedFrom_ = QApplication::activeWindow();
    auto settings = OpenUserSettings();
    QString folder = settings->value(kFolderKey).toString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::currentPath();
    }
    QFileDialog dialog(QApplication::activeWindow(), caption, folder);
    dialog.setObjectName("SaveDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
    dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    QString path = dialog.selectedFiles().front();
    if (chosenFilter) {
        *chosenFilter = dialog.selectedNameFilter();
    }
    settings->setValue(kFolderKey, QFileInfo(path).absolutePath());
    return path;
}

void Takeaways::saved(const QString& path) {
    const std::string line = SavedLine(Std(QFileInfo(path).absoluteFilePath()), LocalTimeNow());
    core_.Status().Set(StatusTopic::Saved, line);
    Notice::Show(noticeWindow(), QString::fromStdString(line));
    askedFrom_ = nullptr;
}

QWidget& Takeaways::noticeWindow() const {
    // The window the user worked in: the one active when the dialog was asked for, else the
    // one active now.
    QWidget* w = askedFrom_ ? askedFrom_.data() : QApplication::activeWindow();
    return w != nullptr && qobject_cast<Notice*>(w) == nullptr ? *w : panelWindow_;
}

// Adds the extension of the chosen filter when the name typed has none.
static QString WithExtension(QString path, const QString& ext) {
    if (QFileInfo(path).suffix().isEmpty()) {
        path += ext;
    }
    return path;
}

void Takeaways::SavePictureAs() {
    const QString path = askPath("Save picture of the display as PNG", {"PNG image (*.png)"},
                                 OfferedName(".png"), nullptr);
    if (path.isEmpty()) {
        return;
    }
    try {
        SavePicture(WithExtension(path, ".png"));
    } catch (const std::exception& e) {
        ReportError(e, "The picture was not saved.");
    }
}

void Takeaways::SaveDataAs() {
    const auto formats = DataFormats();
    QStringList filters;
    for (DataFormat f : formats) {
        filters << FilterText(f);
    }
    QString chosen;
    const QString caption = formats.size() > 1
                                ? "Save data as CSV or as Touchstone (S21 or S11 magnitude)"
                                : "Save data as CSV";
    QString path = askPath(caption, filters, OfferedName(".csv"), &chosen);
    if (path.isEmpty()) {
        return;
    }
    DataFormat format = DataFormat::Csv;
    for (DataFormat f : formats) {
        if (FilterText(f) == chosen) {
            format = f;
        }
    }
    const bool touchstone = format != DataFormat::Csv;
    path = WithExtension(path, touchstone ? ".s1p" : ".csv");
    if (touchstone && path.endsWith(".csv", Qt::CaseInsensitive)) {
        path.chop(4);
        path += ".s1p";
    }
    try {
        SaveData(path, format);
    } catch (const std::exception& e) {
        ReportError(e, "The data was not saved.");
    }
}

void Takeaways::ShowHelp() {
    if (!help_) {
        help_ = std::make_unique<QWidget>();
        help_->setObjectName("HelpWindow");
        help_->setWindowTitle("MYRL Help");
        auto* layout = new QVBoxLayout(help_.get());
        auto* text = new QTextBrowser(help_.get());
        text->setObjectName("HelpText");
        text->setHtml(HelpHtml());
        QFont f = text->font();
        f.setPointSizeF(10.5);
        text->setFont(f);
        layout->addWidget(text);
        help_->resize(680, 640);
        auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), help_.get());
        QObject::connect(close, &QShortcut::activated, help_.get(), &QWidget::close);
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

QString HelpHtml() {
    return QString::fromUtf8(R"(<h2>MYRL</h2>
<p>MYRL drives the analyser unit on the serial line: each sweep measures 256 points of
the span, turns the readings into decibels, averages them and plots the response. The
control panel steers the measurement; the display window shows it.</p>

<h3>Control panel: DISPLAY</h3>
<ul>
<li><b>MODE</b>:
  <b>THRU</b> shows the level as measured, averaged.
  <b>CAL</b> keeps each sweep as the calibration: connect the reference (a through
  connection, or the open or short of a bridge) while CAL is selected.
  <b>NORM</b> subtracts the calibration, interpolated over frequency, from each level, so
  the chart shows the response relative to the reference: 0 dB where the device under test
  behaves as the reference did. Without a calibration NORM shows the level as measured.</li>
<li><b>REF.</b> (the drop-down beside MODE): the grid line, counted from the top, on which
  the reference level lies.</li>
<li><b>REF. Level</b>: the reference level in dB. Type it and press Enter (-99.9 to 99.9),
  or step it by 0.1 dB with the arrows beside the field. The level chart shows the level
  relative to it, 10 dB per division (1, 2 or 5 in MYRL Tools).</li>
<li><b>AVERAGING</b>: how many sweeps the running average holds, 1 to 64. Choose an item,
  or type a count and press Enter. The average starts afresh whenever what is measured
  changes: the frequency plan, SWEEP TIME, AVERAGING, FREX or MODE.</li>
<li><b>SWEEP TIME</b>: how long the unit takes for one sweep, from "&lt;0.5" (as fast as
  it can) to 20 s. A slow sweep lets a narrow filter settle at each point.</li>
<li>The <b>progress bar</b> under SWEEP TIME fills as the reply of a sweep comes in. Its
  tool tip says how the link stands and which file was written last.</li>
</ul>

<h3>Control panel: FREQUENCY</h3>
<ul>
<li>The <b>definition</b> drop-down says what the two fields hold:
  <b>START/STOP</b> the two edges of the span, <b>CENTER/SPAN</b> its centre and width,
  <b>ZERO SPAN</b> one frequency, measured over the sweep time (the x axis then runs from
  0 to 100 % of the sweep time).</li>
<li>The <b>two fields</b> (START and STOP, CENTER and SPAN, or FREQUENCY) take whole
  hertz; a trailing <b>M</b> or <b>k</b> (either case) means MHz or kHz: <tt>10.7M</tt>
  is 10700000, <tt>455k</tt> is 455000. <b>Enter</b> in either field applies both.</li>
<li><b>ZOOM</b>: <b>-</b> widens the span by 1.1, <b>+</b> narrows it by 1.1, about the
  same centre.</li>
<li><b>MOVE</b>: <b>&lt;</b> and <b>&gt;</b> move the span down or up by a tenth of
  it.</li>
<li><b>FL=C</b> and <b>FU=C</b> centre the span on the lower marker (FL) or the upper
  marker (FU), keeping its width.</li>
<li>In zero span the six buttons and SAVE DATA do nothing.</li>
</ul>

<h3>Control panel: UTILITIES and STATUS</h3>
<ul>
<li><b>FREX</b>: the frequencies are those of the external frequency extension (the
  generator runs at 1/32 of the frequency plus the extension's offset).</li>
<li><b>SWR</b>: the chart shows the standing-wave ratio from 1 to 10 on a logarithmic
  scale, with the normalised level taken as return loss.</li>
<li><b>CEPSTRUM</b>: opens the delay view above the response chart: the transform of the
  response against delay, where an echo of a cable or a mismatch shows as a peak. Under
  the pointer it reads the delay.</li>
<li><b>SAVE DATA</b>: writes the trace to <b>myrl_data.csv</b> in the working folder, one
  line "frequency,value" per point of the span (Ctrl+S saves where you choose, with a
  header). A note beside the window says where it went.</li>
<li><b>RUN / HOLD</b>: sweep continuously, or keep the last sweep on the charts (F9).</li>
</ul>

<h3>Display window</h3>
<ul>
<li>The two <b>markers</b> are the dashed red lines on the response chart: drag one with
  the mouse. Below the chart, FL and FU are the lower and upper marker frequency, df their
  distance, and under each the level (or SWR) of the trace there.</li>
<li><b>Averaging</b> n / N: the sweeps in the average so far, of AVERAGING.</li>
<li>While the trace memory is subtracted (MYRL Tools), the chart's title reads
  <b>TRACE − MEMORY</b>.</li>
</ul>

<h3>The link to the unit</h3>
<p>While the unit replies, the windows' titles are "MYRL  Ver. 1.43". When something is
wrong, the titles say so in front, without your looking for it:</p>
<ul>
<li><b>No reply from COM1</b>: the port is open but the unit has not replied for a
  second or more (switched off, another unit, a loose cable). Sweeping goes on as soon as
  it replies.</li>
<li><b>Line lost: COM1</b>: the line went away (an adapter unplugged). MYRL opens it again
  every second, under the same name.</li>
<li><b>COM1 not open</b>: the port could not be opened; the message said why. Choose
  another with Ctrl+Shift+P.</li>
<li><b>Not sweeping</b>: the start stopped at an error, so this run does not sweep; start
  MYRL again once it is put right.</li>
</ul>
<p>The whole line (the device a link leads to, the sweep rate, how old the curve is) is
the tool tip of the progress bar, a line of the Port dialog and of MYRL Tools' Status,
and a line on standard error at each change.</p>

<h3>MYRL Tools (Ctrl+T)</h3>
<ul>
<li><b>Level scale</b>: 1, 2, 5 or 10 dB per division for the response chart.</li>
<li><b>Filter and peak</b>: the peak, the edges a chosen number of dB below it, bandwidth,
  centre, Q, shape factor and minimum, over the whole trace or between the markers. The
  buttons move marker 1 or marker 2 to the peak, either edge or the minimum.</li>
<li><b>Calibration</b>: saves the calibration (the CAL sweep) as a <b>.myrlcal</b> file
  with a note, or loads one for NORM. "Load the last one at start-up" loads the file last
  saved or loaded at each start. The lines say which calibration NORM uses and warn when
  it does not cover the plan.</li>
<li><b>Trace memory</b>: keeps the current trace, or loads a data file as the memory; the
  chart shows it beside the trace, or the trace minus the memory. A memory of another plan
  is drawn only where it has points.</li>
<li><b>Distance to a reflection</b>: in the delay view (CEPSTRUM), the delay of the
  highest peak and under the pointer as a distance, for the cable's velocity factor (a
  preset or your own).</li>
<li><b>Status</b>: the link, the curve's age, the last file written, the
  calibration (and whether it was taken over another plan) and the limit lines' verdict.</li>
</ul>

<h3>Limit lines, marker functions and set-ups (MYRL Tools)</h3>
<ul>
<li><b>Limit lines</b>: upper and lower limits, each straight between two points, for the
level (dB, the level a data file holds, before the reference level is taken off) or the
SWR. Edit them as a table, load and save them as a limits file (<b>.myrllim</b>), or build a
mask around the trace memory. While they are on they are drawn on the response chart and
every settled sweep is judged: <b>PASS</b> or <b>FAIL</b> (also when no limit covers the
trace), the worst margin and where, and the points outside, which the chart shows in red.
A point on a limit passes; a trace that crosses a limit between two points fails. Moving
the reference level never changes a verdict. A beep on a change to FAIL is a choice there.
</li>
<li><b>Marker functions</b>: the difference marker 2 &minus; marker 1; a marker to the peak
or the minimum (over the span or between the markers), to the next peak down, or to where
the trace first crosses a level L on either side of it. The marker moves as a drag to that
column would. Readouts and searches cover the points of the span, never those above STOP.
</li>
<li><b>Set-ups</b> (<b>.myrlsetup</b>): the plan, FREX, sweep time, averaging, mode, view,
reference position and level, dB per division, the calibration file and the limit lines in
one file, saved and recalled in one step.</li>
<li>A calibration taken over another plan than the one in force is said in the status
lines; loading one offers to switch to its plan.</li>
</ul>

<h3>Shortcuts</h3>
<p>They work in every MYRL window: the control panel, the display, MYRL Tools, this help
and the Port dialog.</p>
<table cellspacing="0" cellpadding="3">
<tr><td width="130"><b>F1</b></td><td>this help</td></tr>
<tr><td><b>F9</b></td><td>RUN / HOLD</td></tr>
<tr><td><b>Shift+F9</b></td><td>single acquisition: restart the average, run until it has
settled, then HOLD</td></tr>
<tr><td><b>Ctrl+P</b></td><td>save a picture of the display window as PNG</td></tr>
<tr><td><b>Ctrl+Shift+C</b></td><td>copy that picture to the clipboard</td></tr>
<tr><td><b>Ctrl+S</b></td><td>save the data as CSV (or Touchstone in NORM mode)</td></tr>
<tr><td><b>Ctrl+Shift+P</b></td><td>choose the serial port</td></tr>
<tr><td><b>Ctrl+T</b></td><td>the MYRL Tools window</td></tr>
<tr><td><b>Ctrl+Q</b></td><td>close MYRL (the settings are saved, as when the control
panel is closed)</td></tr>
</table>
<p>The same actions are on the menu of the right mouse button over either window's
background.</p>

<h3>Files</h3>
<ul>
<li><b>myrl_prm.txt</b> in the working folder: the port, the frequency entry, FREX, the
markers and the window positions; read at start, written at the close.</li>
<li><b>myrl_data.csv</b> in the working folder: written by SAVE DATA, one line
"frequency,value" per point of the span.</li>
<li>Pictures (<b>.png</b>), data (<b>.csv</b>, with a header of lines starting with
#) and Touchstone files (<b>.s1p</b>, magnitude in dB, angle 0: not measured) where you
choose to save them; the name offered holds the plan and the time.</li>
<li><b>~/.config/MYRL/MYRL.ini</b>: your choices beyond the two windows, such as the
default port of a folder, the tools' settings and the folder saved to last.</li>
</ul>
<p>The <b>working folder</b> is the folder MYRL was started in. Started from the
desktop's menu, that is your <b>home folder</b>: myrl_prm.txt and myrl_data.csv are
there. To keep them elsewhere, start MYRL from a terminal in that folder, or with
<tt>myrl --workdir FOLDER</tt>.</p>

<h3>Measuring from a script</h3>
<p><b>myrl measure</b> takes a measurement without windows or a display, for scripts and
test stands: for example <tt>myrl measure --port /dev/ttyUSB0 --center 10.7M --span 500k
--average 4 --out dut.csv --json</tt>. It sweeps until the average has settled, writes the
file, prints a summary and ends with a status a script can test. With <tt>--limits
mask.myrllim</tt> it judges the result (status 1 on FAIL); <tt>--setup stand.myrlsetup</tt>
takes a set-up saved here. <tt>myrl measure --help</tt> lists its options. It needs the port
to itself: close these windows first.</p>

<h3>Remote control</h3>
<p>Test stands and lab scripts (PyVISA, for example) can drive MYRL as a bench instrument,
with SCPI commands on a socket of this computer. It is off unless you tick <b>Allow remote
control from this computer</b> in MYRL Tools (kept for later starts; port 5025) or start
<tt>myrl --remote tcp:PORT</tt> (or <tt>--remote unix</tt>: the socket
<tt>$XDG_RUNTIME_DIR/myrl-remote.sock</tt>). It listens on 127.0.0.1 and ::1 only, answers
programs of your own user only and one client at a time. A VISA client opens
<tt>TCPIP::127.0.0.1::5025::SOCKET</tt> with the line end "\n". <tt>myrl serve --remote
tcp:5025</tt> does the same without windows or a display.</p>
<p>Commands act as your hand on the panel: the panel shows what they set and the averaging
restarts as a click restarts it. Commands answer nothing; the queries of a line answer on
one line; errors go to a queue read by <tt>SYST:ERR?</tt> (number and text, such as
<tt>-113,"Undefined header"</tt>). Capitals are the short form; brackets may be left out.</p>
<table cellspacing="0" cellpadding="2">
<tr><td width="300"><tt>*IDN? *RST *CLS *OPC? *OPC *WAI *ESR? *STB?</tt></td><td>the common
commands; <tt>*OPC?</tt> answers 1 once the acquisition (and, while running, the average of
the settings in force) has finished, without stopping anything meanwhile</td></tr>
<tr><td><tt>[SENSe:]FREQuency:STARt|STOP|CENTer|SPAN <i>f</i></tt></td><td>the plan (HZ, KHZ,
MHZ, GHZ), and its queries</td></tr>
<tr><td><tt>[SENSe:]SWEep:TIME <i>s</i></tt>, <tt>[SENSe:]AVERage:COUNt <i>n</i></tt></td><td>SWEEP
TIME, AVERAGING (<tt>:CURRent?</tt>: the count of the last sweep)</td></tr>
<tr><td><tt>CALCulate:MODE THRU|CAL|NORM</tt>, <tt>DISPlay:VIEW LEVel|SWR</tt></td><td>MODE, the
SWR box</td></tr>
<tr><td><tt>DISPlay:TRACe:Y:RLEVel <i>dB</i></tt></td><td>the reference level</td></tr>
<tr><td><tt>INITiate</tt>, <tt>INITiate:CONTinuous ON|OFF</tt></td><td>one acquisition (restart,
sweep until the average has settled, then HOLD); RUN or HOLD</td></tr>
<tr><td><tt>CALCulate:LIMit:STATe ON|OFF</tt>, <tt>CALCulate:LIMit:FAIL?</tt></td><td>the
limit lines on or off, as in MYRL Tools; the verdict of the last settled sweep: 1 on FAIL
(also with no points in range), 0 on PASS or while the limits are off</td></tr>
<tr><td><tt>TRACe:DATA? [LEVel|SWR]</tt>, <tt>TRACe:POINts?</tt></td><td>frequency,level pairs of
the last complete sweep, points 0 to 250, as Save data as writes them</td></tr>
<tr><td><tt>CALCulate:MARKer1|2:X <i>f</i></tt>, <tt>CALCulate:MARKer1|2:Y?</tt></td><td>the
markers and their readouts</td></tr>
<tr><td><tt>CALCulate:BWIDth?|:CENTer?|:Q?|:LOWer?|:UPPer?</tt>, <tt>CALCulate:PEAK:X?|:Y?</tt></td>
<td>the -3 dB readouts (9.91E37: none)</td></tr>
<tr><td><tt>MMEMory:STORe:TRACe "<i>file</i>"</tt>, <tt>MMEMory:LOAD:CALibration
"<i>file</i>"</tt>, <tt>MMEMory:LOAD:LIMit "<i>file</i>"</tt></td><td>Save data as; load a
calibration file; load limit lines</td></tr>
<tr><td><tt>SYSTem:ERRor?</tt>, <tt>SYSTem:LINK?</tt></td><td>the error queue; the link to the
unit</td></tr>
</table>
<p><tt>man myrl</tt> (REMOTE CONTROL) lists them all with their error numbers.</p>)");
}

} // namespace myrl
