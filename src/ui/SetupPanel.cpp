#include "SetupPanel.h"

#include "ErrorReport.h"
#include "SetupRecall.h"
#include "TextFile.h"
#include "UserSettings.h"
#include "Widgets.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <stdexcept>

namespace myrl {

namespace {

QString startFolder() {
    return QFileInfo(OpenUserSettings()->value("setup/last").toString()).absolutePath();
}

} // namespace

SetupPanel::SetupPanel(Instrument& core, PanelView& panel, DisplayView& display, QWidget* parent)
    : QGroupBox("Set-up (plan, sweep, display, calibration file, limit lines)", parent),
      core_(core), panel_(panel), display_(display) {
    setObjectName("Setup");
    auto* box = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* save = new QPushButton("Save set-up…", this);
    save->setObjectName("SaveSetup");
    connect(save, &QPushButton::clicked, this, [this] {
        Guarded([&] {
            const QString path = AskFileToSave(this, "Save set-up", startFolder(),
                                               "MYRL set-up (*.myrlsetup)", kSetupFileSuffix);
            if (!path.isEmpty()) {
                SaveSetup(S(path));
            }
        });
    });
    auto* recall = new QPushButton("Recall set-up…", this);
    recall->setObjectName("RecallSetup");
    connect(recall, &QPushButton::clicked, this, [this] {
        Guarded([&] {
            const QString path =
                AskFileToOpen(this, "Recall set-up", startFolder(), "MYRL set-up (*.myrlsetup)");
            if (!path.isEmpty()) {
                RecallSetup(S(path));
            }
        });
    });
    row->addWidget(save);
    row->addWidget(recall);
    row->addStretch();
    box->addLayout(row);
    last_ = new QLabel(this);
    last_->setObjectName("SetupLast");
    last_->setWordWrap(true);
    box->addWidget(last_);
}

bool SetupPanel::SaveSetup(const std::string& path) {
    try {
        WriteSetupFile(path, CurrentSetup(core_, panel_, display_));
    } catch (const std::exception& e) {
        ReportError(std::runtime_error("Set-up not saved"),
                    FileErrorReason(e) + " The file " + path + " was not written.");
        return false;
    }
    OpenUserSettings()->setValue("setup/last", Q(path));
    last_->setText(Q("Saved: " + path));
    return true;
}

bool SetupPanel::RecallSetup(const std::string& path) {
    Setup s;
    try {
        s = ReadSetupFile(path);
    } catch (const std::exception& e) {
        ReportError(std::runtime_error("Set-up not recalled"),
                    FileErrorReason(e, path) + " The set-up in force is unchanged.");
        return false;
    }
    try {
        myrl::RecallSetup(s, core_, panel_, display_);
    } catch (const std::exception& e) {
        // Only its calibration file can fail before anything was set.
        ReportError(std::runtime_error("Set-up not recalled"),
                    "Its calibration file: " + FileErrorReason(e, s.Calibration) +
                        " The set-up in force is unchanged.");
        return false;
    }
    OpenUserSettings()->setValue("setup/last", Q(path));
    last_->setText(Q("Recalled: " + path));
    return true;
}

} // namespace myrl
