// The tools window's section "Remote control": the setting "Allow remote control from this
// computer" (kept in the user's settings: remote control starts with every run) and a line
// saying where it listens and whether a client is connected. User-interface thread only.
#pragma once

#include <QGroupBox>

class QCheckBox;
class QLabel;

namespace myrl {

class RemoteService;

class RemoteSection : public QGroupBox {
public:
    RemoteSection(RemoteService& remote, QWidget* parent = nullptr);

    // What a click on the box does: keeps the setting, and starts or stops listening.
    void SetAllowed(bool on);

private:
    void showState();

    RemoteService& remote_;
    QCheckBox* allow_;
    QLabel* state_;
};

} // namespace myrl
