// "Étalonnage du modèle": the experiment on the press, the fit of the three
// models, and the coefficient files the simulator reads. Started in the
// simulator's working folder.
#include "calibration.h"
#include "cli.h"
#include "host.h"
#include "window.h"

#include <QCommandLineParser>
#include <QApplication>

#include <clocale>
#include <cstdio>
#include <random>

using namespace etalonnage;

int main(int argc, char* argv[]) {
    QCommandLineParser parser;
    parser.setApplicationDescription("Étalonnage du modèle : plan d'expériences, ajustement des trois modèles, "
                                     "fichiers de coefficients du simulateur.");
    const QCommandLineOption help({"h", "help"}, "Affiche cette aide et quitte.");
    parser.addOption(help);
    const QCommandLineOption plan("plan", "Écrit la feuille du plan d'expériences (CSV) et quitte.", "FICHIER.csv");
    const QCommandLineOption centres("centres", "Nombre d'essais au centre du plan (6 par défaut).", "N", "6");
    const QCommandLineOption seed("graine", "Graine de l'ordre des essais (au hasard sinon).", "S");
    const QCommandLineOption pdf("pdf", "Écrit aussi la feuille du plan en PDF.", "FICHIER.pdf");
    const QCommandLineOption fit("ajuster", "Ajuste les trois modèles sur les mesures et quitte.", "MESURES.csv");
    const QCommandLineOption json("json", "Résultats de l'ajustement en JSON.");
    const QCommandLineOption report("rapport", "Écrit le rapport de l'ajustement en PDF.", "FICHIER.pdf");
    const QCommandLineOption save("enregistrer", "Enregistre les trois modèles ajustés dans poly/.");
    const QCommandLineOption snapshot("snapshot", "Enregistre une image de la fenêtre et quitte.", "FICHIER.png");
    parser.addOptions({plan, centres, seed, pdf, fit, json, report, save, snapshot});
    // The command line and the snapshot need no display.
    mclReadCommandLine(parser, argc, argv, {help, plan, fit, snapshot});
    QApplication app(argc, argv);
    mclUseFrenchQtTexts();
    std::setlocale(LC_NUMERIC, "C");  // Qt adopted the desktop's locale; file numbers keep the point
    QCoreApplication::setApplicationName("etalonnage");
    if (const auto end = mclAnswerCommandLine(parser, help, "etalonnage")) return *end;

    auto fail = [](const QString& message) {
        std::fprintf(stderr, "%s\n", message.toUtf8().constData());
        return 1;
    };
    bool ok = true;
    PlanRequest p;
    p.centres = parser.value(centres).toInt(&ok);
    if (!ok || p.centres < 0 || p.centres > kMaxCentres)
        return fail(QStringLiteral("--centres attend un nombre entier de 0 à %1.").arg(kMaxCentres));
    if (parser.isSet(seed)) {
        p.seed = parser.value(seed).toULongLong(&ok);
        if (!ok) return fail("--graine attend un nombre entier positif.");
    } else {
        p.seed = std::random_device()();
    }

    initializeModelModules();
    if (parser.isSet(plan)) {
        p.csv = mclPathOption(parser, plan);
        p.pdf = mclPathOption(parser, pdf);
        return runPlan(p);
    }
    if (parser.isSet(fit) && !parser.isSet(snapshot)) {
        FitRequest f;
        f.sheet = mclPathOption(parser, fit);
        f.report = mclPathOption(parser, report);
        f.json = parser.isSet(json);
        f.save = parser.isSet(save);
        return runFit(f);
    }

    CalibrationWindow window(p.centres, p.seed);
    if (parser.isSet(fit)) window.loadMeasurements(mclPathOption(parser, fit));
    window.show();
    if (parser.isSet(snapshot)) {
        QCoreApplication::processEvents();
        return window.grab().save(mclPathOption(parser, snapshot)) ? 0 : 1;
    }
    return app.exec();
}
