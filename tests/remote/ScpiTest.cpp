// The remote-control language without an instrument: the syntax of a line, the headers'
// forms, the error queue with its standard numbers, the waiting commands and a client's
// lines as they arrive. A small command set of the test's own stands for the instrument.
#include "ScpiParser.h"
#include "ScpiSession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace myrl;

namespace {

// ---------------------------------------------------------------------------------------
// Syntax

TEST(ScpiSyntax, AUnitSplitsIntoItsHeaderAndParameters) {
    const ScpiUnit u = ParseScpiUnit("  :sense:FREQ:Star 10.7 MHz ,'a''b' , on,\"x;y\"");
    EXPECT_TRUE(u.Absolute);
    EXPECT_FALSE(u.Query);
    EXPECT_EQ(u.Nodes, (std::vector<std::string>{"SENSE", "FREQ", "STAR"}));
    ASSERT_EQ(u.Params.size(), 4u);
    EXPECT_EQ(u.Params[0].Type, ScpiParam::Kind::Numeric);
    EXPECT_EQ(u.Params[0].Number, 10.7);
    EXPECT_EQ(u.Params[0].Suffix, "MHZ");
    EXPECT_EQ(u.Params[1].Type, ScpiParam::Kind::String);
    EXPECT_EQ(u.Params[1].Text, "a'b");
    EXPECT_EQ(u.Params[2].Type, ScpiParam::Kind::Character);
    EXPECT_EQ(u.Params[2].Text, "ON");
    EXPECT_EQ(u.Params[3].Text, "x;y");

    const ScpiUnit q = ParseScpiUnit("*idn?");
    EXPECT_TRUE(q.Common && q.Query);
    EXPECT_EQ(q.Nodes, std::vector<std::string>{"*IDN"});

    struct Number {
        const char* text;
        double value;
    } numbers[] = {{"X 1", 1},         {"X +.5", 0.5},    {"X -2.", -2},   {"X 1e3", 1000},
                   {"X 1 E -3", 1e-3}, {"X 2.5E+2", 250}, {"X 1e-400", 0}, {"X 007", 7}};
    for (const Number& n : numbers) {
        const ScpiUnit v = ParseScpiUnit(n.text);
        ASSERT_EQ(v.Params.size(), 1u) << n.text;
        EXPECT_EQ(v.Params[0].Number, n.value) << n.text;
    }
}

TEST(ScpiSyntax, UnitsSplitAtSemicolonsOutsideStrings) {
    EXPECT_EQ(SplitScpiUnits("A;B 'x;y';C"), (std::vector<std::string_view>{"A", "B 'x;y'", "C"}));
    EXPECT_EQ(SplitScpiUnits("*RST;"), std::vector<std::string_view>{"*RST"});
    EXPECT_EQ(SplitScpiUnits("A;;B").size(), 3u) << "the empty unit is kept for the parser";
    EXPECT_EQ(SplitScpiUnits("A \"open;B"), std::vector<std::string_view>{"A \"open;B"});
}

TEST(ScpiSyntax, WhatBreaksTheSyntaxHasItsNumber) {
    struct Case {
        std::string text;
        ScpiCode code;
    } cases[] = {
        {"", ScpiCode::SyntaxError},
        {"FREQ:", ScpiCode::SyntaxError},
        {"FREQ::STAR", ScpiCode::SyntaxError},
        {"1FREQ", ScpiCode::SyntaxError},
        {"FREQ:STAR,1", ScpiCode::HeaderSeparatorError},
        {"*IDN?x", ScpiCode::HeaderSeparatorError},
        {"ABCDEFGHIJKLM", ScpiCode::MnemonicTooLong},
        {"X 1 2", ScpiCode::InvalidSeparator},
        {"X 1,", ScpiCode::SyntaxError},
        {"X 'open", ScpiCode::InvalidStringData},
        {"X #HFF", ScpiCode::DataTypeError},
        {"X @", ScpiCode::InvalidCharacter},
        {"X \xC3\xA9", ScpiCode::InvalidCharacter},
        {"X 1e999", ScpiCode::ExponentTooLarge},
        {"X 1.2.3", ScpiCode::InvalidCharacterInNumber},
        {"X 1e+", ScpiCode::InvalidCharacterInNumber},
        {"X -", ScpiCode::NumericDataError},
        {"X ABCDEFGHIJKLM", ScpiCode::CharacterDataTooLong},
        {"X 1 ABCDEFGHIJKLM", ScpiCode::SuffixTooLong},
        {"X " + std::string(256, '1'), ScpiCode::TooManyDigits},
    };
    for (const Case& c : cases) {
        try {
            ParseScpiUnit(c.text);
            ADD_FAILURE() << "'" << c.text << "' was taken";
        } catch (const ScpiError& e) {
            EXPECT_EQ(e.Code, c.code) << "'" << c.text << "': " << e.what() << "; " << e.Detail;
        }
    }
    EXPECT_EQ(ParseScpiUnit("X " + std::string(255, '1')).Params.size(), 1u)
        << "255 digits are not too many";
}

TEST(ScpiSyntax, HeadersMatchTheirShortAndLongFormsOnly) {
    struct Case {
        const char* pattern;
        std::vector<std::string> nodes;
        ScpiPattern::Fit fit;
        int suffix;
    } cases[] = {
        {"[SENSe]:FREQuency:STARt", {"SENS", "FREQ", "STAR"}, ScpiPattern::Fit::Yes, 1},
        {"[SENSe]:FREQuency:STARt", {"SENSE", "FREQUENCY", "START"}, ScpiPattern::Fit::Yes, 1},
        {"[SENSe]:FREQuency:STARt", {"FREQ", "STAR"}, ScpiPattern::Fit::Yes, 1},
        {"[SENSe]:FREQuency:STARt", {"FREQU", "STAR"}, ScpiPattern::Fit::No, 1},
        {"[SENSe]:FREQuency:STARt", {"FRE", "STAR"}, ScpiPattern::Fit::No, 1},
        {"[SENSe]:FREQuency:STARt", {"SENS", "FREQ"}, ScpiPattern::Fit::No, 1},
        {"[SENSe]:FREQuency:STARt", {"FREQ", "STAR", "X"}, ScpiPattern::Fit::No, 1},
        {"[SENSe]:FREQuency:STARt", {"FREQ1", "STAR"}, ScpiPattern::Fit::No, 1},
        {"CALCulate:MARKer#:X", {"CALC", "MARK", "X"}, ScpiPattern::Fit::Yes, 1},
        {"CALCulate:MARKer#:X", {"CALC", "MARKER2", "X"}, ScpiPattern::Fit::Yes, 2},
        {"CALCulate:MARKer#:X", {"CALC", "MARK3", "X"}, ScpiPattern::Fit::SuffixOutOfRange, 0},
        {"CALCulate:MARKer#:X", {"CALC", "MARK0", "X"}, ScpiPattern::Fit::SuffixOutOfRange, 0},
        {"CALCulate:MARKer#:X", {"CALC", "MARK3", "Y"}, ScpiPattern::Fit::No, 0},
        {"SYSTem:ERRor[:NEXT]", {"SYST", "ERR"}, ScpiPattern::Fit::Yes, 1},
        {"SYSTem:ERRor[:NEXT]", {"SYST", "ERR", "NEXT"}, ScpiPattern::Fit::Yes, 1},
        {"DISPlay[:WINDow]:TRACe:Y[:SCALe]:RLEVel",
         {"DISP", "TRAC", "Y", "RLEV"},
         ScpiPattern::Fit::Yes,
         1},
        {"*IDN", {"*IDN"}, ScpiPattern::Fit::Yes, 1},
        {"*IDN", {"IDN"}, ScpiPattern::Fit::No, 1},
    };
    for (const Case& c : cases) {
        const int max = 2;
        int suffix = 0;
        EXPECT_EQ(ScpiPattern(c.pattern, max).Match(c.nodes, &suffix), c.fit) << c.pattern;
        if (c.fit == ScpiPattern::Fit::Yes) {
            EXPECT_EQ(suffix, c.suffix) << c.pattern;
        }
    }
}

// ---------------------------------------------------------------------------------------
// A session against a command set of the test's own

class ScpiSessionTest : public ::testing::Test {
protected:
    ScpiSessionTest()
        : I({[] { return std::string("TEST,SET,1,2"); }, [this] { Start = 0; },
             [this] { return Busy; }}) {
        I.Add(
            "[SENSe]:FREQuency:STARt",
            [this](const ScpiCall& c) {
                c.Expect(1, 1);
                const double v = c.Number(0, kHertz);
                if (v < 0 || v > 1e9) {
                    throw ScpiError(ScpiCode::DataOutOfRange);
                }
                Start = v;
            },
            [this](const ScpiCall& c) {
                c.Expect(0, 0);
                return std::to_string(static_cast<long long>(Start));
            });
        I.Add("[SENSe]:FREQuency:STOP", [this](const ScpiCall& c) { Stop = c.Number(0, kHertz); });
        I.Add("CALCulate:MODE", [this](const ScpiCall& c) {
            c.Expect(1, 1);
            Mode = c.Choice(0, {"THRU", "CAL", "NORM"});
        });
        I.Add("INITiate:CONTinuous", [this](const ScpiCall& c) { Run = c.Boolean(0); });
        I.Add("MMEMory:STORe:TRACe", [this](const ScpiCall& c) { File = c.Text(0); });
        I.Add(
            "CALCulate:MARKer#:X", [this](const ScpiCall& c) { Marker[c.Suffix()] = c.Number(0); },
            {}, 2);
        I.Add("BIG", {}, [](const ScpiCall&) { return std::string(100000, 'x'); });
        I.Add("FAIL", [](const ScpiCall&) { throw std::runtime_error("it went wrong"); });
    }

