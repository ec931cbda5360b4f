// The class database on a real PostgreSQL server: `formateur --init-classe`,
// the roles, and stations replicating their journals through a crash and a
// lock held on the table.
#include "class_database.h"
#include "coefficient_files.h"
#include "classroom_test_support.h"
#include "coefficient_file.h"
#include "coefficient_file_writer.h"
#include "coefficient_history.h"
#include "postgres_server.h"
#include "replication.h"

#include <QColor>
#include <QImage>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include <unistd.h>

namespace {

const std::string kMain = SIMULATOR_PROGRAM;
const std::string kTrial = "press \"Réalisation essai\"\n";

struct InitRun {
    int status;
    QString out, err;
};

// The console run with the arguments, in the folder when one is given.
InitRun console(const QStringList& arguments, const std::filesystem::path& folder = {}) {
    QProcess p;
    if (!folder.empty()) p.setWorkingDirectory(QString::fromStdString(folder.string()));
    p.start(FORMATEUR_PROGRAM, arguments);
    p.waitForFinished(60'000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

InitRun initClasse(const std::string& conninfo) { return console({"--init-classe", QString::fromStdString(conninfo)}); }

JournalEntry entry(const QString& poste, int numero) {
    JournalEntry e;
    e.row.station = poste;
    e.row.session = "s";
    e.row.number = numero;
    e.row.recorded = "2026-12-07T10:00:00.000Z";
    return e;
}

}  // namespace

class ClassDatabase : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!PostgresServer::available()) return;
        server = std::make_unique<PostgresServer>();
        server->psql("CREATE DATABASE classe");
        // A failure here fails every test, rather than letting them all be skipped.
        preparation = initClassDatabase(QString::fromStdString(server->conninfo("classe")), &prepared);
        if (prepared)
            server->psql("CREATE ROLE station LOGIN IN ROLE pliage_poste; CREATE ROLE prof LOGIN IN ROLE pliage_formateur");
    }
    static void TearDownTestSuite() { server.reset(); }
    void SetUp() override {
        if (!server) GTEST_SKIP() << "PostgreSQL 15 is not installed";
        ASSERT_TRUE(prepared) << preparation.toStdString();
        server->psql("TRUNCATE essais", "classe");
    }

    static QSqlDatabase connect(const QString& name, const std::string& user) {
        QString error;
        auto where = ClassServer::parse(QString::fromStdString(server->conninfo("classe", user)), &error);
        QSqlDatabase db = where->addConnection(name);
        EXPECT_TRUE(openClassDatabase(db, *where, &error)) << error.toStdString();
        return db;
    }
    static int count(const std::string& where = "true") {
        return std::stoi(server->psql("SELECT count(*) FROM essais WHERE " + where, "classe"));
    }
    // A station's working folder sending to the class database.
    // The station's role has its name, as the trainer gives each station its own.
    static void station(const Workspace& w, const std::string& poste) {
        server->psql("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = '" + poste + "') THEN CREATE ROLE " +
                     poste + " LOGIN IN ROLE pliage_poste; END IF; END $$");
        w.write("data/classe.ini", "[classe]\nposte=" + poste + "\nserveur=" + server->conninfo("classe", poste) + "\n");
    }

    static std::unique_ptr<PostgresServer> server;
    static inline bool prepared = false;
    static inline QString preparation;
};
std::unique_ptr<PostgresServer> ClassDatabase::server;

