// The measurement state: one plain struct holding every program-wide variable of the
// measurement, under the names the whole program uses. The program keeps one instance,
// touched only on the user-interface thread; tests make their own. Everything starts
// zero-filled; start-up gives the working values.
#pragma once

#include "UnitConstants.h"

#include <array>
#include <cstdint>
#include <string>

namespace myrl {

constexpr int kArrayLen = kPointCount + 1; // entries 0..N of every per-point array
constexpr int kRingDepth = 64;             // averaging depth
constexpr int kSweepStepCount = 250;       // tuning steps across the span

using PointArray = std::array<double, kArrayLen>;

struct MeasState {
    // Frequency plan (Hz).
    double StartFreq = 0;
    double StopFreq = 0;
    bool ZeroSpan = false;
    double GenClock = 0;   // generator clock
    double FreqRes = 0;    // Hz per tuning-word unit, GenClock / 2^26
    double FrexRef = 0;    // reference of the FREX extension
    double FrexOffset = 0; // FrexRef * 256 / 11
    int32_t StartWord = 0;
    int32_t StepWord = 0;
    int32_t SweepSteps = 0;
    int32_t PointNum = 0;
    PointArray FreqAxis{}; // Hz, or percent of the sweep in zero span

    // Sweep settings.
    double SweepTimeIdx = 0; // selected item of the sweep-time list, 0..16
    int32_t LevelScale = 0;  // reading counts per 100 dB
    double LevelOffset = 0;  // dB
    double RefLevel = 0;     // dB
    double RefPosBias = 0;   // grid divisions
    int32_t AvrNum = 0;      // sweeps in the running average, 1..64
    uint32_t TraceClr = 0;   // 0x00BBGGRR

    // Receive state of the sweep in progress.
    bool SweepStart = false;
    int32_t RxCount = 0;
    std::string ReplyText;
    bool SweepAbandoned = false; // the last sweep got no reply in time (or the read failed)

    // Averaging.
    std::array<std::array<int32_t, kRingDepth>, kArrayLen> SampleRing{};
    std::array<int32_t, kArrayLen> SampleSum{};
    int32_t AvrCount = 0;
    int32_t AvrNextCount = 0;
    int32_t AvrSlot = 0;
    int32_t AvrNextSlot = 0;
    uint64_t AvrResets = 0; // restarts of the average so far (each AvrReset counts one)

    // Per-point results.
    PointArray RawLevel{};  // dB, averaged, before THRU/CAL/NORM
    PointArray NormLevel{}; // dB, after THRU/CAL/NORM
    PointArray SwrTrace{};
    PointArray DispTrace{};   // what Graph1 plots
    PointArray CalLevel{};    // RawLevel of the last CAL sweep
    PointArray CalFreq{};     // FreqAxis of the last CAL sweep
    bool CalZeroSpan = false; // that sweep was a zero-span one: CalFreq is the 0..100 axis

    // Scratch values of the sweep cycle.
    double CalInterp = 0;
    int32_t FftSize = 0;

    // Markers.
    int32_t Marker1X = 0;
    int32_t Marker2X = 0;
    int32_t DragMarker = 0; // 0 none, 1 Marker1X, 2 Marker2X
    bool MouseHeld = false;
    double MarkerFL = 0;
    double MarkerFU = 0;

    // Trace memory: a stored trace, its levels (dB) over its own frequency axis. Off (0)
    // unless the user turns it on; off, nothing below plays any part.
    int32_t MemMode = 0;   // kMemOff, kMemShown, kMemSubtracted
    uint32_t MemClr = 0;   // colour of the memory on Graph1, 0x00BBGGRR
    int32_t MemPoints = 0; // entries of MemFreq / MemLevel in use
    PointArray MemFreq{};
    PointArray MemLevel{};
    PointArray MemTrace{}; // what Graph1 plots of the memory when it is shown
};

constexpr int32_t kMemOff = 0;
constexpr int32_t kMemShown = 1;      // drawn beside the trace in MemClr
constexpr int32_t kMemSubtracted = 2; // the trace shows the data minus the memory

// The values every run starts from whatever the parameter file holds: FreqRes and
// FrexOffset from GenClock and FrexRef, the fixed sizes and scales, reference level 0,
// green traces, no drag, and a sweep waiting to be started.
void ApplyStartupValues(MeasState& s);

} // namespace myrl
