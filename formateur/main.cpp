// The trainer's console, started in the simulator's working folder.
#include "class_database.h"
#include "class_feed.h"
#include "class_panel.h"
#include "console_window.h"
#include "errors.h"
#include "facts.h"
#include "host.h"
#include "working_folder_lock.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>

#include <clocale>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Console du formateur : journal des essais du simulateur de pliage, profils, score et faisabilité.\n"
        "Elle se lance dans le dossier de travail du simulateur (data/ et poly/) et ne lit que ce que\n"
        "le simulateur et les éditeurs y écrivent. Les options qui écrivent un fichier ou affichent un\n"
        "résultat n'ouvrent pas de fenêtre ; le statut de sortie est 1 quand elles échouent.");
    const QCommandLineOption help({"h", "help"}, "Affiche cette aide et quitte.");
    parser.addOption(help);
    const QCommandLineOption report("report", "Écrit le rapport de la session en PDF et quitte.", "FICHIER.pdf");
    const QCommandLineOption csv("csv", "Écrit le journal de la session en CSV et quitte.", "FICHIER.csv");
    const QCommandLineOption csvFrench("csv-fr", "Comme --csv, pour un tableur français (« ; », virgule décimale).",
                                       "FICHIER.csv");
    const QCommandLineOption optimum("optimum", "Affiche le meilleur réglage en JSON et quitte.");
    const QCommandLineOption snapshot("snapshot", "Enregistre une image de la fenêtre et quitte.", "FICHIER.png");
    const QString preferred = QStringLiteral("%1x%2").arg(ConsoleWindow::kPreferredSize.width())
                                  .arg(ConsoleWindow::kPreferredSize.height());
    const QCommandLineOption size("taille", "Taille de la fenêtre pour --snapshot (" + preferred + " par défaut).",
                                  "LxH", preferred);
    const QCommandLineOption tab("onglet", "Onglet montré à l'ouverture (Session, Modèle, Classe).", "NOM");
    const QCommandLineOption initClasse("init-classe", "Crée ou met à jour la base de la classe et quitte.", "URI");
    const QCommandLineOption classe("classe", "Montre tous les postes de la classe ; avec --report ou --csv, "
                                              "exporte toute la classe.");
    const QCommandLineOption serveur("serveur", "Base de la classe (chaîne de connexion libpq ou URI), au lieu de "
                                                "serveur dans data/classe.ini.", "URI");
    const QCommandLineOption postes("postes", "Enregistre dans la base de la classe les postes attendus (un nom par "
                                              "ligne du fichier) et quitte.", "FICHIER");
    const QCommandLineOption addStation("ajouter-poste", "Donne au poste NOM son identifiant sur la base de la classe, "
                                                         "avec un nouveau mot de passe, affiche ce qu'il faut mettre "
                                                         "sur ce poste et quitte.", "NOM");
    parser.addOptions(
        {report, csv, csvFrench, optimum, snapshot, size, tab, initClasse, classe, serveur, postes, addStation});
    // The exports, the picture and the help show no window: no display is needed for them.
    mclReadCommandLine(parser, argc, argv, {help, report, csv, csvFrench, optimum, snapshot, initClasse, postes, addStation});
    QApplication app(argc, argv);
    mclUseFrenchQtTexts();
    std::setlocale(LC_NUMERIC, "C");  // Qt adopted the desktop's locale; file numbers keep the point
    if (const auto end = mclAnswerCommandLine(parser, help, "formateur")) return *end;

    // What a class database command says, on the standard output when it worked.
    auto answer = [](const QString& message, bool ok) {
        std::fprintf(ok ? stdout : stderr, "%s\n", qPrintable(message));
        return ok ? 0 : 1;
    };
    auto classServer = [&] { return parser.isSet(serveur) ? parser.value(serveur) : defaultClassServer(); };
    bool ok = false;
    if (parser.isSet(initClasse)) {
        const QString message = initClassDatabase(parser.value(initClasse), &ok);
        return answer(message, ok);
    }
    if (parser.isSet(addStation)) {
        const QString message = addStationRole(classServer(), parser.value(addStation), &ok);
        return answer(message, ok);
    }
    if (parser.isSet(postes)) return runRosterCommand(classServer(), mclPathOption(parser, postes));

    // What it writes in data/ (the scenario, classe.ini) must stay in this folder.
    if (const std::string refused = foreignWorkingFolder(); !refused.empty()) {
        std::fprintf(stderr, "%s\n", refused.c_str());
        if (!parser.isSet(report) && !parser.isSet(csv) && !parser.isSet(csvFrench) && !parser.isSet(optimum) &&
            !parser.isSet(snapshot))
            QMessageBox::critical(nullptr, "Console du formateur", QString::fromStdString(refused));
        return 1;
    }
    initializeSimulatorModules();
    if (parser.isSet(classe))
        return runClassCommand({classServer(),
                                mclPathOption(parser, report), mclPathOption(parser, csv),
                                mclPathOption(parser, csvFrench), mclPathOption(parser, snapshot)});
    if (parser.isSet(optimum)) {
        Scenario scenario;
        const QString message = loadScenario(QDir(facts::kDataFolder).filePath(kScenarioFile), scenario);
        if (!message.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(message));
        try {
            std::printf("%s\n", optimumJson(checkSolvability(scenario)).constData());
            return 0;
        } catch (const mclError& e) {
            std::fprintf(stderr, "Vérification impossible : %s\n", e.what());
            return 1;
        }
    }

    ConsoleWindow window;
    if (parser.isSet(report) || parser.isSet(csv) || parser.isSet(csvFrench)) {
        bool ok = true;
        if (parser.isSet(report)) ok = window.exportReport(mclPathOption(parser, report)) && ok;
        if (parser.isSet(csv)) ok = window.exportJournal(mclPathOption(parser, csv)) && ok;
        if (parser.isSet(csvFrench)) ok = window.exportJournal(mclPathOption(parser, csvFrench), CsvDialect::French) && ok;
        if (!ok) std::fprintf(stderr, "Écriture impossible.\n");
        return ok ? 0 : 1;
    }
    if (parser.isSet(tab) && !window.showTab(parser.value(tab))) {
        std::fprintf(stderr, "Onglet inconnu : %s.\n", qPrintable(parser.value(tab)));
        return 2;
    }
    if (parser.isSet(snapshot)) {
        const QStringList wh = parser.value(size).split('x');
        const int width = wh.value(0).toInt(), height = wh.size() == 2 ? wh[1].toInt() : 0;
        if (width < 200 || height < 200) {
            std::fprintf(stderr, "Taille invalide : %s (attendu par exemple 1024x768).\n", qPrintable(parser.value(size)));
            return 2;
        }
        window.resize(width, height);
        window.show();
        QCoreApplication::processEvents();
        // The class tab shows what its database holds, not a view still connecting.
        for (ClassPanel* panel : window.findChildren<ClassPanel*>())
            if (panel->feed() && panel->feed()->waitForFirstRead()) QCoreApplication::processEvents();
        return window.grab().save(mclPathOption(parser, snapshot)) ? 0 : 1;
    }
    window.show();
    return app.exec();
}
