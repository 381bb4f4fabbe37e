#include "TextFile.h"
#include "AsAnotherUser.h"
#include "Errors.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace myrl;
namespace fs = std::filesystem;

namespace {

class TextFileTest : public ::testing::Test {
protected:
    std::string path(const char* name) const { return (dir / name).string(); }
    static std::string slurp(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static mode_t modeOf(const std::string& p) {
        struct stat st {};
        EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
        return st.st_mode & 07777;
    }
    static mode_t currentUmask() {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }
    // Only f.txt is left: no temporary survives a write, failed or not.
    void expectNoTemporaries() const {
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
    }
    TempDir tmp{"myrl-textfile"};
    const fs::path dir = tmp.Path();
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
    for (const mode_t mode : {0600, 0640, 0664, 0666, 0620, 0755}) {
        WriteFileReplacing(path("f.txt"), "a");
        ASSERT_EQ(::chmod(path("f.txt").c_str(), mode), 0);
        WriteFileReplacing(path("f.txt"), "b");
        EXPECT_EQ(modeOf(path("f.txt")), mode) << std::oct << mode;
        EXPECT_EQ(slurp(path("f.txt")), "b");
    }
    expectNoTemporaries();
}

// A new file gets what the umask leaves of rw-rw-rw-, as any program's new file does.
TEST_F(TextFileTest, NewFilesTakeTheirModeFromTheUmask) {
    const mode_t saved = ::umask(022);
    for (const mode_t mask : {022, 077, 002, 0, 027}) {
        ::umask(mask);
        fs::remove(path("f.txt"));
        WriteFileReplacing(path("f.txt"), "a");
        EXPECT_EQ(modeOf(path("f.txt")), 0666 & ~mask) << std::oct << mask;
    }
    ::umask(saved);
    expectNoTemporaries();
}

// Replacing keeps the owner and group of the old file where the writer may set them
// (root may; an ordinary user cannot give a file away).
TEST_F(TextFileTest, KeepsTheOwnerOfTheReplacedFileWherePermitted) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root may keep another user's file theirs";
    }
    WriteFileReplacing(path("f.txt"), "a");
    const struct passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_EQ(::chown(path("f.txt").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(::chmod(path("f.txt").c_str(), 0640), 0);
    WriteFileReplacing(path("f.txt"), "b");
    struct stat st {};
    ASSERT_EQ(::stat(path("f.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody->pw_uid);
    EXPECT_EQ(st.st_gid, nobody->pw_gid);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(slurp(path("f.txt")), "b");
}

// A file reached through symbolic links is replaced where it lies; the links stay links
// and still lead to it, and no temporary file is left in either folder.
TEST_F(TextFileTest, ReplacesTheFileALinkLeadsTo) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> links; // link name, what it holds
        std::string file;                                       // where the content lands
    };
    const std::string other = (dir / "other").string();
    const Case cases[] = {
        {"relative", {{"f.txt", "real.txt"}}, "real.txt"},
        {"absolute", {{"f.txt", (dir / "real.txt").string()}}, "real.txt"},
        {"chain", {{"f.txt", "l2"}, {"l2", "other/l3"}, {"other/l3", "../real.txt"}}, "real.txt"},
        {"other folder", {{"f.txt", "other/real.txt"}}, "other/real.txt"},
        {"other folder, absolute", {{"f.txt", other + "/real.txt"}}, "other/real.txt"},
    };
    for (const bool existing : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (existing ? ", existing" : ", dangling"));
            fs::remove_all(dir);
            fs::create_directories(dir / "other");
            for (const auto& [link, target] : c.links) {
                fs::create_symlink(target, dir / link);
            }
            if (existing) {
                std::ofstream(dir / c.file, std::ios::binary) << "old";
                ASSERT_EQ(::chmod((dir / c.file).c_str(), 0640), 0);
            }
            WriteFileReplacing(path("f.txt"), "new");
            EXPECT_EQ(slurp((dir / c.file).string()), "new");
            EXPECT_EQ(slurp(path("f.txt")), "new");
            for (const auto& [link, target] : c.links) {
                EXPECT_TRUE(fs::is_symlink(dir / link)) << link;
                EXPECT_EQ(fs::read_symlink(dir / link).string(), target) << link;
            }
            EXPECT_EQ(modeOf((dir / c.file).string()), existing ? 0640 : 0666 & ~currentUmask());
            for (const auto& e : fs::recursive_directory_iterator(dir)) {
                const std::string name = e.path().filename().string();
                EXPECT_TRUE(name == "other" || name == "real.txt" || name == "f.txt" ||
                            name == "l2" || name == "l3")
                    << name;
            }
        }
    }
}

// Links that lead round in a circle are an I/O error, and nothing is written.
TEST_F(TextFileTest, LinksInACircleAreAnIoError) {
    fs::create_symlink("g.txt", dir / "f.txt");
    fs::create_symlink("f.txt", dir / "g.txt");
    expectIoError([&] { WriteFileReplacing(path("f.txt"), "a"); }, ELOOP,
                  "I/O エラー (" + std::to_string(ELOOP) + ")");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 2);
}

