// The "Modèle" tab: which coefficients the simulator takes, the kept
// versions, and a careless save of zeros by an editor undone by a restore.
#include "coefficient_files.h"
#include "model_view.h"
#include "session.h"

#include <QDir>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

// A fitted model in its own layout, which a restore must give back as it was.
const std::string kA1 =
    "132.8059994\n-1.931087942 1.086162249\t3.55587323 -2.095970998 -3.1288359\n-0.254279732 -0.52930133 "
    "0.268705182 -0.081378716 0.099218339 -0.098211872 -0.065952902 -0.030779209 0.09334202 -0.007962146\n"
    "-0.728896251 0.199819533 0.035203787 0.367702197 0.286598138\n";
const std::string kA2 = "128.8776092 7.822867331 1.923077469 3.951198497 -2.761647251 3.013463635 -0.391700012 "
                        "-0.491300274 0.3349355 -0.478014299 0.296490281 0.345910573 0.018958282 0.52523462 "
                        "-0.256053147 0.032923571 2.193412555 -0.43434357 -0.535318587 -0.402707051 -0.618831791";
const std::string kH = "32.89855927 1.388847371 -0.09122793 -0.116378227 2.291961099 1.880930283 0.206136868 "
                       "0.581677957 -0.132858312 0.210460892 -0.070883456 -0.083014876 0.085868875 0.008582492 "
                       "0.2576019 -0.008412675 0.596073587 -0.359770214 -0.284611648 -0.406261894 -0.439414628 fin\n";

QString polyOf(const Workspace& w) { return QString::fromStdString((w.path() / "poly").string()); }

void writeModel(const Workspace& w) {
    w.write("poly/A1.poly", kA1);
    w.write("poly/A2.poly", kA2);
    w.write("poly/H.poly", kH);
}

TEST(ModelSources, SaysWhatTheSimulatorUsesAndWhy) {
    Workspace w;
    writeModel(w);
    ModelSources s = inspectModelSources(polyOf(w));
    EXPECT_TRUE(s.filesUsed());
    EXPECT_FALSE(s.partial());
    EXPECT_EQ(s.summary(), "Le simulateur utilise les trois fichiers poly/A1.poly, poly/A2.poly et poly/H.poly.");

    // The files read as the simulator reads them: they give the built-in
    // rows' predictions, and so does the term order of the evaluation.
    const ModelSnapshot builtIn = builtInModels();
    for (const Setting& x : {Setting{}, Setting{1, 1, 1, 1, 1}, Setting{-1, -1, 1, -2, -0.4}, Setting{0.3, -0.7, 0.1, 0.9, -0.2}}) {
        const Prediction p = builtIn.predict(x);
        EXPECT_NEAR(evaluateRow(*s.files[0].row, x), p.A1, 1e-9);
        EXPECT_NEAR(evaluateRow(*s.files[1].row, x), p.A2, 1e-9);
        EXPECT_NEAR(evaluateRow(*s.files[2].row, x), p.H, 1e-9);
    }
    EXPECT_NEAR(builtIn.predict({1, 1, 1, 1, 1}).A1, 129.845967, 1e-6);

    fs::remove(w.path() / "poly/H.poly");
    fs::create_directory(w.path() / "poly/A2.poly.tmp");
    fs::remove(w.path() / "poly/A2.poly");
    fs::rename(w.path() / "poly/A2.poly.tmp", w.path() / "poly/A2.poly");  // a folder in its place
    s = inspectModelSources(polyOf(w));
    EXPECT_FALSE(s.filesUsed());
    EXPECT_TRUE(s.partial());
    const QString summary = s.summary();
    EXPECT_TRUE(summary.startsWith("Le simulateur utilise les coefficients intégrés : A2.poly illisible")) << summary.toStdString();
    EXPECT_TRUE(summary.endsWith(", H.poly manque.")) << summary.toStdString();

    // Present and opened, but not 21 numbers: the simulator's trials fail.
    writeModel(w);
    fs::remove_all(w.path() / "poly/A2.poly");
    w.write("poly/A2.poly", "1 2 3\n");
    s = inspectModelSources(polyOf(w));
    EXPECT_TRUE(s.filesUsed());
    EXPECT_EQ(s.summary(), "Le simulateur lit les trois fichiers, mais ses essais échoueront : A2.poly invalide "
                           "(3 nombre(s) au lieu de 21).");
}

TEST(ModelHistory, AnEditorSaveOfZerosIsUndoneByteForByte) {
    Workspace w;
    writeModel(w);
    // The editor opens with 21 zeros: one click on its save button.
    ScriptRun save = w.run(EDITOR_A1_PROGRAM, "press \"Sauvegarde A1\"\n");
    ASSERT_EQ(save.status, 0) << save.err;
    ASSERT_NE(w.read("poly/A1.poly"), kA1);

    ModelView view(polyOf(w));
    QTableWidget* table = view.versionsTable();
    // The current file, the built-in rows, then the kept version.
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->item(0, 1)->text(), "0,000");
    EXPECT_EQ(table->item(1, 1)->text(), "132,806");
    EXPECT_EQ(table->item(2, 1)->text(), "132,806");
    table->selectRow(2);
    EXPECT_EQ(view.restoreSelected(), "");
    EXPECT_EQ(w.read("poly/A1.poly"), kA1);
    // The zeros it replaced are kept in turn, newest first.
    const auto kept = keptVersions(polyOf(w), 0);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(table->rowCount(), 4);
    QString problem;
    const auto zeros = parseCoefficients(w.read(fs::path(kept[0].path.toStdString()).lexically_relative(w.path()).string()), &problem);
    ASSERT_TRUE(zeros) << problem.toStdString();
    EXPECT_EQ(evaluateRow(*zeros, {1, 1, 1, 1, 1}), 0);

    // Back to the built-in rows: the three files leave, kept in the history.
    EXPECT_EQ(view.restoreBuiltIn(), "");
    for (const char* file : {"poly/A1.poly", "poly/A2.poly", "poly/H.poly"}) EXPECT_FALSE(w.exists(file)) << file;
    EXPECT_EQ(keptVersions(polyOf(w), 1).size(), 1u);
    EXPECT_EQ(keptVersions(polyOf(w), 2).size(), 1u);
    EXPECT_EQ(inspectModelSources(polyOf(w)).summary(),
              "Le simulateur utilise les coefficients intégrés : A1.poly manque, A2.poly manque, H.poly manque.");
    // And the A2 model comes back as it was from its kept version.
    EXPECT_EQ(restoreVersion(polyOf(w), 1, keptVersions(polyOf(w), 1)[0].path), "");
    EXPECT_EQ(w.read("poly/A2.poly"), kA2);
}

}  // namespace
