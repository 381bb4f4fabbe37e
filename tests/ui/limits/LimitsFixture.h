// The program against the simulator's band-pass model, with the tools window's limit lines,
// marker functions and set-ups at hand. Each test starts from no user settings.
#pragma once

#include "PanelFixture.h"

#include "DeviceModels.h"
#include "LimitMasks.h"
#include "LimitsPanel.h"
#include "MarkerFunctions.h"
#include "SetupPanel.h"
#include "ToolsWindow.h"
#include "UserSettings.h"

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>

#include <functional>
#include <string>

namespace myrl {

class LimitsUiTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        OpenUserSettings()->clear();
        Config.Unit.Device.Kind = sim::DeviceKind::Bandpass;
    }
    // The band-pass on CENTER/SPAN 10.7 MHz / 400 kHz, held after its first sweep.
    void StartBandpass(double centre = 10.7e6, double span = 400e3) {
        WritePlan(1, centre, span);
        StartAndHold();
    }
    ToolsWindow& Tools() { return P->Tools(); }
    LimitsPanel& Limits() { return Tools().Limits(); }
    MarkerFunctions& Markers() { return Tools().Markers(); }
    double Spacing() { return State().FreqAxis[1] - State().FreqAxis[0]; }
    // Runs until a sweep after this moment has been judged, then holds.
    void RunUntilJudged() {
        const uint64_t after = Core().LastSweep() ? Core().LastSweep()->Number : 0;
        Click(PanelControl<QRadioButton>("RunItem"));
        ASSERT_TRUE(WaitUntil([&] { return Core().Verdict() && Core().VerdictSweep() > after; }));
        Hold();
    }
    // Pixels of Graph1 in `colour`.
    int Count(uint32_t colour) {
        int n = 0;
        for (int x = 0; x < Plot().Width(); ++x) {
            for (int y = 0; y < Plot().Height(); ++y) {
                n += Pixel(x, y) == colour;
            }
        }
        return n;
    }
    // Runs `act`, which opens a question box, and answers it with `answer`; returns the
    // box's object name (empty when none opened).
    std::string Answer(const std::function<void()>& act, QMessageBox::StandardButton answer) {
        std::string seen;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = box->objectName().toStdString();
                box->button(answer)->click();
            }
        });
        poll.start();
        act();
        poll.stop();
        return seen;
    }
};

} // namespace myrl
