// Files that cannot be written while the program runs: the parameter file at the close
// and the export at SAVE DATA, against a read-only file, a read-only folder and a full
// disk. The user sees the system's message, the old file stays whole, nothing is left
// beside it, and once the cause is gone the same action writes the file.
#include "FaultFixture.h"

#include "Export.h"
#include "Widgets.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <ostream>
#include <set>
#include <sys/mount.h>
#include <unistd.h>

using namespace myrl;
namespace fs = std::filesystem;

namespace {

constexpr const char* kParams = "myrl_prm.txt";
constexpr const char* kExport = "myrl_data.csv";
constexpr const char* kFiller = "filler";
constexpr const char* kOldExport = "1,-10\r\n2,-20\r\n";

enum class Target { ParamFileAtClose, ExportAtSaveData };
enum class Cause { ReadOnlyFile, ReadOnlyFolder, FullDisk };

struct FileFault {
    const char* name;
    Target target;
    Cause cause;
    const char* message;
};

// Cases are shown by their names.
void PrintTo(const FileFault& c, std::ostream* os) {
    *os << c.name;
}

class FileFaultTest : public FaultTest, public ::testing::WithParamInterface<FileFault> {
protected:
    void TearDown() override {
        P.reset();
        if (Sim) {
            Sim->Stop();
        }
        if (mounted_) {
            std::filesystem::current_path("/");
            umount2(Dir.c_str(), MNT_DETACH);
        }
        FaultTest::TearDown();
    }

    // A 64 KiB tmpfs over the (still empty) working folder; false where the machine
    // allows no mount (an ordinary user, a confined container).
    bool MountSmallDisk(std::string& why) {
        if (mount("tmpfs", Dir.c_str(), "tmpfs", 0, "size=64k") != 0) {
            why = std::strerror(errno);
            return false;
        }
        mounted_ = true;
        fs::current_path(Dir); // the process still stood in the folder under the mount
        return true;
    }

    // Writes until the disk refuses more.
    void FillDisk() {
        const int fd = ::open((Dir / kFiller).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const std::string block(4096, 'x');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        ::close(fd);
        // A last partial block may still have fitted: fill the rest character by character.
        const int again = ::open((Dir / kFiller).c_str(), O_WRONLY | O_APPEND);
        while (::write(again, "x", 1) == 1) {
        }
        ::close(again);
    }

    void SetCause(Cause cause, const std::string& file, bool on) {
        const auto writable =
            fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
        const auto how = on ? fs::perm_options::remove : fs::perm_options::add;
        switch (cause) {
        case Cause::ReadOnlyFile:
            fs::permissions(Dir / file, on ? writable : fs::perms::owner_write, how);
            break;
        case Cause::ReadOnlyFolder:
            fs::permissions(Dir, on ? writable : fs::perms::owner_write, how);
            break;
        case Cause::FullDisk:
            if (on) {
                FillDisk();
            } else {
                fs::remove(Dir / kFiller);
            }
            break;
        }
    }

    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(Dir)) {
            names.insert(e.path().filename().string());
        }
        names.erase(kFiller);
        return names;
    }

private:
    bool mounted_ = false;
};

} // namespace

TEST_P(FileFaultTest, ShowsTheMessageAndKeepsTheOldFileWhole) {
    const FileFault& c = GetParam();
    if (c.cause == Cause::FullDisk) {
        std::string why;
        if (!MountSmallDisk(why)) {
            GTEST_SKIP() << "no small tmpfs can be mounted here (" << why
                         << "): the full-disk case runs where mounting is allowed (root)";
        }
    }
    const std::string oldParams = ParamFile("5000000");
    WriteFile(kParams, oldParams);
    WriteFile(kExport, kOldExport);
    StartSimulator();
    StartProgram();
    ASSERT_TRUE(Errors.empty()) << Errors.front();
    ExpectSweepsGoOn("before the fault");
    PanelControl<QLineEdit>("Edit1")->setText("123"); // a change the next parameter file would hold

    const bool params = c.target == Target::ParamFileAtClose;
    const std::string file = params ? kParams : kExport;
    const std::string old = params ? oldParams : kOldExport;
    const std::set<std::string> entries = Entries();
    SetCause(c.cause, file, true);
    if (params) {
        EXPECT_FALSE(Form1().close()); // the panel stays open
    } else {
        QTest::mouseClick(PanelControl<QPushButton>("Button7"), Qt::LeftButton);
    }
    EXPECT_EQ(Errors, std::vector<std::string>{c.message});
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(Entries(), entries) << "a file left behind or gone";
    EXPECT_TRUE(Form1().isVisible());
    EXPECT_TRUE(Form2().isVisible());
    if (!params) {
        ExpectSweepsGoOn("after the failed export");
    }

    // The cause removed, the same action writes the file whole.
    SetCause(c.cause, file, false);
    Errors.clear();
    if (params) {
        EXPECT_TRUE(Form1().close());
        EXPECT_EQ(ReadFile(kParams), ParamFile("123"));
    } else {
        QTest::mouseClick(PanelControl<QPushButton>("Button7"), Qt::LeftButton);
        EXPECT_EQ(ReadFile(kExport), ExportBytes(State(), LocaleDecimalSeparator()));
    }
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    const std::set<std::string> after = Entries();
    EXPECT_TRUE(std::includes(entries.begin(), entries.end(), after.begin(), after.end()))
        << "a file left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileFaultTest,
    ::testing::Values(FileFault{"ParamFileReadOnly", Target::ParamFileAtClose, Cause::ReadOnlyFile,
                                "ファイルへのアクセスが拒否されました."},
                      FileFault{"ParamFolderReadOnly", Target::ParamFileAtClose,
                                Cause::ReadOnlyFolder, "ファイルへのアクセスが拒否されました."},
                      FileFault{"ParamFileDiskFull", Target::ParamFileAtClose, Cause::FullDisk,
                                "ディスクがいっぱいです."},
                      FileFault{"ExportReadOnly", Target::ExportAtSaveData, Cause::ReadOnlyFile,
                                "ファイルへのアクセスが拒否されました."},
                      FileFault{"ExportFolderReadOnly", Target::ExportAtSaveData,
                                Cause::ReadOnlyFolder, "ファイルへのアクセスが拒否されました."},
                      FileFault{"ExportDiskFull", Target::ExportAtSaveData, Cause::FullDisk,
                                "ディスクがいっぱいです."}),
    [](const auto& info) { return std::string(info.param.name); });
