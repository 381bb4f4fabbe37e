#include "TextFile.h"
#include "Errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <sys/stat.h>

using namespace myrl;
namespace fs = std::filesystem;

namespace {

class TextFileTest : public ::testing::Test {
protected:
    TextFileTest() {
        dir = fs::temp_directory_path() /
              ("myrl-textfile-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~TextFileTest() override {
        fs::permissions(dir, fs::perms::owner_all);
        fs::remove_all(dir);
    }
    std::string path(const char* name) const { return (dir / name).string(); }
    static std::string slurp(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // Only f.txt is left: no temporary survives a write, failed or not.
    void expectNoTemporaries() const {
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
    }
    fs::path dir;
};

void expectIoError(const std::function<void()>& f, int code, const std::string& text) {
    try {
        f();
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, code);
        EXPECT_EQ(std::string(e.what()), text);
    }
}

} // namespace

TEST(InOutError, Texts) {
    EXPECT_EQ(InOutErrorText(5), "ファイルへのアクセスが拒否されました");
    EXPECT_EQ(InOutErrorText(101), "ディスクがいっぱいです");
    EXPECT_EQ(InOutErrorText(2), "I/O エラー (2)");
    EXPECT_EQ(InOutCodeFromErrno(EACCES), 5);
    EXPECT_EQ(InOutCodeFromErrno(EROFS), 5);
    EXPECT_EQ(InOutCodeFromErrno(ENOSPC), 101);
    EXPECT_EQ(InOutCodeFromErrno(EIO), EIO);
}

TEST_F(TextFileTest, ReplacesTheWholeFile) {
    WriteFileReplacing(path("f.txt"), "first\r\nsecond\r\n");
    WriteFileReplacing(path("f.txt"), "x\r\n");
    EXPECT_EQ(slurp(path("f.txt")), "x\r\n");
    expectNoTemporaries();
}

TEST_F(TextFileTest, ReadOnlyFileOrFolderIsAccessDeniedAndKeepsTheOldFile) {
    WriteFileReplacing(path("f.txt"), "old\r\n");
    fs::permissions(path("f.txt"), fs::perms::owner_read | fs::perms::group_read);
    expectIoError([&] { WriteFileReplacing(path("f.txt"), "new\r\n"); }, 5,
                  "ファイルへのアクセスが拒否されました");
    EXPECT_EQ(slurp(path("f.txt")), "old\r\n");

    fs::permissions(path("f.txt"), fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    expectIoError([&] { WriteFileReplacing(path("f.txt"), "new\r\n"); }, 5,
                  "ファイルへのアクセスが拒否されました");
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(slurp(path("f.txt")), "old\r\n");
    expectNoTemporaries();
}

TEST_F(TextFileTest, KeepsThePermissionsOfTheReplacedFile) {
    WriteFileReplacing(path("f.txt"), "a");
    fs::permissions(path("f.txt"), fs::perms::owner_read | fs::perms::owner_write);
    WriteFileReplacing(path("f.txt"), "b");
    EXPECT_EQ(fs::status(path("f.txt")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(TextFileTest, MissingFolderIsAnIoError) {
    expectIoError([&] { WriteFileReplacing(path("no/f.txt"), "a"); }, ENOENT,
                  "I/O エラー (" + std::to_string(ENOENT) + ")");
}

TEST_F(TextFileTest, ReadsLinesWithAnyLineEnd) {
    std::ofstream(path("f.txt"), std::ios::binary) << "1\r\n\r\nthree\nfour\rfive";
    EXPECT_EQ(ReadTextLines(path("f.txt")),
              (std::vector<std::string>{"1", "", "three", "four", "five"}));
    EXPECT_TRUE(FileCanBeRead(path("f.txt")));
    EXPECT_FALSE(FileCanBeRead(path("none.txt")));
    EXPECT_FALSE(FileCanBeRead(""));
    EXPECT_FALSE(FileCanBeRead(dir.string()));
}
