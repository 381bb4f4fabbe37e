// The frequency entry's controls as plain values: the control panel's F_DEF text and two
// fields with their captions, the display window's four frequency labels and Graph1's x range.
#pragma once

#include "FreqEntry.h"

#include <cstdint>
#include <string>

namespace myrl {

struct PlainFreqEntry : FreqEntryView {
    std::string fdef = "CENTER/SPAN";
    std::string edit1 = "10700000", edit2 = "100000";
    std::string label6 = "CENTER", label7 = "SPAN";
    bool secondVisible = true;
    std::string fl = "?", fc = "?", fu = "?", fdiv = "?";
    double xmin = -1, xmax = 1;
    char decimalSep = '.'; // the thousands separator is the other of '.' and ','

    std::string FDefText() const override { return fdef; }
    std::string Edit1Text() const override { return edit1; }
    std::string Edit2Text() const override { return edit2; }
    void SetEdit1Text(const std::string& t) override { edit1 = t; }
    void SetEdit2Text(const std::string& t) override { edit2 = t; }
    void SetFieldCaptions(const std::string& a, const std::string& b) override {
        label6 = a;
        label7 = b;
    }
    void SetSecondFieldVisible(bool v) override { secondVisible = v; }
    void SetFreqLabels(const std::string& a, const std::string& b, const std::string& c,
                       const std::string& d) override {
        fl = a;
        fc = b;
        fu = c;
        fdiv = d;
    }
    int32_t XGridNum() const override { return 10; }
    void SetXRange(double a, double b) override {
        xmin = a;
        xmax = b;
    }
    char DecimalSeparator() const override { return decimalSep; }
    char ThousandsSeparator() const override { return decimalSep == ',' ? '.' : ','; }
};

} // namespace myrl
