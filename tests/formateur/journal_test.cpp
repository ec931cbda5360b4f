// The journal's rows and files, the scenario file and the scoring.
#include "class_report.h"
#include "journal.h"
#include "report.h"
#include "scenario.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

QByteArray slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void spit(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

Trial trialWith(double A1, double A2, double H, int count = 1, double tooling = 2500, double adjustment = 350) {
    Trial t;
    t.time = QDateTime(QDate(2024, 3, 5), QTime(9, 30, 12, 345));
    t.session = "1";
    t.setting = {8, 8, 61, 34, 60};
    t.A1 = A1;
    t.A2 = A2;
    t.H = H;
    t.tooling = tooling;
    t.adjustment = adjustment;
    t.count = count;
    t.charged = true;
    return t;
}

// A row of the station's journal becomes a trial, and the trial its CSV row.
TEST(CsvRow, FromAJournalRow) {
    JournalRow r;
    r.station = "P1";
    r.session = "6f1c";
    r.number = 3;
    r.recorded = "2024-03-05T09:30:12.345Z";
    r.setting[0] = 8;
    r.setting[1] = 8;
    r.setting[2] = 61;
    r.setting[3] = 34;
    r.setting[4] = 60;
    r.A1 = 135.25;
    r.A2 = 134.5;
    r.H = 30.565;
    r.tooling = 2500;
    r.adjustment = 350;
    r.count = 2;
    r.charged = false;
    const Trial t = trialFrom(r);
    EXPECT_EQ(t.time, QDateTime(QDate(2024, 3, 5), QTime(9, 30, 12, 345), Qt::UTC));
    EXPECT_EQ(t.time.timeSpec(), Qt::LocalTime);  // shown as the trainer's clock says
    EXPECT_EQ(t.station, "P1");
    EXPECT_EQ(t.number, 3);
    const QString row = csvFields(t).join(',');
    EXPECT_TRUE(row.startsWith(t.time.toString(Qt::ISODateWithMs) + ",6f1c,8,8,61,34,60,135.25,134.5,")) << row.toStdString();
    // Numbers in their shortest form, and the derived columns.
    EXPECT_TRUE(row.contains(",30.565,0.25,-0.5,0.125,2500,350,2850,2,non")) << row.toStdString();
    EXPECT_EQ(csvFields(t).size(), csvColumns().size());
}

TEST(CsvExport, NumbersAsPrintedInBothDialects) {
    // 131.4425 - 135 in doubles is -3.5575000000000045.
    std::vector<Trial> trials{trialWith(131.4425, 135.0001, 30.4412), trialWith(136.5, 134, 30.44, 1)};
    trials[1].charged = false;
    QTemporaryDir dir;
    const QString standard = dir.filePath("s.csv"), french = dir.filePath("f.csv");
    ASSERT_TRUE(writeSessionCsv(standard, trials, Scenario{}));
    ASSERT_TRUE(writeSessionCsv(french, trials, Scenario{}, CsvDialect::French));
    const QStringList s = QString::fromUtf8(slurp(standard)).split('\n'), f = QString::fromUtf8(slurp(french)).split('\n');
    ASSERT_EQ(s.size(), 4);
    EXPECT_EQ(s[1].toStdString(), "2024-03-05T09:30:12.345,1,8,8,61,34,60,131.4425,135.0001,30.4412,-3.5575,0.0001,0.0012,"
                    "2500,350,2850,1,oui,hors tolérance,,");
    EXPECT_EQ(s[2].toStdString(), "2024-03-05T09:30:12.345,1,8,8,61,34,60,136.5,134,30.44,1.5,-1,0,2500,350,2850,1,non,"
                    "hors tolérance,,");
    EXPECT_TRUE(slurp(french).startsWith("\xEF\xBB\xBF"));  // accents read as UTF-8
    EXPECT_EQ(f[0].toStdString(), "heure;session;A;R;L;C;F;A1;A2;H;ecart_A1;ecart_A2;ecart_H;cout_outillage;"
                    "cout_reglage;cout_total;essais;facture;verdict;poste;stagiaire");
    EXPECT_EQ(f[1].toStdString(), "2024-03-05T09:30:12.345;1;8;8;61;34;60;131,4425;135,0001;30,4412;-3,5575;0,0001;0,0012;"
                    "2500;350;2850;1;oui;hors tolérance;;");

    // An uncharged repeat is named as such where the trial number would be.
    EXPECT_EQ(tableCells(trials[0], Scenario{})[1], "1");
    EXPECT_EQ(tableCells(trials[1], Scenario{})[1], "non facturé");
}

// Names typed at a station open in a spreadsheet as text on their own row:
// never a formula, never a new row; the numbers stay numbers.
TEST(CsvExport, TypedTextsOpenAsTextOnTheirRow) {
    Trial t = trialWith(131.4425, 135.0001, 30.4412);
    t.session = "s1\r\nsuite";
    t.station = "=HYPERLINK(\"http://x\")";
    t.trainee = "@SOMME(1)";
    Trial second = t;
    second.station = "+33 6";
    second.trainee = "-Léa";
    QTemporaryDir dir;
    ASSERT_TRUE(writeSessionCsv(dir.filePath("s.csv"), {t, second}, Scenario{}));
    const QByteArray standard = slurp(dir.filePath("s.csv"));
    EXPECT_EQ(standard.mid(standard.indexOf('\n') + 1).toStdString(),
              "2024-03-05T09:30:12.345,\"s1\r\nsuite\",8,8,61,34,60,131.4425,135.0001,30.4412,-3.5575,0.0001,0.0012,"
              "2500,350,2850,1,oui,hors tolérance,\"'=HYPERLINK(\"\"http://x\"\")\",\"'@SOMME(1)\"\n"
              "2024-03-05T09:30:12.345,\"s1\r\nsuite\",8,8,61,34,60,131.4425,135.0001,30.4412,-3.5575,0.0001,0.0012,"
              "2500,350,2850,1,oui,hors tolérance,\"'+33 6\",\"'-Léa\"\n");
    ASSERT_TRUE(writeClassCsv(dir.filePath("c.csv"), {second}, Scenario{}, CsvDialect::French));
    const QStringList french = QString::fromUtf8(slurp(dir.filePath("c.csv"))).split('\n');
    ASSERT_EQ(french.size(), 4);
    EXPECT_EQ(french[1].toStdString(), "\"'+33 6\";\"'-Léa\";0;2024-03-05T09:30:12.345;\"s1\r");
    EXPECT_TRUE(french[2].startsWith("suite\";8;8;61;34;60;131,4425;135,0001;30,4412;-3,5575;")) << french[2].toStdString();
}

QString pdfText(const QString& pdf) {
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    return text.waitForFinished(30000) ? QString::fromUtf8(text.readAllStandardOutput()) : QString();
}

// Printouts and exports from a room of stations: each says whose session it
// is and when, and the session CSV keeps the journal's columns in place.
TEST(Reports, NameTheStationTheTraineeAndTheSessionDate) {
    std::vector<Trial> longSession;
    for (int i = 0; i < 40; ++i) {
        Trial t = trialWith(136.5 - i * 0.05, 135, 30.44, i + 1);
        t.station = "Poste 7";
        t.trainee = "Dubois; \"Léa\"";
        t.time = t.time.addSecs(60 * i);
        longSession.push_back(t);
    }
    std::vector<Trial> shortSession{longSession[0]};
    shortSession[0].station = "Poste 8";
    shortSession[0].trainee.clear();
    QTemporaryDir dir;

    ASSERT_TRUE(writeSessionCsv(dir.filePath("s.csv"), longSession, Scenario{}, CsvDialect::French));
    const QStringList csv = QString::fromUtf8(slurp(dir.filePath("s.csv"))).split('\n');
    EXPECT_TRUE(csv[0].endsWith(";facture;verdict;poste;stagiaire")) << csv[0].toStdString();
    EXPECT_TRUE(csv[1].endsWith(";1;oui;hors tolérance;Poste 7;\"Dubois; \"\"Léa\"\"\"")) << csv[1].toStdString();

    QImage chart(400, 300, QImage::Format_RGB32);
    chart.fill(Qt::white);
    const SessionReport report{longSession, Scenario{}, "Score", "Faisable", chart, {}};
    ASSERT_TRUE(writeReportPdf(dir.filePath("session.pdf"), report));
    const QString session = pdfText(dir.filePath("session.pdf")).simplified();
    EXPECT_TRUE(session.contains("Rapport de session — Poste 7 — Dubois; \"Léa\"")) << session.toStdString();
    EXPECT_TRUE(session.contains("Session du 5 mars 2024, de 09:30 à 10:09.")) << session.toStdString();

    // A long session's trials all run onto the pages after the first, each
    // under the titles and naming the session.
    std::vector<Trial> longer;
    for (int i = 0; i < 150; ++i) {
        longer.push_back(longSession[std::size_t(i) % longSession.size()]);
        longer.back().time = longSession[0].time.addSecs(37 * i);
    }
    ASSERT_TRUE(writeReportPdf(dir.filePath("longue.pdf"), {longer, Scenario{}, "Score", "Faisable", chart, {}}));
    const QStringList sessionPages = pdfText(dir.filePath("longue.pdf")).split('\f', Qt::SkipEmptyParts);
    ASSERT_GE(sessionPages.size(), 3);
    for (int p = 0; p < sessionPages.size(); ++p) {
        const QString page = sessionPages[p].simplified();
        EXPECT_TRUE(page.contains("Écart A1 Écart A2 Écart H")) << p;
        EXPECT_TRUE(page.contains(QStringLiteral("Poste 7 — Dubois; \"Léa\", session du 5 mars 2024, de 09:30 à 11:02 "
                                                 "— page %1 sur %2").arg(p + 1).arg(sessionPages.size())))
            << page.toStdString();
    }
    const QString all = sessionPages.join(' ');
    for (const Trial& t : longer) EXPECT_TRUE(all.contains(t.time.toString("HH:mm:ss"))) << t.time.toString().toStdString();

    // A station's rows run onto a second page, which names it again.
    ASSERT_TRUE(writeClassReportPdf(dir.filePath("classe.pdf"), {{"Poste 7", longSession}, {"Poste 8", shortSession}},
                                    Scenario{}));
    const QStringList pages = pdfText(dir.filePath("classe.pdf")).split('\f', Qt::SkipEmptyParts);
    ASSERT_EQ(pages.size(), 4);
    for (int p = 1; p < 3; ++p) EXPECT_TRUE(pages[p].simplified().contains("Poste 7 — Dubois; \"Léa\"")) << p;
    EXPECT_TRUE(pages[1].simplified().contains("Dernière session, du 5 mars 2024, de 09:30 à 10:09"));
    EXPECT_TRUE(pages[3].simplified().contains("Poste 8 — stagiaire non renseigné"));
}

class ScenarioFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("scenario.ini");
};

