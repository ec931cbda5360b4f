// The program run from the command line in a working folder, as a trainer does.
#include "calibration.h"
#include "factors.h"
#include "model_files.h"
#include "plan.h"
#include "var_.h"
#include "terms.h"
#include "window.h"
#include "working_folder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QStackedWidget>
#include <QTemporaryDir>

#include <limits>
#include <random>

using namespace etalonnage;

namespace {

struct Outcome {
    int status;
    QByteArray out, err;
};

Outcome run(const QString& folder, const QStringList& arguments) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(ETALONNAGE_PROGRAM, arguments);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QByteArray read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The plan's sheet filled in with a surface of known coefficients per result.
QByteArray filledSheet(const QByteArray& plan, const std::array<TermRow, 3>& models, double noise) {
    QList<QByteArray> lines = plan.split('\n');
    QByteArray out = lines[0] + '\n';
    std::mt19937 random(4);
    std::normal_distribution<double> error(0, noise);
    for (int l = 1; l < lines.size(); ++l) {
        QList<QByteArray> cells = lines[l].trimmed().split(';');
        if (cells.size() < 9) continue;
        Coded x;
        for (int v = 0; v < 5; ++v) x[v] = codedValue(kVariables[v], cells[1 + v].toDouble());
        for (int m = 0; m < 3; ++m)
            cells[6 + m] =
                QByteArray::number(evaluate(models[m], x) + (noise > 0 ? error(random) : 0), 'g', 17).replace('.', ',');
        out += cells.join(';') + '\n';
    }
    return out;
}

const std::array<TermRow, 3> kModels = [] {
    std::array<TermRow, 3> m{};
    for (int k = 0; k < kTermCount; ++k) {
        m[0][k] = k == 0 ? 134 : 0.1 * k;
        m[1][k] = k == 0 ? 136 : -0.05 * k;
        m[2][k] = k == 0 ? 30 : 0.01 * (k % 5);
    }
    return m;
}();

// What the tests that open the window need.
struct WindowApplication {
    int argc = 1;
    char name[11] = "etalonnage";
    char* argv[2] = {name, nullptr};
    QApplication app{argc, argv};
};

}  // namespace

