// Remote control's language on the instrument core, as a client's bytes reach it: the input
// is what a client sends, handed over in pieces of the sizes its first byte picks (1 to
// 64). MYRL's whole command set runs on a core without a port, with the controls of a run
// without windows; files are left alone (a load or a save fails as a missing file would).
//
// Properties: answers are whole lines of printable ASCII and there are no more of them than
// complete lines with a '?'; the error queue never holds more than its depth; the settings
// stay what the controls allow (plan rising, averaging 1..64, a sweep-time item); the
// backlog of lines stays bounded.
#include "CoreControls.h"
#include "Errors.h"
#include "FuzzSupport.h"
#include "HeadlessStart.h"
#include "Instrument.h"
#include "InstrumentCommands.h"
#include "ScpiSession.h"

#include <cerrno>
#include <memory>
#include <string>

using namespace myrl;

namespace {

// Controls without the file system.
class NoFiles : public CoreControls {
public:
    using CoreControls::CoreControls;
    void SaveTrace(const std::string&) override { fail(); }
    void LoadCalibration(const std::string&) override { fail(); }
    void LoadLimits(const std::string&) override { fail(); }

private:
    [[noreturn]] static void fail() {
        EInOutError e("I/O エラー (2)", ENOENT);
        e.Errno = ENOENT;
        throw e;
    }
};

void CheckAnswers(std::string_view out, size_t queries) {
    size_t lines = 0;
    for (const char c : out) {
        if (c == '\n') {
            ++lines;
            continue;
        }
        FUZZ_CHECK(c >= 0x20 && c < 0x7F);
    }
    FUZZ_CHECK(out.empty() || out.back() == '\n');
    FUZZ_CHECK(lines <= queries);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in(data, size);
    const size_t piece = in.Take<uint8_t>() % 64 + 1;
    const std::string_view bytes = in.Rest();

    Instrument core;
    StoredParams p;
    p.FDefIndex = 1;
    p.Edit1 = "10700000";
    p.Edit2 = "100000";
    FieldsEntry entry(p.FDefIndex, p.Edit1, p.Edit2);
    StartInstrument(core, p, entry);
    NoFiles controls(core, entry);
    InstrumentCommands commands(core, controls, "1.43");
    ScpiSession session(commands.Interpreter());

    // The complete lines holding a '?' (an answer each at most).
    size_t queries = 0;
    bool query = false;
    for (const char c : bytes) {
        if (c == '?') {
            query = true;
        } else if (c == '\n') {
            queries += query ? 1 : 0;
            query = false;
        }
    }

    std::string out;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        session.Receive(bytes.substr(at, piece));
        out += session.Output();
        session.Output().clear();
        session.Continue();
        out += session.Output();
        session.Output().clear();
        FUZZ_CHECK(commands.Interpreter().Errors().Count() <= ScpiErrorQueue::kDepth);
        FUZZ_CHECK(session.Backlog() <= bytes.size() + 1);
    }
    CheckAnswers(out, queries);
    FUZZ_CHECK(!session.Waiting()); // nothing is pending without a port

    const SweepSettings s = core.Settings();
    FUZZ_CHECK(s.StartFreq <= s.StopFreq);
    FUZZ_CHECK(s.AvrNum >= 1 && s.AvrNum <= kRingDepth);
    FUZZ_CHECK(s.SweepTimeIdx >= 0 && s.SweepTimeIdx <= kLastSweepTimeItem);
    FUZZ_CHECK(s.RefLevel >= -99.9 && s.RefLevel <= 99.9);
    FUZZ_CHECK(entry.FDefIndex() >= 0);
    return 0;
}
