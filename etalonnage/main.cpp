// "Étalonnage du modèle": the experiment on the press, the fit of the three
// models, and the coefficient files the simulator reads. Started in the
// simulator's working folder.
#include "calibration.h"
#include "cli.h"
#include "program_start.h"
#include "window.h"

#include <cstdio>
#include <random>

using namespace etalonnage;

namespace {

ProgramStart describeCommandLine() {
    return ProgramStart(
        "etalonnage",
        "Étalonnage du modèle : plan d'expériences, ajustement des trois modèles, "
        "fichiers de coefficients du simulateur.",
        {
            ProgramOption({"plan"}, "Écrit la feuille du plan d'expériences (CSV) et quitte.", "FICHIER.csv")
                .batch().path(),
            {{"centres"}, "Nombre d'essais au centre du plan (6 par défaut).", "N", "6"},
            {{"graine"}, "Graine de l'ordre des essais (au hasard sinon).", "S"},
            ProgramOption({"pdf"}, "Écrit aussi la feuille du plan en PDF.", "FICHIER.pdf").path(),
            ProgramOption({"ajuster"}, "Ajuste les trois modèles sur les mesures et quitte.", "MESURES.csv")
                .batch().path(),
            {{"json"}, "Résultats de l'ajustement en JSON."},
            ProgramOption({"rapport"}, "Écrit le rapport de l'ajustement en PDF.", "FICHIER.pdf").path(),
            {{"enregistrer"}, "Enregistre les trois modèles ajustés dans poly/."},
            kSnapshotOption,
        });
}

int fail(const QString& message) {
    std::fprintf(stderr, "%s\n", message.toUtf8().constData());
    return 1;
}

// The plan's centre runs and the seed of its order; a refusal ends with status 1.
std::optional<int> readPlanOptions(const ProgramStart& start, PlanRequest& p) {
    bool ok = true;
    p.centres = start.value("centres").toInt(&ok);
    if (!ok || p.centres < 0 || p.centres > kMaxCentres)
        return fail(QStringLiteral("--centres attend un nombre entier de 0 à %1.").arg(kMaxCentres));
    if (!start.isSet("graine")) {
        p.seed = std::random_device()();
        return std::nullopt;
    }
    p.seed = start.value("graine").toULongLong(&ok);
    if (!ok) return fail("--graine attend un nombre entier positif.");
    return std::nullopt;
}

}  // namespace

int main(int argc, char* argv[]) {
    ProgramStart start = describeCommandLine();
    if (const auto end = start.start(argc, argv)) return *end;
    QCoreApplication::setApplicationName("etalonnage");
    PlanRequest p;
    if (const auto end = readPlanOptions(start, p)) return *end;

    if (start.isSet("plan")) {
        p.csv = start.value("plan");
        p.pdf = start.value("pdf");
        return runPlan(p);
    }
    if (start.isSet("ajuster") && !start.isSet("snapshot"))
        return runFit(
            {start.value("ajuster"), start.value("rapport"), start.isSet("json"), start.isSet("enregistrer")});

    CalibrationWindow window(p.centres, p.seed);
    if (start.isSet("ajuster")) window.loadMeasurements(start.value("ajuster"));
    if (start.isSet("snapshot")) return saveWindowSnapshot(window, start.value("snapshot"));
    window.show();
    return QApplication::exec();
}