// A link to a read-only file is refused as the file itself is, even for root.
TEST_F(TextFileTest, LinkToAReadOnlyFileIsAccessDenied) {
    std::ofstream(path("real.txt"), std::ios::binary) << "old";
    fs::create_symlink("real.txt", dir / "f.txt");
    fs::permissions(path("real.txt"), fs::perms::owner_read);
    expectIoError([&] { WriteFileReplacing(path("f.txt"), "new"); }, 5,
                  "ファイルへのアクセスが拒否されました");
    EXPECT_EQ(slurp(path("real.txt")), "old");
    EXPECT_TRUE(fs::is_symlink(dir / "f.txt"));
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

// A byte order mark that an editor put at the start of the file is no part of line 1;
// the same bytes anywhere else are text.
TEST_F(TextFileTest, ReadingSkipsAByteOrderMarkAtTheStart) {
    const std::string bom = "\xEF\xBB\xBF";
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {{bom + "1\r\n2\r\n", {"1", "2"}},
                          {bom + "\r\n2", {"", "2"}},
                          {"1\r\n" + bom + "2\r\n", {"1", bom + "2"}},
                          {"x" + bom + "\r\n", {"x" + bom}},
                          {bom + bom + "1", {bom + "1"}},
                          {"\xEF\xBB"
                           "1",
                           {"\xEF\xBB"
                            "1"}}};
    for (const auto& c : cases) {
        std::ofstream(path("f.txt"), std::ios::binary | std::ios::trunc) << c.bytes;
        EXPECT_EQ(ReadTextLines(path("f.txt")), c.lines) << c.bytes;
    }
}

// A reader that needs a few short lines keeps no more: it stops after `maxLines` lines and
// keeps at most `maxLineBytes` of a line (cut between two characters, "…" after the cut).
TEST_F(TextFileTest, ReadingKeepsNoMoreThanAskedFor) {
    std::string kana; // 3 bytes a character
    for (int k = 0; k < 40; ++k) {
        kana += "あ";
    }
    struct Case {
        std::string bytes;
        size_t maxLines;
        size_t maxLineBytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"1\r\n2\r\n3\r\n4", 2, 100, {"1", "2"}},
        {"1\r\n2", 5, 100, {"1", "2"}},
        {std::string(10, 'x') + "\r\n2", 5, 10, {std::string(10, 'x'), "2"}},
        {std::string(11, 'x') + "\r\n2", 5, 10, {std::string(10, 'x') + "…", "2"}},
        {std::string(1 << 20, '7') + "\r\n2", 5, 4096, {std::string(4096, '7') + "…", "2"}},
        {std::string(1 << 20, '7'), 5, 4096, {std::string(4096, '7') + "…"}},
        {kana + "\n", 5, 10, {kana.substr(0, 9) + "…"}},
        {kana + "\n", 5, 11, {kana.substr(0, 9) + "…"}},
        {kana + "\n", 5, 12, {kana.substr(0, 12) + "…"}},
        {"\xEF\xBB\xBF" + std::string(20, 'x'), 5, 10, {std::string(10, 'x') + "…"}},
        // A CR LF that the 64 KiB reads split is one line end.
        {std::string(65535, 'y') + "\r\n2", 5, 1 << 20, {std::string(65535, 'y'), "2"}},
    };
    for (const auto& c : cases) {
        std::ofstream(path("f.txt"), std::ios::binary | std::ios::trunc) << c.bytes;
        EXPECT_EQ(ReadTextLines(path("f.txt"), c.maxLines, c.maxLineBytes), c.lines)
            << c.bytes.substr(0, 40) << " " << c.maxLines << " " << c.maxLineBytes;
    }
}

