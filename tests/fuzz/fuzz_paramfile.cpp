// The parameter-file loader: the input is the file's bytes, read with the loader's own
// line reader and applied with the decimal separator of a locale that could have written
// it: the comma when the file holds one, else the point. Whatever loaded (all of it, or
// the lines before a failing one, over the first-run values) is what the program would
// write back at close; that file must load again completely and write the same bytes.
#include "Errors.h"
#include "FuzzSupport.h"
#include "ParamFile.h"

#include <string>
#include <vector>

using namespace myrl;

namespace {

// Collects what the loader applies into the form the program writes.
struct Collect : ParamSink {
    StoredParams p;
    int applied = 0;
    bool beside = false;
    void SetPortNo(int32_t v) override { p.PortNo = v, ++applied; }
    void SetGenClock(double v) override { p.GenClock = v, ++applied; }
    void SetFrexRef(double v) override { p.FrexRef = v, ++applied; }
    void SetLevelOffset(double v) override { p.LevelOffset = v, ++applied; }
    void SetFDefIndex(int32_t v) override { p.FDefIndex = v, ++applied; }
    void SetEdit1(const std::string& v) override { p.Edit1 = v, ++applied; }
    void SetEdit2(const std::string& v) override { p.Edit2 = v, ++applied; }
    void SetFrex(bool v) override { p.Frex = v, ++applied; }
    void SetMarker1X(int32_t v) override { p.Marker1X = v, ++applied; }
    void SetMarker2X(int32_t v) override { p.Marker2X = v, ++applied; }
    void SetForm1Top(int32_t v) override { p.Form1Top = v, ++applied; }
    void SetForm1Left(int32_t v) override { p.Form1Left = v, ++applied; }
    void SetForm1Width(int32_t v) override { p.Form1Width = v, ++applied; }
    void SetForm2Top(int32_t v) override { p.Form2Top = v, ++applied; }
    void SetForm2Left(int32_t v) override { p.Form2Left = v, ++applied; }
    void PlaceForm2BesideForm1() override { beside = true; }
};

fuzz::MemFile& File() {
    static fuzz::MemFile file;
    return file;
}

// Loads `bytes` as the file; false when a line among 1 to 12 does not convert.
bool Load(std::string_view bytes, char sep, Collect& into) {
    const std::vector<std::string> lines = ReadParamLines(File().Put(bytes));
    try {
        ApplyParamLines(lines, sep, into);
    } catch (const EConvertError&) {
        FUZZ_CHECK(into.applied < 12);
        return false;
    }
    FUZZ_CHECK(into.applied >= 12);
    FUZZ_CHECK(into.beside == (into.applied < 15));
    return true;
}

void RoundTrip(std::string_view input, char sep) {
    Collect first;
    Load(input, sep, first);

    const std::string written = FormatParamFile(first.p, sep);
    Collect again;
    const bool loaded = Load(written, sep, again);
    if (!loaded) {
        std::fprintf(stderr, "the program's own file does not load again (separator '%c'):\n%s\n",
                     sep, written.c_str());
    }
    FUZZ_CHECK(loaded);
    FUZZ_CHECK(again.applied == 15 && !again.beside);
    const StoredParams& a = first.p;
    const StoredParams& b = again.p;
    FUZZ_CHECK(a.PortNo == b.PortNo && a.FDefIndex == b.FDefIndex && a.Edit1 == b.Edit1 &&
               a.Edit2 == b.Edit2 && a.Frex == b.Frex && a.Marker1X == b.Marker1X &&
               a.Marker2X == b.Marker2X && a.Form1Top == b.Form1Top && a.Form1Left == b.Form1Left &&
               a.Form1Width == b.Form1Width && a.Form2Top == b.Form2Top &&
               a.Form2Left == b.Form2Left);
    // Real values go through 15 significant digits once; from then on they are fixed.
    FUZZ_CHECK(FormatParamFile(b, sep) == written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    RoundTrip(input, input.find(',') != std::string_view::npos ? ',' : '.');
    return 0;
}
