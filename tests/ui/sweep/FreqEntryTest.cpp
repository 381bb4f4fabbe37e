// Frequency entry typed into the control panel's fields: the rewritten fields, the plan,
// the display window's four labels and Graph1's x range.
#include "ProgramFixture.h"

#include "TGraph.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace myrl;

namespace {

struct EntryCase {
    const char* name;
    int fdef; // F_DEF item
    const char* typed1;
    const char* typed2;
    const char* field1; // the fields after Enter
    const char* field2;
    double start, stop;
    bool zeroSpan;
    const char* fl;
    const char* fc;
    const char* fu;
    const char* fdiv;
    double xmin, xmax;
};

class FreqEntryTest : public ProgramTest, public ::testing::WithParamInterface<EntryCase> {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        Config.Unit.Faults.Silence = 1; // no sweep is processed: the averaging stays put
        StartSimulator();
        StartProgram();
        ASSERT_TRUE(Errors.empty()) << Errors.front();
    }
    void Type(QLineEdit* field, const char* text) {
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
    std::vector<std::string> Labels() {
        return {S(Form2().Label_FL->text()), S(Form2().Label_FC->text()),
                S(Form2().Label_FU->text()), S(Form2().Label_FDIV->text())};
    }
    static std::string S(const QString& q) { return q.toStdString(); }
};

} // namespace

TEST_P(FreqEntryTest, EnterAppliesTheFields) {
    const EntryCase& c = GetParam();
    Form1().F_DEF->setCurrentIndex(c.fdef);
    Type(Form1().Edit1, c.typed1);
    Type(Form1().Edit2, c.typed2);
    State().AvrCount = 3;
    QTest::keyClick(Form1().Edit2, Qt::Key_Return);

    EXPECT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_EQ(Form1().Edit1->text(), c.field1);
    EXPECT_EQ(Form1().Edit2->text(), c.field2);
    EXPECT_EQ(State().StartFreq, c.start);
    EXPECT_EQ(State().StopFreq, c.stop);
    EXPECT_EQ(State().ZeroSpan, c.zeroSpan);
    EXPECT_EQ(Labels(), (std::vector<std::string>{c.fl, c.fc, c.fu, c.fdiv}));
    EXPECT_EQ(Form2().Graph1->plot().Xmin, c.xmin);
    EXPECT_EQ(Form2().Graph1->plot().Xmax, c.xmax);
    EXPECT_EQ(State().AvrCount, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, FreqEntryTest,
    ::testing::Values(EntryCase{"CentreSpanSuffixes", 1, "10.7M", "100k", "10700000", "100000",
                                10650000, 10750000, false, "10,650,000", "10,700,000", "10,750,000",
                                "   10,000  Hz/div", 10650000, 10750000},
                      EntryCase{"LowerCaseMega", 0, "12m", "20M", "12000000", "20000000", 12000000,
                                20000000, false, "12,000,000", "16,000,000", "20,000,000",
                                "  800,000  Hz/div", 12000000, 20000000},
                      EntryCase{"StartAboveStop", 0, "2000000", "1000000", "2000000", "2000000",
                                2000000, 2000000, true, "", "2,000,000", "", "", 0, 100},
                      EntryCase{"SpanZero", 1, "1000000", "0", "1000000", "0", 1000000, 1000000,
                                true, "", "1,000,000", "", "", 0, 100},
                      EntryCase{"SpanThree", 1, "1000000", "3", "1000000", "3", 999998.5, 1000001.5,
                                false, "  999,999", "1,000,000", "1,000,002", "        0  Hz/div",
                                999998.5, 1000001.5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FreqEntryTest, EmptyFieldShowsTheMessageAndKeepsThePlan) {
    const std::vector<std::string> labels = Labels();
    Form1().Edit1->clear();
    State().AvrCount = 3;
    QTest::keyClick(Form1().Edit1, Qt::Key_Return);
    EXPECT_EQ(Errors, std::vector<std::string>{"'' は浮動小数点数ではありません."});
    EXPECT_EQ(State().StartFreq, 0);
    EXPECT_EQ(State().StopFreq, 20000000);
    EXPECT_EQ(Labels(), labels);
    EXPECT_EQ(Form2().Graph1->plot().Xmax, 20000000);
    EXPECT_EQ(State().AvrCount, 1); // the averaging restarted before the failure
}

TEST_F(FreqEntryTest, ChangingTheDefinitionRewritesFieldsAndCaptions) {
    Form1().F_DEF->setCurrentIndex(1);
    Type(Form1().Edit1, "10.7M");
    Type(Form1().Edit2, "100k");
    QTest::keyClick(Form1().Edit1, Qt::Key_Return);

    Form1().F_DEF->setCurrentIndex(0);
    EXPECT_EQ(Form1().Edit1->text(), "10650000");
    EXPECT_EQ(Form1().Edit2->text(), "10750000");
    EXPECT_EQ(Form1().Label6->text(), "START");
    EXPECT_EQ(Form1().Label7->text(), "STOP");

    Form1().F_DEF->setCurrentIndex(2);
    EXPECT_EQ(Form1().Label6->text(), "FREQUENCY");
    EXPECT_EQ(Form1().Label7->text(), "");
    EXPECT_TRUE(Form1().Edit2->isHidden());
    EXPECT_TRUE(Form1().Label9->isHidden());
    EXPECT_TRUE(State().ZeroSpan);
    EXPECT_EQ(Form2().Label_FC->text(), "10,700,000");
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

// The fields take at most 11 typed characters, but what the program writes into them stays
// whole: the overflow message quotes the full integer.
TEST_F(FreqEntryTest, TypingStopsAtElevenCharactersWhileTheProgramsTextsStayWhole) {
    Type(Form1().Edit1, "123456789012345");
    EXPECT_EQ(Form1().Edit1->text(), "12345678901");
    QTest::keyClick(Form1().Edit1, Qt::Key_Backspace);
    EXPECT_EQ(Form1().Edit1->text(), "1234567890");

    Type(Form1().Edit1, "99999999M");
    QTest::keyClick(Form1().Edit1, Qt::Key_Return);
    EXPECT_EQ(Errors, std::vector<std::string>{"'99999999000000' は整数ではありません."});
    EXPECT_EQ(Form1().Edit1->text(), "99999999000000");
    // Longer than the limit already: it can be shortened, not lengthened.
    QTest::keyClick(Form1().Edit1, Qt::Key_End);
    QTest::keyClick(Form1().Edit1, Qt::Key_5);
    EXPECT_EQ(Form1().Edit1->text(), "99999999000000");
    QTest::keyClick(Form1().Edit1, Qt::Key_Backspace);
    EXPECT_EQ(Form1().Edit1->text(), "9999999900000");
}