TEST_F(ClassDatabase, InitIsIdempotentRefusesANewerSchemaAndGivesEachRoleItsRights) {
    server->psql("CREATE DATABASE neuve");
    const std::string neuve = server->conninfo("neuve");
    InitRun first = initClasse(neuve), second = initClasse(neuve);
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    const QString ready = QStringLiteral("est prête (version %1)").arg(kClassSchemaVersion);
    EXPECT_TRUE(first.out.contains(ready)) << first.out.toStdString();
    EXPECT_EQ(second.status, 0);
    EXPECT_TRUE(second.out.contains("déjà à jour")) << second.out.toStdString();
    EXPECT_EQ(server->psql("SELECT string_agg(version::text, ',') FROM version_schema", "neuve"),
              std::to_string(kClassSchemaVersion) + "\n");
    EXPECT_EQ(server->psql("SELECT count(*) FROM pg_trigger WHERE tgname = 'essais_notifie'", "neuve"), "1\n");

    const int newer = kClassSchemaVersion + 1;
    server->psql("UPDATE version_schema SET version = " + std::to_string(newer), "neuve");
    InitRun refused = initClasse(neuve);
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("version %1, plus récente").arg(newer))) << refused.err.toStdString();
    EXPECT_EQ(server->psql("SELECT version FROM version_schema", "neuve"), std::to_string(newer) + "\n");

    // A class database of the first version keeps its rows through the upgrade.
    server->psql("CREATE DATABASE ancienne");
    server->psql("CREATE TABLE essais (poste text NOT NULL, stagiaire text NOT NULL DEFAULT '', session text NOT NULL,"
                 " numero integer NOT NULL, heure text NOT NULL, a float8 NOT NULL, r float8 NOT NULL,"
                 " l float8 NOT NULL, c float8 NOT NULL, f float8 NOT NULL, a1 float8 NOT NULL, a2 float8 NOT NULL,"
                 " h float8 NOT NULL, cout_outillage float8 NOT NULL, cout_reglage float8 NOT NULL,"
                 " nb_essais integer NOT NULL, facture integer NOT NULL, recu timestamptz NOT NULL DEFAULT now(),"
                 " PRIMARY KEY (poste, session, numero));"
                 "CREATE TABLE version_schema (version integer NOT NULL); INSERT INTO version_schema VALUES (1);"
                 "INSERT INTO essais VALUES ('P1', '', 's', 1, 'h', 8, 8, 61, 34, 60, 135, 135, 30, 0, 0, 1, 1)",
                 "ancienne");
    InitRun upgrade = initClasse(server->conninfo("ancienne"));
    EXPECT_EQ(upgrade.status, 0) << upgrade.err.toStdString();
    EXPECT_TRUE(upgrade.out.contains(ready)) << upgrade.out.toStdString();
    EXPECT_EQ(server->psql("SELECT poste || '/' || installation FROM essais", "ancienne"), "P1/\n");
    EXPECT_EQ(server->psql("SELECT exercice || '/' || empreinte FROM essais", "ancienne"), "0/\n");
    InitRun bad = initClasse("postgresql://[salle");
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.err.contains("inutilisable")) << bad.err.toStdString();

    {
        QSqlDatabase prof = connect("prof", "prof"), poste = connect("poste", "station");
        QStringList payloads;
        QObject::connect(prof.driver(), &QSqlDriver::notification,
                         [&](const QString&, QSqlDriver::NotificationSource, const QVariant& payload) {
                             payloads << payload.toString();
                         });
        ASSERT_TRUE(prof.driver()->subscribeToNotification("essais"));
        QString error;
        // A station inserts, and sending the same rows again changes nothing.
        ASSERT_TRUE(sendRows(poste, {entry("station", 1), entry("station", 2)}, &error)) << error.toStdString();
        ASSERT_TRUE(sendRows(poste, {entry("station", 2), entry("station", 3)}, &error)) << error.toStdString();
        EXPECT_EQ(count(), 3);
        EXPECT_TRUE(eventually([&] { return payloads.contains("station"); }));
        QSqlQuery look(poste);
        EXPECT_FALSE(look.exec("SELECT count(*) FROM essais"));
        EXPECT_FALSE(look.exec("DELETE FROM essais"));
        QSqlQuery read(prof);
        ASSERT_TRUE(read.exec("SELECT numero FROM essais ORDER BY numero") && read.next());
        EXPECT_EQ(read.value(0).toInt(), 1);

        // A station writes only its own rows, with values a trial can have,
        // never when the server received them, and no other role's password.
        EXPECT_FALSE(sendRows(poste, {entry("P1", 1)}, &error));
        EXPECT_TRUE(error.contains("un poste n'envoie que les siens")) << error.toStdString();
        for (double impossible : {std::nan(""), HUGE_VAL, -1e9}) {
            JournalEntry e = entry("station", 9);
            e.row.tooling = impossible;
            EXPECT_FALSE(sendRows(poste, {e}, &error)) << impossible;
            EXPECT_TRUE(error.contains("valeurs impossibles")) << error.toStdString();
        }
        EXPECT_FALSE(look.exec("INSERT INTO essais (poste, session, numero, heure, a, r, l, c, f, a1, a2, h, "
                               "cout_outillage, cout_reglage, nb_essais, facture, recu) VALUES ('station', 's', 7, "
                               "'h', 8, 8, 61, 34, 60, 135, 135, 30, 0, 0, 1, 1, '2099-01-01')"));
        EXPECT_FALSE(look.exec("ALTER ROLE prof PASSWORD 'pris'"));
        EXPECT_FALSE(look.exec("UPDATE exercices SET fin = now()"));
        EXPECT_TRUE(look.exec("SELECT signale_poste('P1', 'x', true)") && look.exec("SELECT signale_poste('station', 'y', true)"));
        EXPECT_EQ(server->psql("SELECT string_agg(poste || '/' || installation, ',') FROM contacts", "classe"), "station/y\n");
        EXPECT_EQ(count(), 3);
        EXPECT_FALSE(sendRows(prof, {entry("station", 4)}, &error));
        EXPECT_EQ(count(), 3);
    }
    QSqlDatabase::removeDatabase("prof");
    QSqlDatabase::removeDatabase("poste");
}

