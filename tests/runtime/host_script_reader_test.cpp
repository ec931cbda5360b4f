// Reading script lines into commands, and the host's command line.
#include "errors.h"
#include "host_options.h"
#include "script_reader.h"

#include <gtest/gtest.h>

using graphics::parseScriptLine;
using graphics::ScriptCommand;
using Kind = ScriptCommand::Kind;

namespace {

std::string syntaxErrorOf(const std::string& line) {
    try {
        parseScriptLine(line);
    } catch (const graphics::ScriptSyntaxError& e) {
        return e.what();
    }
    return "(compris)";
}

TEST(ScriptReader, BlankLinesAndCommentsHoldNoCommand) {
    for (const char* line : {"", "   ", "\t\r", "# slider 1 0", "   #press \"unclosed", "#"})
        EXPECT_FALSE(parseScriptLine(line)) << line;
}

TEST(ScriptReader, ControlCommands) {
    auto slider = parseScriptLine("slider 3 -0.25");
    ASSERT_TRUE(slider);
    EXPECT_EQ(slider->kind, Kind::Slider);
    EXPECT_EQ(slider->index, 3);
    EXPECT_EQ(slider->number, -0.25);

    auto press = parseScriptLine("  press \"Réalisation essai\"\r");
    ASSERT_TRUE(press);
    EXPECT_EQ(press->kind, Kind::Press);
    EXPECT_EQ(press->text, "Réalisation essai");
    EXPECT_EQ(parseScriptLine("press Initialiser")->text, "Initialiser");

    auto edit = parseScriptLine(R"(edit 21 "say \"1.5\" \\ ok")");
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->index, 21);
    EXPECT_EQ(edit->text, R"(say "1.5" \ ok)");
    EXPECT_EQ(parseScriptLine("edit 1 \"\"")->text, "");

    EXPECT_EQ(parseScriptLine("callback \"main slider1\"")->text, "main slider1");
    EXPECT_EQ(parseScriptLine("snapshot \"/tmp/a b.png\"")->text, "/tmp/a b.png");
    EXPECT_EQ(parseScriptLine("screenshot \"/tmp/a b.png\"")->kind, Kind::Screenshot);
    EXPECT_EQ(parseScriptLine("wait 0.5")->number, 0.5);
    EXPECT_EQ(parseScriptLine("wait 2147483")->number, 2147483);
    EXPECT_EQ(parseScriptLine("dump")->kind, Kind::Dump);
}

TEST(ScriptReader, CallArgumentsAreNumbersRowsAndTexts) {
    auto call = parseScriptLine(R"(call var_ 3 -1 [0 80] [1, 2,3] [] "mode" 1e-3)");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->kind, Kind::Call);
    EXPECT_EQ(call->text, "var_");
    EXPECT_EQ(call->index, 3);
    ASSERT_EQ(call->arguments.size(), 6u);
    EXPECT_EQ(call->arguments[0], mxArray::scalar(-1));
    EXPECT_EQ(call->arguments[1], mxArray::row({0, 80}));
    EXPECT_EQ(call->arguments[2], mxArray::row({1, 2, 3}));
    EXPECT_TRUE(call->arguments[3].isEmpty());
    EXPECT_EQ(call->arguments[4], mxArray::text("mode"));
    EXPECT_EQ(call->arguments[5], mxArray::scalar(0.001));
    EXPECT_TRUE(parseScriptLine("call main 0")->arguments.empty());
}

TEST(ScriptReader, LinesNotUnderstoodSayWhy) {
    struct Case {
        const char* line;
        const char* message;
    };
    const Case cases[] = {
        {"jump 3", "commande inconnue « jump »"},
        {"Slider 1 0", "commande inconnue « Slider »"},
        {"slider 1", "usage : slider N VALEUR"},
        {"slider 0 0.5", "« 0 » n'est pas un entier supérieur ou égal à 1"},
        {"slider 1 abc", "« abc » n'est pas un nombre"},
        {"slider 1 0,5", "« 0,5 » n'est pas un nombre"},
        {"slider 1 nan", "« nan » n'est pas un nombre fini"},
        {"press", "usage : press \"TEXTE\""},
        {"press \"unclosed", "guillemet fermant manquant"},
        {"press [1 2]", "un texte est attendu à la place de [1 2]"},
        {"call f", "usage : call FONCTION NSORTIES ARGUMENT..."},
        {"call f -1", "« -1 » n'est pas un entier supérieur ou égal à 0"},
        {"call f 1 [1 x]", "« x » n'est pas un nombre"},
        {"call f 1 [1 2", "crochet fermant manquant"},
        {"call f 1 word", "« word » n'est pas un nombre"},
        {"call \"f\" 1", "nom de fonction attendu à la place de « f »"},
        {"dump now", "usage : dump"},
        {"wait -1", "une durée positive est attendue"},
        {"wait 2147484", "une durée d'au plus 2147483 secondes est attendue"},  // beyond a timer's int milliseconds
        {"press a\"b", "« a\"b » est mal formé"},
    };
    for (const auto& c : cases) EXPECT_EQ(syntaxErrorOf(c.line), c.message) << c.line;
}

TEST(HostOptions, ScriptFileOrStandardInputAndShow) {
    EXPECT_FALSE(graphics::parseHostOptions({}).script);
    auto options = graphics::parseHostOptions({"--script", "-", "--show"});
    EXPECT_EQ(options.script, "-");
    EXPECT_TRUE(options.show);
    EXPECT_EQ(graphics::parseHostOptions({"--script", "play.txt"}).script, "play.txt");
    options = graphics::parseHostOptions({"--show", "--snapshot", "--script"});
    EXPECT_EQ(options.snapshot, "--script");
    EXPECT_TRUE(options.show);
    EXPECT_FALSE(options.script);
    EXPECT_TRUE(graphics::parseHostOptions({"-h"}).help);
    for (std::vector<std::string> wrong :
         {std::vector<std::string>{"--script"}, {"--show"}, {"extra"}, {"--script", "a", "--script", "b"},
          {"--snapshot"}, {"--snapshot", "a.png", "--script", "b"}, {"--snapshot", "a", "--snapshot", "b"}})
        EXPECT_THROW(graphics::parseHostOptions(wrong), mclError);
}

}  // namespace
