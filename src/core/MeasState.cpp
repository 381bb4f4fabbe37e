#include "MeasState.h"

namespace myrl {

void ApplyStartupValues(MeasState& s) {
    s.FreqRes = s.GenClock / kWordsPerClock;
    s.FrexOffset = FrexOffsetFor(s.FrexRef);
    s.PointNum = kPointCount;
    s.SweepSteps = kSweepStepCount;
    s.LevelScale = 256;
    s.RefPosBias = 0;
    s.RefLevel = 0;
    s.TraceClr = 0x0000FF00;
    s.MouseHeld = false;
    s.DragMarker = 0;
    s.RxCount = 0;
    s.ReplyText.clear();
    s.SweepStart = true;
}

} // namespace myrl
