// The three coefficient editors end to end, and their files read by the
// simulator.
#include "session.h"

#include "conversion.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

struct Build {
    const char* program;
    const char* model;
    const char* suffix;
};

void PrintTo(const Build& build, std::ostream* out) { *out << build.model; }

const Build kBuilds[] = {{EDITOR_A1_PROGRAM, "A1", "a1"},
                         {EDITOR_H_PROGRAM, "H", "h"},
                         {EDITOR_A2_PROGRAM, "A2", "a2"}};

// Heading, five row labels and five column letters come before the fields.
constexpr int kFirstField = 12;

std::vector<std::string> fieldTexts(const WindowDump& d) {
    std::vector<std::string> out;
    for (const auto& c : d.ofType("uicontrol"))
        if (c["style"].toString() == "edit") out.push_back(c["string"].toString().toStdString());
    return out;
}

std::string repeated(const std::string& item, int times) {
    std::string out;
    for (int k = 0; k < times; ++k) out += item;
    return out;
}

class Editor : public testing::TestWithParam<Build> {};

TEST_P(Editor, FreshWindowSavesZeros) {
    const Build& b = GetParam();
    Workspace w;
    w.write(std::string("poly/") + b.model + ".poly", "1 2 3");
    ScriptRun run = w.run(b.program, "dump\npress \"Sauvegarde " + std::string(b.model) + "\"\n");
    ASSERT_EQ(run.status, 0) << run.err;
    auto d = dumpsOf(run).at(0);
    EXPECT_EQ(d.objects()[0]["name"].toString().toStdString(),
              std::string(" Renseignement de la valeur du polynome ") + b.model);
    EXPECT_EQ(d.controlString(1), std::string("Polynome ") + b.model + "=");
    EXPECT_EQ(fieldTexts(d), std::vector<std::string>(21, "0"));
    EXPECT_EQ(w.read(std::string("poly/") + b.model + ".poly"), repeated("0.000000 \t", 21));
    // Each build writes its own file only.
    for (const Build& other : kBuilds) {
        if (std::string(other.model) != b.model) {
            EXPECT_FALSE(w.exists(std::string("poly/") + other.model + ".poly"));
        }
    }
}

