// The Port dialog: the serial devices that exist now, the state of the link, and the
// choice of the port for this run (and, if asked, as the working folder's default). Not
// modal: the sweeps go on while it is open. User-interface thread only.
#pragma once

#include "Instrument.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace myrl {

class StartSequence;

class PortDialog : public QDialog {
    Q_OBJECT

public:
    PortDialog(Instrument& core, const StartSequence& start, QWidget* parent);

    // Lists the devices again.
    void Rescan();
    // Switches to the device of the selected row (and keeps or forgets it as the folder's
    // default, as the check box says).
    void OpenSelected();

private:
    void showStatus();
    // Open is offered for a row this user may open.
    void updateOpen();

    Instrument& core_;
    const StartSequence& start_;
    Instrument::Subscription events_;
    QLabel* current_;
    QLabel* status_;
    QListWidget* list_;
    QCheckBox* makeDefault_;
    QPushButton* open_;
};

// Shows the Port dialog of the control panel `panel` (made on first use), raised and active.
void ShowPortDialog(Instrument& core, const StartSequence& start, QWidget& panel);

} // namespace myrl