// What the user reads below the message: the file and why, from the system's reason.
TEST_F(TextFileTest, ErrorsNameTheFileAndTheReason) {
    struct Case {
        const char* name;
        std::function<void()> fail;
        std::string detail;
    };
    std::ofstream(path("ro.txt"), std::ios::binary) << "old";
    fs::permissions(path("ro.txt"), fs::perms::owner_read);
    fs::create_symlink("loop.txt", dir / "loop.txt");
    const Case cases[] = {
        {"read-only file", [&] { WriteFileReplacing(path("ro.txt"), "new"); },
         path("ro.txt") + ": permission denied: the file or its folder is read-only or belongs "
                          "to another user"},
        {"missing folder", [&] { WriteFileReplacing(path("no/f.txt"), "a"); },
         path("no/f.txt") + ": no such file or folder"},
        {"missing file read", [&] { ReadTextLines(path("none.txt")); },
         path("none.txt") + ": no such file or folder"},
        {"links in a circle", [&] { WriteFileReplacing(path("loop.txt"), "a"); },
         path("loop.txt") + ": too many symbolic links"},
    };
    for (const Case& c : cases) {
        try {
            c.fail();
            ADD_FAILURE() << c.name << ": no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(InOutErrorDetail(e), c.detail) << c.name;
        }
    }
}

namespace myrl {
namespace {

TEST(SplitTextLines, SplitsAtLfDropsTheCrBeforeItAndStopsAtTheCap) {
    using V = std::vector<std::string_view>;
    struct Case {
        std::string_view text;
        size_t cap;
        V lines;
    };
    const Case cases[] = {
        {"", 9, {}},
        {"a", 9, {"a"}},
        {"a\n", 9, {"a"}},
        {"a\r\nb", 9, {"a", "b"}},
        {"a\n\nb\r", 9, {"a", "", "b"}},
        {"a\rb\n", 9, {"a\rb"}},
        {"1\n2\n3\n4", 2, {"1", "2"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitTextLines(c.text, c.cap), c.lines) << c.text;
    }
}

} // namespace
} // namespace myrl

// ---- links another user planted, files another user owns, files that are no files --------

namespace {

// The file's bytes, or "(none)" when it does not exist.
std::string contentOf(const fs::path& p) {
    if (!fs::exists(p)) {
        return "(none)";
    }
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string detailOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EInOutError& e) {
        return std::to_string(e.ErrorCode) + " " + InOutErrorDetail(e);
    }
    return "no error";
}

} // namespace

