// MYRL's commands on the instrument core without windows (its controls as `myrl serve` has
// them): each setter ends where the frequency entry and the core's handlers put it, with
// the restarts of the average they make; queries read the core; what cannot be done has
// its number. No port: what needs sweeps is tested against the simulator elsewhere.
#include "InstrumentCommands.h"
#include "CoreControls.h"
#include "HeadlessStart.h"
#include "Instrument.h"
#include "LimitLines.h"
#include "TempDir.h"
#include "TestData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <sys/stat.h>

using namespace myrl;

namespace {

class InstrumentCommandsTest : public ::testing::Test {
protected:
    InstrumentCommandsTest() {
        StoredParams p;
        p.FDefIndex = 1;
        p.Edit1 = "10700000";
        p.Edit2 = "100000";
        entry_ = std::make_unique<FieldsEntry>(p.FDefIndex, p.Edit1, p.Edit2);
        StartInstrument(Core, p, *entry_);
        controls_ = std::make_unique<CoreControls>(Core, *entry_);
        commands_ = std::make_unique<InstrumentCommands>(Core, *controls_, "1.43");
        session_ = std::make_unique<ScpiSession>(commands_->Interpreter());
    }

    std::string Send(const std::string& line) {
        session_->Receive(line + "\n");
        std::string out = session_->Output();
        session_->Output().clear();
        if (!out.empty() && out.back() == '\n') {
            out.pop_back();
        }
        return out;
    }
    int NextError(std::string* text = nullptr) {
        const std::string e = Send("SYST:ERR?");
        if (text) {
            *text = e;
        }
        return std::stoi(e);
    }
    uint64_t Restarts() const { return Core.State().AvrResets; }

    Instrument Core;
    std::unique_ptr<FieldsEntry> entry_;
    std::unique_ptr<CoreControls> controls_;
    std::unique_ptr<InstrumentCommands> commands_;
    std::unique_ptr<ScpiSession> session_;
};

TEST_F(InstrumentCommandsTest, ThePlanIsTypedInTheDefinitionThatHoldsItExactly) {
    struct Case {
        const char* command;
        int definition; // F_DEF afterwards
        double start, stop;
        bool zeroSpan;
    } cases[] = {
        {"SENS:FREQ:STAR 10.6 MHZ", 0, 10.6e6, 10.75e6, false},
        {"FREQ:STOP 11000001", 0, 10.6e6, 11000001, false},
        {"FREQ:CENT 10.7MHZ", 1, 10.7e6 - 200000.5, 10.7e6 + 200000.5, false},
        {"FREQ:SPAN 500 kHz", 1, 10.45e6, 10.95e6, false},
        {"FREQ:STAR 20MHZ", 0, 20e6, 20e6, true}, // past STOP: the entry's own rule
        {"FREQ:SPAN 1MHZ", 1, 19.5e6, 20.5e6, false},
        {"FREQ:SPAN 0", 1, 20e6, 20e6, true},
        {"FREQ:SPAN 2MHZ;STAR 0;STOP 2147483647", 0, 0, 2147483647, false},
    };
    for (const Case& c : cases) {
        const uint64_t before = Restarts();
        EXPECT_EQ(Send(c.command), "") << c.command;
        EXPECT_EQ(NextError(), 0) << c.command;
        EXPECT_EQ(controls_->PlanDefinition(), c.definition) << c.command;
        EXPECT_EQ(Core.Settings().StartFreq, c.start) << c.command;
        EXPECT_EQ(Core.Settings().StopFreq, c.stop) << c.command;
        EXPECT_EQ(Core.Settings().ZeroSpan, c.zeroSpan) << c.command;
        EXPECT_GT(Restarts(), before) << c.command << ": a new plan restarts the average";
    }
    Send("FREQ:STAR 1MHZ;STOP 3MHZ");
    EXPECT_EQ(Send("FREQ:STAR?;STOP?;CENT?;SPAN?"), "1000000;3000000;2000000;2000000");
    EXPECT_EQ(entry_->XMin, 1e6) << "the chart's range follows";
    EXPECT_EQ(entry_->XMax, 3e6);
}

TEST_F(InstrumentCommandsTest, OutOfRangeValuesAreRefusedAndChangeNothing) {
    const SweepSettings before = Core.Settings();
    const uint64_t restarts = Restarts();
    struct Case {
        const char* command;
        int code;
    } cases[] = {
        {"FREQ:STAR -1", -222},
        {"FREQ:STOP 2.2GHZ", -222},
        {"FREQ:CENT 1e300", -222},
        {"FREQ:SPAN -5", -222},
        {"FREQ:STAR 1 MS", -131},
        {"SWE:TIME 0.7", -222},
        {"SWE:TIME 1 HZ", -131},
        {"AVER:COUN 0", -222},
        {"AVER:COUN 65", -222},
        {"AVER:COUN 4 HZ", -138},
        {"CALC:MODE FAST", -224},
        {"DISP:VIEW POLAR", -224},
        {"DISP:TRAC:Y:RLEV 100", -222},
        {"CALC:MARK1:X 1GHZ", -222},
        {"CALC:MARK2:X -1", -222},
        {"INIT", -200},
        {"TRAC:DATA?", -230},
        {"TRAC:DATA? PHASE", -224},
        {"CALC:MARK1:Y?", -230},
        {"CALC:BWID?", -230},
        {"MMEM:STOR:TRAC \"x.csv\"", -230},
        {"MMEM:STOR:TRAC ''", -257},
        {"MMEM:LOAD:CAL 'none.myrlcal'", -256},
        {"MMEM:LOAD:CAL x", -148},
        {"MMEM:LOAD:CAL '/dev/zero'", -257},
        {"MMEM:LOAD:CAL '/tmp'", -257},
        {"MMEM:LOAD:LIM 'none.myrllim'", -256},
        {"MMEM:LOAD:LIM ''", -257},
        {"MMEM:LOAD:LIM", -109},
        {"INIT:CONT 2 S", -138},
        {"CALC:LIM:STAT MAYBE", -224},
        {"CALC:LIM:FAIL 1", -113}, // a query only
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Send(c.command), "") << c.command;
        std::string text;
        EXPECT_EQ(NextError(&text), c.code) << c.command << " -> " << text;
        EXPECT_EQ(NextError(), 0) << c.command;
    }
    EXPECT_EQ(Core.Settings(), before);
    EXPECT_EQ(Restarts(), restarts);
    EXPECT_TRUE(Core.Running());
}

