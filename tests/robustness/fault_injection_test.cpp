// Faults while the programs work: folders missing or read-only, a write that
// fails part-way, kill -9 in the middle of trials, and an editor saving while
// the simulator runs trials. After each: a clear message, files as before or
// wholly new, the working folder back where it was, the next action working.
#include "robustness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kTrial = "press \"Réalisation essai\"\n";
const std::string kMoveAndTrial = "slider 4 0\n" + kTrial;
const std::string kSave = "press \"Sauvegarde A1\"\n";
const std::string kReread = "press \"Relire anciennes valeurs\"\n";

// A coefficient file as the editor writes it: the constant, then 20 equal terms.
std::string coefficientFile(const char* constant, const char* term) {
    std::string file = std::string(constant) + ".000000 \t";
    for (int k = 2; k <= 21; ++k) file += std::string(term) + " \t";
    return file;
}

// The editor's 21 fields typed with the same numbers.
std::string typeCoefficients(const char* constant, const char* term) {
    std::string lines = "edit 1 \"" + std::string(constant) + "\"\n";
    for (int k = 2; k <= 21; ++k) lines += "edit " + std::to_string(k) + " \"" + term + "\"\n";
    return lines;
}

// A folder as a session leaves it: an account of two trials, its log, and
// the three coefficient files.
void seed(const Workspace& w) {
    w.write("data/CoutO.dat", "5000.000000 ");
    w.write("data/CoutR.dat", "700.000000 ");
    w.write("data/Nb_essai.dat", "2.000000 ");
    w.write("data/config_outillage.dat", "A=16,   R=10,   L=65,   C=38,   F=80 \nA1=130,   A2=130,   H=30 \n");
    w.write("poly/A1.poly", coefficientFile("135", "0.000000"));
    w.write("poly/A2.poly", coefficientFile("135", "0.000000"));
    w.write("poly/H.poly", coefficientFile("30", "0.000000"));
}

std::string loggedA1(const Workspace& w) {
    std::smatch m;
    std::string log = w.read("data/config_outillage.dat");
    return std::regex_search(log, m, std::regex("\nA1=([^,]*),")) ? m[1].str() : "(no A1 in «" + log + "»)";
}

// ---- a folder missing or read-only ------------------------------------------

enum class Moment { Start, Trial, Save, Reread };

struct FolderFaultCase {
    const char* name;
    Moment moment;
    const char* folder;
    bool readOnly;        // else missing
    const char* message;  // in the one error reported; null when the action works all the same
};

void PrintTo(const FolderFaultCase& c, std::ostream* out) { *out << c.name; }

// Takes a folder away (renamed, to be put back whole) or makes it read-only.
class FolderFault {
public:
    FolderFault(fs::path folder, bool readOnly) : folder_(std::move(folder)), readOnly_(readOnly) {
        if (readOnly_)
            fs::permissions(folder_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
        else
            fs::rename(folder_, away());
        tally("faults");
    }
    ~FolderFault() { lift(); }
    void lift() {
        if (lifted_) return;
        lifted_ = true;
        if (readOnly_) fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add);
        else fs::rename(away(), folder_);
    }

private:
    fs::path away() const { return folder_.string() + ".away"; }
    fs::path folder_;
    bool readOnly_;
    bool lifted_ = false;
};

class FolderFaults : public testing::TestWithParam<FolderFaultCase> {};