// A sticky folder every user may write to, as /tmp is. Another user plants links there to
// files of this user elsewhere: writing through them would let that user choose which of
// this user's files gets replaced (and with what), so they are followed only as the kernel's
// rule for protected links says, hop by hop; nothing is read, written or created through
// a refused one and the user reads why. Links of this user, or of the folder's owner, and
// links in a folder that is not sticky are followed as before.
TEST_F(TextFileTest, LinksAnotherUserPlantedInASharedStickyFolderAreNotFollowed) {
    if (!CanBecomeAnotherUser()) {
        GTEST_SKIP() << "planting a link of another user needs root";
    }
    const OtherUser nobody = *Nobody();
    struct Case {
        const char* name;
        mode_t folderMode;
        bool folderOfNobody;
        // Links in the folder, in order: name, target, planted by nobody.
        std::vector<std::tuple<std::string, std::string, bool>> links;
        bool followed;
    };
    const std::string secret = (dir / "private" / "prm.txt").string();
    const std::string missing = (dir / "private" / "new.txt").string();
    const Case cases[] = {
        {"another user's link to an existing file", 01777, false, {{"f.txt", secret, true}}, false},
        {"another user's link leading nowhere", 01777, false, {{"f.txt", missing, true}}, false},
        {"a link of this user then one of another",
         01777,
         false,
         {{"f.txt", "l2", false}, {"l2", secret, true}},
         false},
        {"this user's own link", 01777, false, {{"f.txt", secret, false}}, true},
        {"the link of the folder's owner", 01777, true, {{"f.txt", secret, true}}, true},
        {"a folder that is not sticky", 0777, false, {{"f.txt", secret, true}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir / "shared");
        fs::remove_all(dir / "private");
        fs::create_directories(dir / "shared");
        fs::create_directories(dir / "private");
        ASSERT_EQ(::chmod((dir / "private").c_str(), 0700), 0);
        ASSERT_EQ(::chmod((dir / "shared").c_str(), c.folderMode), 0);
        if (c.folderOfNobody) {
            ASSERT_EQ(::chown((dir / "shared").c_str(), nobody.Uid, nobody.Gid), 0);
        }
        std::ofstream(secret, std::ios::binary) << "root's own";
        ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
        for (const auto& [name, target, planted] : c.links) {
            const fs::path link = dir / "shared" / name;
            fs::create_symlink(target, link);
            if (planted) {
                ASSERT_EQ(::lchown(link.c_str(), nobody.Uid, nobody.Gid), 0);
            }
        }
        const std::string path = (dir / "shared" / "f.txt").string();

        const std::string write = detailOf([&] { WriteFileReplacing(path, "planted text"); });
        const std::string read = detailOf([&] { ReadFileBytes(path, 100); });
        if (c.followed) {
            EXPECT_EQ(write, "no error");
            EXPECT_EQ(contentOf(secret), "planted text");
            EXPECT_EQ(read, "no error");
            EXPECT_TRUE(FileCanBeRead(path));
            continue;
        }
        for (const std::string& said : {write, read}) {
            EXPECT_EQ(said.rfind("5 " + path + ": the symbolic link ", 0), 0u) << said;
            EXPECT_NE(said.find("belongs to another user (nobody) and lies in a folder that every "
                                "user may write to ("),
                      std::string::npos)
                << said;
        }
        EXPECT_FALSE(FileCanBeRead(path));
        EXPECT_THROW(ReadTextLines(path), EInOutError);
        EXPECT_EQ(contentOf(secret), "root's own");
        EXPECT_EQ(contentOf(missing), "(none)");
        // Nothing new in either folder: no temporary, no file the dangling link names.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "private"), fs::directory_iterator{}),
                  1);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "shared"), fs::directory_iterator{}),
                  static_cast<long>(c.links.size()));
    }
}

