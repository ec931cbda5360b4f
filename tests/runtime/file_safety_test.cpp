// Files that other people can reach: what the runtime reads and writes in a
// shared working folder. Permissions and ownership are tried in a child that
// runs as the unprivileged user "nobody", since root writes anywhere.
#include "array.h"
#include "file_safety.h"
#include "working_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <csignal>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
namespace sf = file_safety;

namespace {

std::string get(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
void put(const fs::path& file, const std::string& content) { std::ofstream(file, std::ios::binary) << content; }
mode_t modeOf(const fs::path& file) {
    struct stat st {};
    ::lstat(file.c_str(), &st);
    return st.st_mode & 07777;
}
mxArray text(const std::string& t) { return mxArray::text(t); }

class FileSafety : public testing::Test {
protected:
    void SetUp() override {
        // Under /tmp and owned by nobody, so that a child running as nobody works in it.
        nobody_ = ::getpwnam("nobody");
        if (nobody_) ::chown(dir_.c_str(), nobody_->pw_uid, nobody_->pw_gid);
    }
    void TearDown() override { mclCloseAllFiles(); }
    // Runs the checks as nobody; a failed EXPECT in the child fails the test.
    void asNobody(const std::function<void()>& checks) {
        if (!nobody_) GTEST_SKIP() << "no user nobody";
        pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobody_->pw_gid) != 0 || ::setuid(nobody_->pw_uid) != 0)
                ::_exit(3);
            checks();
            ::_exit(testing::Test::HasFailure() ? 1 : 0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the checks run as nobody failed";
    }
    void ownByNobody(const fs::path& file) { ::lchown(file.c_str(), nobody_->pw_uid, nobody_->pw_gid); }

    const WorkingFolder folder_;
    const fs::path dir_ = folder_.path();
    struct passwd* nobody_ = nullptr;
};

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const mclError& e) {
        return e.what();
    }
    return {};
}

TEST_F(FileSafety, OnlyRegularFilesOfSaneSizeAreRead) {
    ASSERT_EQ(::mkfifo("A1.poly", 0644), 0);
    fs::create_symlink("/dev/zero", "CoutO.dat");
    {
        std::ofstream huge("H.poly");
        huge.seekp(sf::kMaxFileSize);  // sparse: one byte over the limit
        huge.put('1');
    }
    // Each is refused at once, by a message naming it, and holds no id.
    EXPECT_NE(errorOf([] { mlfFopen(text("A1.poly")); }).find("A1.poly » est un tube nommé"), std::string::npos);
    EXPECT_NE(errorOf([] { mlfFopen(text("CoutO.dat"), text("r")); }).find("CoutO.dat » est un périphérique"),
              std::string::npos);
    EXPECT_NE(errorOf([] { mlfFopen(text("H.poly")); }).find("H.poly » dépasse 10 Mo"), std::string::npos);
    EXPECT_EQ(mclOpenFileCount(), 0);
    // Writing over them is refused the same way; the pipe is still there.
    EXPECT_NE(errorOf([] { mlfFopen(text("A1.poly"), text("w")); }).find("pas un fichier ordinaire"), std::string::npos);
    EXPECT_TRUE(fs::is_fifo("A1.poly"));
    EXPECT_EQ(mlfFopen(text("missing")).at(0), -1);
}

