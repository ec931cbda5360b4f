// The trainer's console, started in the simulator's working folder.
#include "class_database.h"
#include "class_feed.h"
#include "class_panel.h"
#include "console_window.h"
#include "errors.h"
#include "exercise_file.h"
#include "exercise_report.h"
#include "facts.h"
#include "host.h"
#include "program_start.h"
#include "replay_view.h"
#include "trial_comments.h"
#include "working_folder_lock.h"

#include <QDir>
#include <QMessageBox>

#include <algorithm>
#include <cstdio>

namespace {

ProgramStart describeCommandLine() {
    const QString preferred = QStringLiteral("%1x%2").arg(ConsoleWindow::kPreferredSize.width())
                                  .arg(ConsoleWindow::kPreferredSize.height());
    return ProgramStart(
        "formateur",
        "Console du formateur : journal des essais du simulateur de pliage, profils, score et faisabilité.\n"
        "Elle se lance dans le dossier de travail du simulateur (data/ et poly/) et ne lit que ce que\n"
        "le simulateur et les éditeurs y écrivent. Les options qui écrivent un fichier ou affichent un\n"
        "résultat n'ouvrent pas de fenêtre ; le statut de sortie est 1 quand elles échouent.",
        {
            ProgramOption({"report"}, "Écrit le rapport de la session en PDF et quitte.", "FICHIER.pdf")
                .batch().path(),
            ProgramOption({"csv"}, "Écrit le journal de la session en CSV et quitte.", "FICHIER.csv").batch().path(),
            ProgramOption({"csv-fr"}, "Comme --csv, pour un tableur français (« ; », virgule décimale).",
                          "FICHIER.csv").batch().path(),
            ProgramOption({"optimum"}, "Affiche le meilleur réglage en JSON et quitte.").batch(),
            kSnapshotOption,
            {{"taille"}, "Taille de la fenêtre pour --snapshot (" + preferred + " par défaut).", "LxH", preferred},
            {{"onglet"}, "Onglet montré à l'ouverture (Session, Modèle, Classe).", "NOM"},
            ProgramOption({"init-classe"}, "Crée ou met à jour la base de la classe et quitte.", "URI").batch(),
            {{"classe"}, "Montre tous les postes de la classe ; avec --report ou --csv, exporte toute la classe."},
            {{"serveur"},
             "Base de la classe (chaîne de connexion libpq ou URI), au lieu de serveur dans data/classe.ini.", "URI"},
            ProgramOption({"postes"}, "Enregistre dans la base de la classe les postes attendus (un nom par ligne "
                                      "du fichier) et quitte.", "FICHIER").batch().path(),
            ProgramOption({"ajouter-poste"}, "Donne au poste NOM son identifiant sur la base de la classe, avec un "
                                             "nouveau mot de passe, affiche ce qu'il faut mettre sur ce poste et "
                                             "quitte.", "NOM").batch(),
            {{"exercice"}, "Fichier d'exercice (nom, tolérances, budget, durée, essais, mode), pour --demarrer ; "
                           "avec --classe, le numéro de l'exercice dont --report ou --csv fait le rapport.",
             "FICHIER.ini|N"},
            ProgramOption({"demarrer"}, "Démarre pour toute la classe l'exercice de --exercice, avec le modèle de "
                                        "ce dossier, affiche son numéro et quitte.").batch(),
            ProgramOption({"arreter"}, "Arrête l'exercice N de la classe et quitte.", "N").batch(),
            // The debrief.
            {{"rejouer"}, "Rejoue la session SESSION essai par essai ; avec --json ou --pdf, l'exporte.", "SESSION"},
            ProgramOption({"json"}, "Avec --rejouer : affiche les essais en JSON et quitte.").batch(),
            ProgramOption({"pdf"}, "Avec --rejouer : écrit la fiche de débriefing en PDF et quitte.", "FICHIER.pdf")
                .batch().path(),
            {{"essai"}, "Avec --rejouer : l'essai montré à l'ouverture (son numéro).", "NUMERO"},
            ProgramOption({"commenter"}, "Donne à l'essai NUMERO de la session SESSION le commentaire « texte » (vide : "
                                         "l'efface) et quitte.", "SESSION")
                .batch().followedBy({"NUMERO", "texte"}),
        });
}

QString classServer(const ProgramStart& start) {
    return start.isSet("serveur") ? start.value("serveur") : defaultClassServer();
}

// What a class database command says, on the standard output when it worked.
int answer(const QString& message, bool ok) {
    std::fprintf(ok ? stdout : stderr, "%s\n", qPrintable(message));
    return ok ? 0 : 1;
}

// The commands on the class database, which need no working folder; none given, none.
std::optional<int> runClassDatabaseCommand(const ProgramStart& start) {
    bool ok = false;
    if (start.isSet("init-classe")) {
        const QString message = initClassDatabase(start.value("init-classe"), &ok);
        return answer(message, ok);
    }
    if (start.isSet("ajouter-poste")) {
        const QString message = addStationRole(classServer(start), start.value("ajouter-poste"), &ok);
        return answer(message, ok);
    }
    if (start.isSet("postes")) return runRosterCommand(classServer(start), start.value("postes"));
    return std::nullopt;
}

int printOptimum() {
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

int exportSession(ConsoleWindow& window, const ProgramStart& start) {
    bool ok = true;
    if (start.isSet("report")) ok = window.exportReport(start.value("report")) && ok;
    if (start.isSet("csv")) ok = window.exportJournal(start.value("csv")) && ok;
    if (start.isSet("csv-fr")) ok = window.exportJournal(start.value("csv-fr"), CsvDialect::French) && ok;
    if (!ok) std::fprintf(stderr, "Écriture impossible.\n");
    return ok ? 0 : 1;
}

int saveConsoleSnapshot(ConsoleWindow& window, const ProgramStart& start) {
    const QStringList wh = start.value("taille").split('x');
    const int width = wh.value(0).toInt(), height = wh.size() == 2 ? wh[1].toInt() : 0;
    if (width < 200 || height < 200) {
        std::fprintf(stderr, "Taille invalide : %s (attendu par exemple 1024x768).\n",
                     qPrintable(start.value("taille")));
        return 2;
    }
    window.resize(width, height);
    return saveWindowSnapshot(window, start.value("snapshot"), [&] {
        // The class tab shows what its database holds, not a view still connecting.
        for (ClassPanel* panel : window.findChildren<ClassPanel*>())
            if (panel->feed() && panel->feed()->waitForFirstRead()) QCoreApplication::processEvents();
    });
}

// The session named on the command line, with where it and its comments are kept.
std::optional<std::vector<Trial>> sessionNamed(const ProgramStart& start, const QString& session, SessionPlace* place) {
    QString problem;
    auto trials = findSession(QDir(facts::kDataFolder).absolutePath(), session, classServer(start), place, &problem);
    if (!trials) std::fprintf(stderr, "%s\n", qPrintable(problem));
    return trials;
}

int runCommentCommand(const ProgramStart& start) {
    SessionPlace place;
    if (!sessionNamed(start, start.value("commenter"), &place)) return 1;
    bool isNumber = false;
    const int number = start.operands().value(0).toInt(&isNumber);
    if (!isNumber) return answer(QStringLiteral("Numéro d'essai invalide : %1.").arg(start.operands().value(0)), false);
    QString problem;
    const bool kept = TrialComments(QDir(facts::kDataFolder).absolutePath()).save(place, number, start.operands().value(1), &problem);
    if (!problem.isEmpty() || !kept) return answer(problem, kept);
    return 0;
}

int runReplay(const ProgramStart& start) {
    SessionPlace place;
    auto trials = sessionNamed(start, start.value("rejouer"), &place);
    if (!trials) return 1;
    Scenario scenario;
    const QString message = loadScenario(QDir(facts::kDataFolder).filePath(kScenarioFile), scenario);
    if (!message.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(message));
    ReplayView view(std::move(*trials), place, scenario, QDir(facts::kDataFolder).absolutePath());
    if (start.isSet("json")) {
        std::printf("%s", replayJson(view.steps()).constData());
        return 0;
    }
    if (start.isSet("pdf")) return view.exportSheet(start.value("pdf")) ? 0 : answer("Écriture impossible.", false);
    if (start.isSet("essai")) {
        const auto& steps = view.steps();
        const auto at = std::find_if(steps.begin(), steps.end(),
                                     [&](const ReplayStep& s) { return s.trial.number == start.value("essai").toInt(); });
        if (at == steps.end()) return answer(QStringLiteral("Essai %1 absent de la session.").arg(start.value("essai")), false);
        view.showStep(int(at - steps.begin()));
    }
    view.resize(ConsoleWindow::kPreferredSize);
    if (start.isSet("snapshot")) return saveWindowSnapshot(view, start.value("snapshot"));
    view.show();
    return QApplication::exec();
}

int runConsole(const ProgramStart& start) {
    ConsoleWindow window;
    if (start.isSet("report") || start.isSet("csv") || start.isSet("csv-fr")) return exportSession(window, start);
    if (start.isSet("onglet") && !window.showTab(start.value("onglet"))) {
        std::fprintf(stderr, "Onglet inconnu : %s.\n", qPrintable(start.value("onglet")));
        return 2;
    }
    if (start.isSet("snapshot")) return saveConsoleSnapshot(window, start);
    window.show();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    ProgramStart start = describeCommandLine();
    if (const auto end = start.start(argc, argv)) return *end;
    if (const auto end = runClassDatabaseCommand(start)) return *end;

    // What it writes in data/ (the scenario, classe.ini) must stay in this folder.
    if (const std::string refused = foreignWorkingFolder(); !refused.empty()) {
        std::fprintf(stderr, "%s\n", refused.c_str());
        if (!start.batch()) QMessageBox::critical(nullptr, "Console du formateur", QString::fromStdString(refused));
        return 1;
    }
    if (start.isSet("demarrer")) {
        if (!start.isSet("exercice")) return answer(QStringLiteral("--demarrer demande --exercice FICHIER.ini."), false);
        return runStartExerciseCommand(classServer(start),
                                       QString::fromStdString(mclCommandLinePath(start.value("exercice").toStdString())));
    }
    if (start.isSet("arreter")) return runStopExerciseCommand(classServer(start), start.value("arreter"));
    initializeSimulatorModules();
    if (start.isSet("classe") && start.isSet("exercice"))
        return runExerciseReportCommand({classServer(start), start.value("exercice"), start.value("report"),
                                         start.value("csv"), start.value("csv-fr")});
    if (start.isSet("classe"))
        return runClassCommand({classServer(start), start.value("report"), start.value("csv"),
                                start.value("csv-fr"), start.value("snapshot")});
    if (start.isSet("optimum")) return printOptimum();
    if (start.isSet("commenter")) return runCommentCommand(start);
    if (start.isSet("rejouer")) return runReplay(start);
    return runConsole(start);
}
