// The simulator end to end: the real program, played through its scripted
// mode in a fresh working folder.
#include "session.h"

#include "calcul_pts.h"
#include "deg2rad.h"
#include "conversion.h"
#include "var_.h"
#include "working_folder.h"

#include <gtest/gtest.h>

#include <array>

namespace {

const std::string kMain = SIMULATOR_PROGRAM;

// Controls by creation order.
constexpr int kSliderLabel[] = {4, 7, 10, 12, 16};
constexpr int kResultA1 = 31, kResultA2 = 32, kResultH = 33;
constexpr int kTooling = 44, kAdjustment = 45, kTotal = 46, kCount = 47;

struct Prediction {
    double A1, A2, H;
};

// What the models predict with the built-in rows, in this process.
Prediction predict(std::array<double, 5> coded) {
    Workspace builtInRows;  // an empty poly/
    const WorkingFolder inFolder(builtInRows.path());
    InitializeModule_var_();
    mxArray A2, H;
    mxArray A1 = mlfVar_(&A2, &H, mxArray::scalar(coded[0]), mxArray::scalar(coded[1]),
                         mxArray::scalar(coded[2]), mxArray::scalar(coded[3]), mxArray::scalar(coded[4]));
    TerminateModule_var_();
    return {A1.at(0), A2.at(0), H.at(0)};
}

std::string resultLog(const Prediction& p) {
    return "A1=" + num2strText(p.A1) + ",   A2=" + num2strText(p.A2) + ",   H=" + num2strText(p.H) + " \n";
}

struct Costs {
    const char *tooling, *adjustment, *total, *count;
};

void expectCosts(const WindowDump& d, const Costs& c) {
    EXPECT_EQ(d.controlString(kTooling), c.tooling);
    EXPECT_EQ(d.controlString(kAdjustment), c.adjustment);
    EXPECT_EQ(d.controlString(kTotal), c.total);
    EXPECT_EQ(d.controlString(kCount), c.count);
}

void expectAccountFiles(const Workspace& w, const char* o, const char* r, const char* count) {
    EXPECT_EQ(w.read("data/CoutO.dat"), o);
    EXPECT_EQ(w.read("data/CoutR.dat"), r);
    EXPECT_EQ(w.read("data/Nb_essai.dat"), count);
}

void expectResults(const WindowDump& d, const Prediction& p) {
    EXPECT_EQ(d.controlString(kResultA1), "A1=" + num2strText(p.A1));
    EXPECT_EQ(d.controlString(kResultA2), "A2=" + num2strText(p.A2));
    EXPECT_EQ(d.controlString(kResultH), "H=" + num2strText(p.H));
}

// The profile chart after a trial: computed, initial and target profiles in
// that order, with their styles and the legend.
void expectProfileChart(const WindowDump& d, const Prediction& p) {
    auto axes = d.ofType("axes");
    ASSERT_EQ(axes.size(), 2u);
    EXPECT_EQ(axes[1]["tag"].toString(), "axe");
    EXPECT_EQ(numbers(axes[1]["xlim"]), (std::vector<double>{0, 80}));
    EXPECT_EQ(numbers(axes[1]["ylim"]), (std::vector<double>{0, 45}));
    auto lines = d.linesOf(axes[1]);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(numbers(lines[0]["color"]), (std::vector<double>{0, 0, 1}));
    EXPECT_EQ(lines[0]["marker"].toString(), "o");
    EXPECT_EQ(lines[0]["linestyle"].toString(), "-");
    EXPECT_EQ(numbers(lines[1]["color"]), (std::vector<double>{1, 0, 1}));
    EXPECT_EQ(lines[1]["marker"].toString(), "none");
    EXPECT_EQ(numbers(lines[2]["color"]), (std::vector<double>{1, 0, 0}));
    EXPECT_EQ(lines[2]["linestyle"].toString(), ":");
    EXPECT_EQ(numbers(lines[2]["xdata"]), (std::vector<double>{0, 30, 60.44, 80}));
    for (const auto& line : lines) EXPECT_EQ(line["linewidth"].toDouble(), 2);
    InitializeModule_calcul_pts();
    InitializeModule_deg2rad();
    mxArray points = mlfCalcul_pts(mxArray::scalar(p.A1), mxArray::scalar(p.A2), mxArray::scalar(p.H));
    EXPECT_DOUBLE_EQ(numbers(lines[0]["xdata"])[2], points.at(2, 0));
    EXPECT_DOUBLE_EQ(numbers(lines[0]["ydata"])[3], points.at(3, 1));
    EXPECT_EQ(d.legendLabelsOf(axes[1]),
              (std::vector<std::string>{"Profil calculé", "Profil initial", "Profil cible"}));
}

TEST(SimulatorSession, CostAccountFollowsTheTrials) {
    Workspace w;
    ScriptRun run = w.run(kMain, R"(dump
slider 4 0
press "Réalisation essai"
dump
slider 1 0
press "Réalisation essai"
dump
press "Réalisation essai"
dump
slider 5 0
slider 3 0
press "Réalisation essai"
dump
slider 2 0
press "Réalisation essai"
dump
)");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    auto dumps = dumpsOf(run);
    ASSERT_EQ(dumps.size(), 6u);

    expectCosts(dumps[0], {"0", "0", "0", "0"});
    EXPECT_EQ(dumps[0].controlString(kResultH), "H = ");

    expectCosts(dumps[1], {"2500", "350", "2850", "1"});
    expectResults(dumps[1], predict({1, 1, 1, 0, 1}));
    expectProfileChart(dumps[1], predict({1, 1, 1, 0, 1}));

    expectCosts(dumps[2], {"5000", "700", "5700", "2"});
    expectCosts(dumps[3], {"5000", "700", "5700", "2"});
    expectCosts(dumps[4], {"5000", "1050", "6050", "3"});
    expectCosts(dumps[5], {"7500", "1400", "8900", "4"});
    Prediction last = predict({0, 0, 0, 0, 0});
    expectResults(dumps[5], last);
    expectProfileChart(dumps[5], last);

    expectAccountFiles(w, "7500.000000 ", "1400.000000 ", "4.000000 ");
    EXPECT_EQ(w.read("data/config_outillage.dat"),
              "A=8,   R=8,   L=61,   C=34,   F=60 \n" + resultLog(last));
}

TEST(SimulatorSession, StartResetsTheAccountAndBuildsTheWindow) {
    Workspace w;
    w.write("data/CoutO.dat", "9999.000000 ");
    w.write("data/Nb_essai.dat", "12.000000 ");
    ScriptRun run = w.run(kMain, "dump\n");
    ASSERT_EQ(run.status, 0) << run.err;
    expectAccountFiles(w, "2500.000000 ", "350.000000 ", "0.000000 ");
    EXPECT_FALSE(w.exists("data/config_outillage.dat"));
    auto d = dumpsOf(run).at(0);
    EXPECT_EQ(d.ofType("uicontrol").size(), 47u);
    EXPECT_EQ(d.objects()[0]["name"].toString().toStdString(), " Simuateur de la pièce en V");
    const char* startLabels[] = {"A=16°", "R=10mm", "L=65mm", "C=38mm", "F=80bars"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(d.controlString(kSliderLabel[i]), startLabels[i]);
    EXPECT_EQ(d.controlString(39), "Coût outillage (€)=");
    EXPECT_EQ(d.controlString(40), "Coût réglage  (€) =");
    auto axes = d.ofType("axes");
    ASSERT_EQ(axes.size(), 2u);
    EXPECT_EQ(d.linesOf(axes[0]).size(), 5u);  // target, height mark, top line, two arcs
    EXPECT_EQ(d.legendLabelsOf(axes[1]), (std::vector<std::string>{"Profil initial", "Profil cible"}));
    auto initial = d.linesOf(axes[1]).at(0);
    InitializeModule_calcul_pts();
    InitializeModule_deg2rad();
    Prediction p = predict({-1, -1, 1, -2, -0.4});
    mxArray points = mlfCalcul_pts(mxArray::scalar(p.A1), mxArray::scalar(p.A2), mxArray::scalar(p.H));
    EXPECT_DOUBLE_EQ(numbers(initial["ydata"])[2], points.at(2, 1));
}

TEST(SimulatorSession, SliderLabelsAtBothEndsAndTheMiddle) {
    Workspace w;
    ScriptRun run = w.run(kMain, R"(slider 1 -1
slider 2 -1
slider 3 -1
slider 4 -1
slider 5 -1
dump
slider 1 0
slider 2 0
slider 3 0
slider 4 0
slider 5 0
dump
slider 1 1
slider 5 1
dump
slider 1 8
slider 5 -1e300
dump
)");
    ASSERT_EQ(run.status, 0) << run.err;
    auto dumps = dumpsOf(run);
    ASSERT_EQ(dumps.size(), 4u);
    const char* left[] = {"A=0°", "R=6mm", "L=57mm", "C=30mm", "F=40bars"};
    const char* middle[] = {"A=8°", "R=8mm", "L=61mm", "C=34mm", "F=60bars"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(dumps[0].controlString(kSliderLabel[i]), left[i]);
        EXPECT_EQ(dumps[1].controlString(kSliderLabel[i]), middle[i]);
    }
    EXPECT_EQ(dumps[2].controlString(kSliderLabel[0]), "A=16°");
    EXPECT_EQ(dumps[2].controlString(kSliderLabel[4]), "F=80bars");
    EXPECT_EQ(dumps[2].controlString(kSliderLabel[1]), "R=8mm");  // untouched since
    // A move beyond the bar stops at its end.
    EXPECT_EQ(dumps[3].controlString(kSliderLabel[0]), "A=16°");
    EXPECT_EQ(dumps[3].controlString(kSliderLabel[4]), "F=40bars");
}

TEST(SimulatorSession, ChargesFollowMovesNotValues) {
    Workspace w;
    // The first trial is free even after A and R moved; then A moved and put
    // back still counts as a tooling change; an unknown word changes nothing.
    ScriptRun run = w.run(kMain, R"(slider 1 0
slider 2 0
press "Réalisation essai"
dump
slider 1 1
slider 1 0
callback "main slider9"
callback "main trial"
dump
press "Réalisation essai"
dump
)");
    ASSERT_EQ(run.status, 0) << run.err;
    auto dumps = dumpsOf(run);
    ASSERT_EQ(dumps.size(), 3u);
    expectCosts(dumps[0], {"2500", "350", "2850", "1"});
    expectCosts(dumps[1], {"2500", "350", "2850", "1"});
    expectCosts(dumps[2], {"5000", "700", "5700", "2"});
    expectAccountFiles(w, "5000.000000 ", "700.000000 ", "2.000000 ");
}

TEST(SimulatorSession, AccountFilesEditedBetweenTrialsAreReloaded) {
    Workspace w;
    ScriptRun first = w.run(kMain, "press \"Réalisation essai\"\nslider 3 0\npress \"Réalisation essai\"\n");
    ASSERT_EQ(first.status, 0) << first.err;
    expectAccountFiles(w, "2500.000000 ", "700.000000 ", "2.000000 ");
    // A restart resets the account whatever the last run wrote.
    ScriptRun second = w.run(kMain, "dump\n");
    ASSERT_EQ(second.status, 0) << second.err;
    expectAccountFiles(w, "2500.000000 ", "350.000000 ", "0.000000 ");
}

TEST(SimulatorSession, CoefficientFilesTakeEffectAtTheNextTrial) {
    Workspace w;
    std::string zeros;
    for (int k = 0; k < 20; ++k) zeros += "0.000000 \t";
    LiveSession session(kMain, w.path());
    auto builtIn = dumpsOf(session.step("press \"Réalisation essai\"\ndump\n")).at(0);
    expectResults(builtIn, predict({1, 1, 1, 1, 1}));
    // Only two files: the built-in rows still serve all three models.
    w.write("poly/A1.poly", "42 " + zeros);
    w.write("poly/A2.poly", "43 " + zeros);
    auto twoFiles = dumpsOf(session.step("press \"Réalisation essai\"\ndump\n")).at(0);
    expectResults(twoFiles, predict({1, 1, 1, 1, 1}));
    w.write("poly/H.poly", "30.44\n" + zeros);
    auto threeFiles = dumpsOf(session.step("press \"Réalisation essai\"\ndump\n")).at(0);
    EXPECT_EQ(threeFiles.controlString(kResultA1), "A1=42");
    EXPECT_EQ(threeFiles.controlString(kResultA2), "A2=43");
    EXPECT_EQ(threeFiles.controlString(kResultH), "H=30.44");
    EXPECT_EQ(session.finish(), 0);
}

TEST(SimulatorSession, BadFilesStopATrialBeforeAnythingChanges) {
    Workspace w;
    LiveSession session(kMain, w.path());
    std::string trialThenDump = "press \"Réalisation essai\"\ndump\n";
    auto good = dumpsOf(session.step("slider 3 0\n" + trialThenDump)).at(0);
    const std::string account[] = {"2500.000000 ", "350.000000 ", "1.000000 "};
    const char* kAccountFiles[] = {"CoutO.dat", "CoutR.dat", "Nb_essai.dat"};
    const std::string log = w.read("data/config_outillage.dat");

    auto ones = [](int count) {
        std::string out;
        for (int k = 0; k < count; ++k) out += "1 ";
        return out;
    };
    w.write("poly/A2.poly", ones(21));
    w.write("poly/H.poly", ones(21));
    struct Case {
        const char* file;
        std::string content;
        const char* expected;  // in the message
    };
    const Case cases[] = {
        {"data/CoutR.dat", "", "data/CoutR.dat"},
        {"data/CoutR.dat", "350 350", "il en contient 2"},
        {"data/Nb_essai.dat", "deux", "data/Nb_essai.dat"},
        {"data/CoutO.dat", "NaN", "data/CoutO.dat"},
        {"poly/A1.poly", ones(20), "poly/A1.poly contient 20 nombres"},
    };
    for (const Case& c : cases) {
        const std::string before = w.read(c.file);
        w.write(c.file, c.content);
        auto after = dumpsOf(session.step("slider 4 0\n" + trialThenDump)).at(0);
        EXPECT_NE(session.errors().find(c.expected), std::string::npos) << session.errors();
        for (int control : {kResultA1, kResultA2, kResultH, kTooling, kAdjustment, kTotal, kCount})
            EXPECT_EQ(after.controlString(control), good.controlString(control)) << c.file;
        EXPECT_EQ(w.read("data/config_outillage.dat"), log);
        // The account is left as it was, the faulty file included.
        for (int k = 0; k < 3; ++k) {
            std::string name = std::string("data/") + kAccountFiles[k];
            EXPECT_EQ(w.read(name), name == c.file ? c.content : account[k]);
        }
        w.write(c.file, before);
    }
    std::filesystem::remove(w.path() / "poly/A1.poly");

    // A missing data/ folder is named; once it is back the next trial works.
    std::filesystem::rename(w.path() / "data", w.path() / "data.away");
    session.step("press \"Réalisation essai\"\n");
    EXPECT_NE(session.errors().find("« data »"), std::string::npos);
    std::filesystem::rename(w.path() / "data.away", w.path() / "data");
    auto resumed = dumpsOf(session.step(trialThenDump)).at(0);
    EXPECT_EQ(resumed.controlString(kCount), "2");
    EXPECT_EQ(session.finish(), 0);
}

TEST(SimulatorSession, WrongStartFolderBuildsNoWindow) {
    Workspace w(false);
    ScriptRun run = w.run(kMain, "dump\n");
    EXPECT_EQ(run.status, 1);  // as with a window: the start failed
    EXPECT_NE(run.err.find("« data »"), std::string::npos) << run.err;
    EXPECT_TRUE(dumpsOf(run).empty());
    EXPECT_FALSE(w.exists("data"));
}

}  // namespace
