// The program run by root in a shared sticky folder (as /tmp is) where another user has
// planted links: the parameter file a link into a folder only root may enter, the export a
// link to a file that does not exist there. The program follows neither, so no file outside
// the folder changes and nothing is created there; the user is told why.
#include "FaultFixture.h"

#include "AsAnotherUser.h"
#include "TempDir.h"

#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace myrl;
namespace fs = std::filesystem;

TEST_F(FaultTest, LinksAnotherUserPlantedInASharedFolderLeadToNoWrite) {
    if (!CanBecomeAnotherUser()) {
        GTEST_SKIP() << "planting a link of another user needs root";
    }
    const OtherUser nobody = *Nobody();
    TempDir secret("myrl-secret"); // rwx------, root's
    const std::string kept = ParamFile("root's own settings");
    std::ofstream(secret / "prm.txt", std::ios::binary) << kept;
    ASSERT_EQ(::chmod(Dir.c_str(), 01777), 0);
    for (const auto& [name, target] :
         {std::pair<std::string, fs::path>{"myrl_prm.txt", secret / "prm.txt"},
          {"myrl_data.csv", secret / "new.csv"}}) {
        fs::create_symlink(target, Dir / name);
        ASSERT_EQ(::lchown((Dir / name).c_str(), nobody.Uid, nobody.Gid), 0);
    }

    StartSimulator();
    StartProgram();
    EXPECT_TRUE(Errors.empty()) << Errors.front(); // the defaults, as without a file
    EXPECT_EQ(P->Core.Status().Line(StatusTopic::Files),
              "myrl_prm.txt exists but cannot be read (the symbolic link myrl_prm.txt belongs to "
              "another user (nobody) and lies in a folder that every user may write to (.); such "
              "a link is not followed): MYRL starts with the defaults and leaves the file as it "
              "is when it closes.");
    ExpectSweepsGoOn("in the shared folder");

    QTest::mouseClick(PanelControl<QPushButton>("Button7"), Qt::LeftButton); // SAVE DATA
    ASSERT_EQ(Errors, std::vector<std::string>{"ファイルへのアクセスが拒否されました."});
    EXPECT_EQ(ErrorDetails[0], "myrl_data.csv: the symbolic link myrl_data.csv belongs to another "
                               "user (nobody) and lies in a folder that every user may write to "
                               "(.); such a link is not followed");

    EXPECT_TRUE(Form1().close());
    P.reset();
    EXPECT_EQ(ReadFile((secret / "prm.txt").string()), kept);
    EXPECT_FALSE(fs::exists(secret / "new.csv"));
    EXPECT_EQ(std::distance(fs::directory_iterator(secret.Path()), fs::directory_iterator{}), 1);
    for (const char* name : {"myrl_prm.txt", "myrl_data.csv"}) {
        EXPECT_TRUE(fs::is_symlink(Dir / name)) << name;
    }
}