// A class database of version 3 keeps its rows through the upgrade and gains
// the trainer's comments, which the trainer's role alone reads and writes.
TEST_F(ClassDatabase, AVersion3DatabaseGainsCommentsForTheTrainerOnly) {
    server->psql("CREATE DATABASE v3");
    const std::string v3 = server->conninfo("v3");
    ASSERT_EQ(initClasse(v3).status, 0);
    server->psql("DROP TABLE commentaires; UPDATE version_schema SET version = 3;"
                 "INSERT INTO essais (poste, session, numero, heure, a, r, l, c, f, a1, a2, h, cout_outillage, "
                 "cout_reglage, nb_essais, facture) VALUES ('P1', 's', 1, 'h', 8, 8, 61, 34, 60, 135, 135, 30, 0, 0, 1, 1)",
                 "v3");
    InitRun upgrade = initClasse(v3);
    EXPECT_EQ(upgrade.status, 0) << upgrade.err.toStdString();
    EXPECT_TRUE(upgrade.out.contains("est prête (version 4)")) << upgrade.out.toStdString();
    EXPECT_EQ(server->psql("SELECT poste || '/' || numero FROM essais", "v3"), "P1/1\n");
    server->psql("GRANT CONNECT ON DATABASE v3 TO station, prof");
    {
        QString error;
        auto where = ClassServer::parse(QString::fromStdString(server->conninfo("v3", "prof")), &error);
        QSqlDatabase prof = where->addConnection("prof-v3");
        ASSERT_TRUE(openClassDatabase(prof, *where, &error)) << error.toStdString();
        ASSERT_TRUE(writeClassComment(prof, "P1", "s", 1, "Bien : <i>A</i>", &error)) << error.toStdString();
        ASSERT_TRUE(writeClassComment(prof, "P1", "s", 1, "Mieux", &error)) << error.toStdString();
        EXPECT_EQ(classComments(prof, "P1", "s", &error), (std::map<int, QString>{{1, "Mieux"}}));
        where = ClassServer::parse(QString::fromStdString(server->conninfo("v3", "station")), &error);
        QSqlDatabase poste = where->addConnection("poste-v3");
        ASSERT_TRUE(openClassDatabase(poste, *where, &error)) << error.toStdString();
        EXPECT_FALSE(classComments(poste, "P1", "s", &error));
        EXPECT_FALSE(writeClassComment(poste, "P1", "s", 2, "x", &error));
        EXPECT_TRUE(writeClassComment(prof, "P1", "s", 1, "", &error));
        EXPECT_EQ(server->psql("SELECT count(*) FROM commentaires", "v3"), "0\n");
    }
    QSqlDatabase::removeDatabase("prof-v3");
    QSqlDatabase::removeDatabase("poste-v3");
}

