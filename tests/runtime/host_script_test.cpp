// Scripted sessions of a whole program: the fixture program is started with
// --script and its standard output, standard error and exit status are read.
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Session {
    int status = -1;
    std::vector<std::string> out, err;

    bool saysOnError(const std::string& line) const { return std::count(err.begin(), err.end(), line) == 1; }
    std::vector<std::string> errors() const {
        std::vector<std::string> found;
        for (const auto& line : err)
            if (line.rfind("error: ", 0) == 0 || line.rfind("script", 0) == 0) found.push_back(line);
        return found;
    }
    // The dump line of the object whose JSON holds the given text.
    std::string dumped(const std::string& part) const {
        for (const auto& line : out)
            if (line.front() == '{' && line.find(part) != std::string::npos) return line;
        return "(absent)";
    }
};

std::vector<std::string> linesOf(const QByteArray& bytes) {
    std::vector<std::string> lines;
    for (const QByteArray& line : bytes.split('\n'))
        if (!line.isEmpty()) lines.push_back(line.toStdString());
    return lines;
}

class HostScript : public ::testing::Test {
protected:
    QTemporaryDir dir;

    // Runs the fixture program with a script given as a file, or on standard input.
    Session play(const std::string& script, bool onStandardInput = false) {
        QString file = dir.filePath("session.txt");
        QProcess program;
        program.setWorkingDirectory(dir.path());
        if (onStandardInput) {
            program.start(FIXTURE_PROGRAM, {"--script", "-"});
            program.write(script.data(), static_cast<qint64>(script.size()));
            program.closeWriteChannel();
        } else {
            QFile out(file);
            EXPECT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(script.data(), static_cast<qint64>(script.size()));
            out.close();
            program.start(FIXTURE_PROGRAM, {"--script", file});
        }
        EXPECT_TRUE(program.waitForFinished(60000));
        return {program.exitCode(), linesOf(program.readAllStandardOutput()), linesOf(program.readAllStandardError())};
    }
};

TEST_F(HostScript, UserActionsGoThroughTheWidgetsEachCallbackOnce) {
    Session s = play(R"(# a user's session
slider 1 0.25
slider 2 -1

press "Réalisation essai"
   edit 1 "1,5 €"
callback "fixture hello"
wait 0.05
dump
)");
    EXPECT_EQ(s.status, 0);
    EXPECT_TRUE(s.errors().empty()) << s.errors().front();
    ASSERT_GE(s.out.size(), 3u);
    EXPECT_EQ(s.out.front(), "init");
    EXPECT_EQ(s.out.back(), "term");
    EXPECT_EQ(s.out[1], R"({"handle":1,"type":"figure","parent":0,"tag":"","units":"normalized",)"
                        R"("position":[100,100,682.67,533.33],"name":" Fenêtre d'essai"})");
    EXPECT_NE(s.dumped(R"("string":"slider1=0.25,slider2=-1,Trial,edit,hello")"), "(absent)");
    EXPECT_NE(s.dumped(R"("style":"slider","string":"","value":0.25)"), "(absent)");
    EXPECT_NE(s.dumped(R"("style":"edit","string":"1,5 €")"), "(absent)");
    EXPECT_NE(s.dumped(R"("type":"legend")"), "(absent)");
}

TEST_F(HostScript, CallPrintsTheOutputsAsOneJsonArray) {
    Session s = play("call twice 2 [0 40]\ncall twice 1 1.5\ncall twice 0 [1 2]\n");
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.out, (std::vector<std::string>{"init", R"([[[0,80]],"deux €"])", "[3]", "[]", "term"}));
}

