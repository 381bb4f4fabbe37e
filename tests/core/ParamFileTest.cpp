#include "ParamFile.h"
#include "Errors.h"

#include <gtest/gtest.h>

using namespace myrl;

namespace {

// Records what was applied, in order.
struct Recorder : ParamSink {
    std::vector<std::string> log;
    void put(const std::string& s) { log.push_back(s); }
    void SetPortNo(int32_t v) override { put("port " + std::to_string(v)); }
    void SetGenClock(double v) override { put("clock " + std::to_string(v)); }
    void SetFrexRef(double v) override { put("frexref " + std::to_string(v)); }
    void SetLevelOffset(double v) override { put("offset " + std::to_string(v)); }
    void SetFDefIndex(int32_t v) override { put("fdef " + std::to_string(v)); }
    void SetEdit1(const std::string& v) override { put("edit1 " + v); }
    void SetEdit2(const std::string& v) override { put("edit2 " + v); }
    void SetFrex(bool v) override { put(v ? "frex on" : "frex off"); }
    void SetMarker1X(int32_t v) override { put("m1 " + std::to_string(v)); }
    void SetMarker2X(int32_t v) override { put("m2 " + std::to_string(v)); }
    void SetForm1Top(int32_t v) override { put("f1top " + std::to_string(v)); }
    void SetForm1Left(int32_t v) override { put("f1left " + std::to_string(v)); }
    void SetForm1Width(int32_t v) override { put("f1width " + std::to_string(v)); }
    void SetForm2Top(int32_t v) override { put("f2top " + std::to_string(v)); }
    void SetForm2Left(int32_t v) override { put("f2left " + std::to_string(v)); }
    void PlaceForm2BesideForm1() override { put("beside"); }
};

const std::vector<std::string> kFirstRun = {"1", "67108864", "12800000", "0",  "0",
                                            "0", "20000000", "OFF",      "90", "358",
                                            "0", "0",        "265",      "0",  "265"};

} // namespace

TEST(ParamFile, FirstRunFileBytes) {
    StoredParams p;
    p.Marker1X = 90;
    p.Marker2X = 358;
    p.Form1Width = 265;
    p.Form2Left = 265;
    std::string expected;
    for (const auto& l : kFirstRun) {
        expected += l + "\r\n";
    }
    EXPECT_EQ(FormatParamFile(p, '.'), expected);
}

TEST(ParamFile, ReadsBackWhatItWrites) {
    StoredParams p;
    p.GenClock = 33554432.25;
    p.LevelOffset = -1.5e-7;
    p.Frex = true;
    p.Edit1 = "10.7M";
    for (char sep : {'.', ','}) {
        std::string text = FormatParamFile(p, sep);
        std::vector<std::string> lines;
        for (size_t b = 0, e; (e = text.find("\r\n", b)) != std::string::npos; b = e + 2) {
            lines.push_back(text.substr(b, e - b));
        }
        Recorder r;
        ApplyParamLines(lines, sep, r);
        EXPECT_EQ(r.log[1], "clock " + std::to_string(33554432.25));
        EXPECT_EQ(r.log[3], "offset " + std::to_string(-1.5e-7));
        EXPECT_EQ(r.log[5], "edit1 10.7M");
        EXPECT_EQ(r.log[7], "frex on");
    }
}

TEST(ParamFile, AppliesEveryLineInOrder) {
    Recorder r;
    ApplyParamLines(kFirstRun, '.', r);
    EXPECT_EQ(r.log, (std::vector<std::string>{"port 1", "clock 67108864.000000",
                                               "frexref 12800000.000000", "offset 0.000000",
                                               "fdef 0", "edit1 0", "edit2 20000000", "frex off",
                                               "m1 90", "m2 358", "f1top 0", "f1left 0",
                                               "f1width 265", "f2top 0", "f2left 265"}));
}

TEST(ParamFile, OnlyExactOnTicksFrex) {
    for (const char* text : {"on", "On", "ON ", "OFF", ""}) {
        auto lines = kFirstRun;
        lines[7] = text;
        Recorder r;
        ApplyParamLines(lines, '.', r);
        EXPECT_EQ(r.log[7], "frex off") << text;
    }
}

TEST(ParamFile, GuardedTailFallsBackBesideTheControlPanel) {
    struct Case {
        size_t keep;
        const char* badLine; // replaces line `keep + 1` when set
        const char* last;
    };
    const Case cases[] = {{12, nullptr, "beside"},
                          {13, nullptr, "beside"},
                          {12, "wide", "beside"},
                          {14, "x", "beside"},
                          {15, nullptr, "f2left 265"}};
    for (const auto& c : cases) {
        std::vector<std::string> lines(kFirstRun.begin(),
                                       kFirstRun.begin() + static_cast<long>(c.keep));
        if (c.badLine) {
            lines.push_back(c.badLine);
        }
        Recorder r;
        ApplyParamLines(lines, '.', r);
        EXPECT_EQ(r.log.back(), c.last) << c.keep;
    }
}

TEST(ParamFile, BadLinesStopWithTheirTextAndKeepWhatCameBefore) {
    struct Case {
        size_t line;
        const char* text;
        const char* message;
        size_t applied;
    };
    const Case cases[] = {{1, "COM3", "'COM3' は整数ではありません", 0},
                          {2, "fast", "'fast' は浮動小数点数ではありません", 1},
                          {4, "", "'' は浮動小数点数ではありません", 3},
                          {9, "9O", "'9O' は整数ではありません", 8},
                          {12, "", "'' は整数ではありません", 11}};
    for (const auto& c : cases) {
        auto lines = kFirstRun;
        lines[c.line - 1] = c.text;
        Recorder r;
        try {
            ApplyParamLines(lines, '.', r);
            ADD_FAILURE() << "line " << c.line;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_EQ(r.log.size(), c.applied) << "line " << c.line;
    }
    // A file that ends early fails on its first missing converted line.
    Recorder r;
    EXPECT_THROW(ApplyParamLines({"1", "67108864", "12800000", "0", "0"}, '.', r), EConvertError);
}