// The trainer starts an exercise for the class from its file, with the model
// of the console's folder byte for byte; starting another ends the running
// one; it stops by its number; a file the class could not take starts nothing.
TEST_F(ClassDatabase, AnExerciseCarriesTheFoldersModelEndsTheRunningOneAndStops) {
    Workspace w;
    std::filesystem::create_directories(w.path() / "poly");
    writeCoefficientFiles(w.path(), bending::builtInRows());
    const QString classe = QString::fromStdString(server->conninfo("classe"));
    auto inFolder = [&](const QStringList& arguments) { return console(arguments + QStringList{"--serveur", classe}, w.path()); };
    auto startFile = [&](const std::string& content) {
        w.write("exercice.ini", content);
        return inFolder({"--exercice", "exercice.ini", "--demarrer"});
    };
    const InitRun first = startFile("nom=Pliage à 135°\ntolerance_A1=1\ntolerance_A2=1,5\ntolerance_H=0.5\n"
                                    "budget=10000\nduree_minutes=0.5\nessais_max=12\nmode=examen\n");
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    const std::string n1 = first.out.trimmed().toStdString();
    const auto held = [&](const std::string& column, const std::string& n) {
        return server->psql("SELECT " + column + " FROM exercices WHERE numero = " + n, "classe");
    };
    EXPECT_EQ(held("nom || '/' || tolerance_a2 || '/' || duree_minutes || '/' || essais_max || '/' || mode", n1),
              "Pliage à 135°/1.5/0.5/12/examen\n");
    EXPECT_EQ(held("encode(modele_a1, 'escape')", n1), w.read("poly/A1.poly") + "\n");
    EXPECT_EQ(held("empreinte = encode(sha256(modele_a1 || modele_a2 || modele_h), 'hex') AND fin IS NULL", n1),
              "t\n");

    std::filesystem::remove_all(w.path() / "poly");
    const InitRun second = startFile("nom=Sans modèle\nmode=entrainement\n");
    ASSERT_EQ(second.status, 0) << second.err.toStdString();
    const std::string n2 = second.out.trimmed().toStdString();
    EXPECT_NE(n2, n1);
    // Ended by the second, or when its half minute ran out if that came first.
    EXPECT_EQ(held("fin <= debut + interval '30 seconds'", n1), "t\n");
    EXPECT_EQ(held("empreinte || '/' || (modele_a1 IS NULL) || '/' || (fin IS NULL)", n2), "intégrés/true/true\n");

    EXPECT_EQ(inFolder({"--arreter", QString::fromStdString(n2)}).status, 0);
    EXPECT_EQ(held("fin IS NULL", n2), "f\n");
    for (const auto& [number, reason] : {std::pair{n2, "déjà terminé"}, {"99", "pas d'exercice n° 99"},
                                         {"deux", "n'est pas un numéro"}}) {
        const InitRun stop = inFolder({"--arreter", QString::fromStdString(number)});
        EXPECT_EQ(stop.status, 1);
        EXPECT_TRUE(stop.err.contains(QString::fromUtf8(reason))) << stop.err.toStdString();
    }
    for (const auto& [content, reason] : std::initializer_list<std::pair<std::string, const char*>>{
             {"mode=examen\n", "il lui faut un nom"},
             {"nom=A\ntolerance_A1=0\n", "va de 0,01 à 45"},
             {"nom=A\nduree_minutes=0\n", "plus de 0"},
             {"nom=A\nduree_minutes=1441\n", "24 h"},
             {"nom=" + std::string(201, 'x') + "\n", "de 1 à 200 caractères"},
             {"nom=<b>A</b>\u202e\n", "marque de sens"},
             {"nom=A\nmode=libre\n", "« examen » ou « entrainement »"},
             {"nom=A\ncouleur=bleu\n", "n'est pas un réglage"},
             {"nom=A\nnom=B\n", "déjà donné"}}) {
        const InitRun refused = startFile(content);
        EXPECT_EQ(refused.status, 1) << content;
        EXPECT_TRUE(refused.err.contains(QString::fromUtf8(reason))) << refused.err.toStdString();
    }
    EXPECT_EQ(server->psql("SELECT max(numero) FROM exercices", "classe"), n2 + "\n");  // none started
}

