// `myrl serve` as a test stand drives it: the real program as a process of its own without a
// display, the simulated unit on a pty, PyVISA as the client.
#include "DeviceModels.h"
#include "ScpiClients.h"
#include "Simulator.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/un.h>

using namespace myrl;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class ServeTest : public ::testing::Test {
protected:
    void StartSimulator(sim::DeviceKind device = sim::DeviceKind::Bandpass) {
        sim::SimConfig c;
        c.Dir = Dir.Path().string();
        c.Unit.Pacing.Fast = true;
        c.Unit.Device.Kind = device;
        Sim = std::make_unique<sim::Simulator>(c);
        Sim->Start();
    }
    // Starts `myrl serve --port COM1 --remote tcp:0`; its port.
    int StartServe() {
        Serve = std::make_unique<ServeProcess>(
            Dir.Path(), std::vector<std::string>{"--port", "COM1", "--remote", "tcp:0"});
        const int port = Serve->WaitListening();
        EXPECT_GT(port, 0) << Serve->Err();
        return port;
    }
    // The script's outcome; skips the test without PyVISA.
    Outcome Client(const std::string& script, std::vector<std::string> args) {
        Outcome r = RunPython(Dir.Path(), script, std::move(args));
        if (r.Code == 77) {
            Skipped = true;
        }
        return r;
    }

    TempDir Dir{"myrl-serve"};
    std::unique_ptr<sim::Simulator> Sim;
    std::unique_ptr<ServeProcess> Serve;
    bool Skipped = false;
};

#define SKIP_WITHOUT_PYVISA()                                                                      \
    if (Skipped) {                                                                                 \
        GTEST_SKIP() << "python3 has no pyvisa (scripts/setup-deps installs python3-pyvisa and "   \
                        "python3-pyvisa-py)";                                                      \
    }

// INIT;*OPC? answers once the average of 4 has settled, and TRAC:DATA? holds that sweep:
// the rows of the file MMEM:STOR:TRAC saves, and those `myrl measure` writes for the same
// plan and averaging.
TEST_F(ServeTest, AnAcquisitionWithoutADisplayGivesTheRowsOfItsFile) {
    StartSimulator();
    const int port = StartServe();
    const uint64_t before = Sim->Stats().RepliesCompleted;
    const Outcome r = Client(kAcquireScript, {std::to_string(port), "saved.csv"});
    SKIP_WITHOUT_PYVISA();
    ASSERT_EQ(r.Code, 0) << r.Err << Serve->Err();
    EXPECT_EQ(Field(r.Out, "opc"), "1");
    EXPECT_EQ(Field(r.Out, "reached"), "4") << "*OPC? waits for the averaged trace";
    EXPECT_GE(Sim->Stats().RepliesCompleted - before, 5u) << "an average of 4 settles with 5";
    EXPECT_EQ(Field(r.Out, "cont"), "0") << "HOLD after the acquisition";
    EXPECT_EQ(Field(r.Out, "plan"), "10450000;10950000;10700000;500000");
    EXPECT_EQ(Field(r.Out, "points"), "251");
    EXPECT_EQ(Field(r.Out, "errors"), "0 0");
    EXPECT_EQ(Field(r.Out, "saved"), "1 0");

    const auto trace = TracePairs(Field(r.Out, "data"));
    ASSERT_EQ(trace.size(), 251u);
    EXPECT_EQ(trace.front().first, 10450000);
    EXPECT_EQ(trace.back().first, 10950000);
    EXPECT_EQ(CsvPairs(Slurp(Dir / "saved.csv")), trace);
    const auto [lower, upper] = sim::BandpassEdgesHz(10.7e6, 100e3);
    std::stringstream edges(Field(r.Out, "edges"));
    double lo = 0, hi = 0;
    char semicolon = 0;
    edges >> lo >> semicolon >> hi;
    EXPECT_NEAR(lo, lower, 2000);
    EXPECT_NEAR(hi, upper, 2000);

    EXPECT_EQ(Serve->Stop(), 0) << Serve->Err();
    const Outcome m = MeasureIn(Dir.Path(), {"--port", "COM1", "--center", "10.7M", "--span",
                                             "500k", "--average", "4", "--out", "measure.csv"});
    ASSERT_EQ(m.Code, 0) << m.Err;
    EXPECT_EQ(CsvPairs(Slurp(Dir / "measure.csv")), trace);
    EXPECT_NE(Serve->Err().find("ended by a signal; the port is closed"), std::string::npos)
        << Serve->Err();
    EXPECT_FALSE(fs::exists(Dir / "myrl_prm.txt")) << "the parameter file is never written";
}

