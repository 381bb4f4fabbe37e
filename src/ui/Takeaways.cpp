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
    return R"(<h2>MYRL</h2>
<p>MYRL drives the analyser unit on the serial line: each sweep measures 256 points of
the span, turns the readings into decibels, averages them and plots the response.</p>

<h3>Modes</h3>
<ul>
<li><b>THRU</b>: the level as measured, averaged.</li>
<li><b>CAL</b>: each sweep is also kept as the calibration: connect the reference (a
through connection, or the open or short of a bridge) while CAL is selected.</li>
<li><b>NORM</b>: the last CAL sweep, interpolated over frequency, is subtracted from each
level, so the chart shows the response relative to the reference: 0 dB where the device
under test behaves as the reference did.</li>
</ul>

<h3>Settings</h3>
<ul>
<li><b>REF.</b>: the grid line on which the reference level lies, and the reference level
in dB (type it and press Enter, or step it by 0.1 dB with the arrows). The level chart
shows the level relative to it, 10 dB per division (1, 2 or 5 in MYRL Tools).</li>
<li><b>FREX</b>: the frequency extension: the frequencies are those of the external
extension (the generator runs at 1/32 of the frequency plus the extension's offset).</li>
<li><b>SWR</b>: the chart shows the standing-wave ratio from 1 to 10 on a logarithmic
scale, with the normalised level taken as return loss.</li>
<li><b>CEPSTRUM</b>: opens the delay view above the response chart: the transform of the
response against delay, where an echo of a cable or a mismatch shows as a peak.</li>
<li><b>RUN / HOLD</b>: sweep continuously, or keep the last sweep on the charts.</li>
</ul>

<h3>Shortcuts</h3>
<table cellspacing="0" cellpadding="3">
<tr><td width="130"><b>F1</b></td><td>this help</td></tr>
<tr><td><b>F9</b></td><td>RUN / HOLD</td></tr>
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
<li><b>~/.config/MYRL/MYRL.conf</b>: your choices beyond the two windows, such as the
folder saved to last.</li>
</ul>
<p>The last file written and the state of the link are shown as the tool tip of the
progress bar.</p>

<h3>Measuring from a script</h3>
<p><b>myrl measure</b> takes a measurement without windows or a display, for scripts and
test stands: for example <tt>myrl measure --port /dev/ttyUSB0 --center 10.7M --span 500k
--average 4 --out dut.csv --json</tt>. It sweeps until the average has settled, writes the
file, prints a summary and ends with a status a script can test. <tt>myrl measure
--help</tt> lists its options. It needs the port to itself: close these windows first.</p>)";
}

} // namespace myrl
