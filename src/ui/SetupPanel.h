// The tools window's set-ups: the whole set-up in force saved as one named file, and one
// recalled from such a file in one step (SetupRecall.h says what it holds and how it is
// set). User-interface thread only.
#pragma once

#include <QGroupBox>

#include <string>

class QLabel;

namespace myrl {

class DisplayView;
class Instrument;
class PanelView;

class SetupPanel : public QGroupBox {
    Q_OBJECT

public:
    SetupPanel(Instrument& core, PanelView& panel, DisplayView& display, QWidget* parent);

    // Without their file dialogs; a failure is reported (naming the line of a file that is
    // not a set-up file) and changes nothing. Each returns whether it was done.
    bool SaveSetup(const std::string& path);
    bool RecallSetup(const std::string& path);

private:
    Instrument& core_;
    PanelView& panel_;
    DisplayView& display_;
    QLabel* last_ = nullptr;
};

} // namespace myrl