TEST_F(ServeTest, EachBadCommandGivesItsStandardNumberAndTheInstrumentGoesOn) {
    StartSimulator();
    const int port = StartServe();
    std::ofstream(Dir / "bad.txt", std::ios::binary) << BadCommandsFile();
    const Outcome r = Client(kBadCommandsScript, {std::to_string(port), "bad.txt"});
    SKIP_WITHOUT_PYVISA();
    ASSERT_EQ(r.Code, 0) << r.Err;
    ExpectBadCommandsAnswered(r.Out);
    EXPECT_TRUE(Serve->Running());
}

TEST_F(ServeTest, ASecondClientIsRefusedWhileTheFirstGoesOn) {
    StartSimulator();
    const int port = StartServe();
    const Outcome r = Client(kSecondClientScript, {std::to_string(port)});
    SKIP_WITHOUT_PYVISA();
    ASSERT_EQ(r.Code, 0) << r.Err;
    const std::string refusal =
        "MYRL: another client is connected; remote control serves one at a time";
    EXPECT_EQ(Field(r.Out, "before"), "1000000");
    EXPECT_EQ(Field(r.Out, "line"), refusal);
    EXPECT_EQ(Field(r.Out, "closed"), "True");
    EXPECT_EQ(Field(r.Out, "raw"), refusal);
    EXPECT_EQ(Field(r.Out, "after"), "1000000;0,\"No error\"");
    EXPECT_NE(Serve->Err().find("another client is connected"), std::string::npos);
}

// The unix socket in the user's runtime folder, answered as the TCP port is; it goes with
// the program.
TEST_F(ServeTest, TheUnixSocketAnswersAndGoesAtTheEnd) {
    StartSimulator();
    const fs::path run = Dir / "run";
    fs::create_directory(run);
    ::chmod(run.c_str(), 0700);
    Serve = std::make_unique<ServeProcess>(
        Dir.Path(), std::vector<std::string>{"--port", "COM1", "--remote", "unix"},
        std::vector<std::string>{"XDG_RUNTIME_DIR=" + run.string()});
    ASSERT_EQ(Serve->WaitListening(), -1) << Serve->Err();
    const fs::path socketPath = run / "myrl-remote.sock";
    EXPECT_EQ(fs::status(socketPath).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    const Outcome r =
        Client("s = socket.socket(socket.AF_UNIX)\n"
               "s.connect(sys.argv[1])\n"
               "f = s.makefile('rwb', buffering=0)\n"
               "s.sendall(b'FREQ:CENT 2MHZ;SPAN 1MHZ\\nINIT;*OPC?;:FREQ:STAR?;:TRAC:POIN?\\n')\n"
               "say('answer', f.readline().decode().rstrip())\n",
               {socketPath.string()});
    SKIP_WITHOUT_PYVISA();
    EXPECT_EQ(Field(r.Out, "answer"), "1;1500000;251") << r.Err;
    EXPECT_EQ(Serve->Stop(), 0);
    EXPECT_FALSE(fs::exists(socketPath));
}

TEST_F(ServeTest, WhatKeepsItFromServingEndsItWithItsStatus) {
    StartSimulator();
    const int port = StartServe();
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int code;
        const char* says;
    } cases[] = {
        {"no remote address", {"--port", "COM1"}, 2, "give --remote"},
        {"an address beyond this computer", {"--remote", "0.0.0.0:5025"}, 2, "neither tcp:PORT"},
        {"the port in use",
         {"--port", "COM1", "--remote", "tcp:" + std::to_string(port)},
         5,
         "cannot listen: Address already in use"},
        {"the device busy", {"--port", "COM1", "--remote", "tcp:0"}, 3, "COM1"},
        {"no such device", {"--port", "/dev/none-such", "--remote", "tcp:0"}, 3, "none-such"},
    };
    for (const Case& c : cases) {
        ServeProcess other(Dir.Path(), c.args);
        EXPECT_EQ(other.Wait(), c.code) << c.name << ": " << other.Err();
        EXPECT_NE(other.Err().find(c.says), std::string::npos) << c.name << ": " << other.Err();
    }
    EXPECT_TRUE(Serve->Running());
}

} // namespace