TEST_F(HostScript, ErrorsArePrintedAndTheSessionGoesOn) {
    Session s = play(R"(press "Échouer"
press "Inexistant"
call nosuch 0
call twice 3 1
call twice 50000000 1
call fixture 50000000
slider 9 0
callback "fixture after"
dump
)");
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.errors(), (std::vector<std::string>{
                              "error: Échec voulu.",
                              "error: La fenêtre n'a pas de bouton « Inexistant ».",
                              "error: Fonction « nosuch » inconnue de ce programme.",
                              "error: Run-time Error: File: twice Line: 1 Column: 1 The function \"twice\" was called "
                              "with more than the declared number of outputs (2).",
                              // refused before room is made for the outputs
                              "error: Run-time Error: File: twice Line: 1 Column: 1 The function \"twice\" was called "
                              "with more than the declared number of outputs (2).",
                              "error: Run-time Error: File: fixture Line: 1 Column: 1 The function \"fixture\" was "
                              "called with more than the declared number of outputs (0).",
                              "error: La fenêtre n'a pas de contrôle slider n° 9 (elle en a 2).",
                          }));
    EXPECT_NE(s.dumped(R"("string":"after")"), "(absent)");
}

TEST_F(HostScript, ALineNotUnderstoodStopsTheSessionWithStatus2) {
    Session s = play("callback \"fixture one\"\n\nbogus line\ndump\n");
    EXPECT_EQ(s.status, 2);
    EXPECT_EQ(s.errors(), (std::vector<std::string>{"script, ligne 3 : commande inconnue « bogus »"}));
    EXPECT_EQ(s.dumped("{"), "(absent)");  // the lines after it are not played
    EXPECT_EQ(s.out.back(), "term");       // the program still ends as usual
}

TEST_F(HostScript, StandardInputAndSnapshots) {
    std::string picture = dir.filePath("window.png").toStdString(), screen = dir.filePath("screen.png").toStdString();
    Session s = play("snapshot \"" + picture + "\"\nscreenshot \"" + screen + "\"\n", true);
    EXPECT_EQ(s.status, 0);
    QImage image(QString::fromStdString(picture));
    EXPECT_EQ(image.size(), QSize(683, 533));
    // One window: the picture of the screen is the window's.
    EXPECT_EQ(QImage(QString::fromStdString(screen)), image);
}

// A picture of the window with no display and no script, then the end; a
// picture that cannot be saved says so by the status.
TEST_F(HostScript, SnapshotPaintsSavesAndEndsAndHelpStartsNothing) {
    auto run = [](const QStringList& args) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        program.setProcessEnvironment(environment);
        program.start(FIXTURE_PROGRAM, args);
        EXPECT_TRUE(program.waitForFinished(60000));
        return Session{program.exitCode(), linesOf(program.readAllStandardOutput()),
                       linesOf(program.readAllStandardError())};
    };
    QString picture = dir.filePath("fenêtre.png");
    Session s = run({"--snapshot", picture});
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.out, (std::vector<std::string>{"init", "term"}));
    EXPECT_EQ(QImage(picture).size(), QSize(683, 533));

    QString unwritable = dir.filePath("absent/fenêtre.png");
    s = run({"--snapshot", unwritable});
    EXPECT_EQ(s.status, 1);
    EXPECT_TRUE(s.saysOnError("Image « " + unwritable.toStdString() + " » non enregistrée."));
    EXPECT_EQ(s.out.back(), "term");

    s = run({"--help"});
    EXPECT_EQ(s.status, 0);
    ASSERT_FALSE(s.out.empty());
    EXPECT_EQ(s.out.front(), "Utilisation : fixture [--script FICHIER|-] [--show] [--snapshot FICHIER.png] [--help]");
    EXPECT_EQ(std::count(s.out.begin(), s.out.end(), "init"), 0);
}

TEST_F(HostScript, WithoutAScriptEventsAreServedUntilTheLastWindowCloses) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("FIXTURE_CLOSE_SOON", "1");
    program.setProcessEnvironment(environment);
    program.start(FIXTURE_PROGRAM, {});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(linesOf(program.readAllStandardOutput()), (std::vector<std::string>{"init", "term"}));
}

TEST_F(HostScript, AnUnreadableScriptOrArgumentIsRefused) {
    QProcess program;
    program.start(FIXTURE_PROGRAM, {"--script", dir.filePath("missing.txt")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_NE(program.readAllStandardError().indexOf("illisible"), -1);
    EXPECT_EQ(program.readAllStandardOutput(), "");  // nothing of the program ran

    program.start(FIXTURE_PROGRAM, {"--fast"});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 2);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
