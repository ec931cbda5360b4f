// The debrief: a session replayed step by step shows each journal row as it
// is, its best single move agrees with a scan of each variable, and the
// trainer's comments go to the journal or the class database (waiting while
// it is down) and come back in the replay, its JSON and every PDF.
#include "class_database.h"
#include "class_feed.h"
#include "class_panel.h"
#include "class_view.h"
#include "coefficient_file.h"
#include "coefficient_history.h"
#include "postgres_server.h"
#include "replay_view.h"
#include "report.h"
#include "working_folder.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

const QString kConsole = FORMATEUR_PROGRAM;

struct ConsoleRun {
    int status;
    QString out, err;
};

ConsoleRun console(const QStringList& arguments) {
    QProcess p;
    p.start(kConsole, arguments);
    p.waitForFinished(60'000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QString pdfText(const QString& pdf) {
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    return text.waitForFinished(30000) ? QString::fromUtf8(text.readAllStandardOutput()).simplified() : QString();
}

bending::ModelRows shifted(double by) {
    bending::ModelRows rows = bending::builtInRows();
    for (auto& row : rows) {
        row[0] += by, row[2] -= by / 3;
        // As the files keep them: six decimals.
        for (double& c : row) c = std::round(c * 1e6) / 1e6;
    }
    return rows;
}

std::array<std::string, 3> texts(const bending::ModelRows& rows) {
    return {bending::coefficientText(rows[0]), bending::coefficientText(rows[1]), bending::coefficientText(rows[2])};
}

// A trial as the simulator records it, predicted by the rows, charged by the account's rule.
JournalRow trialRow(int number, const std::array<double, 5>& setting, const bending::ModelRows& rows,
                    const QString& fingerprint, const JournalRow* before, int exercise = 0) {
    JournalRow r;
    r.station = "P1";
    r.trainee = "Léa Dubois";
    r.session = "S1";
    r.number = number;
    r.recorded = QStringLiteral("2026-12-07T10:%1:00.000Z").arg(number, 2, 10, QChar('0'));
    r.setting = setting;
    bending::Coded x;
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = bending::codedValue(facts::kVariables[i], setting[i]);
    r.A1 = bending::evaluate(rows[0], x), r.A2 = bending::evaluate(rows[1], x), r.H = bending::evaluate(rows[2], x);
    const bool moved = !before || before->setting != setting;
    const bool tooling = !before || before->setting[0] != setting[0] || before->setting[1] != setting[1];
    r.tooling = (before ? before->tooling : 0) + (tooling ? 2500 : 0);
    r.adjustment = (before ? before->adjustment : 0) + (moved ? 350 : 0);
    r.count = (before ? before->count : 0) + (moved ? 1 : 0);
    r.charged = moved;
    r.exercise = exercise;
    r.fingerprint = fingerprint;
    return r;
}

// The smallest largest deviation that moving variable alone reaches, on a fine grid.
double scanned(int variable, const ModelSnapshot& model, Setting x, const Scenario& s) {
    double best = INFINITY;
    for (int k = 0; k <= 20000; ++k) {
        x[std::size_t(variable)] = -1 + k / 10000.0;
        best = std::min(best, predictedDistance(model, x, s));
    }
    return best;
}

}  // namespace

