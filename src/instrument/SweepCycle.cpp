#include "SweepCycle.h"

#include "CommX.h"
#include "Command.h"
#include "FreqPlan.h"
#include "SweepProc.h"

#include <chrono>
#include <thread>

namespace myrl {

void AbandonSweep(MeasState& s) {
    s.RxCount = 0;
    s.ReplyText.clear();
    s.SweepStart = true;
    s.SweepAbandoned = true;
}

StepResult SweepStep(MeasState& s, TCommX& port, CycleView& view) {
    StepResult result = StepResult::Ok;
    if (s.SweepStart) {
        view.SetProgress(0);
        CalcSweepWords(s, view.FrexTicked());
        const int32_t code = SweepCode(s.SweepTimeIdx);
        port.PurgeTrans();
        if (s.SweepAbandoned) {
            // The reply was given up, so nothing sent can still wait for a legitimate XON:
            // an XOFF that holds the output now came from noise, and would mute the port
            // until the unit happened to send XON.
            port.ResumeTrans();
            s.SweepAbandoned = false;
        }
        port.PurgeReceive();
        port.WriteString(BuildCommand(s.StartWord, s.StepWord, code));
        s.SweepStart = false;
    }

    const int32_t full = 2 * s.PointNum;
    if (s.RxCount < full && !s.SweepStart) {
        char buf[kReadChunk];
        const int n = port.Read(buf, kReadChunk);
        if (n <= 0) {
            AbandonSweep(s);
            result = n == 0 ? StepResult::Silent : StepResult::ReadFailed;
        } else {
            s.ReplyText.append(buf, static_cast<size_t>(n));
            s.RxCount += n;
            view.SetProgress(s.RxCount);
        }
    }

    if (s.RxCount >= full && !s.SweepStart) {
        CalcFreqAxis(s, view.FrexTicked());
        // The status shows the numbers this sweep is averaged with.
        view.SweepProcessed(ProcessReply(s, view.ModeText(), view.SwrTicked()));
        if (view.CepsTicked()) {
            view.CepstrumStep();
        }
        s.RxCount = 0;
        s.ReplyText.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        s.SweepStart = true;
    }
    return result;
}

} // namespace myrl