// Whether a file may be replaced is the system's answer for this user, not the mode bits:
// another user's rw-r--r-- file in a folder this user may write is not this user's to
// replace (renaming over it would take it from its owner), nor is a file in a folder this
// user may write but not enter.
TEST_F(TextFileTest, AFileTheUserMayNotWriteIsNeverReplaced) {
    if (!CanBecomeAnotherUser()) {
        GTEST_SKIP() << "another user's file needs root to set up";
    }
    const OtherUser nobody = *Nobody();
    ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
    struct Case {
        const char* name;
        mode_t mode;
        bool ownedByNobody;
        bool written;
    };
    const Case cases[] = {
        {"root's rw-r--r-- file", 0644, false, false},
        {"root's rw-rw-rw- file", 0666, false, true},
        {"nobody's own rw------- file", 0600, true, true},
        {"nobody's own r-------- file", 0400, true, false},
    };
    // 0 written, 1 refused as access denied.
    const auto writeAsNobody = [&] {
        try {
            WriteFileReplacing(path("f.txt"), "new");
            return 0;
        } catch (const EInOutError& e) {
            return e.ErrorCode == kIoAccessDenied ? 1 : 2;
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(path("f.txt"));
        std::ofstream(path("f.txt"), std::ios::binary) << "old";
        ASSERT_EQ(::chmod(path("f.txt").c_str(), c.mode), 0);
        if (c.ownedByNobody) {
            ASSERT_EQ(::chown(path("f.txt").c_str(), nobody.Uid, nobody.Gid), 0);
        }
        const auto result = RunAsNobody(writeAsNobody);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(*result, c.written ? 0 : 1);
        EXPECT_EQ(slurp(path("f.txt")), c.written ? "new" : "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
    }
    // A folder nobody may write to but not enter: nothing can be made in it.
    fs::remove(path("f.txt"));
    ASSERT_EQ(::chmod(dir.c_str(), 0772), 0);
    ASSERT_EQ(::chown(dir.c_str(), 0, 0), 0);
    const auto result = RunAsNobody(writeAsNobody);
    ASSERT_EQ(::chmod(dir.c_str(), 0700), 0);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, 1);
}

// Every reader opens its file without waiting and takes only a regular file: a FIFO
// (which would wait for a writer for ever), /dev/zero (which never ends) and a folder are
// refused at once with the reason; a regular file is read up to its limit plus one byte.
TEST_F(TextFileTest, ReadersTakeOnlyRegularFilesAndNoMoreThanTheirLimit) {
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    fs::create_directory(dir / "folder");
    struct Case {
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {path("fifo"), "not a file to read: it is a FIFO (named pipe)"},
        {"/dev/zero", "not a file to read: it is a device"},
        {path("folder"), "not a file to read: it is a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_FALSE(FileCanBeRead(c.path));
        EXPECT_EQ(detailOf([&] { ReadFileBytes(c.path, 1 << 20); }),
                  "22 " + c.path + ": " + c.reason);
        EXPECT_EQ(detailOf([&] { ReadTextLines(c.path, 15, 4096); }),
                  "22 " + c.path + ": " + c.reason);
    }
    std::ofstream(path("f.txt"), std::ios::binary) << "0123456789";
    EXPECT_EQ(ReadFileBytes(path("f.txt"), 4), "01234");
    EXPECT_EQ(ReadFileBytes(path("f.txt"), 10), "0123456789");
    EXPECT_EQ(ReadFileBytes(path("f.txt"), 0), "0");
    // A line reader given a byte limit refuses a file that runs past it before its lines end.
    std::ofstream(path("f.txt"), std::ios::binary | std::ios::trunc) << "1\r\n2\r\n"
                                                                     << std::string(100, 'x');
    EXPECT_EQ(ReadTextLines(path("f.txt"), 2, 10, 6), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(detailOf([&] { ReadTextLines(path("f.txt"), 3, 10, 50); }),
              "22 " + path("f.txt") +
                  ": more than 50 bytes before line 3 ends: not a file of "
                  "this kind");
}

// What a reader of a file already in memory takes for lines: every line end, as the
// parameter file's reader does, and no byte order mark.
TEST(TextLines, SplitAtEveryLineEndWithoutAByteOrderMark) {
    using V = std::vector<std::string_view>;
    const struct {
        std::string_view text;
        size_t cap;
        V lines;
    } cases[] = {
        {"", 9, {}},
        {"a", 9, {"a"}},
        {"a\r\nb\r\n", 9, {"a", "b"}},
        {"a\nb", 9, {"a", "b"}},
        {"a\rb\r", 9, {"a", "b"}},
        {"a\r\r\nb\n\rc", 9, {"a", "", "b", "", "c"}},
        {"\xEF\xBB\xBF"
         "a\r\nb",
         9,
         {"a", "b"}},
        {"a\r\n\xEF\xBB\xBF"
         "b",
         9,
         {"a", "\xEF\xBB\xBF"
               "b"}},
        {"1\r2\r3\r4", 2, {"1", "2"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextLines(c.text, c.cap), c.lines) << c.text;
    }
}

// A run killed in the middle of a write leaves its temporary beside the file; the next run
// removes the temporaries of its own files that are older than itself and leaves
// everything else: other names, newer files, links, and other users' files.
TEST_F(TextFileTest, StaleTemporariesOfTheGivenNamesAreRemoved) {
    const auto now = std::chrono::system_clock::now();
    const auto age = [&](const char* name, int seconds) {
        const timespec times[2] = {
            {static_cast<time_t>(std::chrono::system_clock::to_time_t(now) - seconds), 0},
            {static_cast<time_t>(std::chrono::system_clock::to_time_t(now) - seconds), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path(name).c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << name;
    };
    const char* const files[] = {
        "myrl_prm.txt.a1B2c3",  "myrl_data.csv.ZZZZZZ", "myrl_prm.txt.newer1", "myrl_prm.txt.a1B2c",
        "myrl_prm.txt.a1B2c3d", "myrl_prm.txt.a-B2c3",  "other.txt.a1B2c3",    "myrl_prm.txt"};
    for (const char* f : files) {
        std::ofstream(path(f), std::ios::binary) << "x";
        age(f, 60);
    }
    age("myrl_prm.txt.newer1", -5);
    fs::create_symlink("myrl_prm.txt", dir / "myrl_prm.txt.link00");
    age("myrl_prm.txt.link00", 60);
    if (CanBecomeAnotherUser()) {
        std::ofstream(path("myrl_data.csv.nobody"), std::ios::binary) << "x";
        ASSERT_EQ(::chown(path("myrl_data.csv.nobody").c_str(), Nobody()->Uid, Nobody()->Gid), 0);
        age("myrl_data.csv.nobody", 60);
    }
    EXPECT_EQ(RemoveStaleTemporaries(dir.string(), {"myrl_prm.txt", "myrl_data.csv"}, now), 2);
    EXPECT_FALSE(fs::exists(dir / "myrl_prm.txt.a1B2c3"));
    EXPECT_FALSE(fs::exists(dir / "myrl_data.csv.ZZZZZZ"));
    for (const char* kept : {"myrl_prm.txt.newer1", "myrl_prm.txt.a1B2c", "myrl_prm.txt.a1B2c3d",
                             "myrl_prm.txt.a-B2c3", "other.txt.a1B2c3", "myrl_prm.txt"}) {
        EXPECT_TRUE(fs::exists(dir / kept)) << kept;
    }
    EXPECT_TRUE(fs::is_symlink(dir / "myrl_prm.txt.link00"));
    if (CanBecomeAnotherUser()) {
        EXPECT_TRUE(fs::exists(dir / "myrl_data.csv.nobody"));
    }
    EXPECT_EQ(RemoveStaleTemporaries((dir / "none").string(), {"myrl_prm.txt"}, now), 0);
}

TEST(FileErrorReason, NamesTheFileAndTheReasonOrTakesTheErrorsOwnSentence) {
    EInOutError io(InOutErrorText(5), 5);
    io.Errno = EACCES;
    io.Path = "a.csv";
    EXPECT_EQ(FileErrorReason(io), "a.csv: permission denied: the file or its folder is read-only "
                                   "or belongs to another user.");
    io.Why = "not a file to read: it is a device";
    EXPECT_EQ(FileErrorReason(io), "a.csv: not a file to read: it is a device.");
    EXPECT_EQ(FileErrorReason(std::runtime_error("a.csv, line 3: bad.")), "a.csv, line 3: bad.");
}