TEST_F(ScenarioFileTest, DefaultsSaveAndReload) {
    Scenario s;
    EXPECT_EQ(loadScenario(path, s), "");  // no file: the defaults
    EXPECT_EQ(s.toleranceA1, 1);
    EXPECT_EQ(s.toleranceH, 0.5);
    EXPECT_EQ(s.budget, 10000);
    EXPECT_EQ(saveScenarioField(path, scenarioFields()[1], 0.25, s), "");
    EXPECT_EQ(saveScenarioField(path, scenarioFields()[3], 7000, s), "");
    EXPECT_EQ(s.toleranceA2, 0.25);  // kept by the second save, which wrote only the budget
    Scenario back;
    EXPECT_EQ(loadScenario(path, back), "");
    EXPECT_EQ(back.toleranceA2, 0.25);
    EXPECT_EQ(back.budget, 7000);
}

TEST_F(ScenarioFileTest, DamagedLinesAreSetAsideGoodValuesKept) {
    spit(path, "version=1\ntolerance_A1=2\ntolerance_H=-1\nbudget=beaucoup\ncouleur=bleu\n");
    Scenario s;
    EXPECT_TRUE(loadScenario(path, s).contains("3 ligne(s)"));
    EXPECT_EQ(s.toleranceA1, 2);
    EXPECT_EQ(s.toleranceH, 0.5);
    EXPECT_EQ(s.budget, 10000);
    EXPECT_EQ(slurp(path + ".bad"), "tolerance_H=-1\nbudget=beaucoup\ncouleur=bleu\n");
    Scenario again;
    EXPECT_EQ(loadScenario(path, again), "");  // rewritten clean
    EXPECT_EQ(again.toleranceA1, 2);
}