TEST_F(InstrumentCommandsTest, EachSettingGoesWhereItsControlPutsIt) {
    struct Case {
        const char* command;
        const char* query;
        const char* answer;
        bool restarts; // as a click on the control
    } cases[] = {
        {"SENS:SWE:TIME 2", "SWE:TIME?", "2", true},
        {"SWE:TIME 500 MS", "SWE:TIME?", "0.5", true},
        {"SWE:TIME 0", "SWE:TIME?", "0", true},
        {"SENS:AVER:COUN 16", "AVER:COUN?", "16", true},
        {"AVER:COUN 16", "AVER:COUN?", "16", true}, // a count confirmed again restarts too
        {"CALC:MODE CAL", "CALC:MODE?", "CAL", true},
        {"CALC:MODE NORM", "CALC:MODE?", "NORM", true},
        {"CALC:MODE NORM", "CALC:MODE?", "NORM", false}, // the item already chosen
        {"DISP:VIEW SWR", "DISP:VIEW?", "SWR", false},
        {"DISP:VIEW LEVEL", "DISP:VIEW?", "LEV", false},
        {"DISP:TRAC:Y:RLEV -12.34 DB", "DISP:WIND:TRAC:Y:SCAL:RLEV?", "-12.3", false},
        {"INIT:CONT OFF", "INIT:CONT?", "0", false},
        {"INIT:CONT ON", "INIT:CONT?", "1", false},
        {"CALC:LIM:STAT ON", "CALC:LIM:STAT?", "1", false},
        {"CALC:LIM:STAT OFF", "CALC:LIM:STAT?", "0", false},
        {"CALC:LIMIT:STATE 1", "CALC:LIM:STAT?", "1", false},
        {"CALC:LIM:STAT 0", "CALC:LIM:STAT?", "0", false},
    };
    for (const Case& c : cases) {
        const uint64_t before = Restarts();
        Send(c.command);
        EXPECT_EQ(Send(c.query), c.answer) << c.command;
        EXPECT_EQ(Restarts() > before, c.restarts) << c.command;
        EXPECT_EQ(NextError(), 0) << c.command;
    }
    EXPECT_EQ(Core.State().RefLevel, -12.3);
    EXPECT_FALSE(Core.Settings().Swr);
}

TEST_F(InstrumentCommandsTest, MarkersLieOnColumnsOfTheChart) {
    Send("FREQ:STAR 0;STOP 4480000"); // 10 kHz a column over 449 columns
    Send("CALC:MARK1:X 1.234MHZ;:CALC:MARK2:X 4480000");
    EXPECT_EQ(Send("CALC:MARK1:X?;:CALC:MARK2:X?"), "1230000;4480000");
    EXPECT_EQ(Core.State().Marker1X, 123);
    EXPECT_EQ(Core.State().Marker2X, 448);
    EXPECT_EQ(NextError(), 0);
    Send("CALC:MARK:X 20000");
    EXPECT_EQ(Core.State().Marker1X, 2) << "MARK alone is marker 1";
}

