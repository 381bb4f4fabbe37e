// The Port dialog: the serial devices that exist now, the state of the link, and the
// choice of the port for this run (and, if asked, as the working folder's default). Not
// modal: the sweeps go on while it is open. User-interface thread only.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace myrl {

class Program;

class PortDialog : public QDialog {
    Q_OBJECT

public:
    PortDialog(Program& program, QWidget* parent);

    // Lists the devices again.
    void Rescan();
    // Switches to the device of the selected row (and keeps or forgets it as the folder's
    // default, as the check box says).
    void OpenSelected();

private:
    void showStatus();

    Program& program_;
    QLabel* current_;
    QLabel* status_;
    QListWidget* list_;
    QCheckBox* makeDefault_;
    QPushButton* open_;
};

// Shows the program's Port dialog (made on first use), raised and active.
void ShowPortDialog(Program& program);

} // namespace myrl