class Replay : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath("data");
        QDir().mkpath("poly");
        // The model of the first trials, then another one: the first is kept in the history.
        ASSERT_TRUE(bending::installCoefficientFiles("poly", texts(shifted(3))).ok());
        older = bending::coefficientFingerprint("poly");
        ASSERT_TRUE(bending::installCoefficientFiles("poly", texts(shifted(-2))).ok());
        current = bending::coefficientFingerprint("poly");
        const std::vector<std::pair<std::array<double, 5>, int>> moves{
            {{16, 10, 65, 38, 80}, 0}, {{16, 9, 65, 38, 80}, 0}, {{16, 9, 65, 38, 80}, 2},
            {{4, 9, 65, 38, 80}, 2},   {{4, 9, 65, 30, 80}, 2},  {{4, 9, 61, 30, 55}, 0}};
        const std::vector<std::pair<QString, bending::ModelRows>> models{
            {"intégrés", bending::builtInRows()}, {older, shifted(3)},       {older, shifted(3)},
            {current, shifted(-2)},               {QString(64, 'f'), shifted(1)}, {QString(), shifted(-2)}};
        for (std::size_t n = 0; n < moves.size(); ++n)
            rows.push_back(trialRow(int(n) + 1, moves[n].first, models[n].second, models[n].first,
                                    n ? &rows.back() : nullptr, moves[n].second));
        StationJournal journal(QDir("data").absoluteFilePath(facts::kJournalFile));
        QString error;
        ASSERT_TRUE(journal.open(&error) && journal.append(rows, &error)) << error.toStdString();
    }

    WorkingFolder folder;
    QString older, current;
    std::vector<JournalRow> rows;
};

TEST_F(Replay, EveryStepShowsItsJournalRowAndTheBestSingleMoveOfItsOwnModel) {
    std::vector<Trial> session;
    for (auto r = rows.rbegin(); r != rows.rend(); ++r) session.push_back(trialFrom(*r));  // any order
    const Scenario scenario;
    ReplayView view(session, {{}, "P1", "S1"}, scenario, QDir("data").absolutePath());
    view.resize(1280, 800);
    view.show();
    ASSERT_EQ(view.steps().size(), rows.size());
    // Which model each trial is judged by: its own, or the current one when it is not found.
    const std::vector<bending::ModelRows> models{bending::builtInRows(), shifted(3), shifted(3),
                                                 shifted(-2),           shifted(-2), shifted(-2)};
    for (std::size_t n = 0; n < rows.size(); ++n) {
        view.showStep(int(n));
        const ReplayStep& step = view.steps()[n];
        const Trial t = trialFrom(rows[n]);
        EXPECT_EQ(static_cast<const JournalRow&>(step.trial), rows[n]);
        const QString shown = view.texts().join('\n');
        EXPECT_TRUE(shown.contains(QStringLiteral("n° %1 — %2 — %3").arg(t.number).arg(t.time.toString("HH:mm:ss"),
                                                                                    verdictText(judge(t, scenario)))))
            << shown.toStdString();
        for (double value : {t.A1, t.A2, t.H}) EXPECT_TRUE(shown.contains(fr(value, 2))) << value;
        EXPECT_TRUE(shown.contains("total de la session " + fr(t.total(), 0) + " €"));

        Setting x;
        for (std::size_t i = 0; i < x.size(); ++i) x[i] = bending::codedValue(facts::kVariables[i], t.setting[i]);
        const ModelSnapshot model(models[n]);
        double best = INFINITY;
        for (int i = 0; i < 5; ++i) {
            const double scan = scanned(i, model, x, scenario);
            const Piste exact = bestMoveOf(i, model, x, scenario);
            // Never worse than the scan, and no better than the grid's step can hide.
            EXPECT_LE(exact.distance, scan + 1e-9) << n << " " << i;
            EXPECT_GE(exact.distance, scan - 1e-3) << n << " " << i;
            best = std::min(best, scan);
        }
        EXPECT_NEAR(step.piste.distance, best, 1e-3) << n;
        Setting moved = x;
        moved[std::size_t(step.piste.variable)] = bending::codedValue(facts::kVariables[std::size_t(step.piste.variable)],
                                                                      step.piste.value);
        EXPECT_NEAR(predictedDistance(model, moved, scenario), step.piste.distance, 1e-9);
    }
    // What moved and what it cost, the model and the exercise as they change.
    EXPECT_EQ(view.steps()[0].changeTexts(), QStringList{"premier essai de la session"});
    EXPECT_EQ(view.steps()[0].chargeText(), QStringLiteral("outillage %1 € + réglage 350 €").arg(fr(2500, 0)));
    EXPECT_EQ(view.steps()[1].changeTexts().join(" · "),
              "R : 10 → 9\u00A0mm · A inchangé · L inchangé · C inchangé · F inchangé");
    EXPECT_EQ(view.steps()[2].chargeText(), "non facturé");
    EXPECT_EQ(view.steps()[4].chargeText(), "réglage 350 €");
    EXPECT_TRUE(view.steps()[0].notes.isEmpty());
    EXPECT_TRUE(view.steps()[1].notes.join(' ').contains("Le modèle a changé à cet essai"));
    EXPECT_TRUE(view.steps()[2].notes.join(' ').contains("exercice n° 2"));
    EXPECT_TRUE(view.steps()[3].notes.join(' ').contains("Le modèle a changé"));
    EXPECT_TRUE(view.steps()[4].notes.join(' ').contains("introuvable"));
    EXPECT_TRUE(view.steps()[5].notes.join(' ').contains("hors exercice"));
    EXPECT_TRUE(view.steps()[5].notes.join(' ').contains("sans l'empreinte"));

    // The keys, the timeline and the player.
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_EQ(view.current(), 5);
    QTest::keyClick(&view, Qt::Key_Home);
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_EQ(view.current(), 1);
    auto* timeline = view.findChild<ReplayTimeline*>();
    QTest::mouseClick(timeline, Qt::LeftButton, {}, QPoint(timeline->width() - 10, timeline->height() / 2));
    EXPECT_EQ(view.current(), 5);
    view.findChild<QDoubleSpinBox*>()->setValue(0.2);
    view.setPlaying(true);
    EXPECT_EQ(view.current(), 0) << "playing from the end starts again";
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.current() == 5; }, 10'000));
}