TEST_F(InstrumentCommandsTest, ResetGivesThePanelsStartValues) {
    Send("FREQ:STAR 1MHZ;STOP 2MHZ;:AVER:COUN 8;:SWE:TIME 4;:CALC:MODE NORM;:DISP:VIEW SWR;"
         ":DISP:TRAC:Y:RLEV 5;:INIT:CONT OFF");
    Send("*RST");
    EXPECT_EQ(Send("FREQ:CENT?;SPAN?;:AVER:COUN?;:SWE:TIME?;:CALC:MODE?;:DISP:VIEW?;"
                   ":DISP:TRAC:Y:RLEV?;:INIT:CONT?"),
              "10700000;100000;1;0.5;THRU;LEV;0;1");
    EXPECT_EQ(controls_->PlanDefinition(), 1);
    EXPECT_EQ(NextError(), 0);
    EXPECT_EQ(Send("*IDN?"), "MYRL,MYRL frequency-response analyser,0,1.43");
    EXPECT_EQ(Send("SYST:LINK?"), "CLOSED,\"\"");
    EXPECT_EQ(Send("*OPC?"), "1") << "without a port nothing is pending";
}

TEST_F(InstrumentCommandsTest, AForeignCalibrationFileIsRefusedAndChangesNothing) {
    TempDir dir("myrl-cal");
    std::ofstream(dir / "foreign.myrlcal") << "frequency,value\n1,2\n";
    const auto calBefore = Core.State().CalLevel;
    Send("MMEM:LOAD:CAL '" + (dir / "foreign.myrlcal").string() + "'");
    std::string text;
    EXPECT_EQ(NextError(&text), -250) << text;
    EXPECT_NE(text.find("foreign.myrlcal"), std::string::npos) << text;
    EXPECT_EQ(Core.State().CalLevel, calBefore);
}

// A FIFO would block the instrument in its open, /dev/zero never ends, a folder is no file:
// each is refused at once, and nothing changes.
TEST_F(InstrumentCommandsTest, StrangeFilesAreRefusedAtOnce) {
    TempDir dir("myrl-strange");
    const std::string fifo = (dir / "fifo.myrlcal").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), dir.Path().string()}) {
        for (const char* command : {"MMEM:LOAD:CAL", "MMEM:LOAD:LIM", "MMEM:STOR:TRAC"}) {
            Send(std::string(command) + " '" + path + "'");
            std::string text;
            EXPECT_EQ(NextError(&text), -257) << command << " " << path << " -> " << text;
            EXPECT_NE(text.find("not a regular file"), std::string::npos) << text;
        }
    }
    EXPECT_FALSE(Core.HasCalibration());
    EXPECT_TRUE(Core.Limits().Segments.empty());
}

// A limits file becomes the set in force as the tools window's Load makes it, the switch
// left as it was; a file that is not one is refused with its reason, and the set in force
// stays.
TEST_F(InstrumentCommandsTest, ALimitsFileBecomesTheSetInForceAndAForeignOneChangesNothing) {
    const std::string sample = TestDataPath("limits-v1.myrllim");
    Send("MMEM:LOAD:LIM '" + sample + "'");
    EXPECT_EQ(NextError(), 0);
    EXPECT_EQ(Core.Limits(), ReadLimitFile(sample));
    EXPECT_FALSE(Core.Limits().Segments.empty());
    EXPECT_EQ(Send("CALC:LIM:STAT?"), "0") << "loading leaves the switch alone";

    TempDir dir("myrl-lim");
    std::ofstream(dir / "foreign.myrllim") << "frequency,value\n1,2\n";
    Send("MMEM:LOAD:LIM \"" + (dir / "foreign.myrllim").string() + "\"");
    std::string text;
    EXPECT_EQ(NextError(&text), -250) << text;
    EXPECT_NE(text.find("foreign.myrllim"), std::string::npos) << text;
    EXPECT_EQ(Core.Limits(), ReadLimitFile(sample));
}

// The verdict as a client reads it: 0 while the limits are off (whatever they would say),
// nothing but a -230 while no settled sweep has been judged, and 1 for FAIL and for no
// points in range as for FAIL itself.
TEST_F(InstrumentCommandsTest, TheLimitsVerdictIsOneOnFailAndZeroWhileOff) {
    EXPECT_EQ(Send("CALC:LIM:FAIL?"), "0") << "off";
    EXPECT_EQ(NextError(), 0);
    Send("CALC:LIM:STAT ON");
    EXPECT_TRUE(Core.LimitsOn()) << "the core's switch, as the tools window's";
    std::string text;
    EXPECT_EQ(Send("CALC:LIM:FAIL?"), "") << "nothing judged yet";
    EXPECT_EQ(NextError(&text), -230) << text;
    Send("CALC:LIM:STAT OFF");
    EXPECT_FALSE(Core.LimitsOn());
    EXPECT_EQ(Send("CALC:LIM:STAT?;FAIL?"), "0;0");
    EXPECT_EQ(NextError(), 0);
}

TEST(InstrumentNumbers, AnswersReadBackToTheSameValue) {
    struct Case {
        double v;
        const char* text;
    } cases[] = {{10700000, "10700000"}, {-3.25, "-3.25"}, {0, "0"},     {2147483647, "2147483647"},
                 {1.5e-7, "1.5E-07"},    {1e16, "1E+16"},  {0.1, "0.1"}, {NAN, "9.91E37"},
                 {INFINITY, "9.91E37"}};
    for (const Case& c : cases) {
        EXPECT_EQ(InstrumentCommands::Number(c.v), c.text);
    }
}

} // namespace
