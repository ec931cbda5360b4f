// The console beside the real simulator: a scripted session played by the
// simulator is recorded trial by trial; the console's window and its
// command-line exports are checked on the result.
#include "console_window.h"
#include "file_safety.h"
#include "report.h"
#include "session.h"
#include "three_var.h"
#include "var_.h"
#include "working_folder.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QJsonDocument>
#include <QImage>
#include <QJsonObject>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
const std::string kMain = SIMULATOR_PROGRAM;
const std::string kConsole = FORMATEUR_PROGRAM;
const std::string kTrial = "press \"Réalisation essai\"\n";

// Polls, serving events, until the condition holds (or five seconds pass).
template <typename Condition>
bool waitFor(Condition condition) {
    return QTest::qWaitFor(condition, 5000);
}

// A1, A2, H with the built-in rows, as the simulator computes them.
std::array<double, 3> prediction(const Setting& coded) {
    Workspace emptyPoly;
    const WorkingFolder in(emptyPoly.path());
    mxArray A2, H;
    mxArray A1 = mlfVar_(&A2, &H, mxArray::scalar(coded[0]), mxArray::scalar(coded[1]), mxArray::scalar(coded[2]),
                         mxArray::scalar(coded[3]), mxArray::scalar(coded[4]));
    return {A1.at(0), A2.at(0), H.at(0)};
}

struct Step {
    const char* moves;
    Setting coded;
    std::array<double, 5> real;
    double tooling, adjustment;
    int count;
    bool charged;
};
// The sliders start at their right ends (coded 1).
const Step kSession[] = {
    {"slider 4 0\n", {1, 1, 1, 0, 1}, {16, 10, 65, 34, 80}, 2500, 350, 1, true},
    {"slider 1 0\n", {0, 1, 1, 0, 1}, {8, 10, 65, 34, 80}, 5000, 700, 2, true},
    {"", {0, 1, 1, 0, 1}, {8, 10, 65, 34, 80}, 5000, 700, 2, false},
    {"slider 5 0\nslider 3 0\n", {0, 1, 0, 0, 0}, {8, 10, 61, 34, 60}, 5000, 1050, 3, true},
    {"slider 2 0\n", {0, 0, 0, 0, 0}, {8, 8, 61, 34, 60}, 7500, 1400, 4, true},
};

// Plays the cost-table session in the folder with the simulator alone.
void playSession(const Workspace& w) {
    LiveSession simulator(kMain, w.path());
    for (const Step& step : kSession) simulator.step(std::string(step.moves) + kTrial);
    EXPECT_EQ(simulator.finish(), 0) << simulator.errors();
}

void expectSessionRows(const std::vector<Trial>& rows, const QString& session) {
    ASSERT_EQ(rows.size(), std::size(kSession));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Step& s = kSession[i];
        const Trial& t = rows[i];
        SCOPED_TRACE("trial " + std::to_string(i + 1));
        EXPECT_EQ(t.session, session);
        EXPECT_EQ(t.number, int(i) + 1);
        EXPECT_EQ(t.setting, s.real);
        const auto p = prediction(s.coded);
        EXPECT_EQ(t.A1, p[0]);
        EXPECT_EQ(t.A2, p[1]);
        EXPECT_EQ(t.H, p[2]);
        EXPECT_DOUBLE_EQ(t.deviationH(), p[2] - 30.44);
        EXPECT_EQ(t.tooling, s.tooling);
        EXPECT_EQ(t.adjustment, s.adjustment);
        EXPECT_EQ(t.total(), s.tooling + s.adjustment);
        EXPECT_EQ(t.count, s.count);
        EXPECT_EQ(t.charged, s.charged);
        EXPECT_EQ(judge(t, Scenario{}), Verdict::OutOfTolerance);
    }
}

