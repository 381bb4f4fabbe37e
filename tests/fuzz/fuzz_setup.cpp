// The set-up file reader. The input is a set-up file's bytes. A file that is refused names
// its line; one that reads writes a file that reads back to the same set-up and the same
// text, and every value lies in its range.
#include "FreqPlan.h"
#include "FuzzSupport.h"
#include "MeasState.h"
#include "SetupFile.h"

#include <cmath>
#include <string>

using namespace myrl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Setup s;
    try {
        s = ParseSetupFile(input, "/fuzz");
    } catch (const ESetupFileError& e) {
        const std::string what = e.what();
        FUZZ_CHECK(what.rfind("Line ", 0) == 0);
        FUZZ_CHECK(what.find(" of the set-up file: ") != std::string::npos);
        FUZZ_CHECK(what.back() == '.');
        return 0;
    }
    FUZZ_CHECK(s.FDefIndex >= 0 && s.FDefIndex <= 2);
    FUZZ_CHECK(s.SweepTimeIdx >= 0 && s.SweepTimeIdx < kSweepTimeItemCount);
    FUZZ_CHECK(s.AvrNum >= 1 && s.AvrNum <= kRingDepth);
    FUZZ_CHECK(s.Mode == "THRU" || s.Mode == "NORM" || s.Mode == "CAL");
    FUZZ_CHECK(s.RefPos >= 0 && s.RefPos <= 9);
    FUZZ_CHECK(std::fabs(s.RefLevel) < 100);
    FUZZ_CHECK(s.DbPerDiv == 1 || s.DbPerDiv == 2 || s.DbPerDiv == 5 || s.DbPerDiv == 10);
    FUZZ_CHECK(s.Calibration.empty() || s.Calibration.front() == '/');
    const std::string written = FormatSetupFile(s);
    const Setup again = ParseSetupFile(written, "/elsewhere");
    FUZZ_CHECK(again == s);
    FUZZ_CHECK(FormatSetupFile(again) == written);
    return 0;
}