TEST_F(ScenarioFileTest, ValuesTheFieldsCannotHoldAreRefusedWithAMessage) {
    spit(path, "version=1\r\ntolerance_A1=60\r\ntolerance_A2=0.125\r\ntolerance_H=0.3\r\nbudget=20000000\r\n");
    Scenario s;
    const QString message = loadScenario(path, s);
    EXPECT_TRUE(message.contains("3 ligne(s)")) << message.toStdString();
    EXPECT_TRUE(message.contains("tolerance_A1 = 60 refusé : hors de la plage 0,01 à 45,00 °")) << message.toStdString();
    EXPECT_TRUE(message.contains("tolerance_A2 = 0.125 refusé : 2 décimale(s) au plus")) << message.toStdString();
    EXPECT_TRUE(message.contains("budget = 20000000 refusé")) << message.toStdString();
    // Refused values keep their defaults; the good one, on a CR LF line, is read.
    EXPECT_EQ(s.toleranceA1, 1);
    EXPECT_EQ(s.toleranceA2, 1);
    EXPECT_EQ(s.toleranceH, 0.3);
    EXPECT_EQ(s.budget, 10000);
    EXPECT_EQ(slurp(path + ".bad"), "tolerance_A1=60\ntolerance_A2=0.125\nbudget=20000000\n");
}