TEST_F(Replay, CommentsRoundTripThroughTheJournalIntoTheJsonAndEveryPdf) {
    const QString comment = "<b>Regardez</b> A2 & H :\nle rayon a tout changé";
    ConsoleRun set = console({"--commenter", "S1", "4", comment});
    EXPECT_EQ(set.status, 0) << set.err.toStdString();
    EXPECT_EQ(console({"--commenter", "S1", "2", "Trop tôt"}).status, 0);
    EXPECT_EQ(console({"--commenter", "S1", "2", ""}).status, 0) << "an empty text removes it";
    EXPECT_EQ(console({"--commenter", "S1", "2"}).status, 2);
    EXPECT_EQ(console({"--commenter", "S9", "2", "x"}).status, 1);

    ConsoleRun json = console({"--rejouer", "S1", "--json"});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    const QJsonArray steps = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(steps.size(), qsizetype(rows.size()));
    for (qsizetype n = 0; n < steps.size(); ++n) {
        const QJsonObject o = steps[n].toObject();
        const JournalRow& r = rows[std::size_t(n)];
        EXPECT_EQ(o["numero"].toInt(), r.number);
        for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(o[facts::kVariables[i].symbol].toDouble(), r.setting[i]);
        EXPECT_EQ(o["A1"].toDouble(), r.A1);
        EXPECT_EQ(o["H"].toDouble(), r.H);
        EXPECT_EQ(o["ecart"].toDouble(), Scenario{}.distance(trialFrom(r)));
        EXPECT_LE(o["piste"]["ecart"].toDouble(), o["ecart"].toDouble());
        EXPECT_EQ(o["commentaire"].toString(), n == 3 ? comment : QString());
    }
    EXPECT_EQ(steps[1]["changements"].toArray(),
              (QJsonArray{QJsonObject{{"variable", "R"}, {"avant", 10}, {"apres", 9}}}));
    EXPECT_EQ(steps[2]["facture"].toObject(), (QJsonObject{{"facture", false}, {"outillage", 0}, {"reglage", 0}}));

    ReplayView view(std::vector<Trial>{trialFrom(rows[3])}, {{}, "P1", "S1"}, Scenario{}, QDir("data").absolutePath());
    EXPECT_EQ(view.findChild<QPlainTextEdit*>()->toPlainText(), comment);
    EXPECT_EQ(console({"--rejouer", "S1", "--pdf", "fiche.pdf"}).status, 0);
    EXPECT_EQ(console({"--report", "rapport.pdf"}).status, 0);
    for (const char* pdf : {"fiche.pdf", "rapport.pdf"}) {
        const QString text = pdfText(pdf);
        EXPECT_TRUE(text.contains("<b>Regardez</b> A2 & H")) << pdf << text.toStdString();
        EXPECT_FALSE(text.contains("Trop tôt")) << pdf;
    }
    EXPECT_TRUE(pdfText("fiche.pdf").contains("— P1 — Léa Dubois Session du 7 décembre 2026"));
}

