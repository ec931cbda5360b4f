// Bad input: coefficient and account files that no program wrote, callback
// texts that name nothing, malformed script lines. Each gets one clear error
// and nothing else: no crash, no file changed, and the next good action works.
#include "robustness.h"

#include <gtest/gtest.h>

namespace {

const std::string kTrial = "press \"Réalisation essai\"\n";
const std::string kReread = "press \"Relire anciennes valeurs\"\n";

std::string repeated(const std::string& item, int times) {
    std::string out;
    for (int k = 0; k < times; ++k) out += item;
    return out;
}

// A bad first number before the rest of a good file, or a good file spoilt.
struct BadContent {
    const char* name;
    std::string content;
    const char* rereadShows;  // in the editor's first field; null: it keeps its text
};

std::vector<BadContent> badContents(const std::string& rest, const std::string& good) {
    return {
        {"empty", "", nullptr},
        {"binary", std::string("\0\x01\xff\xfe\x80\x7f\0\x1b[2J\r\n", 14), nullptr},
        {"huge", repeated("1.5 ", 4 << 20), nullptr},  // 16 MB of numbers: refused by name, over 10 MB
        {"long line", std::string(2 << 20, '7') + " " + rest, nullptr},
        {"NaN", "NaN " + rest, nullptr},
        {"Inf", "-Inf " + rest, nullptr},
        {"decimal comma", "2500,5 " + rest, nullptr},
        {"UTF-8 BOM", "\xEF\xBB\xBF" + good, nullptr},
    };
}

const std::string kTwentyCoefficients = repeated("1.000000 \t", 20);
const std::string kCoefficients = "1 " + kTwentyCoefficients;

class BadFiles : public testing::Test {
protected:
    void SetUp() override {
        for (const char* model : {"A1", "A2", "H"}) w.write(std::string("poly/") + model + ".poly", kCoefficients);
    }

    // Each content in turn in the file; the action must report it once and
    // change nothing, and once the file is good again it must work.
    void tryEach(LiveSession& session, const std::string& file, const std::string& good,
                 const std::vector<BadContent>& contents) {
        for (const BadContent& bad : contents) {
            w.write(file, bad.content);
            Files data = filesIn(w.path() / "data"), poly = filesIn(w.path() / "poly");
            std::size_t reported = errorLines(session.errors()).size();
            session.step("slider 4 0\n" + kTrial);
            tally("bad_inputs");
            auto errors = errorLines(session.errors());
            ASSERT_EQ(errors.size(), reported + 1) << bad.name << ":\n" << session.errors();
            EXPECT_NE(errors.back().find(std::filesystem::path(file).filename().string()), std::string::npos)
                << bad.name << ": " << errors.back();
            EXPECT_TRUE(unchanged(data, w.path() / "data")) << bad.name;
            EXPECT_TRUE(unchanged(poly, w.path() / "poly")) << bad.name;
        }
        w.write(file, good);
        std::size_t reported = errorLines(session.errors()).size();
        session.step("slider 4 -1\n" + kTrial);
        EXPECT_EQ(errorLines(session.errors()).size(), reported) << session.errors();
        EXPECT_TRUE(noCrash(session.finish(), session.errors()));
    }