TEST_F(ScenarioFileTest, AnotherVersionFallsBackToDefaults) {
    spit(path, "version=7\ntolerance_A1=3\n");
    Scenario s;
    EXPECT_FALSE(loadScenario(path, s).isEmpty());
    EXPECT_EQ(s.toleranceA1, 1);
    EXPECT_EQ(slurp(path + ".bad"), "version=7\ntolerance_A1=3\n");
}

TEST(Scoring, VerdictAtTheEdgesOfTheToleranceAndBudget) {
    const Scenario s;  // ±1°, ±1°, ±0.5 mm, 10 000 €
    struct Case {
        const char* name;
        Trial trial;
        Verdict expected;
    };
    const Case cases[] = {
        {"on target", trialWith(135, 135, 30.44), Verdict::InTolerance},
        {"A1 at +1", trialWith(136, 135, 30.44), Verdict::InTolerance},
        {"A2 past -1", trialWith(135, 133.99, 30.44), Verdict::OutOfTolerance},
        {"H past +0.5", trialWith(135, 135, 30.95), Verdict::OutOfTolerance},
        {"budget reached", trialWith(135, 135, 30.44, 4, 7500, 2500), Verdict::InTolerance},
        {"budget passed", trialWith(135, 135, 30.44, 5, 7500, 2850), Verdict::OverBudget},
    };
    for (const Case& c : cases) EXPECT_EQ(judge(c.trial, s), c.expected) << c.name;
}

TEST(Scoring, SessionScoreNamesTheFirstSuccessOrTheBestTry) {
    const Scenario s;
    EXPECT_EQ(sessionScore({}, s), "Aucun essai dans cette session.");
    std::vector<Trial> session{trialWith(140, 135, 30.44, 1), trialWith(135, 137, 30.44, 2, 5000, 700),
                               trialWith(135.5, 135, 30.44, 3, 5000, 1050), trialWith(135, 135, 30.44, 4, 7500, 1400)};
    const QString success = sessionScore(session, s);
    EXPECT_TRUE(success.contains("essai n° 3")) << success.toStdString();
    EXPECT_TRUE(success.contains("6\u202f050 €") || success.contains("6 050 €")) << success.toStdString();
    session.resize(2);
    const QString best = sessionScore(session, s);
    EXPECT_TRUE(best.contains("Meilleur essai n° 2")) << best.toStdString();
    EXPECT_TRUE(best.contains("2,0 fois la tolérance")) << best.toStdString();
}

// A deviation too small for the decimals shown has no sign.
TEST(Scoring, FrenchNumbersNeverShowMinusZero) {
    EXPECT_EQ(fr(-0.0004, 3), "0,000");
    EXPECT_EQ(fr(-0.0006, 3), "-0,001");
    EXPECT_EQ(fr(-0.4, 0), "0");
    EXPECT_EQ(fr(std::nan(""), 0), "valeur invalide");
}

}  // namespace
