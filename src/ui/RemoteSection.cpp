#include "RemoteSection.h"

#include "ErrorReport.h"
#include "RemoteService.h"
#include "UserSettings.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QSettings>
#include <QVBoxLayout>

namespace myrl {

RemoteSection::RemoteSection(RemoteService& remote, QWidget* parent)
    : QGroupBox("Remote control", parent), remote_(remote) {
    setObjectName("RemoteSection");
    auto* layout = new QVBoxLayout(this);
    allow_ = new QCheckBox("Allow remote control from this computer", this);
    allow_->setObjectName("AllowRemote");
    allow_->setToolTip("SCPI commands on 127.0.0.1 and ::1 (port " +
                       QString::number(remote_.Address().Port) +
                       "), from programs of this user only; one client at a time. See the "
                       "help (F1).");
    allow_->setChecked(OpenUserSettings()->value(kRemoteAllowKey, false).toBool() ||
                       remote_.Listening());
    state_ = new QLabel(this);
    state_->setObjectName("RemoteState");
    state_->setWordWrap(true);
    state_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(allow_);
    layout->addWidget(state_);
    connect(allow_, &QCheckBox::clicked, this,
            [this](bool on) { Guarded([&] { SetAllowed(on); }); });
    connect(&remote_, &RemoteService::StateChanged, this, [this] { showState(); });
    showState();
}

void RemoteSection::SetAllowed(bool on) {
    allow_->setChecked(on);
    OpenUserSettings()->setValue(kRemoteAllowKey, on);
    if (on) {
        remote_.Start();
    } else {
        remote_.Stop();
    }
}

void RemoteSection::showState() {
    state_->setText(Q(remote_.StateLine()));
}

} // namespace myrl