TEST_F(FileSafety, ReplacementKeepsTheOwnersProtectionsAndFollowsOnlyTheUsersLinks) {
    fs::create_directories("elsewhere");
    put("protected.poly", "1 2 3");
    put("private.dat", "old");
    put("elsewhere/target.dat", "target");
    put("elsewhere/trainer.profile", "trainer's");
    fs::permissions("protected.poly", fs::perms(0444));
    fs::permissions("private.dat", fs::perms(0600));
    for (const char* file : {"protected.poly", "private.dat", "elsewhere", "elsewhere/target.dat"})
        ownByNobody(file);
    fs::create_symlink("elsewhere/target.dat", "own-link.dat");  // made by nobody
    ownByNobody("own-link.dat");
    fs::create_symlink("elsewhere/trainer.profile", "planted.dat");  // someone else's (root's)
    fs::create_symlink("elsewhere/trainer.profile", "journal.csv.bad");
    asNobody([] {
        ::umask(027);
        auto write = [](const char* name, const char* content) {
            mxArray id = mlfFopen(text(name), text("w"));
            if (id.at(0) < 0) return false;
            mlfNFprintf(id, text("%s"), text(content));
            mlfFclose(id);
            return true;
        };
        EXPECT_FALSE(write("protected.poly", "0 0 0"));  // the runtime's "cannot be opened"
        EXPECT_EQ(get("protected.poly"), "1 2 3");
        EXPECT_TRUE(write("private.dat", "new"));
        EXPECT_EQ(modeOf("private.dat"), 0600u);
        EXPECT_TRUE(write("fresh.dat", "x"));
        EXPECT_EQ(modeOf("fresh.dat"), 0640u);  // the umask's
        // The user's link: its target replaced in its own folder, the link kept.
        EXPECT_TRUE(write("own-link.dat", "through"));
        EXPECT_TRUE(fs::is_symlink("own-link.dat"));
        EXPECT_EQ(get("elsewhere/target.dat"), "through");
        // Someone else's link: refused by replacement and by append alike.
        EXPECT_NE(errorOf([&] { write("planted.dat", "x"); }).find("appartient à un autre utilisateur"), std::string::npos);
        EXPECT_EQ(sf::appendToFile("planted.dat", "x").status, sf::WriteStatus::Refused);
        // A file set aside never goes through what is already there.
        std::string used;
        EXPECT_TRUE(sf::setAside("journal.csv", "bad line\n", used).ok());
        EXPECT_EQ(used, "journal.csv.bad.2");
        EXPECT_EQ(get("journal.csv.bad.2"), "bad line\n");
    });
    EXPECT_EQ(get("elsewhere/trainer.profile"), "trainer's");
    for (const auto& entry : fs::directory_iterator("."))
        EXPECT_NE(entry.path().filename().string().rfind(".", 0), 0u) << "temporary left: " << entry.path();
}

TEST_F(FileSafety, AGroupThatFailsReturnsToItsHeldFolderAndClosesWhatItOpened) {
    fs::create_directories("other/poly");
    fs::create_directories("other/data");
    fs::create_directories("data");
    fs::create_symlink(dir_ / "other/poly", "poly");
    put("data/CoutO.dat", "2500.000000 ");
    {
        mclFolderScope inPoly(text("poly"));
        inPoly.leave(text(".."));  // back where it came from, not into other/
    }
    EXPECT_EQ(fs::current_path(), dir_);
    EXPECT_NE(errorOf([] {
                  mclFolderScope inData(text("data"));
                  mlfFopen(text("CoutO.dat"), text("w"));
                  mxArray id = mlfFopen(text("CoutR.dat"), text("w"));
                  mlfNFprintf(id, text("%q"), mxArray::scalar(1));  // fails
              }),
              "");
    EXPECT_EQ(fs::current_path(), dir_);
    EXPECT_EQ(mclOpenFileCount(), 0);
    EXPECT_EQ(mlfFopen(text("data/CoutO.dat")).at(0), 3);  // the first id is free again
    EXPECT_EQ(get("data/CoutO.dat"), "2500.000000 ");
    EXPECT_EQ(std::distance(fs::directory_iterator("data"), fs::directory_iterator()), 1);
}