TEST_P(FolderFaults, ClearMessageFilesKeptFolderRestoredNextActionWorks) {
    const FolderFaultCase& c = GetParam();
    Workspace w;
    seed(w);
    // Root writes into read-only folders: such a fault is made for nobody.
    const std::string user = c.readOnly ? "nobody" : "";
    if (c.readOnly) w.giveTo(user);
    bool editor = c.moment == Moment::Save || c.moment == Moment::Reread;
    std::string program = editor ? EDITOR_A1_PROGRAM : SIMULATOR_PROGRAM;
    std::string action = c.moment == Moment::Save ? kSave : c.moment == Moment::Reread ? kReread : kMoveAndTrial;
    // The field typed before the fault: the save writes it, the re-read replaces it.
    std::string prepare = c.moment == Moment::Save ? "edit 1 \"140\"\n" : c.moment == Moment::Reread ? "edit 1 \"7\"\n" : "";

    std::optional<LiveSession> session;
    if (c.moment != Moment::Start) {
        session.emplace(program, w.path(), user);
        session->step(prepare);
    }
    Files data = filesIn(w.path() / "data"), poly = filesIn(w.path() / "poly");
    FolderFault fault(w.path() / c.folder, c.readOnly);
    if (session) {
        session->step(action);
    } else {
        session.emplace(program, w.path(), user);
        session->step("");
    }
    auto errors = errorLines(session->errors());
    if (c.message) {
        ASSERT_EQ(errors.size(), 1u) << session->errors();
        EXPECT_NE(errors[0].find(c.message), std::string::npos) << errors[0];
    } else {
        EXPECT_TRUE(errors.empty()) << session->errors();
    }
    EXPECT_EQ(workingFolderOf(session->pid()), w.path());
    if (c.moment == Moment::Start) {
        // A failed start names the whole path, closes the window it began
        // and ends with status 1, in a script as in a snapshot.
        EXPECT_NE(errors.at(0).find(w.path().string()), std::string::npos) << errors[0];
        EXPECT_TRUE(dumpsOf(session->step("dump\n")).empty()) << "a window outlived the failed start";
        const std::string err = session->errors();
        EXPECT_EQ(session->finish(), 1) << err;
        const std::string snapshot = "cd '" + w.path().string() + "' && " +
                                     (user.empty() ? "" : "runuser -u " + user + " -- ") + "'" + program +
                                     "' --snapshot start.png 2>/dev/null";
        const int raw = std::system(snapshot.c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw;
        EXPECT_FALSE(w.exists("start.png"));
    }
    fault.lift();
    if (c.message) {
        EXPECT_TRUE(unchanged(data, w.path() / "data"));
        EXPECT_TRUE(unchanged(poly, w.path() / "poly"));
    }

    // The next action works (a failed start is followed by a new start); a
    // trial moves a slider again, so that it is charged.
    if (c.moment == Moment::Start) session.emplace(program, w.path(), user);
    std::size_t reported = errorLines(session->errors()).size();
    ScriptRun next = session->step((c.moment == Moment::Trial ? "slider 4 -1\n" : "") + action + "dump\n");
    EXPECT_EQ(errorLines(session->errors()).size(), reported) << session->errors();
    switch (c.moment) {
    case Moment::Start: EXPECT_EQ(w.read("data/Nb_essai.dat"), "1.000000 "); break;  // a new account
    case Moment::Trial: EXPECT_EQ(w.read("data/Nb_essai.dat"), c.message ? "1.000000 " : "2.000000 "); break;
    case Moment::Save: EXPECT_EQ(w.read("poly/A1.poly").substr(0, 11), "140.000000 "); break;
    case Moment::Reread: EXPECT_EQ(dumpsOf(next).at(0).controlString(12), "135"); break;
    }
    EXPECT_TRUE(noCrash(session->finish(), session->errors()));
}

const FolderFaultCase kFolderFaults[] = {
    {"StartWithoutData", Moment::Start, "data", false, "« data » est introuvable"},
    {"StartWithoutPoly", Moment::Start, "poly", false, "« poly » est introuvable"},
    {"StartWithReadOnlyData", Moment::Start, "data", true,
     "/data/CoutO.dat » ne peut pas être écrit : demandez au formateur un dossier où vous pouvez écrire."},
    {"TrialWithoutData", Moment::Trial, "data", false, "dossier « data »"},
    {"TrialWithoutPoly", Moment::Trial, "poly", false, "dossier « poly »"},
    {"TrialWithReadOnlyData", Moment::Trial, "data", true, "/data/CoutO.dat » ne peut pas être écrit"},
    {"TrialWithReadOnlyPoly", Moment::Trial, "poly", true, nullptr},
    {"SaveWithoutPoly", Moment::Save, "poly", false, "dossier « poly »"},
    {"SaveWithReadOnlyPoly", Moment::Save, "poly", true, "poly/A1.poly ne peut pas être écrit"},
    {"RereadWithoutPoly", Moment::Reread, "poly", false, "dossier « poly »"},
    {"RereadWithReadOnlyPoly", Moment::Reread, "poly", true, nullptr},
};
INSTANTIATE_TEST_SUITE_P(Robustness, FolderFaults, testing::ValuesIn(kFolderFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- a write that fails part-way ----------------------------------------------

struct PartialWriteCase {
    const char* name;
    const char* program;
    std::string prepare;
    const char* file;  // written once the program is ready, when given
    std::string content;
    std::string action;
    // Bytes a file may hold: less than the action writes, more than the
    // message that reports it (standard error is a file too).
    rlim_t limit;
};

void PrintTo(const PartialWriteCase& c, std::ostream* out) { *out << c.name; }

void limitFileSize(int pid, rlim_t bytes) {
    rlimit limit{bytes, RLIM_INFINITY};
    ASSERT_EQ(::prlimit(pid, RLIMIT_FSIZE, &limit, nullptr), 0);
}

class PartialWrites : public testing::TestWithParam<PartialWriteCase> {};

TEST_P(PartialWrites, TheOldFileSurvives) {
    const PartialWriteCase& c = GetParam();
    Workspace w;
    seed(w);
    LiveSession session(c.program, w.path());
    session.step(c.prepare);
    if (c.file) w.write(c.file, c.content);
    Files data = filesIn(w.path() / "data"), poly = filesIn(w.path() / "poly");

    limitFileSize(session.pid(), c.limit);
    tally("faults");
    session.step(c.action);
    auto errors = errorLines(session.errors());
    ASSERT_EQ(errors.size(), 1u) << session.errors();
    EXPECT_NE(errors[0].find("son ancien contenu est conservé"), std::string::npos) << errors[0];
    EXPECT_EQ(workingFolderOf(session.pid()), w.path());
    EXPECT_TRUE(unchanged(data, w.path() / "data"));
    EXPECT_TRUE(unchanged(poly, w.path() / "poly"));
    // The version kept in poly/historique/ before a coefficient file is replaced is no temporary.
    auto count = [&](const Files& files) {
        return std::count_if(files.begin(), files.end(), [](const auto& f) { return f.first.rfind("historique/", 0) != 0; });
    };
    EXPECT_EQ(count(filesIn(w.path() / "data")) + count(filesIn(w.path() / "poly")), count(data) + count(poly))
        << "a temporary file was left behind";

    limitFileSize(session.pid(), RLIM_INFINITY);
    session.step(c.action);
    EXPECT_EQ(errorLines(session.errors()).size(), 1u) << session.errors();
    EXPECT_FALSE(filesIn(w.path() / "data") == data && filesIn(w.path() / "poly") == poly)
        << "the action after the fault wrote nothing";
    EXPECT_TRUE(noCrash(session.finish(), session.errors()));
}

const PartialWriteCase kPartialWrites[] = {
    // 21 numbers of some 300 digits each: the file outgrows the limit midway.
    {"EditorSave", EDITOR_A1_PROGRAM, typeCoefficients("1e300", "1e300"), nullptr, "", kSave, 4096},
    // The tooling cost is written first, in some 300 digits.
    {"SimulatorTrial", SIMULATOR_PROGRAM, "slider 4 0\n", "data/CoutO.dat", "1e300 ", kTrial, 256},
};
INSTANTIATE_TEST_SUITE_P(Robustness, PartialWrites, testing::ValuesIn(kPartialWrites),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- kill -9 during trials ------------------------------------------------------

// Trials that each charge and count: the die angle goes from one end to the other.
std::string chargedTrials(int count) {
    std::string script;
    for (int t = 0; t < count; ++t) script += std::string("slider 1 ") + (t % 2 ? "1" : "-1") + "\n" + kTrial;
    return script;
}

// The changes made in a folder: files created or written.
class FolderChanges {
public:
    explicit FolderChanges(const fs::path& folder) : fd_(::inotify_init1(IN_CLOEXEC)) {
        ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MODIFY);
    }
    ~FolderChanges() { ::close(fd_); }
    // Waits for n more changes; false when a minute goes by without one.
    bool await(int n) {
        alignas(inotify_event) char buffer[4096];
        while (n > 0) {
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, 60000) != 1) return false;
            auto length = ::read(fd_, buffer, sizeof buffer);
            for (char* at = buffer; at < buffer + length && n > 0; --n)
                at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(at)->len;
        }
        return true;
    }

private:
    int fd_;
};

TEST(KillDuringTrials, EveryFileHoldsItsOldOrItsNewContent) {
    Workspace w;
    // The log's two possible contents, one for each end of the die angle.
    std::set<std::string> logs;
    {
        LiveSession session(SIMULATOR_PROGRAM, w.path());
        for (const char* end : {"-1", "1"}) {
            session.step(std::string("slider 1 ") + end + "\n" + kTrial);
            logs.insert(w.read("data/config_outillage.dat"));
        }
        ASSERT_EQ(logs.size(), 2u);
    }
    const std::regex account("([0-9]+)\\.000000 ");
    auto holds = [&](const char* file, long unit) {
        std::smatch m;
        std::string content = w.read(std::string("data/") + file);
        return std::regex_match(content, m, account) && std::stol(m[1]) % unit == 0;
    };

    // Each kill comes as a file is being written, the moment where a file
    // written in place would be torn: at a random one of the changes that
    // the start and the trials make in data/ (some ten a trial).
    std::mt19937 random(testing::UnitTest::GetInstance()->random_seed());
    constexpr int kKills = 50;
    for (int kill = 0; kill < kKills; ++kill) {
        FolderChanges changes(w.path() / "data");
        LiveSession session(SIMULATOR_PROGRAM, w.path());
        session.send(chargedTrials(20));
        int wanted = 1 + static_cast<int>(random() % 100);
        ASSERT_TRUE(changes.await(wanted)) << "no change in data/ for a minute:\n" << session.errors();
        session.kill(SIGKILL);
        tally("faults");

        long torn = !holds("CoutO.dat", 2500) + !holds("CoutR.dat", 350) + !holds("Nb_essai.dat", 1) +
                    !logs.count(w.read("data/config_outillage.dat"));
        tally("torn_or_lost", torn);
        ASSERT_EQ(torn, 0) << "after a kill at change " << wanted << ": " << w.read("data/CoutO.dat") << "|"
                           << w.read("data/CoutR.dat") << "|" << w.read("data/Nb_essai.dat") << "|"
                           << w.read("data/config_outillage.dat");
    }
}

// ---- an editor saving while the simulator runs trials ------------------------

TEST(EditorSavingDuringTrials, EveryTrialSeesOneWholeCoefficientSet) {
    Workspace w;
    seed(w);
    const char* sets[2][2] = {{"135", "0"}, {"120", "1.01"}};
    LiveSession simulator(SIMULATOR_PROGRAM, w.path());
    std::set<std::string> predictions;
    for (const auto& set : sets) {
        LiveSession typing(EDITOR_A1_PROGRAM, w.path());
        typing.step(typeCoefficients(set[0], set[1]) + kSave);
        simulator.step(kTrial);
        predictions.insert(loggedA1(w));
    }
    ASSERT_EQ(predictions.size(), 2u);

    LiveSession editor(EDITOR_A1_PROGRAM, w.path());
    const std::string bothSets = typeCoefficients(sets[0][0], sets[0][1]) + kSave +
                                 typeCoefficients(sets[1][0], sets[1][1]) + kSave;
    std::map<std::string, int> seen;
    constexpr int kTrials = 150;
    for (int trial = 0; trial < kTrials; ++trial) {
        editor.send(bothSets);
        simulator.step(kTrial);
        ++seen[loggedA1(w)];
    }
    tally("faults", kTrials);
    EXPECT_TRUE(noCrash(editor.finish(), editor.errors()));
    EXPECT_TRUE(errorLines(editor.errors()).empty()) << editor.errors();
    EXPECT_TRUE(errorLines(simulator.errors()).empty()) << simulator.errors();
    for (const auto& [a1, times] : seen)
        EXPECT_EQ(predictions.count(a1), 1u) << "A1=" << a1 << " seen " << times << " times";
    EXPECT_EQ(seen.size(), 2u) << "the saves and the trials did not interleave";
    EXPECT_EQ(w.read("poly/A1.poly").substr(0, 11), "120.000000 ");
    EXPECT_TRUE(noCrash(simulator.finish(), simulator.errors()));
}

}  // namespace