TEST(Program, PlanSheetFitAndRefusal) {
    QTemporaryDir dir;
    const QString d = dir.path();
    QDir(d).mkdir("poly");
    ASSERT_EQ(run(d, {"--plan", "a.csv", "--graine", "5"}).status, 0);
    ASSERT_EQ(run(d, {"--plan", "b.csv", "--graine", "5", "--centres", "3", "--pdf", "plan.pdf"}).status, 0);
    const QByteArray plan = read(d + "/a.csv");
    EXPECT_TRUE(plan.startsWith("\xEF\xBB\xBF" "essai;A (°);R (mm);L (mm);C (mm);F (bars);A1 (°);A2 (°);H (mm)\r\n"));
    EXPECT_EQ(plan.count('\n'), 33);
    EXPECT_EQ(read(d + "/b.csv").count('\n'), 30);
    EXPECT_TRUE(read(d + "/plan.pdf").startsWith("%PDF"));
    ASSERT_EQ(run(d, {"--plan", "c.csv", "--graine", "5"}).status, 0);
    EXPECT_EQ(read(d + "/c.csv"), plan);
    const Outcome badCount = run(d, {"--plan", "x.csv", "--centres", "-2"});
    EXPECT_EQ(badCount.status, 1);
    EXPECT_FALSE(QFile::exists(d + "/x.csv"));

    // The filled sheet, exact: the coefficients come back, JSON as documented.
    write(d + "/mesures.csv", filledSheet(plan, kModels, 0));
    const Outcome fit = run(d, {"--ajuster", "mesures.csv", "--json", "--rapport", "rapport.pdf"});
    ASSERT_EQ(fit.status, 0) << fit.err.constData();
    EXPECT_TRUE(read(d + "/rapport.pdf").startsWith("%PDF"));
    const QJsonObject all = QJsonDocument::fromJson(fit.out).object();
    EXPECT_EQ(all.keys(), (QStringList{"A1", "A2", "H"}));
    for (int m = 0; m < 3; ++m) {
        const QJsonObject o = all[QStringList{"A1", "A2", "H"}[m]].toObject();
        EXPECT_EQ(o.keys(), (QStringList{"coefficients", "erreurs_types", "essais_atypiques", "manque_ajustement", "n",
                                         "p", "r2", "r2_ajuste", "r2_prevision", "rmse", "t"}));
        EXPECT_EQ(o["n"].toInt(), 32);
        for (const char* key : {"coefficients", "erreurs_types", "t", "p"}) EXPECT_EQ(o[key].toArray().size(), 21);
        for (int k = 0; k < kTermCount; ++k)
            EXPECT_NEAR(o["coefficients"].toArray()[k].toDouble(), kModels[m][k], 1e-9);
        EXPECT_NEAR(o["r2"].toDouble(), 1, 1e-12);
    }

    // Fifteen runs: refused, the terms named, nothing written.
    QList<QByteArray> lines = read(d + "/mesures.csv").split('\n');
    write(d + "/quinze.csv", lines.mid(0, 16).join('\n'));
    const Outcome refused = run(d, {"--ajuster", "quinze.csv", "--json", "--enregistrer"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_TRUE(refused.err.contains("15 essais pour 21 termes")) << refused.err.constData();
    EXPECT_TRUE(QDir(d + "/poly").isEmpty());

    // A million rows: refused at once for its size, nothing written.
    QByteArray big = lines[0] + '\n';
    for (int rows = 0; rows < 1000000;)
        for (int l = 1; l < lines.size(); ++l)
            if (!lines[l].isEmpty()) big += lines[l] + '\n', ++rows;
    write(d + "/million.csv", big);
    const Outcome million = run(d, {"--ajuster", "million.csv", "--enregistrer"});
    EXPECT_EQ(million.status, 1);
    EXPECT_TRUE(million.err.contains("million.csv » dépasse 10 Mo")) << million.err.constData();
    EXPECT_TRUE(QDir(d + "/poly").isEmpty());
}

// Measured results of ±1e308: the fit is refused in French with status 1, and
// neither the command line, the window nor the writer touches the files in place.
TEST(Program, ResultsOutOfAllMeasureAreRefusedAndNothingIsSaved) {
    const WindowApplication app;
    QTemporaryDir dir;
    const QString d = dir.path();
    QDir(d).mkdir("poly");
    for (const char* file : {"/poly/A1.poly", "/poly/A2.poly", "/poly/H.poly"}) write(d + file, "old");
    ASSERT_EQ(run(d, {"--plan", "plan.csv", "--graine", "6"}).status, 0);
    QList<QByteArray> lines = filledSheet(read(d + "/plan.csv"), kModels, 0.3).split('\n');
    for (int l = 1; l < lines.size(); ++l) {
        QList<QByteArray> cells = lines[l].split(';');
        if (cells.size() == 9) cells[6] = l % 2 ? "1e308" : "-1e308";
        lines[l] = cells.join(';');
    }
    write(d + "/mesures.csv", lines.join('\n'));

    const Outcome refused = run(d, {"--ajuster", "mesures.csv", "--enregistrer"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.out.isEmpty()) << refused.out.constData();
    EXPECT_TRUE(refused.err.startsWith("Modèle A1 : les résultats sont trop grands pour être ajustés"))
        << refused.err.constData();
    EXPECT_TRUE(refused.err.contains("le plus grand résultat A1 est 1e+308 (ligne 2).\nAucun fichier n'a été écrit."))
        << refused.err.constData();
    CalibrationWindow window(kDefaultCentres, 6);
    EXPECT_FALSE(window.loadMeasurements(d + "/mesures.csv"));

    ModelRows rows = kModels;
    rows[2][20] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(saveModels(rows), "Les coefficients ajustés ne sont pas tous des nombres finis. "
                                "Aucun fichier de coefficients n'a été écrit.");
    for (const char* file : {"/poly/A1.poly", "/poly/A2.poly", "/poly/H.poly"}) EXPECT_EQ(read(d + file), "old") << file;
    EXPECT_FALSE(QDir(d + "/poly/historique").exists());
}

// After a save the simulator's own model gives the fitted predictions, and
// the files it replaced are in the history.
TEST(Program, SavedModelsAreWhatTheSimulatorPredicts) {
    QTemporaryDir dir;
    const QString d = dir.path();
    QDir(d).mkdir("poly");
    ASSERT_EQ(run(d, {"--plan", "plan.csv", "--graine", "8"}).status, 0);
    write(d + "/mesures.csv", filledSheet(read(d + "/plan.csv"), kModels, 0.3));
    for (const char* file : {"/poly/A1.poly", "/poly/A2.poly"}) write(d + file, "old");
    // One of the three cannot be replaced: none is.
    QDir(d).mkpath("poly/H.poly");
    const Outcome blocked = run(d, {"--ajuster", "mesures.csv", "--enregistrer"});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_TRUE(blocked.err.contains("Aucun fichier de coefficients n'a été écrit.")) << blocked.err.constData();
    EXPECT_EQ(read(d + "/poly/A1.poly"), "old");
    EXPECT_EQ(read(d + "/poly/A2.poly"), "old");
    QDir(d).rmdir("poly/H.poly");
    write(d + "/poly/H.poly", "old");
    const Outcome fit = run(d, {"--ajuster", "mesures.csv", "--json", "--enregistrer"});
    ASSERT_EQ(fit.status, 0) << fit.err.constData();
    const QJsonObject all = QJsonDocument::fromJson(fit.out).object();
    EXPECT_EQ(QDir(d + "/poly/historique").entryList(QDir::Files).size(), 3);
    // The same fit saved again keeps no second copy of the models in place.
    ASSERT_EQ(run(d, {"--ajuster", "mesures.csv", "--enregistrer"}).status, 0);
    EXPECT_EQ(QDir(d + "/poly/historique").entryList(QDir::Files).size(), 3);
    const QByteArray h = read(d + "/poly/H.poly");
    EXPECT_EQ(h.count('\t'), 21);
    EXPECT_FALSE(h.contains('\n'));

    InitializeModule_var_();
    const WorkingFolder inFolder(d.toStdString());
    for (const Coded& x : {Coded{}, Coded{1, -1, 1, -1, 1}, Coded{0.5, 0.2, -0.7, 1, -1}, Coded{-1, -1, 1, -2, -0.4}}) {
        mxArray A2, H;
        const mxArray A1 = mlfVar_(&A2, &H, mxArray::scalar(x[0]), mxArray::scalar(x[1]), mxArray::scalar(x[2]),
                                   mxArray::scalar(x[3]), mxArray::scalar(x[4]));
        const double simulator[3] = {A1.at(0), A2.at(0), H.at(0)};
        for (int m = 0; m < 3; ++m) {
            const QJsonArray c = all[QStringList{"A1", "A2", "H"}[m]].toObject()["coefficients"].toArray();
            TermRow row;
            for (int k = 0; k < kTermCount; ++k) row[k] = c[k].toDouble();
            const double fitted = evaluate(row, x);
            // The files keep six decimals, as the editors write them.
            EXPECT_NEAR(simulator[m], fitted, 21 * 4 * 5e-7);
        }
    }
}

// The fit tab says what to do instead of showing empty charts, until a sheet
// is fitted, and again after one is refused.
TEST(Program, TheFitTabSaysWhatToDoUntilMeasuresAreFitted) {
    const WindowApplication app;
    QTemporaryDir dir;
    const QString d = dir.path();
    ASSERT_EQ(run(d, {"--plan", "plan.csv", "--graine", "2"}).status, 0);
    write(d + "/mesures.csv", filledSheet(read(d + "/plan.csv"), kModels, 0.3));

    CalibrationWindow window(kDefaultCentres, 2);
    auto* area = window.findChild<QStackedWidget*>("fitArea");
    auto* guide = window.findChild<QLabel*>("fitGuide");
    ASSERT_TRUE(area && guide);
    auto guiding = [&] { return guide->isVisibleTo(area); };
    EXPECT_TRUE(guiding());
    EXPECT_TRUE(guide->text().contains("Importer les mesures (CSV)") && guide->text().contains("--ajuster"));
    EXPECT_FALSE(window.loadMeasurements(d + "/plan.csv"));  // nothing measured yet
    EXPECT_TRUE(guiding());
    EXPECT_TRUE(window.loadMeasurements(d + "/mesures.csv"));
    EXPECT_FALSE(guiding());
}