TEST_F(FileSafety, AReplacementGroupPutsItsFilesInPlaceOnlyAtItsCommit) {
    put("CoutO.dat", "2500.000000 ");
    put("CoutR.dat", "350.000000 ");
    auto entries = [] {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(".")) names.insert(entry.path().filename().string());
        return names;
    };
    const std::set<std::string> targets{"CoutO.dat", "CoutR.dat"};
    // An error ends the group: what was closed before it takes its place, as it would have one by one.
    EXPECT_NE(errorOf([&] {
                  sf::ReplacementGroup group;
                  mxArray id = mlfFopen(text("CoutO.dat"), text("w"));
                  mlfNFprintf(id, text("%f "), mxArray::scalar(0));
                  mlfFclose(id);
                  EXPECT_EQ(get("CoutO.dat"), "2500.000000 ");  // written, not yet in place
                  EXPECT_EQ(entries().size(), 3u);
                  id = mlfFopen(text("CoutR.dat"), text("w"));
                  mlfNFprintf(id, text("%q"), mxArray::scalar(1));  // fails
              }),
              "");
    mclCloseAllFiles();
    EXPECT_EQ(entries(), targets);
    EXPECT_EQ(get("CoutO.dat"), "0.000000 ");
    EXPECT_EQ(get("CoutR.dat"), "350.000000 ");

    sf::ReplacementGroup group;
    sf::Replacement tooling("CoutO.dat"), adjustment("CoutR.dat");
    ASSERT_TRUE(tooling.commit("5000.000000 ").ok());
    ASSERT_TRUE(adjustment.commit("700.000000 ").ok());
    EXPECT_EQ(get("CoutO.dat"), "0.000000 ");
    ASSERT_TRUE(group.commit().ok());
    EXPECT_EQ(get("CoutO.dat"), "5000.000000 ");
    EXPECT_EQ(get("CoutR.dat"), "700.000000 ");
    EXPECT_EQ(entries(), targets);
    EXPECT_TRUE(sf::replaceFile("CoutO.dat", "7500.000000 ").ok());  // after its commit, at once again
    EXPECT_EQ(get("CoutO.dat"), "7500.000000 ");
}

TEST_F(FileSafety, AFirstReplacementRemovesOnlyItsOwnStaleTemporaries) {
    for (const char* name : {".CoutO.dat.Ab12Cd", ".CoutO.dat.held01", ".CoutR.dat.Ab12Cd", ".CoutO.dat.toolong1",
                             "CoutO.dat.Ab12Cd"})
        put(name, "left");
    // A live writer elsewhere holds its temporary: the lock passes to the child.
    int held = ::open(".CoutO.dat.held01", O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    pid_t holder = ::fork();
    if (holder == 0) {
        ::pause();
        ::_exit(0);
    }
    ::close(held);
    EXPECT_TRUE(sf::replaceFile("CoutO.dat", "2500.000000 ").ok());
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(".")) left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"CoutO.dat", ".CoutO.dat.held01", ".CoutR.dat.Ab12Cd",
                                           ".CoutO.dat.toolong1", "CoutO.dat.Ab12Cd"}));
}

TEST_F(FileSafety, ALockIsTakenAtOnceOrRefusedWithoutHanging) {
    using std::chrono::milliseconds;
    // Left behind by a process that ended, and made by another user: it holds nothing.
    put("left.lock", "");
    ::chmod("left.lock", 0644);
    asNobody([] { EXPECT_TRUE(sf::FileLock("left.lock").held()); });
    {
        const sf::FileLock first("scenario.lock");
        ASSERT_TRUE(first.held()) << first.error();
        const sf::FileLock second("scenario.lock", milliseconds(50));
        EXPECT_FALSE(second.held());
        EXPECT_EQ(second.error(), "Le verrou « scenario.lock » est tenu par un autre programme : réessayez dans un "
                                  "moment, ou fermez l'autre programme.");
    }
    EXPECT_TRUE(sf::FileLock("scenario.lock", milliseconds(0)).held());  // let go with its holder

    // A pipe or a link planted in its place is refused at once, whatever the patience.
    ASSERT_EQ(::mkfifo("pipe.lock", 0666), 0);
    fs::create_symlink("elsewhere", "link.lock");
    EXPECT_EQ(sf::FileLock("pipe.lock", std::chrono::hours(1)).error(),
              "« pipe.lock » est un tube nommé, pas un fichier ordinaire : le verrou n'est pas pris. Supprimez-le.");
    EXPECT_EQ(sf::FileLock("link.lock", std::chrono::hours(1)).error(),
              "« link.lock » est un lien symbolique : le verrou n'est pas pris à travers lui. Supprimez ce lien.");
    EXPECT_FALSE(fs::exists("elsewhere"));
}

}  // namespace