TEST_P(Editor, ActionWordsAreExact) {
    const Build& b = GetParam();
    Workspace w;
    std::string name = std::string("morvane_") + b.suffix;
    ScriptRun run = w.run(b.program, "callback \"" + name + " sauv\"\ncallback \"" + name +
                                         " Sauv \"\ncallback \"" + name + " SAUV\"\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(w.exists(std::string("poly/") + b.model + ".poly"));
}

INSTANTIATE_TEST_SUITE_P(AllModels, Editor, testing::ValuesIn(kBuilds),
                         [](const auto& info) { return std::string(info.param.model); });

const std::string kA1 = EDITOR_A1_PROGRAM;

TEST(EditorA1, FieldsSitOnTheTriangularGrid) {
    Workspace w;
    auto d = dumpsOf(w.run(kA1, "dump\n")).at(0);
    auto position = [&](int k) { return numbers(d.control(kFirstField + k - 1)["position"]); };
    auto first = position(1);
    ASSERT_EQ(first.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(first[i], (std::array{0.18, 0.87, 0.08, 0.04})[i], 1e-12);
    // Row "A -->" under column "A" is coefficient 7; row "F -->" holds 21.
    auto seven = position(7), rowA = numbers(d.control(2)["position"]), columnA = numbers(d.control(7)["position"]);
    EXPECT_NEAR(seven[0], 0.28, 1e-12);
    EXPECT_NEAR(seven[1], 0.82, 1e-12);
    EXPECT_EQ(d.controlString(2), "A -->");
    EXPECT_EQ(d.controlString(7), "A");
    EXPECT_NEAR(seven[1], rowA[1] + 0.02, 1e-12);
    EXPECT_LT(std::abs(seven[0] - columnA[0]), 0.03);
    auto last = position(21);
    EXPECT_NEAR(last[0], 0.68, 1e-12);
    EXPECT_NEAR(last[1], 0.62, 1e-12);
    EXPECT_EQ(d.controlString(6), "F -->");
}

TEST(EditorA1, SavesTypedValuesWithSixDecimals) {
    Workspace w;
    ScriptRun run = w.run(kA1, "edit 1 \"1.5\"\nedit 2 \" -0.0079621 \"\nedit 21 \"0.0000004\"\nedit 20 \"-0.0000004\"\n"
                               "press \"Sauvegarde A1\"\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(w.read("poly/A1.poly"), "1.500000 \t-0.007962 \t" + repeated("0.000000 \t", 17) +
                                          "-0.000000 \t0.000000 \t");
}

TEST(EditorA1, RereadShowsTheFirstTwentyOneNumbers) {
    Workspace w;
    std::string file;
    for (int k = 1; k <= 30; ++k) file += std::to_string(k) + ".25\n";
    w.write("poly/A1.poly", "-0.007962146 " + file);
    auto d = dumpsOf(w.run(kA1, "press \"Relire anciennes valeurs\"\ndump\n")).at(0);
    auto texts = fieldTexts(d);
    ASSERT_EQ(texts.size(), 21u);
    EXPECT_EQ(texts[0], "-0.0079621");
    EXPECT_EQ(texts[1], "1.25");
    EXPECT_EQ(texts[20], "20.25");
    // "Initialiser" sets every field to zero and leaves the file alone.
    auto reset = dumpsOf(w.run(kA1, "press \"Relire anciennes valeurs\"\npress \"Initialiser\"\ndump\n")).at(0);
    EXPECT_EQ(fieldTexts(reset), std::vector<std::string>(21, "0"));
    EXPECT_EQ(w.read("poly/A1.poly"), "-0.007962146 " + file);

    // Words after the 21st number are ignored, as the simulator ignores them.
    w.write("poly/A1.poly", repeated("2.5 ", 21) + "\nModèle ajusté le 7 décembre\n");
    auto annotated = dumpsOf(w.run(kA1, "press \"Relire anciennes valeurs\"\ndump\n")).at(0);
    EXPECT_EQ(fieldTexts(annotated), std::vector<std::string>(21, "2.5"));
}

TEST(EditorA1, BadFieldsAndFilesChangeNothing) {
    Workspace w;
    std::string before = repeated("1.000000 \t", 21);
    w.write("poly/A1.poly", before);
    for (const char* bad : {"", "abc", "1,5", "1 2", "NaN", "Inf"}) {
        ScriptRun run = w.run(kA1, std::string("edit 9 \"") + bad + "\"\npress \"Sauvegarde A1\"\n");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(w.read("poly/A1.poly"), before) << bad;
    }
    // Files that cannot fill the 21 fields leave them as they were: too few
    // numbers, words before the 21st, NaN or Inf among the first 21.
    for (const std::string& content : {repeated("2 ", 20), repeated("2 ", 10) + "fin " + repeated("2 ", 11),
                                       repeated("2 ", 20) + "NaN", "Inf " + repeated("2 ", 20), std::string()}) {
        w.write("poly/A1.poly", content);
        ScriptRun run = w.run(kA1, "edit 3 \"7\"\npress \"Relire anciennes valeurs\"\ndump\n");
        ASSERT_EQ(run.status, 0) << run.err;
        auto texts = fieldTexts(dumpsOf(run).at(0));
        EXPECT_EQ(texts[2], "7");
        EXPECT_EQ(texts[0], "0");
        EXPECT_EQ(w.read("poly/A1.poly"), content);
    }
    // A missing file shows its message and changes no field.
    std::filesystem::remove(w.path() / "poly/A1.poly");
    ScriptRun run = w.run(kA1, "edit 3 \"7\"\npress \"Relire anciennes valeurs\"\ndump\n");
    ASSERT_EQ(run.status, 0) << run.err;
    auto texts = fieldTexts(dumpsOf(run).at(0));
    EXPECT_EQ(texts[2], "7");
    EXPECT_EQ(dumpsOf(run).at(0).ofType("uicontrol").size(), 35u);  // the message is gone
}

TEST(EditorA1, MissingPolyFolderIsReportedAndTheNextActionWorks) {
    Workspace w(false);
    ScriptRun run = w.run(kA1, "press \"Sauvegarde A1\"\npress \"Relire anciennes valeurs\"\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("« poly »"), std::string::npos) << run.err;
    std::filesystem::create_directory(w.path() / "poly");
    EXPECT_EQ(w.run(kA1, "press \"Sauvegarde A1\"\n").status, 0);
    EXPECT_TRUE(w.exists("poly/A1.poly"));
}

TEST(EditorsAndSimulator, SavedModelsServeTheNextTrial) {
    Workspace w;
    auto save = [&](const Build& b, const char* constant) {
        ScriptRun run = w.run(b.program, std::string("edit 1 \"") + constant + "\"\npress \"Sauvegarde " +
                                             b.model + "\"\n");
        ASSERT_EQ(run.status, 0) << run.err;
    };
    save(kBuilds[0], "140");
    save(kBuilds[2], "130");
    std::string trial = "press \"Réalisation essai\"\ndump\n";
    auto twoSaved = dumpsOf(w.run(SIMULATOR_PROGRAM, trial)).at(0);
    EXPECT_EQ(twoSaved.controlString(31), "A1=129.846");  // built-in rows at (1 1 1 1 1)
    save(kBuilds[1], "31.5");
    auto allSaved = dumpsOf(w.run(SIMULATOR_PROGRAM, trial)).at(0);
    EXPECT_EQ(allSaved.controlString(31), "A1=140");
    EXPECT_EQ(allSaved.controlString(32), "A2=130");
    EXPECT_EQ(allSaved.controlString(33), "H=31.5");
}

}  // namespace