// The console opened after the simulator made its trials shows them all,
// then follows a new session.
TEST(ConsoleSession, ShowsTheTrialsMadeBeforeItAndFollowsANewSession) {
    Workspace w;
    playSession(w);
    const WorkingFolder in(w.path());
    ConsoleWindow window;
    const std::vector<Trial> shown = window.sessionShown();
    expectSessionRows(shown, shown.at(0).session);

    // A restart of the simulator opens a new session, whose first trial is charged.
    LiveSession again(kMain, w.path());
    again.step(kTrial);
    ASSERT_TRUE(waitFor([&] { return window.sessionShown().size() == 1; }));
    EXPECT_EQ(again.finish(), 0);
    const Trial& first = window.sessionShown().back();
    EXPECT_NE(first.session, shown[0].session);
    EXPECT_EQ(first.count, 1);
    EXPECT_EQ(first.number, 1);
    EXPECT_TRUE(first.charged);
}

TEST(ConsoleWindowTest, FollowsTheSessionAndHighlightsTheSelectedProfile) {
    Workspace w;
    w.write("data/config_outillage.dat", "A=16,   R=10,   L=65,   C=38,   F=80 \nA1=1,   A2=2,   H=3 \n");
    const WorkingFolder in(w.path());
    ConsoleWindow window;
    auto* table = window.findChild<SessionView*>()->findChild<QTableWidget*>();
    auto* chart = window.findChild<QCustomPlot*>();
    ASSERT_TRUE(table && chart);
    // The log that was there before the console started is not a trial.
    EXPECT_EQ(table->rowCount(), 0);

    LiveSession simulator(kMain, w.path());
    simulator.step(kTrial);
    ASSERT_TRUE(waitFor([&] { return table->rowCount() == 1; }));
    simulator.step("slider 2 0\n" + kTrial);
    ASSERT_TRUE(waitFor([&] { return table->rowCount() == 2; }));
    simulator.step("slider 4 0\n" + kTrial);
    ASSERT_TRUE(waitFor([&] { return table->rowCount() == 3; }));
    EXPECT_EQ(simulator.finish(), 0);
    EXPECT_EQ(table->item(2, 1)->text(), "3");
    EXPECT_EQ(table->item(2, tableTitles().size() - 1)->text(), "hors tolérance");
    EXPECT_EQ(chart->plottableCount(), 4);  // target and three trials

    table->selectRow(1);
    std::vector<QString> names;
    for (int i = 0; i < chart->plottableCount(); ++i) names.push_back(chart->plottable(i)->name());
    EXPECT_EQ(names, (std::vector<QString>{"Profil cible", "Essais précédents", "Dernier essai", "Essai n° 2 (sélection)"}));
    EXPECT_TRUE(window.scoreText().startsWith("Pas encore dans les tolérances")) << window.scoreText().toStdString();
}

TEST(ConsoleWindowTest, FitsClassroomScreensWithAnUndistortedChart) {
    Workspace w;
    const WorkingFolder in(w.path());
    ConsoleWindow window;
    auto* chart = window.findChild<QCustomPlot*>();
    ASSERT_TRUE(chart);
    for (QSize screen : {QSize(1024, 768), QSize(1280, 800)}) {
        SCOPED_TRACE(std::to_string(screen.width()));
        window.resize(screen - QSize(16, 48));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        EXPECT_LE(window.width(), screen.width());
        EXPECT_LE(window.height(), screen.height());
        // Every button of the visible page, and the chart, lie wholly inside the window.
        const QRect inside = window.rect();
        for (QPushButton* button : window.findChildren<QPushButton*>()) {
            if (!button->isVisibleTo(&window)) continue;
            EXPECT_TRUE(inside.contains(QRect(button->mapTo(&window, QPoint()), button->size())))
                << button->text().toStdString();
        }
        const QRect chartArea(chart->mapTo(&window, QPoint()), chart->size());
        EXPECT_TRUE(inside.contains(chartArea));
        EXPECT_GE(chart->width(), 300);

        chart->replot();
        const double across = chart->xAxis->coordToPixel(40) - chart->xAxis->coordToPixel(0);
        const double up = chart->yAxis->coordToPixel(0) - chart->yAxis->coordToPixel(40);
        EXPECT_NEAR(across / up, 1.0, 0.01);
        // The whole part is in view.
        EXPECT_LE(chart->xAxis->range().lower, 0);
        EXPECT_GE(chart->xAxis->range().upper, 80);
        EXPECT_GE(chart->yAxis->range().upper, 45);
    }
}

