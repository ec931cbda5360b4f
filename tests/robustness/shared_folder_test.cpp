// A working folder that a class shares: what another user, another simulator
// or a crash leaves there. Ownership and protections are tried with the
// programs running as "nobody", since root writes anywhere.
#include "robustness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <random>
#include <regex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kTrial = "slider 4 0\npress \"Réalisation essai\"\n";
const std::string kCoefficients = [] {
    std::string file = "135.000000 \t";
    for (int k = 2; k <= 21; ++k) file += "0.100000 \t";
    return file;
}();

void seed(const Workspace& w) {
    for (const char* model : {"A1", "A2", "H"}) w.write(std::string("poly/") + model + ".poly", kCoefficients);
}

mode_t modeOf(const fs::path& file) {
    struct stat st {};
    ::lstat(file.c_str(), &st);
    return st.st_mode & 07777;
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

TEST(SharedFolder, OneSimulatorPerWorkingFolder) {
    Workspace w, elsewhere;
    seed(w);
    seed(elsewhere);
    LiveSession first(SIMULATOR_PROGRAM, w.path());
    first.step(kTrial);
    Files account = filesIn(w.path() / "data");

    // A second one here refuses to start, naming the first, and resets nothing.
    ScriptRun second = w.run(SIMULATOR_PROGRAM, "");
    tally("faults");
    EXPECT_EQ(second.status, 1);
    auto errors = errorLines(second.err);
    ASSERT_EQ(errors.size(), 1u) << second.err;
    EXPECT_NE(errors[0].find("Un autre simulateur travaille déjà dans ce dossier (le processus " +
                             std::to_string(first.pid()) + " sur la machine"),
              std::string::npos)
        << errors[0];
    EXPECT_TRUE(unchanged(account, w.path() / "data"));
    // Elsewhere a simulator runs beside it; here the editor does.
    LiveSession other(SIMULATOR_PROGRAM, elsewhere.path());
    EXPECT_TRUE(errorLines(other.step(kTrial).out + other.errors()).empty()) << other.errors();
    ScriptRun editor = w.run(EDITOR_A1_PROGRAM, "press \"Relire anciennes valeurs\"\n");
    EXPECT_TRUE(errorLines(editor.err).empty()) << editor.err;

    // A simulator that crashed leaves nothing in the way of the next.
    first.kill(SIGKILL);
    ScriptRun next = w.run(SIMULATOR_PROGRAM, kTrial);
    EXPECT_TRUE(errorLines(next.err).empty()) << next.err;
    EXPECT_EQ(w.read("data/Nb_essai.dat"), "1.000000 ");
}

TEST(SharedFolder, AStartRemovesItsOwnStaleTemporariesAndNothingElse) {
    Workspace w;
    seed(w);
    // Real crashes first: simulators killed at random moments of a run of trials.
    std::mt19937 random(7);
    for (int kill = 0; kill < 20; ++kill) {
        LiveSession session(SIMULATOR_PROGRAM, w.path());
        session.step("");
        std::string trials;
        for (int t = 0; t < 50; ++t) trials += "slider 4 " + std::to_string(t % 2) + "\npress \"Réalisation essai\"\n";
        session.send(trials);
        ::usleep(std::uniform_int_distribution<int>(0, 40000)(random));
        session.kill(SIGKILL);
        tally("faults");
    }
    // Then planted ones: the simulator's own, held or not, and others' names.
    const std::set<std::string> others = {".journal.csv.Ab12Cd", ".CoutO.dat.toolong1", "CoutO.dat.Ab12Cd",
                                          ".CoutO.dat.held01", "notes.txt"};
    for (const char* name : {".CoutO.dat.Ab12Cd", ".Nb_essai.dat.x9Y8z7", ".config_outillage.dat.QQQQQQ"})
        w.write(std::string("data/") + name, "left");
    for (const std::string& name : others) w.write("data/" + name, "kept");
    w.write("poly/.A1.poly.Ab12Cd", "left");
    int held = ::open((w.path() / "data/.CoutO.dat.held01").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);  // a live writer's

    LiveSession simulator(SIMULATOR_PROGRAM, w.path());
    simulator.step("");
    std::set<std::string> expected = others;
    expected.insert({"CoutO.dat", "CoutR.dat", "Nb_essai.dat", "installation", "simulateur.lock"});
    std::set<std::string> left = namesIn(w.path() / "data");
    left.erase("config_outillage.dat");  // there only when a trial ended before a kill
    for (const char* journal : {"journal.sqlite", "journal.sqlite-wal", "journal.sqlite-shm"})
        left.erase(journal);  // the journal's own, opened by a thread of its own
    EXPECT_EQ(left, expected);
    EXPECT_TRUE(w.exists("poly/.A1.poly.Ab12Cd"));  // the editor's, not the simulator's
    ::close(held);
    EXPECT_TRUE(noCrash(simulator.finish(), simulator.errors()));

    // The editor's start clears its own, and only the model it edits.
    w.write("poly/.H.poly.Ab12Cd", "kept");
    EXPECT_TRUE(errorLines(w.run(EDITOR_A1_PROGRAM, "").err).empty());
    EXPECT_FALSE(w.exists("poly/.A1.poly.Ab12Cd"));
    EXPECT_TRUE(w.exists("poly/.H.poly.Ab12Cd"));
}

TEST(SharedFolder, OwnersProtectionsAndOthersLinksHoldForAnUnprivilegedUser) {
    Workspace w, group;
    seed(w);
    seed(group);
    w.write("data/CoutO.dat", "5000.000000 ");
    w.write("data/Nb_essai.dat", "2.000000 ");
    w.write("trainer.profile", "trainer's own file\n");
    w.giveTo("nobody");
    fs::permissions(w.path() / "poly/A1.poly", fs::perms(0444));  // the trainer protects the model
    // Someone else (root here) planted a link where the simulator logs its trial.
    fs::create_symlink(w.path() / "trainer.profile", w.path() / "data/config_outillage.dat");
    // This group's poly/ is another group's: a trial must still account here.
    fs::remove_all(w.path() / "poly");
    fs::create_directory_symlink(group.path() / "poly", w.path() / "poly");
    ::lchown((w.path() / "poly").c_str(), 65534, 65534);
    Files groupFolder = filesIn(group.path());

    ScriptRun trial = w.run(SIMULATOR_PROGRAM, kTrial, "nobody");
    tally("faults", 2);
    auto errors = errorLines(trial.err);
    ASSERT_EQ(errors.size(), 1u) << trial.err;
    EXPECT_NE(errors[0].find("config_outillage.dat » est un lien symbolique qui appartient à un autre utilisateur"),
              std::string::npos)
        << errors[0];
    EXPECT_EQ(w.read("trainer.profile"), "trainer's own file\n");
    EXPECT_EQ(w.read("data/Nb_essai.dat"), "1.000000 ");  // the account, written here
    EXPECT_EQ(filesIn(group.path()), groupFolder);  // nothing changed, nothing added

    // The model's write protection stands, and the owner's modes stay.
    fs::permissions(group.path() / "poly/A1.poly", fs::perms(0444));
    fs::permissions(w.path() / "data/CoutR.dat", fs::perms(0640));
    ScriptRun save = w.run(EDITOR_A1_PROGRAM, "press \"Sauvegarde A1\"\n", "nobody");
    tally("faults");
    errors = errorLines(save.err);
    ASSERT_EQ(errors.size(), 1u) << save.err;
    EXPECT_NE(errors[0].find("Le fichier poly/A1.poly ne peut pas être écrit."), std::string::npos) << errors[0];
    EXPECT_EQ(group.read("poly/A1.poly"), kCoefficients);
    w.run(SIMULATOR_PROGRAM, kTrial, "nobody");
    EXPECT_EQ(modeOf(w.path() / "data/CoutR.dat"), 0640u);
    EXPECT_EQ(modeOf(group.path() / "poly/A1.poly"), 0444u);
}

TEST(SharedFolder, PipesDevicesAndHugeFilesAreRefusedByName) {
    Workspace w;
    seed(w);
    fs::remove(w.path() / "poly/A1.poly");
    ASSERT_EQ(::mkfifo((w.path() / "poly/A1.poly").c_str(), 0644), 0);
    ScriptRun start = w.run(SIMULATOR_PROGRAM, "");  // would wait for a writer for ever
    tally("bad_inputs");
    ASSERT_EQ(errorLines(start.err).size(), 1u) << start.err;
    EXPECT_NE(start.err.find("A1.poly » est un tube nommé"), std::string::npos) << start.err;

    fs::remove(w.path() / "poly/A1.poly");
    w.write("poly/A1.poly", kCoefficients);
    LiveSession simulator(SIMULATOR_PROGRAM, w.path());
    simulator.step("");
    fs::remove(w.path() / "data/CoutO.dat");
    fs::create_symlink("/dev/zero", w.path() / "data/CoutO.dat");  // would fill the memory
    simulator.step(kTrial);
    tally("bad_inputs");
    EXPECT_NE(simulator.errors().find("CoutO.dat » est un périphérique"), std::string::npos) << simulator.errors();
    EXPECT_TRUE(fs::is_symlink(w.path() / "data/CoutO.dat"));
    EXPECT_TRUE(noCrash(simulator.finish(), simulator.errors()));
}

TEST(SharedFolder, AnEditorSaveKeepsTheModelItReplaces) {
    Workspace w;
    seed(w);
    // One click on a fresh window saves 21 zeros over the fitted model.
    ScriptRun save = w.run(EDITOR_A1_PROGRAM, "press \"Sauvegarde A1\"\n");
    EXPECT_TRUE(errorLines(save.err).empty()) << save.err;
    EXPECT_EQ(w.read("poly/A1.poly").substr(0, 10), "0.000000 \t");
    std::vector<std::string> kept;
    for (const auto& entry : fs::directory_iterator(w.path() / "poly/historique")) {
        kept.push_back(entry.path().filename().string());
        EXPECT_EQ(w.read("poly/historique/" + kept.back()), kCoefficients);  // byte for byte
    }
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(std::regex_match(kept[0], std::regex(R"(A1-\d{4}-\d\d-\d\dT\d\d-\d\d-\d\d\.poly)"))) << kept[0];
}

}  // namespace