    // Sends `bytes`; returns what came back.
    std::string Send(const std::string& bytes) {
        S.Receive(bytes);
        std::string out = S.Output();
        S.Output().clear();
        return out;
    }
    // The number of the oldest error (its whole entry in `text`).
    int NextError(std::string* text = nullptr) {
        const std::string e = Send("SYST:ERR?\n");
        if (text) {
            *text = e;
        }
        return std::stoi(e);
    }

    static constexpr ScpiCall::Scale kHertz[] = {{"HZ", 1}, {"KHZ", 1e3}, {"MHZ", 1e6}};
    double Start = 0, Stop = 0;
    size_t Mode = 9;
    bool Run = false;
    bool Busy = false;
    std::string File;
    double Marker[3] = {0, 0, 0};
    ScpiInterpreter I;
    ScpiSession S{I};
};

TEST_F(ScpiSessionTest, CommandsAreSilentAndTheQueriesOfALineShareOneLine) {
    EXPECT_EQ(Send("FREQ:STAR 5 kHz\n"), "");
    EXPECT_EQ(Start, 5000);
    EXPECT_EQ(Send("freq:star?\n"), "5000\n");
    EXPECT_EQ(Send("*IDN?;:FREQ:STAR?;*OPC?\r\n"), "TEST,SET,1,2;5000;1\n");
    EXPECT_EQ(Send("\n   \n"), "") << "empty lines are answered by nothing";
    EXPECT_EQ(NextError(), 0);
}

TEST_F(ScpiSessionTest, ShortLongAndAnyCaseNameTheSameCommand) {
    const char* forms[] = {"SENSE:FREQUENCY:START 1", "SENS:FREQ:STAR 2", "freq:star 3",
                           ":Frequency:Start 4", "sEnS:fReQ:sTaRt 5"};
    double expected = 1;
    for (const char* f : forms) {
        Send(std::string(f) + "\n");
        EXPECT_EQ(Start, expected++) << f;
    }
    EXPECT_EQ(NextError(), 0);
    Send("FREQU:STAR 9\n");
    EXPECT_EQ(NextError(), -113) << "only the short and the long form";
    EXPECT_EQ(Start, 5);
}

TEST_F(ScpiSessionTest, AHeaderGoesOnFromThePathOfThePreviousOne) {
    Send("FREQ:STAR 1;STOP 2\n");
    EXPECT_EQ(Start, 1);
    EXPECT_EQ(Stop, 2);
    Send("SENS:FREQ:STAR 3;:CALC:MODE NORM;MODE CAL\n");
    EXPECT_EQ(Start, 3);
    EXPECT_EQ(Mode, 1u);
    Send("FREQ:STAR 4;FREQ:STOP 5\n");
    EXPECT_EQ(Stop, 5) << "a header that fits no path is taken from the root";
    Send("CALC:MARK2:X 7;*IDN?;X 8;:CALC:MARK1:X 6\n");
    EXPECT_EQ(Marker[1], 6);
    EXPECT_EQ(Marker[2], 8) << "a common command leaves the path as it was";
    EXPECT_EQ(NextError(), 0);
    Send("CALC:MARK2:X 9;MARK1:X 5\n");
    EXPECT_EQ(NextError(), -113) << "MARK1 is no node below CALC:MARK2";
    EXPECT_EQ(Marker[1], 6);
}

// Each bad command of the table puts its standard number in the queue, nothing of it is
// carried out, and the instrument answers the next command as ever.
TEST_F(ScpiSessionTest, EachBadCommandGivesItsStandardNumberAndTheNextOneWorks) {
    struct Case {
        std::string line;
        int code;
    } cases[] = {
        {"FOO:BAR 1", -113},
        {"FREQ:STAR?:X", -111},
        {"*RST?", -113},
        {"*IDN", -113},
        {"FREQ:STAR", -109},
        {"FREQ:STAR 1,2", -108},
        {"*IDN? 1", -108},
        {"FREQ:STAR ON", -148},
        {"FREQ:STAR 'x'", -158},
        {"CALC:MODE 1", -128},
        {"CALC:MODE SIDEWAYS", -224},
        {"INIT:CONT MAYBE", -224},
        {"FREQ:STAR 1 PARSEC", -131},
        {"CALC:MARK1:X 1 HZ", -138},
        {"FREQ:STAR 2e9", -222},
        {"FREQ:STAR 1e999", -123},
        {"FREQ:STAR 1.2.3", -121},
        {"FREQ:STAR #B101", -104},
        {"MMEM:STOR:TRAC \"unterminated", -151},
        {"CALC:MARK3:X 1", -114},
        {"FREQ::STAR 1", -102},
        {"FREQ:STAR,1", -111},
        {"FREQUENCYLONG:STAR 1", -112},
        {";FREQ:STAR 1", -102},
        {"FREQ:STAR \x01"
         "1",
         -101},
        {std::string("FREQ:STAR 1\0", 12), -101},
        {"FREQ:STAR 1 \x7F", -101},
        {"MMEM:STOR:TRAC \"\xC3\x28\"", -101},
        {"MMEM:STOR:TRAC \"\xED\xA0\x80\"", -101},
        {"FAIL", -200},
        {"FREQ:STAR " + std::string(ScpiSession::kLineMax, '1'), -363},
    };
    for (const Case& c : cases) {
        Start = 42;
        Stop = 0;
        EXPECT_EQ(Send(c.line + "\n"), "") << c.line.substr(0, 60);
        std::string text;
        EXPECT_EQ(NextError(&text), c.code) << c.line.substr(0, 60) << " -> " << text;
        EXPECT_EQ(NextError(), 0) << c.line.substr(0, 60) << ": one error, one entry";
        EXPECT_EQ(Start, 42) << c.line.substr(0, 60);
        EXPECT_EQ(Stop, 0) << c.line.substr(0, 60);
        EXPECT_EQ(Send("*IDN?\n"), "TEST,SET,1,2\n") << c.line.substr(0, 60);
    }
}

TEST_F(ScpiSessionTest, TheQueueKeepsItsErrorsInOrderAndTellsItOverflowed) {
    std::string text;
    Send("FOO\n");
    EXPECT_EQ(NextError(&text), -113);
    EXPECT_EQ(text, "-113,\"Undefined header;FOO\"\n");
    EXPECT_EQ(Send("SYST:ERR?\n"), "0,\"No error\"\n");

    for (size_t k = 0; k < ScpiErrorQueue::kDepth + 5; ++k) {
        Send(k % 2 ? "FOO\n" : "FREQ:STAR 2e9\n");
    }
    EXPECT_EQ(Send("SYST:ERR:COUN?\n"), std::to_string(ScpiErrorQueue::kDepth) + "\n");
    for (size_t k = 0; k + 1 < ScpiErrorQueue::kDepth; ++k) {
        EXPECT_EQ(NextError(), k % 2 ? -113 : -222) << k;
    }
    EXPECT_EQ(NextError(&text), -350);
    EXPECT_EQ(text, "-350,\"Queue overflow\"\n");
    EXPECT_EQ(NextError(), 0);

    Send("*CLS;FOO\n");
    EXPECT_EQ(Send("*ESR?\n"), "32\n") << "a command error sets its bit of the event status";
    EXPECT_EQ(Send("*ESR?\n"), "0\n") << "read and cleared";
    EXPECT_EQ(Send("*STB?\n"), "4\n") << "the queue is not empty";
    Send("*CLS\n");
    EXPECT_EQ(Send("*STB?;SYST:ERR?\n"), "0;0,\"No error\"\n");
}

TEST_F(ScpiSessionTest, ACommandErrorEndsItsLineAnExecutionErrorDoesNot) {
    EXPECT_EQ(Send("FREQ:STAR 1;FOO;FREQ:STOP 2;*IDN?\n"), "");
    EXPECT_EQ(Start, 1);
    EXPECT_EQ(Stop, 0);
    EXPECT_EQ(NextError(), -113);
    EXPECT_EQ(Send("FREQ:STAR 2e9;FREQ:STOP 3;*IDN?\n"), "TEST,SET,1,2\n");
    EXPECT_EQ(Stop, 3);
    EXPECT_EQ(NextError(), -222);
}

TEST_F(ScpiSessionTest, OpcWaitsForThePendingOperationsAndHoldsBackTheLinesAfterIt) {
    Busy = true;
    EXPECT_EQ(Send("FREQ:STAR 1;*OPC?;FREQ:STAR 2\nFREQ:STOP 3\n*IDN?\n"), "");
    EXPECT_TRUE(S.Waiting());
    EXPECT_EQ(Start, 1);
    EXPECT_EQ(Stop, 0) << "the lines after a waiting *OPC? wait too";
    S.Continue();
    EXPECT_EQ(S.Output(), "") << "still pending";
    Busy = false;
    S.Continue();
    EXPECT_FALSE(S.Waiting());
    EXPECT_EQ(S.Output(), "1\nTEST,SET,1,2\n");
    EXPECT_EQ(Start, 2);
    EXPECT_EQ(Stop, 3);
    S.Output().clear();

    Busy = true;
    EXPECT_EQ(Send("*WAI;FREQ:STAR 4;*IDN?\n"), "");
    EXPECT_EQ(Start, 2);
    Busy = false;
    S.Continue();
    EXPECT_EQ(Start, 4);
    EXPECT_EQ(S.Output(), "TEST,SET,1,2\n") << "*WAI answers nothing";
    S.Output().clear();

    Busy = true;
    Send("*OPC\n");
    EXPECT_EQ(Send("*ESR?\n"), "0\n");
    Busy = false;
    EXPECT_EQ(Send("*ESR?\n"), "1\n") << "*OPC sets its bit once nothing is pending";
}

TEST_F(ScpiSessionTest, AnUnfinishedLineIsNeverCarriedOut) {
    {
        ScpiSession gone(I);
        gone.Receive("FREQ:STAR 7");
        gone.Receive("00");
    } // the client went before the end of its line
    EXPECT_EQ(Start, 0);
    Send("FREQ:STAR 7");
    EXPECT_EQ(Start, 0);
    Send("00\n");
    EXPECT_EQ(Start, 700) << "a line arriving in pieces is one line";
}

TEST_F(ScpiSessionTest, AnOverlongLineIsRefusedWholeAndTheRestOfItDiscarded) {
    const std::string longLine = "FREQ:STAR 1;" + std::string(ScpiSession::kLineMax, ' ');
    for (size_t at = 0; at < longLine.size(); at += 1000) {
        Send(longLine.substr(at, 1000));
    }
    Send(";FREQ:STOP 5\nFREQ:STOP 6\n");
    EXPECT_EQ(Start, 0);
    EXPECT_EQ(Stop, 6) << "the next line is read as ever";
    EXPECT_EQ(NextError(), -363);
    EXPECT_EQ(NextError(), 0);

    const std::string exact = "FREQ:STAR 9" + std::string(ScpiSession::kLineMax - 11, ' ');
    Send(exact + "\n");
    EXPECT_EQ(Start, 9) << "a line of exactly the limit is taken";
}

TEST_F(ScpiSessionTest, AnswersNotTakenHoldBackTheLinesAfterThem) {
    std::string lines;
    for (int k = 0; k < 20; ++k) {
        lines += "BIG?\n";
    }
    S.Receive(lines + "FREQ:STAR 3\n");
    EXPECT_GE(S.Output().size(), ScpiSession::kOutputMax);
    EXPECT_LT(S.Output().size(), ScpiSession::kOutputMax + 200000);
    EXPECT_EQ(Start, 0) << "held back while the answers are not taken";
    while (!S.Output().empty()) {
        S.Output().clear();
        S.Continue();
    }
    EXPECT_EQ(Start, 3);
}

TEST_F(ScpiSessionTest, ParametersTakeTheirOwnKindsAndUnits) {
    Send("INIT:CONT ON\n");
    EXPECT_TRUE(Run);
    Send("INIT:CONT 0\n");
    EXPECT_FALSE(Run);
    Send("INIT:CONT 0.7\n");
    EXPECT_TRUE(Run);
    Send("CALC:MODE norm\n");
    EXPECT_EQ(Mode, 2u);
    Send("MMEM:STOR:TRAC 'a \"b\" ''c'''\n");
    EXPECT_EQ(File, "a \"b\" 'c'");
    Send("MMEM:STOR:TRAC \"M\xC3\xBCller.csv\"\n");
    EXPECT_EQ(File, "M\xC3\xBCller.csv") << "UTF-8 in a string";
    Send("FREQ:STAR 2.5MHZ;STOP 10 khz\n");
    EXPECT_EQ(Start, 2.5e6);
    EXPECT_EQ(Stop, 1e4);
    EXPECT_EQ(NextError(), 0);
}

} // namespace
