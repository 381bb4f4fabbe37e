#include "InstrumentCommands.h"

#include "CalFile.h"
#include "Draw.h"
#include "ErrorDetail.h"
#include "Errors.h"
#include "FreqPlan.h"
#include "Presentation.h"
#include "RemoteControls.h"
#include "Rnd.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>

namespace myrl {

namespace {

constexpr ScpiCall::Scale kHertz[] = {{"HZ", 1}, {"KHZ", 1e3}, {"MHZ", 1e6}, {"GHZ", 1e9}};
constexpr ScpiCall::Scale kSeconds[] = {{"S", 1}, {"MS", 1e-3}};
constexpr ScpiCall::Scale kDecibels[] = {{"DB", 1}};

// A frequency a field of the panel can hold: whole hertz (halves to even), 0 .. 2^31 - 1.
std::string fieldHertz(double hz) {
    const double r = RoundHalfEven(hz);
    if (!(r >= 0 && r <= INT32_MAX)) {
        throw ScpiError(ScpiCode::DataOutOfRange,
                        InstrumentCommands::Number(hz) + " Hz is not from 0 to 2147483647 Hz");
    }
    return std::to_string(static_cast<int64_t>(r));
}

// A field's text for a frequency the plan holds now (it may lie beyond what a field takes
// after zooming out: then the entry itself refuses it, as it does a user's).
std::string planHertz(double hz) {
    return std::to_string(rnd64(hz));
}

const char* linkWord(LinkKind k) {
    switch (k) {
    case LinkKind::Closed:
        return "CLOSED";
    case LinkKind::Opened:
        return "OPENED";
    case LinkKind::Replying:
        return "REPLYING";
    case LinkKind::Silent:
        return "SILENT";
    case LinkKind::Lost:
        return "LOST";
    case LinkKind::NotOpen:
        return "NOTOPEN";
    case LinkKind::Held:
        return "HELD";
    }
    return "CLOSED";
}

// What a failed file operation is, in the standard's numbers, with an English reason.
ScpiError fileError(const std::exception& e, const std::string& path) {
    const auto* io = dynamic_cast<const EInOutError*>(&e);
    // Some readers give the reason only as the error code (the errno's number).
    const int err = io ? (io->Errno ? io->Errno : io->ErrorCode) : 0;
    std::string detail =
        io && !io->Errno && err > 0 && err < 200 ? std::strerror(err) : ErrorDetail(e);
    if (detail.empty()) {
        detail = e.what();
    }
    if (detail.find(path) == std::string::npos) {
        detail = path + ": " + detail;
    }
    if (io && (err == ENOENT || err == ENOTDIR)) {
        return ScpiError(ScpiCode::FileNameNotFound, detail);
    }
    if (io && (err == EISDIR || err == ENAMETOOLONG)) {
        return ScpiError(ScpiCode::FileNameError, detail);
    }
    if (dynamic_cast<const std::invalid_argument*>(&e)) {
        return ScpiError(ScpiCode::SettingsConflict, detail);
    }
    return ScpiError(ScpiCode::MassStorageError, detail);
}

// A file a command reads or replaces: never a device, a FIFO or a folder, which could block
// the instrument or are no files of its.
void requireRegularFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        throw ScpiError(ScpiCode::FileNameError, path + ": not a regular file");
    }
}

} // namespace

std::string InstrumentCommands::Number(double v) {
    if (!std::isfinite(v)) {
        return "9.91E37";
    }
    // Plain digits where they are not too many (frequencies in whole hertz), else with an
    // exponent; the fewest digits that read back to the same value either way.
    const double a = std::fabs(v);
    const bool plain = a == 0 || (a >= 1e-5 && a < 1e16);
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v,
                                 plain ? std::chars_format::fixed : std::chars_format::scientific);
    std::string s(buf, r.ptr);
    for (char& c : s) {
        if (c == 'e') {
            c = 'E';
        }
    }
    return s;
}

InstrumentCommands::InstrumentCommands(Instrument& core, RemoteControls& controls,
                                       std::string version)
    : core_(core), controls_(controls), version_(std::move(version)),
      interpreter_({[this] { return "MYRL,MYRL frequency-response analyser,0," + version_; },
                    [this] {
                        initIssued_ = false;
                        core_.CancelSingle();
                        controls_.ChooseMode(MeasMode::Thru);
                        controls_.ChooseSweepTime(1);
                        controls_.ChooseAverage(1);
                        controls_.SetSwrTicked(false);
                        controls_.EnterRefLevel(0);
                        controls_.EnterPlan(1, "10700000", "100000");
                        controls_.ChooseRunning(true);
                    },
                    [this] { return Pending(); }}) {
    addCommands();
    // An INIT whose acquisition ends (settled, or HOLD chosen before) is no longer pending;
    // one that ended without its averaged trace says so.
    events_ = core_.Subscribe([this](InstrumentEvent e) {
        if ((e == InstrumentEvent::SingleDone || e == InstrumentEvent::RunChanged) && initIssued_ &&
            !core_.SingleRunning()) {
            initIssued_ = false;
            if (!core_.AverageSettled()) {
                interpreter_.Error(ScpiCode::ExecutionError,
                                   "the acquisition was stopped before the average settled");
            }
        }
    });
}

