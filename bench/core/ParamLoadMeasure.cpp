// Loads a parameter file whose first line is one long run of text, through the loader the
// program uses at start-up, and prints how long it took and how long the message is.
// Run under /usr/bin/time for the peak memory:
//   /usr/bin/time -f '%e s, %M KiB' param_load_measure [MiB]
#include "Errors.h"
#include "ParamFile.h"
#include "TextFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace myrl;
namespace fs = std::filesystem;

namespace {

// Takes every value and keeps none.
class NullSink : public ParamSink {
public:
    void SetPortNo(int32_t) override {}
    void SetGenClock(double) override {}
    void SetFrexRef(double) override {}
    void SetLevelOffset(double) override {}
    void SetFDefIndex(int32_t) override {}
    void SetEdit1(const std::string&) override {}
    void SetEdit2(const std::string&) override {}
    void SetFrex(bool) override {}
    void SetMarker1X(int32_t) override {}
    void SetMarker2X(int32_t) override {}
    void SetForm1Top(int32_t) override {}
    void SetForm1Left(int32_t) override {}
    void SetForm1Width(int32_t) override {}
    void SetForm2Top(int32_t) override {}
    void SetForm2Left(int32_t) override {}
    void PlaceForm2BesideForm1() override {}
};

} // namespace

int main(int argc, char** argv) {
    const long mib = argc > 1 ? std::atol(argv[1]) : 4;
    const fs::path file =
        fs::temp_directory_path() / ("myrl-param-measure-" + std::to_string(::getpid()) + ".txt");
    {
        // Written in pieces, so that the peak memory is the loader's.
        std::ofstream out(file, std::ios::binary);
        const std::string piece(1 << 16, '7');
        for (long k = 0; k < mib * 16; ++k) {
            out << piece;
        }
        out << "x\r\n67108864\r\n";
    }
    const auto start = std::chrono::steady_clock::now();
    std::string message;
    NullSink sink;
    try {
        ApplyParamLines(ReadParamLines(file.string()), '.', sink);
    } catch (const EConvertError& e) {
        message = std::string(e.what()) + ".";
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    fs::remove(file);
    std::printf("line 1 of %ld MiB: loaded in %.1f ms, message of %zu bytes\n", mib, took.count(),
                message.size());
    return 0;
}