// An exercise started from the console reaches the stations: a running one
// at once, one started later when it opens. Their poly/ then holds the
// exercise's files, the replaced ones in the history, and their rows say in
// which exercise they were made and what they evaluated; an exercise on the
// built-in rows sets the station's files aside. A station that may not write
// its poly/ says so, and its rows tell what it really evaluated.
TEST_F(ClassDatabase, EveryStationTakesUpTheExerciseTheTrainerStarts) {
    server->psql("UPDATE exercices SET fin = now() WHERE fin IS NULL", "classe");
    Workspace trainer, running, later, guarded;
    bending::ModelRows rows = bending::builtInRows();
    for (bending::TermRow& row : rows) row[0] += 1;
    writeCoefficientFiles(trainer.path(), rows);
    for (const Workspace* w : {&running, &guarded}) writeCoefficientFiles(w->path(), bending::builtInRows());
    const std::string ownA1 = running.read("poly/A1.poly");
    // guarded's A1.poly is a link another user made: nothing is written through it.
    std::filesystem::rename(guarded.path() / "poly/A1.poly", guarded.path() / "A1-cible.poly");
    std::filesystem::create_symlink("../A1-cible.poly", guarded.path() / "poly/A1.poly");
    ASSERT_EQ(::lchown((guarded.path() / "poly/A1.poly").c_str(), 65534, 65534), 0);
    station(running, "p1"), station(later, "p2"), station(guarded, "p3");
    LiveSession s1(kMain, running.path()), s3(kMain, guarded.path());

    const QStringList start{"--exercice", "exercice.ini", "--demarrer", "--serveur",
                            QString::fromStdString(server->conninfo("classe"))};
    trainer.write("exercice.ini", "nom=Pliage à 90°\n");
    const InitRun started = console(start, trainer.path());
    ASSERT_EQ(started.status, 0) << started.err.toStdString();
    const std::string number = started.out.trimmed().toStdString();
    const std::string fingerprint =
        QString::fromStdString(server->psql("SELECT empreinte FROM exercices WHERE numero = " + number, "classe"))
            .trimmed().toStdString();
    auto holdsExercise = [&](const Workspace& w) {
        return std::all_of(facts::kModels.begin(), facts::kModels.end(), [&](const facts::Model& m) {
            return w.exists(m.path) && w.read(m.path) == trainer.read(m.path);
        });
    };
    EXPECT_TRUE(eventually([&] { return holdsExercise(running); }));
    const std::string poly = (running.path() / "poly").string();
    for (const facts::Model& m : facts::kModels)
        ASSERT_EQ(bending::coefficientHistory(poly, m.name).size(), 1u) << m.name;
    EXPECT_EQ(file_safety::readRegularFile(bending::coefficientHistory(poly, "A1").front().path).content, ownA1);
    LiveSession s2(kMain, later.path());
    EXPECT_TRUE(eventually([&] { return holdsExercise(later); }));
    StationJournal journal(QString::fromStdString((guarded.path() / "data/journal.sqlite").string()));
    QString error;
    ASSERT_TRUE(journal.open(&error, {}, false)) << error.toStdString();
    EXPECT_TRUE(eventually([&] {
        const auto status = journal.replicationStatus(&error);
        return status && status->message.contains(QStringLiteral("de l'exercice n° %1 n'ont pas pu être mis dans poly/")
                                                      .arg(QString::fromStdString(number)));
    }));
    EXPECT_EQ(guarded.read("A1-cible.poly"), ownA1);
    for (LiveSession* s : {&s1, &s2, &s3}) s->step(kTrial);
    const std::string evaluated = bending::coefficientFingerprint((guarded.path() / "poly").string()).toStdString();
    const std::string made = "exercice = " + number + " AND empreinte = ";
    EXPECT_TRUE(eventually([&] {
        return count(made + "'" + fingerprint + "' AND poste IN ('p1', 'p2')") == 2 &&
               count(made + "'" + evaluated + "' AND poste = 'p3'") == 1;
    })) << server->psql("SELECT poste, exercice, empreinte FROM essais", "classe");

    // On the built-in rows, the station's files go to the history.
    std::filesystem::remove_all(trainer.path() / "poly");
    const InitRun builtIn = console(start, trainer.path());
    ASSERT_EQ(builtIn.status, 0) << builtIn.err.toStdString();
    EXPECT_TRUE(eventually([&] { return !running.exists("poly/A1.poly") && !running.exists("poly/H.poly"); }));
    EXPECT_EQ(bending::coefficientHistory(poly, "A1").size(), 2u);
    s1.step(kTrial);
    EXPECT_TRUE(eventually([&] {
        return count("poste = 'p1' AND exercice = " + builtIn.out.trimmed().toStdString() +
                     " AND empreinte = 'intégrés'") == 1;
    }));
    for (LiveSession* s : {&s1, &s2, &s3}) EXPECT_EQ(s->finish(), 0) << s->errors();
}