    Workspace w;
};

TEST_F(BadFiles, CoefficientFilesStopTheTrialWithTheirName) {
    LiveSession simulator(SIMULATOR_PROGRAM, w.path());
    simulator.step("");  // the start has written its account: data/ is settled
    tryEach(simulator, "poly/A1.poly", kCoefficients, badContents(kTwentyCoefficients, kCoefficients));
}

TEST_F(BadFiles, AccountFilesStopTheTrialWithTheirName) {
    LiveSession simulator(SIMULATOR_PROGRAM, w.path());
    simulator.step("");
    tryEach(simulator, "data/CoutO.dat", "2500.000000 ", badContents("", "2500.000000 "));
}

TEST_F(BadFiles, EditorRereadKeepsItsFields) {
    LiveSession editor(EDITOR_A1_PROGRAM, w.path());
    for (const BadContent& bad : badContents(kTwentyCoefficients, kCoefficients)) {
        w.write("poly/A1.poly", bad.content);
        ScriptRun run = editor.step("edit 1 \"7\"\n" + kReread + "dump\n");
        tally("bad_inputs");
        EXPECT_EQ(dumpsOf(run).at(0).controlString(12), bad.rereadShows ? bad.rereadShows : "7") << bad.name;
        EXPECT_EQ(w.read("poly/A1.poly"), bad.content) << bad.name;
    }
    // Only the file no real one comes near in size is refused by an error, naming it.
    auto errors = errorLines(editor.errors());
    ASSERT_EQ(errors.size(), 1u) << editor.errors();
    EXPECT_NE(errors[0].find("A1.poly » dépasse 10 Mo"), std::string::npos) << errors[0];
    EXPECT_TRUE(noCrash(editor.finish(), editor.errors()));
}

// ---- callback texts ---------------------------------------------------------------

TEST(BadCallbacks, UnknownFunctionsAreReportedUnknownWordsIgnored) {
    struct Case {
        std::string text;
        const char* message;  // null: the word is not one of main's, nothing happens
    };
    const Case cases[] = {
        {"nosuch Trial", "« nosuch » inconnue"},
        {"MAIN Trial", "« MAIN » inconnue"},
        {"", "«  » inconnue"},
        {std::string(100000, 'x') + " Trial", "inconnue"},
        {"main Nonsense", nullptr},
        {"main trial", nullptr},
        {"main  Trial", nullptr},
        {"main Trial extra", nullptr},
        {"main \x01\x7f\xc3", nullptr},
    };
    Workspace w;
    LiveSession simulator(SIMULATOR_PROGRAM, w.path());
    simulator.step("");
    Files data = filesIn(w.path() / "data");
    for (const Case& c : cases) {
        std::size_t reported = errorLines(simulator.errors()).size();
        simulator.step("slider 4 0\ncallback \"" + c.text + "\"\n");
        tally("bad_inputs");
        auto errors = errorLines(simulator.errors());
        ASSERT_EQ(errors.size(), reported + (c.message ? 1 : 0)) << c.text.substr(0, 40) << "\n" << simulator.errors();
        if (c.message) {
            EXPECT_NE(errors.back().find(c.message), std::string::npos) << errors.back().substr(0, 200);
        }
    }
    EXPECT_TRUE(unchanged(data, w.path() / "data"));
    simulator.step(kTrial);
    EXPECT_EQ(w.read("data/Nb_essai.dat"), "1.000000 ");
    EXPECT_TRUE(noCrash(simulator.finish(), simulator.errors()));
}

// ---- script lines -------------------------------------------------------------------

struct ScriptLineCase {
    const char* name;
    std::string line;
    bool stops;  // a syntax error ends the script; an action that fails does not
};

void PrintTo(const ScriptLineCase& c, std::ostream* out) { *out << c.name; }

class BadScriptLines : public testing::TestWithParam<ScriptLineCase> {};

TEST_P(BadScriptLines, OneClearErrorAndTheFilesOfTheLinesBefore) {
    const ScriptLineCase& c = GetParam();
    Workspace w;
    w.write("poly/A1.poly", "keep");
    ScriptRun run = w.run(SIMULATOR_PROGRAM, "slider 4 0\n" + kTrial + c.line + "\nslider 4 -1\n" + kTrial);
    tally("bad_inputs");
    ASSERT_TRUE(noCrash(run.status, run.err));
    auto errors = errorLines(run.err);
    ASSERT_EQ(errors.size(), 1u) << run.err.substr(0, 400);
    EXPECT_EQ(errors[0].rfind(c.stops ? "script, ligne 3 : " : "error: ", 0), 0u) << errors[0].substr(0, 200);
    EXPECT_EQ(run.status, c.stops ? 2 : 0);
    EXPECT_EQ(w.read("data/Nb_essai.dat"), c.stops ? "1.000000 " : "2.000000 ");
    EXPECT_EQ(w.read("poly/A1.poly"), "keep");
}

const ScriptLineCase kScriptLines[] = {
    {"UnknownCommand", "frobnicate 1", true},
    {"NoArguments", "slider", true},
    {"TooFewArguments", "slider 1", true},
    {"TooManyArguments", "press Réalisation essai", true},
    {"IndexNotANumber", "slider x 0.5", true},
    {"IndexZero", "slider 0 0.5", true},
    {"ValueNaN", "slider 1 nan", true},
    {"ValueBeyondDoubles", "slider 1 1e999", true},
    {"UnterminatedQuote", "press \"Réalisation essai", true},
    {"UnterminatedRow", "call var_ 3 [1 2", true},
    {"NegativeOutputs", "call var_ -1 0 0 0 0 0", true},
    {"NegativeWait", "wait -1", true},
    {"WaitBeyondTheTimer", "wait 2147484", true},
    {"RowForText", "edit 1 [1 2]", true},
    {"QuotedCommand", "\"slider\" 1 0", true},
    {"NulByte", std::string("slider 1 0\0junk", 15), true},
    {"InvalidUtf8", "\xff\xfe slider", true},
    {"MegabyteLine", std::string(1 << 20, 'x'), true},
    {"NoSuchSlider", "slider 99 0", false},
    {"NoSuchButton", "press \"Nope\"", false},
    {"NoEditField", "edit 1 \"x\"", false},
    {"UnknownFunction", "call nosuch 0", false},
    {"TooManyOutputs", "call main 1", false},
    {"MillionsOfOutputs", "call main 50000000", false},
    {"MillionsOfListedOutputs", "call xlim 50000000", false},
    {"SnapshotNowhere", "snapshot /nonexistent/folder/x.png", false},
};
INSTANTIATE_TEST_SUITE_P(Robustness, BadScriptLines, testing::ValuesIn(kScriptLines),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