bool InstrumentCommands::Pending() const {
    const LinkKind link = core_.Link().Kind();
    if (link == LinkKind::Closed || link == LinkKind::NotOpen) {
        return false; // nothing will come
    }
    return core_.SingleRunning() || (core_.Running() && !core_.AverageSettled());
}

std::shared_ptr<const SweepSnapshot> InstrumentCommands::lastSweep() const {
    auto last = core_.LastSweep();
    if (!last) {
        throw ScpiError(ScpiCode::DataStale, "no sweep has completed yet");
    }
    return last;
}

void InstrumentCommands::addCommands() {
    ScpiInterpreter& i = interpreter_;
    auto none = [](const ScpiCall& c) { c.Expect(0, 0); };
    auto one = [](const ScpiCall& c) { c.Expect(1, 1); };
    auto frequency = [one](const ScpiCall& c) {
        one(c);
        return c.Number(0, kHertz);
    };

    // ---- The plan: each setter types the fields as a user would, in the definition that
    // holds it exactly; the other limit (or the span) stays.
    i.Add(
        "[SENSe]:FREQuency:STARt",
        [this, frequency](const ScpiCall& c) {
            const std::string start = fieldHertz(frequency(c));
            controls_.EnterPlan(0, start, planHertz(core_.Settings().StopFreq));
        },
        [this, none](const ScpiCall& c) {
            none(c);
            return Number(core_.Settings().StartFreq);
        });
    i.Add(
        "[SENSe]:FREQuency:STOP",
        [this, frequency](const ScpiCall& c) {
            const std::string stop = fieldHertz(frequency(c));
            controls_.EnterPlan(0, planHertz(core_.Settings().StartFreq), stop);
        },
        [this, none](const ScpiCall& c) {
            none(c);
            return Number(core_.Settings().StopFreq);
        });
    i.Add(
        "[SENSe]:FREQuency:CENTer",
        [this, frequency](const ScpiCall& c) {
            const std::string centre = fieldHertz(frequency(c));
            const SweepSettings s = core_.Settings();
            if (controls_.PlanDefinition() == 2) {
                controls_.EnterPlan(2, centre, "0"); // zero span: the frequency alone
            } else {
                controls_.EnterPlan(1, centre, planHertz(s.StopFreq - s.StartFreq));
            }
        },
        [this, none](const ScpiCall& c) {
            none(c);
            const SweepSettings s = core_.Settings();
            return Number((s.StartFreq + s.StopFreq) / 2);
        });
    i.Add(
        "[SENSe]:FREQuency:SPAN",
        [this, frequency](const ScpiCall& c) {
            const double v = frequency(c);
            const std::string span = fieldHertz(v);
            const SweepSettings s = core_.Settings();
            const std::string centre = planHertz((s.StartFreq + s.StopFreq) / 2);
            if (span == "0" && controls_.PlanDefinition() == 2) {
                return; // zero span already
            }
            controls_.EnterPlan(1, centre, span);
        },
        [this, none](const ScpiCall& c) {
            none(c);
            const SweepSettings s = core_.Settings();
            return Number(s.ZeroSpan ? 0.0 : s.StopFreq - s.StartFreq);
        });

    // ---- Sweep time, averaging, mode, view, reference level.
    i.Add(
        "[SENSe]:SWEep:TIME",
        [this, one](const ScpiCall& c) {
            one(c);
            const double seconds = c.Number(0, kSeconds);
            for (int item = 0; item <= kLastSweepTimeItem; ++item) {
                if (std::fabs(SweepSeconds(item) - seconds) < 1e-9) {
                    controls_.ChooseSweepTime(item);
                    return;
                }
            }
            throw ScpiError(ScpiCode::DataOutOfRange,
                            Number(seconds) +
                                " s is none of 0 (<0.5), 0.5, 1 ... 6 in steps of 0.5, 8, 10, "
                                "15, 20 s");
        },
        [this, none](const ScpiCall& c) {
            none(c);
            return Number(SweepSeconds(core_.Settings().SweepTimeIdx));
        });
    i.Add(
        "[SENSe]:AVERage:COUNt",
        [this, one](const ScpiCall& c) {
            one(c);
            const double n = std::nearbyint(c.Number(0));
            if (!(n >= 1 && n <= kRingDepth)) {
                throw ScpiError(ScpiCode::DataOutOfRange, "an averaging count from 1 to 64");
            }
            controls_.ChooseAverage(static_cast<int>(n));
        },
        [this, none](const ScpiCall& c) {
            none(c);
            return std::to_string(core_.Settings().AvrNum);
        });
    // The count the last complete sweep was averaged with (it equals the setting once the
    // average has settled).
    i.Add("[SENSe]:AVERage:COUNt:CURRent", {}, [this, none](const ScpiCall& c) {
        none(c);
        return std::to_string(lastSweep()->Averaging.Count);
    });
    i.Add(
        "CALCulate:MODE",
        [this, one](const ScpiCall& c) {
            one(c);
            constexpr MeasMode modes[] = {MeasMode::Thru, MeasMode::Cal, MeasMode::Norm};
            controls_.ChooseMode(modes[c.Choice(0, {"THRU", "CAL", "NORM"})]);
        },
        [this, none](const ScpiCall& c) {
            none(c);
            return std::string(ModeText(core_.Settings().Mode));
        });
    i.Add(
        "DISPlay:VIEW",
        [this, one](const ScpiCall& c) {
            one(c);
            controls_.SetSwrTicked(c.Choice(0, {"LEVel", "SWR"}) == 1);
        },
        [this, none](const ScpiCall& c) {
            none(c);
            return std::string(core_.Settings().Swr ? "SWR" : "LEV");
        });
    i.Add(
        "DISPlay[:WINDow]:TRACe:Y[:SCALe]:RLEVel",
        [this, one](const ScpiCall& c) {
            one(c);
            const double db = std::nearbyint(c.Number(0, kDecibels) * 10) / 10;
            if (!(db >= -99.9 && db <= 99.9)) {
                throw ScpiError(ScpiCode::DataOutOfRange,
                                "a reference level from -99.9 to 99.9 dB");
            }
            controls_.EnterRefLevel(db);
        },
        [this, none](const ScpiCall& c) {
            none(c);
            return Number(core_.Settings().RefLevel);
        });

    // ---- RUN / HOLD and the single acquisition.
    i.Add("INITiate[:IMMediate]", [this, none](const ScpiCall& c) {
        none(c);
        const LinkKind link = core_.Link().Kind();
        if (link == LinkKind::Closed || link == LinkKind::NotOpen) {
            throw ScpiError(ScpiCode::ExecutionError,
                            "the port is not open: " + core_.Link().LinkLine());
        }
        initIssued_ = true;
        controls_.StartSingle();
    });
    i.Add(
        "INITiate:CONTinuous",
        [this, one](const ScpiCall& c) {
            one(c);
            controls_.ChooseRunning(c.Boolean(0));
        },
        [this, none](const ScpiCall& c) {
            none(c);
            return std::string(core_.Running() ? "1" : "0");
        });

    // ---- Limit lines: the tools window's switch, and the verdict of the last settled sweep
    // (1 on FAIL, also with no points in range; 0 on PASS and while the limits are off).
    i.Add(
        "CALCulate:LIMit:STATe",
        [this, one](const ScpiCall& c) {
            one(c);
            controls_.SetLimitsOn(c.Boolean(0));
        },
        [this, none](const ScpiCall& c) {
            none(c);
            return std::string(core_.LimitsOn() ? "1" : "0");
        });
    i.Add("CALCulate:LIMit:FAIL", {}, [this, none](const ScpiCall& c) {
        none(c);
        if (!core_.LimitsOn()) {
            return std::string("0");
        }
        const auto& verdict = core_.Verdict();
        if (!verdict) {
            throw ScpiError(ScpiCode::DataStale,
                            "no settled sweep was judged since the limits or the average changed");
        }
        return std::string(verdict->Kind == VerdictKind::Pass ? "0" : "1");
    });

    // ---- The last complete sweep.
    i.Add("TRACe[:DATA]", {}, [this](const ScpiCall& c) {
        c.Expect(0, 1);
        const bool swr = c.Count() == 1 && c.Choice(0, {"LEVel", "SWR"}) == 1;
        const auto sweep = lastSweep();
        const int last = std::min(sweep->SweepSteps, kArrayLen - 1);
        std::string out;
        out.reserve(static_cast<size_t>(last + 1) * 24);
        for (int k = 0; k <= last; ++k) {
            const auto p = static_cast<size_t>(k);
            const double v =
                swr ? sweep->SwrTrace[p] : sweep->NormLevel[p] - sweep->Settings.RefLevel;
            out += (k ? "," : "") + Number(sweep->FreqAxis[p]) + "," + Number(v);
        }
        return out;
    });
    i.Add("TRACe:POINts", {}, [this, none](const ScpiCall& c) {
        none(c);
        return std::to_string(std::min(lastSweep()->SweepSteps, kArrayLen - 1) + 1);
    });

    // ---- Markers: a marker lies on a column of the chart, as a drag leaves it.
    i.Add(
        "CALCulate:MARKer#:X",
        [this, one](const ScpiCall& c) {
            one(c);
            const double x = c.Number(0, kHertz);
            const auto [lo, hi] = controls_.MarkerRange();
            if (!(x >= std::min(lo, hi) && x <= std::max(lo, hi))) {
                throw ScpiError(ScpiCode::DataOutOfRange,
                                "the chart shows " + Number(lo) + " to " + Number(hi));
            }
            controls_.MoveMarker(c.Suffix(), x);
        },
        [this, none](const ScpiCall& c) {
            none(c);
            return Number(controls_.MarkerX(c.Suffix()));
        },
        2);
    i.Add(
        "CALCulate:MARKer#:Y", {},
        [this, none](const ScpiCall& c) {
            none(c);
            const auto sweep = lastSweep();
            // The chart's trace of that sweep (with the memory as it is subtracted now),
            // read where the marker's readout reads it.
            MeasState s = sweep->AsState();
            const MeasState& now = core_.State();
            s.MemMode = now.MemMode;
            s.MemPoints = now.MemPoints;
            s.MemFreq = now.MemFreq;
            s.MemLevel = now.MemLevel;
            FillDispTrace(s, sweep->Settings.Swr);
            return Number(TraceValueAt(s, controls_.MarkerX(c.Suffix())));
        },
        2);

    // ---- The -3 dB readouts of the last sweep over points 0 .. SweepSteps (9.91E37 where
    // there is none: zero span, an edge outside the span).
    auto readout = [this](auto pick) {
        return [this, pick](const ScpiCall& c) {
            c.Expect(0, 0);
            const auto r = SweepReadout(*lastSweep(), 3);
            return Number(r ? pick(*r) : NAN);
        };
    };
    auto opt = [](const std::optional<double>& v) { return v ? *v : NAN; };
    i.Add("CALCulate:BWIDth", {},
          readout([opt](const FilterReadout& r) { return opt(r.BandwidthHz); }));
    i.Add("CALCulate:BWIDth:CENTer", {},
          readout([opt](const FilterReadout& r) { return opt(r.CentreHz); }));
    i.Add("CALCulate:BWIDth:Q", {}, readout([opt](const FilterReadout& r) { return opt(r.Q); }));
    i.Add("CALCulate:BWIDth:LOWer", {},
          readout([](const FilterReadout& r) { return r.Lower.Found ? r.Lower.Hz : NAN; }));
    i.Add("CALCulate:BWIDth:UPPer", {},
          readout([](const FilterReadout& r) { return r.Upper.Found ? r.Upper.Hz : NAN; }));
    i.Add("CALCulate:PEAK:X", {}, readout([](const FilterReadout& r) { return r.PeakHz; }));
    i.Add("CALCulate:PEAK:Y", {}, readout([](const FilterReadout& r) { return r.PeakDb; }));

    // ---- Files.
    i.Add("MMEMory:STORe:TRACe", [this, one](const ScpiCall& c) {
        one(c);
        const std::string& path = c.Text(0);
        if (path.empty()) {
            throw ScpiError(ScpiCode::FileNameError, "an empty file name");
        }
        requireRegularFile(path);
        lastSweep();
        try {
            controls_.SaveTrace(path);
        } catch (const ScpiError&) {
            throw;
        } catch (const std::exception& e) {
            throw fileError(e, path);
        }
    });
    // A file the instrument reads (a calibration, a set of limit lines): named, a regular
    // file, and its reader's refusal as the standard's error.
    auto load = [this, one](void (RemoteControls::*reader)(const std::string&)) {
        return [this, one, reader](const ScpiCall& c) {
            one(c);
            const std::string& path = c.Text(0);
            if (path.empty()) {
                throw ScpiError(ScpiCode::FileNameError, "an empty file name");
            }
            requireRegularFile(path);
            try {
                (controls_.*reader)(path);
            } catch (const std::exception& e) {
                throw fileError(e, path);
            }
        };
    };
    i.Add("MMEMory:LOAD:CALibration", load(&RemoteControls::LoadCalibration));
    i.Add("MMEMory:LOAD:LIMit", load(&RemoteControls::LoadLimits));

    // ---- The link to the unit.
    i.Add("SYSTem:LINK", {}, [this, none](const ScpiCall& c) {
        none(c);
        const LinkState& link = core_.Link();
        return std::string(linkWord(link.Kind())) + ",\"" + ScpiQuotable(link.LinkLine()) + "\"";
    });
}

} // namespace myrl