// An exam started from the console holds at the station: the window beside
// the simulator's shows it and counts down, each trial takes one of those
// left, and neither an editor nor the console's restoring changes the
// coefficients until the trainer stops it; a time limit ends it too.
TEST_F(ClassDatabase, AnExamShowsBesideTheSimulatorAndHoldsTheCoefficientsUntilItEnds) {
    server->psql("UPDATE exercices SET fin = now() WHERE fin IS NULL", "classe");
    Workspace trainer, w;
    station(w, "p5");
    LiveSession s(kMain, w.path());
    const QString classe = QString::fromStdString(server->conninfo("classe"));
    auto start = [&](const std::string& exercise) {
        trainer.write("examen.ini", exercise);
        const InitRun started = console({"--exercice", "examen.ini", "--demarrer", "--serveur", classe}, trainer.path());
        EXPECT_EQ(started.status, 0) << started.err.toStdString();
        return started.out.trimmed();
    };
    // The texts of the simulator's other window, as its dump gives them.
    auto shown = [&] {
        QStringList texts;
        for (const WindowDump& dump : dumpsOf(s.step("dump\n")))
            for (const QJsonObject& window : dump.ofType("window"))
                for (const QJsonValue& text : window["texts"].toArray()) texts << text.toString();
        return texts;
    };
    auto save = [&] { return w.run(EDITOR_A1_PROGRAM, "press \"Sauvegarde A1\"\n"); };
    const QString poly = QString::fromStdString((w.path() / "poly").string());

    const QString number = start("nom=<b>Pliage</b> à 135°\ntolerance_A1=1\ntolerance_A2=1.5\ntolerance_H=0.5\n"
                                 "budget=12000\nduree_minutes=30\nessais_max=3\nmode=examen\n");
    ASSERT_TRUE(eventually([&] { return shown().contains("Examen"); })) << s.errors();
    QStringList texts = shown();
    for (const QString& text : {QStringLiteral("<b>Pliage</b> à 135°"), QStringLiteral("Temps restant"),
                                QStringLiteral("Essais restants"), QStringLiteral("3 sur 3"),
                                QStringLiteral("A1 ± 1,00°\nA2 ± 1,50°\nH ± 0,50 mm"), QStringLiteral("12\u202f000 €")})
        EXPECT_TRUE(texts.contains(text)) << text.toStdString() << " not in " << texts.join(" | ").toStdString();
    EXPECT_EQ(texts.filter(QRegularExpression("^(29:[0-5][0-9]|30:00)$")).size(), 1) << texts.join(" | ").toStdString();
    s.step(kTrial);
    EXPECT_TRUE(shown().contains("2 sur 3"));

    const ScriptRun refused = save();
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("error: " + kExamRefusal.toStdString()), std::string::npos) << refused.err;
    EXPECT_FALSE(w.exists("poly/A1.poly"));
    writeCoefficientFiles(w.path(), bending::builtInRows());
    EXPECT_EQ(restoreBuiltInRows(poly), kExamRefusal);
    EXPECT_EQ(restoreVersion(poly, 0, poly + "/A1.poly"), kExamRefusal);
    EXPECT_TRUE(w.exists("poly/A1.poly"));

    EXPECT_EQ(console({"--arreter", number, "--serveur", classe}).status, 0);
    EXPECT_TRUE(eventually([&] { return shown().contains("Exercice terminé"); }));
    EXPECT_EQ(save().status, 0);
    EXPECT_EQ(restoreBuiltInRows(poly), "");

    // A limit of six seconds: the station ends the exam at its own clock's count.
    start("nom=Court\nduree_minutes=0.1\nmode=examen\n");
    EXPECT_TRUE(eventually([&] { return shown().contains("Court"); }));
    EXPECT_EQ(save().status, 1);
    EXPECT_TRUE(eventually([&] { return shown().contains("Exercice terminé"); }));
    EXPECT_EQ(save().status, 0);
    EXPECT_EQ(s.finish(), 0) << s.errors();
}

// The trainer gives each station its own role, with a password and the
// lines to put on the station; a name that cannot be a role is refused.
TEST_F(ClassDatabase, TheTrainerGivesEachStationItsOwnRole) {
    const QString classe = QString::fromStdString(server->conninfo("classe"));
    InitRun bad = console({"--ajouter-poste", "Poste 3", "--serveur", classe});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.err.contains("ne peut pas être le nom d'un poste")) << bad.err.toStdString();
    InitRun added = console({"--ajouter-poste", "poste-3", "--serveur", classe});
    EXPECT_EQ(added.status, 0) << added.err.toStdString();
    const QRegularExpressionMatch line =
        QRegularExpression(":classe:poste-3:([A-Za-z0-9_-]{24})\n").match(added.out);
    EXPECT_TRUE(line.hasMatch()) << added.out.toStdString();
    EXPECT_TRUE(added.out.contains("poste=poste-3"));
    EXPECT_EQ(server->psql("SELECT pg_has_role('poste-3', 'pliage_poste', 'member')"), "t\n");
    InitRun again = console({"--ajouter-poste", "poste-3", "--serveur", classe});
    EXPECT_TRUE(again.out.startsWith("Nouveau mot de passe")) << again.out.toStdString();
    EXPECT_FALSE(again.out.contains(line.captured(1)));
}

TEST_F(ClassDatabase, ThreeStationsRecordIntoOneClassExactlyOnce) {
    Workspace w1, w2, w3;
    const Workspace* folders[] = {&w1, &w2, &w3};
    std::vector<std::unique_ptr<LiveSession>> sessions;
    for (int i = 0; i < 3; ++i) {
        station(*folders[i], "p" + std::to_string(i + 1));
        sessions.push_back(std::make_unique<LiveSession>(kMain, folders[i]->path()));
    }
    for (int trial = 0; trial < 3; ++trial)
        for (auto& s : sessions) s->step("slider " + std::to_string(trial + 1) + " 0.3\n" + kTrial);
    for (auto& s : sessions) EXPECT_EQ(s->finish(), 0);
    EXPECT_TRUE(eventually([] { return count() == 9; })) << count();
    for (int i = 0; i < 3; ++i) {
        const auto rows = journalOf(*folders[i]);
        ASSERT_EQ(rows.size(), 3u);
        for (const auto& e : rows) {
            EXPECT_TRUE(e.envoye);
            EXPECT_EQ(count("poste = '" + e.row.station.toStdString() + "' AND session = '" + e.row.session.toStdString() +
                            "' AND numero = " + std::to_string(e.row.number) + " AND cout_reglage = " +
                            std::to_string(e.row.adjustment) + " AND a1 = " + QString::number(e.row.A1, 'g', 17).toStdString()),
                      1);
        }
    }
}

