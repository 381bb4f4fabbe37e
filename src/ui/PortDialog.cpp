#include "PortDialog.h"

#include "CommX.h"
#include "ErrorReport.h"
#include "PortChoice.h"
#include "SerialPorts.h"
#include "StartSequence.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <cerrno>
#include <filesystem>

namespace myrl {

namespace {

std::string workingFolder() {
    std::error_code ec;
    const auto p = std::filesystem::current_path(ec);
    return ec ? std::string(".") : p.string();
}

QString rowText(const SerialPortEntry& e) {
    QString text = Q(e.Name);
    if (e.kind == SerialPortEntry::Kind::ById) {
        text += QStringLiteral("  (") + Q(e.Path) + QStringLiteral(")");
    }
    if (!e.Target.empty()) {
        text += QStringLiteral("  → ") + Q(e.Target);
    }
    if (!e.Denied.empty()) {
        text += QStringLiteral("  (") + Q(e.Denied) + QStringLiteral(")");
    }
    return text;
}

} // namespace

PortDialog::PortDialog(Instrument& core, const StartSequence& start, QWidget* parent)
    : QDialog(parent), core_(core), start_(start) {
    setObjectName("PortDialog");
    setWindowTitle("Port");
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    current_ = new QLabel(this);
    current_->setObjectName("PortCurrent");
    status_ = new QLabel(this);
    status_->setObjectName("PortStatus");
    status_->setWordWrap(true);
    list_ = new QListWidget(this);
    list_->setObjectName("PortList");
    list_->setMinimumWidth(480);
    makeDefault_ = new QCheckBox("Make it the default for this folder", this);
    makeDefault_->setObjectName("PortMakeDefault");
    auto* buttons = new QHBoxLayout;
    auto* rescan = new QPushButton("Rescan", this);
    rescan->setObjectName("PortRescan");
    open_ = new QPushButton("Open", this);
    open_->setObjectName("PortOpen");
    open_->setDefault(true);
    auto* close = new QPushButton("Close", this);
    close->setObjectName("PortClose");
    buttons->addWidget(rescan);
    buttons->addStretch();
    buttons->addWidget(open_);
    buttons->addWidget(close);
    layout->addWidget(current_);
    layout->addWidget(status_);
    layout->addWidget(new QLabel("Serial devices now present:", this));
    layout->addWidget(list_);
    layout->addWidget(makeDefault_);
    layout->addLayout(buttons);

    connect(rescan, &QPushButton::clicked, this, [this] { Guarded([&] { Rescan(); }); });
    connect(open_, &QPushButton::clicked, this, [this] { Guarded([&] { OpenSelected(); }); });
    connect(list_, &QListWidget::currentItemChanged, this, &PortDialog::updateOpen);
    connect(list_, &QListWidget::itemActivated, this, [this] { Guarded([&] { OpenSelected(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::hide);

    events_ = core_.Subscribe([this](InstrumentEvent e) {
        if (e == InstrumentEvent::StatusChanged) {
            showStatus();
        }
    });
    Rescan();
    showStatus();
}

void PortDialog::Rescan() {
    const std::string folder = workingFolder();
    const std::string chosen = core_.Port() ? core_.Port()->DevicePath() : std::string();
    list_->clear();
    for (const SerialPortEntry& e : ListSerialPorts("/", ".")) {
        auto* item = new QListWidgetItem(rowText(e), list_);
        item->setData(Qt::UserRole, Q(e.Path));
        if (!e.Denied.empty()) {
            // Greyed: this user cannot open it; the tip says what would let them.
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
            item->setToolTip(Q(CommErrorReason(e.Path, EACCES)));
        }
        if (e.Path == chosen) {
            list_->setCurrentItem(item);
        }
    }
    updateOpen();
    const std::string def = DefaultPortFor(folder);
    makeDefault_->setChecked(!def.empty() && def == chosen);
}

void PortDialog::updateOpen() {
    // A greyed row is one this user cannot open.
    const QListWidgetItem* item = list_->currentItem();
    open_->setEnabled(item != nullptr && item->flags().testFlag(Qt::ItemIsEnabled));
}

void PortDialog::OpenSelected() {
    const QListWidgetItem* item = list_->currentItem();
    if (item == nullptr) {
        return;
    }
    const std::string device = S(item->data(Qt::UserRole).toString());
    const std::string folder = workingFolder();
    const bool makeDefault = makeDefault_->isChecked();
    QPointer<PortDialog> self(this);
    core_.SwitchPort(device, [self, device, folder, makeDefault](const std::exception* error) {
        if (error != nullptr) {
            ReportError(*error);
        } else if (makeDefault) {
            SetDefaultPortFor(folder, device);
        } else if (DefaultPortFor(folder) == device) {
            SetDefaultPortFor(folder, {});
        }
        if (self) {
            self->showStatus();
        }
    });
}

void PortDialog::showStatus() {
    const std::string device = core_.Port() ? core_.Port()->DevicePath() : std::string();
    current_->setText(QStringLiteral("Port: ") + Q(DeviceWithTarget(device)));
    std::string text = core_.Link().LinkLine();
    if (!core_.Link().CurveLine().empty()) {
        text += "\n" + core_.Link().CurveLine();
    }
    if (!start_.Started()) {
        // The start-up stopped before the sweeps were set up; a port opened now stays idle.
        text += "\nMYRL did not start sweeping: start it again with the port that works "
                "(--port DEVICE, or make it the default for this folder here).";
    }
    status_->setText(Q(text));
}

void ShowPortDialog(Instrument& core, const StartSequence& start, QWidget& panel) {
    auto* dialog = panel.findChild<PortDialog*>("PortDialog");
    if (dialog == nullptr) {
        dialog = new PortDialog(core, start, &panel);
    } else {
        dialog->Rescan();
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace myrl
