#include "ParamFile.h"
#include "AsAnotherUser.h"
#include "Errors.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

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

std::vector<std::string> crLfLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t b = 0, e; (e = text.find("\r\n", b)) != std::string::npos; b = e + 2) {
        lines.push_back(text.substr(b, e - b));
    }
    return lines;
}

// Records the floating values as they are, for exact comparison.
struct Floats : Recorder {
    std::vector<double> values;
    void SetGenClock(double v) override { values.push_back(v); }
    void SetFrexRef(double v) override { values.push_back(v); }
    void SetLevelOffset(double v) override { values.push_back(v); }
};

// A parameter file in a folder of its own.
class ParamFileOnDisk : public ::testing::Test {
protected:
    ParamFileOnDisk() { file = (dir / kParamFileName).string(); }
    void write(const std::string& bytes) const {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    }
    static std::string join(const std::vector<std::string>& lines) {
        std::string out;
        for (const auto& l : lines) {
            out += l + "\r\n";
        }
        return out;
    }
    TempDir tmp{"myrl-paramfile"};
    const std::filesystem::path dir = tmp.Path();
    std::string file;
};

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
        Recorder r;
        ApplyParamLines(crLfLines(text), sep, r);
        EXPECT_EQ(r.log[1], "clock " + std::to_string(33554432.25));
        EXPECT_EQ(r.log[3], "offset " + std::to_string(-1.5e-7));
        EXPECT_EQ(r.log[5], "edit1 10.7M");
        EXPECT_EQ(r.log[7], "frex on");
    }
}

// Every finite value the file can hold loads again exactly as it was written, with
// either separator: the largest doubles, denormals, the edges of fixed notation.
TEST(ParamFile, FloatingLinesReadBackWhateverIsWritten) {
    const double values[] = {DBL_MAX,        -DBL_MAX, DBL_TRUE_MIN,
                             -DBL_TRUE_MIN,  DBL_MIN,  std::nextafter(DBL_MAX, 0.0),
                             0.00005,        0.00001,  9.999999999999999e-6,
                             -87 + 87.00005, 1e15,     999999999999999.4,
                             33554432.25,    -1.5e-7,  0.0};
    for (const char sep : {'.', ','}) {
        for (const double v : values) {
            StoredParams p;
            p.GenClock = v;
            p.FrexRef = -v;
            p.LevelOffset = v / 3;
            const std::string text = FormatParamFile(p, sep);
            Floats r;
            ASSERT_NO_THROW(ApplyParamLines(crLfLines(text), sep, r)) << text;
            ASSERT_EQ(r.values.size(), 3u);
            // Written again, each reads as it was written.
            StoredParams again;
            again.GenClock = r.values[0];
            again.FrexRef = r.values[1];
            again.LevelOffset = r.values[2];
            EXPECT_EQ(FormatParamFile(again, sep), text);
        }
    }
    StoredParams p;
    p.LevelOffset = 0.00005;
    EXPECT_EQ(crLfLines(FormatParamFile(p, ','))[3], "0,00005");
    p.LevelOffset = DBL_MAX;
    EXPECT_EQ(crLfLines(FormatParamFile(p, '.'))[3], "1.79769313486232E308");
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

// A file saved with a UTF-8 byte order mark loads as the same file without it.
TEST_F(ParamFileOnDisk, ByteOrderMarkIsIgnored) {
    write("\xEF\xBB\xBF" + join(kFirstRun));
    Recorder r;
    ApplyParamLines(ReadParamLines(file), '.', r);
    ASSERT_EQ(r.log.size(), 15u);
    EXPECT_EQ(r.log[0], "port 1");
    EXPECT_EQ(ReadParamLines(file), kFirstRun);
}

// Over-long lines: the loader keeps 4 KiB of a line, reads no further than line 15, and a
// line it cut converts to nothing, so no number comes from the part it kept; the message
// quotes the first 100 characters.
TEST_F(ParamFileOnDisk, OverLongLinesAreCutAndDoNotConvert) {
    const std::string mib(1 << 20, '7');
    // Leading zeros that would read as 1 were the line cut silently.
    const std::string zeros = std::string(5000, '0') + "1";
    struct Case {
        size_t line;
        std::string text;
        std::string message; // empty: loads
        std::string applied; // the last entry of the log
    };
    const Case cases[] = {
        {1, mib, "'" + std::string(100, '7') + "…' は整数ではありません", ""},
        {2, zeros, "'" + std::string(100, '0') + "…' は浮動小数点数ではありません", "port 1"},
        {9, zeros, "'" + std::string(100, '0') + "…' は整数ではありません", "frex off"},
        {6, mib, "", "f2left 265"},
        {13, mib, "", "beside"},
        {4, std::string(4096, '0'), "", "f2left 265"},
    };
    for (const auto& c : cases) {
        auto lines = kFirstRun;
        lines[c.line - 1] = c.text;
        write(join(lines) + std::string(1 << 20, 'z') + "\r\n");
        const auto read = ReadParamLines(file);
        ASSERT_EQ(read.size(), 15u) << c.line;
        EXPECT_LE(read[c.line - 1].size(), kParamLineBytes + 3) << c.line;
        Recorder r;
        try {
            ApplyParamLines(read, '.', r);
            EXPECT_EQ(c.message, "") << c.line;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), c.message) << c.line;
        }
        EXPECT_EQ(r.log.empty() ? "" : r.log.back(), c.applied) << c.line;
        if (c.line == 6) {
            EXPECT_EQ(r.log[5], "edit1 " + std::string(kParamLineBytes, '7') + "…");
        }
    }
}