// Two consoles on one folder: each writes only the field changed in it, into
// the file as the other left it, and shows what the other wrote.
TEST(ConsoleWindowTest, TwoConsolesOnOneFolderKeepEachOthersChanges) {
    Workspace w;
    const WorkingFolder in(w.path());
    ConsoleWindow first, second;
    auto field = [](ConsoleWindow& window, const char* key) { return window.findChild<QDoubleSpinBox*>(key); };
    field(first, "budget")->setValue(5250);
    field(second, "tolerance_H")->setValue(0.3);
    Scenario onDisk;
    ASSERT_EQ(loadScenario("data/scenario.ini", onDisk), "");
    EXPECT_EQ(onDisk.budget, 5250);
    EXPECT_EQ(onDisk.toleranceH, 0.3);
    EXPECT_EQ(field(second, "budget")->value(), 5250);  // read again before writing
    EXPECT_TRUE(waitFor([&] { return field(first, "tolerance_H")->value() == 0.3; }));

    // Rewritten in place by a person: both follow, and judge by it.
    w.write("data/scenario.ini", "version=1\ntolerance_A1=2.5\n");
    EXPECT_TRUE(waitFor([&] { return field(first, "tolerance_A1")->value() == 2.5 && field(second, "budget")->value() == 10000; }));

    // Another program holds the lock: nothing is written, and the field shows the file again.
    const file_safety::FileLock held((w.path() / "data/scenario.lock").string());
    ASSERT_TRUE(held.held());
    field(first, "tolerance_A2")->setValue(3);
    EXPECT_EQ(field(first, "tolerance_A2")->value(), 1);
    const QString message = first.statusBar()->currentMessage();
    EXPECT_TRUE(message.startsWith("Le scénario n'est pas enregistré : Le verrou « " +
                                   QString::fromStdString((w.path() / "data/scenario.lock").string()) +
                                   " » est tenu par un autre programme"))
        << message.toStdString();
    EXPECT_EQ(QString::fromStdString(w.read("data/scenario.ini")), "version=1\ntolerance_A1=2.5\n");
}

// The console as a process in the folder; its standard output.
ScriptRun runConsole(const Workspace& w, const std::string& arguments) {
    const std::string out = (w.path() / ".console.out").string();
    // As on a machine without a display: the batch options need none.
    const std::string command = "cd '" + w.path().string() + "' && env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY '" +
                                kConsole + "' " + arguments + " > '" + out + "'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, w.read(".console.out"), ""};
}

TEST(ConsoleProgram, ExportsTheSessionAndTheOptimum) {
    Workspace w;
    playSession(w);
    ASSERT_EQ(runConsole(w, "--csv session.csv --report rapport.pdf --csv-fr tableur.csv").status, 0);
    EXPECT_NE(w.read("tableur.csv").find(";7500;1400;8900;4;oui;hors tolérance;"), std::string::npos);
    ASSERT_EQ(runConsole(w, "--snapshot fenetre.png --taille 1024x768 --onglet Modèle").status, 0);
    EXPECT_EQ(QImage(QString::fromStdString((w.path() / "fenetre.png").string())).size(), QSize(1024, 768));
    const std::string csv = w.read("session.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 6);
    EXPECT_EQ(csv.substr(0, csv.find('\n')), csvColumns().join(',').toStdString() + ",verdict,poste,stagiaire");
    EXPECT_NE(csv.find(",7500,1400,8900,4,oui,hors tolérance,"), std::string::npos) << csv;
    EXPECT_EQ(w.read("rapport.pdf").substr(0, 5), "%PDF-");

    ScriptRun optimum = runConsole(w, "--optimum");
    ASSERT_EQ(optimum.status, 0);
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(optimum.out)).object();
    EXPECT_TRUE(json["dans_tolerances"].toBool());
    EXPECT_NEAR(json["H"].toDouble(), 30.44, 1e-4);
    EXPECT_GE(json["A"].toDouble(), 0);
    EXPECT_LE(json["A"].toDouble(), 16);
}

}  // namespace

int main(int argc, char** argv) {
    // Test discovery runs this too, without the tests' environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initializeSimulatorModules();
    // The tests set the console's models against the simulator's own.
    InitializeModule_var_();
    InitializeModule_three_var();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