TEST_F(ClassDatabase, AServerCrashMidSessionLosesNothingAndKeepsTheOrder) {
    Workspace w;
    station(w, "p1");
    LiveSession s(kMain, w.path());
    s.step(kTrial);
    s.step("slider 2 0.5\n" + kTrial);
    ASSERT_TRUE(eventually([] { return count() == 2; }));
    server->stopImmediately();
    for (int i = 0; i < 3; ++i) s.step("slider 5 0." + std::to_string(i + 2) + "\n" + kTrial);
    StationJournal journal(QString::fromStdString((w.path() / "data/journal.sqlite").string()));
    QString error;
    ASSERT_TRUE(journal.open(&error));
    EXPECT_TRUE(eventually([&] {
        auto status = journal.replicationStatus(&error);
        return status && status->known && !status->reachable && status->pending == 3;
    }));
    EXPECT_TRUE(journal.replicationStatus(&error)->message.contains("erveur de classe"))
        << journal.replicationStatus(&error)->message.toStdString();
    server->start();
    s.step(kTrial);
    ASSERT_TRUE(eventually([] { return count() == 6; })) << count();
    EXPECT_EQ(server->psql("SELECT string_agg(numero::text, ',' ORDER BY recu, numero) FROM essais", "classe"),
              "1,2,3,4,5,6\n");
    EXPECT_EQ(server->psql("SELECT count(DISTINCT (session, numero)) FROM essais", "classe"), "6\n");
    EXPECT_TRUE(eventually([&] { return journal.replicationStatus(&error)->reachable; }))
        << journal.replicationStatus(&error)->message.toStdString() << error.toStdString();
    EXPECT_EQ(s.finish(), 0);
}

