// What every reader of a file has in common: the parameter file's, the calibration file's,
// the trace CSV's and the trace memory's. Each takes any line end (CR LF, LF, a lone CR)
// and a UTF-8 byte order mark, as editors and spreadsheets write them; each refuses at once
// what is no regular file (a FIFO would wait for ever, /dev/zero never ends) and a file over
// its limit; and what a message quotes of the file stays short.
#include "CalFile.h"
#include "Errors.h"
#include "Export.h"
#include "ParamFile.h"
#include "Plans.h"
#include "TempDir.h"
#include "TextFile.h"
#include "TraceFile.h"
#include "TraceMemory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace myrl {
namespace {

namespace fs = std::filesystem;

// One reader: the bytes of a file it reads, and what it makes of the file at a path, as
// text to compare.
struct Reader {
    const char* name;
    std::function<std::string()> bytes;
    std::function<std::string(const std::string& path)> read;
};

std::string join(const std::vector<std::string>& v) {
    std::string out;
    for (const std::string& s : v) {
        out += s + "|";
    }
    return out;
}

std::string numbers(const std::vector<double>& v) {
    std::string out;
    for (double d : v) {
        out += std::to_string(d) + " ";
    }
    return out;
}

std::unique_ptr<MeasState> Trace() {
    auto s = std::make_unique<MeasState>();
    SetPlan(*s);
    for (size_t k = 0; k < kArrayLen; ++k) {
        s->NormLevel[k] = -20.0 - static_cast<double>(k) / 3.0;
        s->RawLevel[k] = s->NormLevel[k] + 1;
        s->SwrTrace[k] = 1.5;
        s->DispTrace[k] = s->NormLevel[k];
    }
    return s;
}

CalRecord Calibration() {
    CalRecord r;
    r.StartFreq = 1e6;
    r.StopFreq = 2e6;
    r.Taken = "2026-12-10 14:35:54 UTC";
    r.Note = "cable A";
    for (size_t i = 0; i < static_cast<size_t>(kArrayLen); ++i) {
        r.CalFreq[i] = 1e6 + 4000.0 * static_cast<double>(i);
        r.CalLevel[i] = -3.0 - 0.01 * static_cast<double>(i);
    }
    return r;
}

std::vector<Reader> Readers() {
    return {
        {"parameter file", [] { return FormatParamFile(StoredParams{}, '.'); },
         [](const std::string& p) { return join(ReadParamLines(p)); }},
        {"calibration file", [] { return FormatCalFile(Calibration()); },
         [](const std::string& p) { return FormatCalFile(ReadCalFile(p)); }},
        {"trace CSV", [] { return TraceCsvBytes(*Trace(), TraceFileInfo{}); },
         [](const std::string& p) {
             const TraceRead r = ReadTraceCsv(p);
             return numbers(r.FrequencyHz) + numbers(r.Levels.at(3).Values);
         }},
        {"trace memory (data export)", [] { return ExportBytes(*Trace()); },
         [](const std::string& p) {
             const StoredTrace t = ReadMemoryFile(p, 0);
             return numbers(t.Freq) + numbers(t.Level);
         }},
    };
}

// `text` with every line end made `end`.
std::string withLineEnds(const std::string& text, const std::string& end) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            out += end;
        } else if (text[i] == '\n' || text[i] == '\r') {
            out += end;
        } else {
            out += text[i];
        }
    }
    return out;
}

class ReadersTest : public ::testing::Test {
protected:
    std::string put(const std::string& bytes) const {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        return file;
    }
    TempDir tmp{"myrl-readers"};
    const std::string file = (tmp.Path() / "f").string();
};

TEST_F(ReadersTest, EveryLineEndAndAByteOrderMarkReadTheSame) {
    for (const Reader& r : Readers()) {
        SCOPED_TRACE(r.name);
        const std::string bytes = r.bytes();
        const std::string expected = r.read(put(bytes));
        for (const std::string& variant :
             {withLineEnds(bytes, "\r\n"), withLineEnds(bytes, "\n"), withLineEnds(bytes, "\r"),
              "\xEF\xBB\xBF" + bytes, "\xEF\xBB\xBF" + withLineEnds(bytes, "\r")}) {
            try {
                EXPECT_EQ(r.read(put(variant)), expected) << variant.substr(0, 60);
            } catch (const std::exception& e) {
                ADD_FAILURE() << variant.substr(0, 60) << ": " << e.what();
            }
        }
    }
}

// Each refuses at once, with the reason, what is no regular file; the memory stays flat
// (nothing of /dev/zero is read beyond what fstat refuses).
TEST_F(ReadersTest, NoReaderWaitsOnAFifoOrReadsADevice) {
    const std::string fifo = (tmp.Path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const Reader& r : Readers()) {
        SCOPED_TRACE(r.name);
        for (const auto& [path, reason] :
             {std::pair<std::string, std::string>{fifo, "it is a FIFO (named pipe)"},
              {"/dev/zero", "it is a device"},
              {tmp.Path().string(), "it is a folder"}}) {
            try {
                r.read(path);
                ADD_FAILURE() << path << ": read";
            } catch (const EInOutError& e) {
                EXPECT_EQ(FileErrorReason(e), path + ": not a file to read: " + reason + ".");
            }
        }
    }
}

// A file far over what the reader takes is refused with a sentence of its own.
TEST_F(ReadersTest, AFileOverItsLimitIsRefused) {
    const std::string big(2 << 20, '1');
    EXPECT_THROW(ReadCalFile(put(big)), ECalFileError);
    EXPECT_THROW(ReadMemoryFile(put(big), 0), EMemoryFileError);
    try {
        ReadTraceCsv(put(big));
        ADD_FAILURE() << "read";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), file + ": not a trace file of MYRL: larger than 1 MiB.");
    }
}

// A message quotes at most 100 characters of what it found in the file, however long the
// line: a version line or a field of a megabyte, a file of one line (lone CRs read as no
// line end would make it one).
TEST_F(ReadersTest, MessagesQuoteAtMost100CharactersOfTheFile) {
    const std::string mb(1 << 19, 'x');
    const std::string cal = FormatCalFile(Calibration());
    const std::string csv = "frequency_hz,level_db\n1," + mb + "\n";
    const struct {
        const char* name;
        std::function<void()> read;
        std::string quoted; // the start of the quote
    } cases[] = {
        {"calibration version", [&] { ParseCalFile("MYRL calibration " + mb + "\n"); },
         "version \"xxxx"},
        {"calibration version, lone CRs",
         [&] { ParseCalFile(withLineEnds(cal, "\r").replace(17, 1, mb)); }, "version \"xxxx"},
        {"trace CSV field", [&] { ParseTraceCsv(csv, "t.csv"); }, "\"xxxx"},
        {"trace memory field", [&] { MemoryFromTraceFile(csv, "t.csv", 0); }, "\"xxxx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.read();
            ADD_FAILURE() << "read";
        } catch (const std::exception& e) {
            const std::string what = e.what();
            EXPECT_LT(what.size(), 250u) << what.substr(0, 300);
            const size_t at = what.find(c.quoted);
            ASSERT_NE(at, std::string::npos) << what.substr(0, 300);
            EXPECT_NE(what.find(std::string(100, 'x') + "…\"", at), std::string::npos) << what;
        }
    }
}

} // namespace
} // namespace myrl