TEST_F(Replay, CommentsGoToTheClassDatabaseAndWaitWhileItIsDown) {
    if (!PostgresServer::available()) GTEST_SKIP() << "PostgreSQL 15 is not installed";
    PostgresServer server;
    const QString conninfo = QString::fromStdString(server.conninfo());
    bool ok = false;
    ASSERT_TRUE(initClassDatabase(conninfo, &ok).contains("prête")) << ok;
    QString error;
    ASSERT_TRUE(withClassDatabase(conninfo, [&](QSqlDatabase& db, QString* e) {
        std::vector<JournalEntry> entries;
        for (const JournalRow& r : rows) entries.push_back({0, false, r});
        return sendRows(db, entries, e);
    }, &error)) << error.toStdString();
    // The station's journal holds no such session: the console finds it on the server.
    QFile::remove(QDir("data").filePath(facts::kJournalFile));
    ConsoleRun set = console({"--commenter", "S1", "5", "Course : bien", "--serveur", conninfo});
    ASSERT_EQ(set.status, 0) << set.err.toStdString();
    EXPECT_EQ(server.psql("SELECT poste || '/' || numero || '/' || texte FROM commentaires"), "P1/5/Course : bien\n");

    TrialComments comments(QDir("data").absolutePath());
    const SessionPlace place{conninfo, "P1", "S1"};
    server.stopImmediately();
    QString problem;
    EXPECT_TRUE(comments.save(place, 6, "Force : à revoir", &problem));
    EXPECT_TRUE(problem.contains("partira vers le serveur")) << problem.toStdString();
    EXPECT_EQ(comments.waiting(), 1);
    EXPECT_EQ(comments.load(place, &problem).at(6), "Force : à revoir");
    server.start();
    EXPECT_TRUE(comments.sendWaiting(&problem)) << problem.toStdString();
    EXPECT_EQ(comments.waiting(), 0);
    problem.clear();
    EXPECT_EQ(comments.load(place, &problem), (std::map<int, QString>{{5, "Course : bien"}, {6, "Force : à revoir"}}))
        << problem.toStdString();

    // « Rejouer » on the station's tile opens its session with the server's comments.
    ClassPanel panel(conninfo);
    ASSERT_TRUE(panel.feed()->waitForFirstRead()) << panel.problem().toStdString();
    panel.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.view()->tiles().size() == 1; }));
    for (QPushButton* b : panel.view()->tiles()[0]->findChildren<QPushButton*>())
        if (b->text() == "Rejouer") b->click();
    auto* replay = panel.findChild<ReplayView*>();
    ASSERT_NE(replay, nullptr);
    EXPECT_EQ(replay->steps().size(), rows.size());
    EXPECT_EQ(replay->steps()[5].comment, "Force : à revoir");

    ConsoleRun report = console({"--classe", "--serveur", conninfo, "--report", "classe.pdf"});
    ASSERT_EQ(report.status, 0) << report.err.toStdString();
    EXPECT_TRUE(pdfText("classe.pdf").contains("Commentaire du formateur : Force : à revoir"));
    ConsoleRun json = console({"--rejouer", "S1", "--json", "--serveur", conninfo});
    EXPECT_EQ(QJsonDocument::fromJson(json.out.toUtf8()).array()[4].toObject()["commentaire"].toString(), "Course : bien");
}