// A password goes only to a server the station has verified over TLS: one
// that asks for it over any other link gets none, and the station keeps its
// rows and says why, on its window too, until classe.ini names the verified
// server; then they go without a restart.
TEST_F(ClassDatabase, APasswordGoesOnlyToAServerTheStationHasVerified) {
    const std::string authority = server->enableTls();
    server->psql("CREATE ROLE poste_mdp LOGIN PASSWORD 'secret' IN ROLE pliage_poste;"
                 "CREATE ROLE poste_clair LOGIN PASSWORD 'secret' IN ROLE pliage_poste");
    // In clear the server asks for the password itself; over TLS, by SCRAM,
    // except for poste_clair, where it asks for it in clear over TLS too.
    server->addRule("host all poste_mdp,poste_clair 127.0.0.1/32 password");
    server->addRule("hostssl all poste_mdp 127.0.0.1/32 scram-sha-256");
    server->addRule("hostssl all poste_clair 127.0.0.1/32 password");
    Workspace w;
    w.write("pgpass", "*:*:classe:*:secret\n");
    const std::string passfile = (w.path() / "pgpass").string();
    std::filesystem::permissions(passfile, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    qputenv("PGPASSFILE", QByteArray::fromStdString(passfile));
    const std::string verified = " host=localhost sslmode=verify-full sslrootcert=" + authority;
    auto refusal = [](const std::string& conninfo) {
        QString error;
        const auto where = ClassServer::parse(QString::fromStdString(conninfo), &error);
        {
            QSqlDatabase db = where->addConnection("tls");
            if (openClassDatabase(db, *where, &error)) error.clear();
        }
        QSqlDatabase::removeDatabase("tls");
        return error;
    };
    const QString unverified = QStringLiteral("ne part que vers un serveur vérifié");
    EXPECT_TRUE(refusal(server->conninfo("classe", "poste_mdp") + " sslmode=require").contains(unverified));
    EXPECT_TRUE(refusal(server->conninfo("classe", "poste_clair") + verified).contains("liaison de canal"));
    EXPECT_TRUE(refusal(server->conninfo("classe", "poste_mdp") + " host=localhost sslmode=verify-full "
                        "sslrootcert=/nulle/part.crt").contains("le certificat de la classe manque"));
    EXPECT_EQ(refusal(server->conninfo("classe", "poste_mdp") + verified), "");

    w.write("data/classe.ini", "[classe]\nposte=poste_mdp\nserveur=" + server->conninfo("classe", "poste_mdp") +
                                   " sslmode=disable\n");
    LiveSession s(kMain, w.path());
    s.step(kTrial);
    StationJournal journal(QString::fromStdString((w.path() / "data/journal.sqlite").string()));
    QString error;
    ASSERT_TRUE(journal.open(&error));
    EXPECT_TRUE(eventually([&] {
        auto status = journal.replicationStatus(&error);
        return status && status->known && status->message.contains(unverified);
    })) << journal.replicationStatus(&error)->message.toStdString();
    // The trainee sees it along the bottom of the simulator's window, and sees it go.
    const std::string picture = (w.path() / "fenetre.png").string();
    auto noteShown = [&] {
        s.step("snapshot " + picture + "\n");
        const QImage image(QString::fromStdString(picture));
        return image.pixel(5, image.height() - 3) == QColor("#fff4d6").rgb();
    };
    EXPECT_TRUE(eventually(noteShown));
    EXPECT_EQ(count("poste = 'poste_mdp'"), 0);
    w.write("data/classe.ini", "[classe]\nposte=poste_mdp\nserveur=" + server->conninfo("classe", "poste_mdp") +
                                   verified + "\n");
    EXPECT_TRUE(eventually([] { return count("poste = 'poste_mdp'") == 1; }))
        << journal.replicationStatus(&error)->message.toStdString();
    EXPECT_TRUE(eventually([&] { return !noteShown(); }));
    EXPECT_EQ(s.finish(), 0) << s.errors();
    qunsetenv("PGPASSFILE");
}

// A row the server refuses for good is kept on the station, and the rows
// after it still go; a name typed wrong holds the rows until it is mended.
TEST_F(ClassDatabase, ARefusedRowIsSetAsideAndABadNameHoldsTheRows) {
    Workspace w;
    station(w, "p8");
    const QString data = QString::fromStdString((w.path() / "data").string());
    StationJournal journal(data + "/journal.sqlite");
    QString error;
    std::vector<JournalRow> rows{entry("p8", 1).row, entry("p8", 2).row, entry("p8", 3).row};
    rows[1].trainee = QString(10'000, 'x');
    ASSERT_TRUE(journal.open(&error) && journal.append(rows, &error)) << error.toStdString();
    auto status = [&] { return journal.replicationStatus(&error).value_or(ReplicationStatus{}); };
    {
        Replication worker(journal.path(), QString::fromStdString(server->conninfo("classe", "p8")),
                           data + "/classe.ini", "installation", QString::fromStdString((w.path() / "poly").string()));
        worker.start();
        EXPECT_TRUE(eventually([&] { return count("poste = 'p8'") == 2 && status().pending == 0; }));
        EXPECT_TRUE(status().message.startsWith("L'essai n° 2 de la session du 2026-12-07 est gardé sur ce poste"))
            << status().message.toStdString();

        w.write("data/classe.ini", "[classe]\nposte=p8\nstagiaire=\u202eLéa\nserveur=" +
                                       server->conninfo("classe", "p8") + "\n");
        ASSERT_TRUE(journal.append({entry("p8", 4).row}, &error));
        worker.rowsAppended();
        EXPECT_TRUE(eventually([&] { return status().message.contains("ne convient pas"); }))
            << status().message.toStdString();
        EXPECT_EQ(status().pending, 1);
    }
    EXPECT_EQ(count("poste = 'p8'"), 2);
}

TEST_F(ClassDatabase, ASlowServerDoesNotHoldTheTrial) {
    Workspace w;
    station(w, "p1");
    {
        QSqlDatabase holder = connect("holder", "postgres");
        QSqlQuery lock(holder);
        ASSERT_TRUE(lock.exec("BEGIN") && lock.exec("LOCK TABLE essais IN ACCESS EXCLUSIVE MODE"));
        LiveSession s(kMain, w.path());
        s.step(kTrial);
        // The worker waits for the table...
        ASSERT_TRUE(eventually([] {
            return server->psql("SELECT count(*) FROM pg_locks WHERE NOT granted AND relation = 'essais'::regclass",
                                "classe") != "0\n";
        }));
        // ... and the trials go on meanwhile.
        s.step("slider 1 0.5\n" + kTrial);
        s.step("slider 1 0.1\n" + kTrial);
        EXPECT_EQ(w.read("data/Nb_essai.dat"), "3.000000 ");
        EXPECT_TRUE(eventually([&] { return journalOf(w).size() == 3; }));  // written by the journal's thread
        EXPECT_NE(server->psql("SELECT count(*) FROM pg_locks WHERE NOT granted", "classe"), "0\n");
        ASSERT_TRUE(lock.exec("COMMIT"));
        EXPECT_TRUE(eventually([] { return count() == 3; })) << count();
        EXPECT_EQ(s.finish(), 0);
    }
    QSqlDatabase::removeDatabase("holder");
}