// A missing file: the defaults in file order, markers from Graph1's width, the panel at the
// top-left corner and the display window beside it.
TEST(ParamFile, MissingFileAppliesTheDefaultsInFileOrder) {
    Recorder r;
    ApplyDefaultParams(449, r);
    EXPECT_EQ(r.log, (std::vector<std::string>{"port 1", "clock " + std::to_string(67108864.0),
                                               "frexref " + std::to_string(12800000.0),
                                               "offset " + std::to_string(0.0), "fdef 0", "edit1 0",
                                               "edit2 20000000", "frex off", "m1 90", "m2 358",
                                               "f1top 0", "f1left 0", "beside"}));
}

// What a run does with the file it finds: read it, or start with the defaults, and whether
// the close may write it. A file that is there but cannot be read must outlive the run:
// the defaults written over it would lose the user's settings.
TEST_F(ParamFileOnDisk, AFileThatCannotBeReadIsLeftAsItIs) {
    struct Case {
        const char* name;
        std::function<void()> make;
        bool read;
        const char* leave; // part of the reason; "" when the close may write
    };
    const std::string other = (dir / "elsewhere.txt").string();
    const Case cases[] = {
        {"no file", [] {}, false, ""},
        {"a file", [&] { write(join(kFirstRun)); }, true, ""},
        {"an empty file", [&] { write(""); }, true, ""},
        {"a link to a file not there yet", [&] { std::filesystem::create_symlink(other, file); },
         false, ""},
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }, false,
         "exists but cannot be read (not a file to read: it is a FIFO (named pipe))"},
        {"a folder", [&] { std::filesystem::create_directory(file); }, false,
         "exists but cannot be read (not a file to read: it is a folder)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(file);
        c.make();
        const ParamFileStart start = CheckParamFile(file);
        EXPECT_EQ(start.Read, c.read);
        if (*c.leave == '\0') {
            EXPECT_EQ(start.Leave, "");
        } else {
            EXPECT_EQ(start.Leave.rfind(file + " " + c.leave, 0), 0u) << start.Leave;
            EXPECT_NE(start.Leave.find("MYRL starts with the defaults and leaves the file as it "
                                       "is when it closes."),
                      std::string::npos)
                << start.Leave;
        }
    }
}

// The same for files the user may not read: another user's private file, and the user's
// own file without read permission. (As root every file is readable: the piece runs as
// user nobody where the test runs as root, and as the user it runs as otherwise.)
TEST_F(ParamFileOnDisk, AnotherUsersPrivateFileAndAnOwnUnreadableFileAreLeft) {
    struct Case {
        const char* name;
        mode_t mode;
        bool othersFile;
    };
    const Case cases[] = {{"another user's rw-------", 0600, true},
                          {"an own -w-------", 0200, false}};
    const bool root = ::geteuid() == 0;
    if (root && !CanBecomeAnotherUser()) {
        GTEST_SKIP() << "no other user to be";
    }
    if (root) {
        ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.othersFile && !root) {
            continue; // an ordinary user cannot make another user's file
        }
        std::filesystem::remove_all(file);
        write(join(kFirstRun));
        ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
        if (root && !c.othersFile) {
            ASSERT_EQ(::chown(file.c_str(), Nobody()->Uid, Nobody()->Gid), 0);
        }
        const auto check = [&] {
            const ParamFileStart start = CheckParamFile(file);
            return !start.Read &&
                           start.Leave.rfind(file + " exists but cannot be read (permission denied",
                                             0) == 0
                       ? 0
                       : 1;
        };
        EXPECT_EQ(root ? RunAsNobody(check) : std::optional<int>(check()), 0);
    }
}

// Where the window system gives no positions of the program's own placing (a Wayland
// compositor places the windows), lines 11 to 15 are written back as they were read, byte
// for byte; a line the file lacks is what the loader put in its place.
TEST(ParamFile, WindowLinesGoBackAsRead) {
    const struct {
        const char* what;
        std::vector<std::string> tail; // lines 11 onwards as read
        WindowLines written;
    } cases[] = {
        {"moved windows", {"30", "40", "265", "100", "400"}, {"30", "40", "265", "100", "400"}},
        {"text that is not a number stays",
         {" 7", "+8", "abc", "", "1e3"},
         {" 7", "+8", "abc", "", "1e3"}},
        {"twelve lines: beside the panel", {"30", "40"}, {"30", "40", "265", "30", "305"}},
        {"thirteen lines: beside, as wide as line 13",
         {"30", "40", "300"},
         {"30", "40", "300", "30", "340"}},
        {"a width of no pixels counts as the layout's",
         {"30", "40", "0"},
         {"30", "40", "0", "30", "305"}},
        {"beside within int", {"0", "2147483647"}, {"0", "2147483647", "265", "0", "2147483647"}},
        {"no file", {}, {"0", "0", "265", "0", "265"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines;
        if (!c.tail.empty()) {
            lines = {"1", "67108864", "12800000", "0", "0", "0", "20000000", "OFF", "90", "358"};
            lines.insert(lines.end(), c.tail.begin(), c.tail.end());
        }
        const WindowLines got = WindowLinesAsRead(lines, 265);
        EXPECT_EQ(got, c.written) << c.what;

        StoredParams p; // the positions the window system reported: not written
        p.Form1Top = -30;
        p.Form1Left = -3;
        p.Form2Top = -30;
        p.Form2Left = -3;
        p.WindowLinesAsRead = got;
        std::vector<std::string> file = crLfLines(FormatParamFile(p, '.'));
        ASSERT_EQ(file.size(), 15u) << c.what;
        EXPECT_EQ(std::vector<std::string>(file.begin() + 10, file.end()),
                  std::vector<std::string>(got.begin(), got.end()))
            << c.what;
        p.WindowLinesAsRead.reset();
        file = crLfLines(FormatParamFile(p, '.'));
        EXPECT_EQ(file[10], "-30") << c.what;
    }
}
