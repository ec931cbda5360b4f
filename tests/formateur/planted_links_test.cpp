// The console run by a trainer in a folder that trainees can write: links,
// pipes and locks they plant in data/ must not lead the console's files into
// the trainer's own files, nor hang it. The trainer is "nobody" here, the
// trainee root.
#include "scenario.h"
#include "session.h"
#include "station_settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

QByteArray slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs the checks in a child process as nobody; a failed EXPECT there, or a
// child still busy after 20 s, fails the test.
void asNobody(const passwd* trainer, const std::function<void()>& checks) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(20);
        if (::setgroups(0, nullptr) != 0 || ::setgid(trainer->pw_gid) != 0 || ::setuid(trainer->pw_uid) != 0) ::_exit(3);
        checks();
        ::_exit(testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the console's checks as nobody failed";
}

// A program's command line run by nobody in the folder, for at most 20 s
// (status 124 past them); its standard output and error together.
ScriptRun runAsNobody(const fs::path& folder, const std::string& command) {
    const std::string line = "cd '" + folder.string() + "' && timeout 20 runuser -u nobody -- sh -c \"" + command +
                             "\" 2>&1 < /dev/null";
    ScriptRun run;
    FILE* pipe = ::popen(line.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

TEST(PlantedLinks, TheConsoleNeverWritesThroughAnotherUsersLink) {
    const passwd* trainer = ::getpwnam("nobody");
    ASSERT_NE(trainer, nullptr);
    QTemporaryDir dir;
    const QString profile = dir.filePath("trainer.profile");
    const QByteArray profileText = "export PATH=/usr/bin\n";
    {
        QFile f(profile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(profileText);
    }
    {
        QFile f(dir.filePath("scenario.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("version=1\nbudget=beaucoup\n");
    }
    for (const char* name : {"", "/trainer.profile", "/scenario.ini"})
        ASSERT_EQ(::chown(QFile::encodeName(dir.path() + name).constData(), trainer->pw_uid, trainer->pw_gid), 0);
    ::chmod(QFile::encodeName(profile).constData(), 0600);
    ASSERT_TRUE(QFile::link(profile, dir.filePath("scenario.ini.bad")));

    asNobody(trainer, [&] {
        // A scenario's bad lines go to a new file, not through the planted one.
        Scenario scenario;
        const QString repaired = loadScenario(dir.filePath("scenario.ini"), scenario);
        EXPECT_TRUE(repaired.contains("scenario.ini.bad.2")) << repaired.toStdString();
    });
    EXPECT_EQ(slurp(profile), profileText);
    EXPECT_EQ(slurp(dir.filePath("scenario.ini.bad.2")), "budget=beaucoup\n");
}

TEST(PlantedLinks, StationSettingsJournalAndExportsStayInTheTrainersFolder) {
    const passwd* trainer = ::getpwnam("nobody");
    ASSERT_NE(trainer, nullptr);
    Workspace w, trainee(false);
    const std::string profileText = "export PATH=/usr/bin\n";
    w.write("trainer.profile", profileText);
    for (const char* folder : {"data/lien", "data/tube", "data/verrou"}) fs::create_directory(w.path() / folder);
    w.write("data/verrou/classe.ini", "[classe]\nposte=P7\nstagiaire=\"Dupont, Jo\"\n[salle]\nprojecteur=1280x800\n");
    w.giveTo("nobody");
    ::chmod((w.path() / "trainer.profile").c_str(), 0600);
    // What the trainee (root here) plants in the trainer's data/.
    fs::create_symlink(w.path() / "trainer.profile", w.path() / "data/lien/classe.ini");
    for (const char* pipe : {"data/tube/classe.ini", "data/verrou/classe.ini.lock"})
        ASSERT_EQ(::mkfifo((w.path() / pipe).c_str(), 0666), 0);
    const auto ini = [&](const char* folder) {
        return QString::fromStdString((w.path() / "data" / folder / "classe.ini").string());
    };

    asNobody(trainer, [&] {
        QString error;
        StationSettings settings{"P9", "Léa", {}, {}};
        EXPECT_FALSE(settings.save(ini("lien"), &error));
        EXPECT_TRUE(error.contains("classe.ini » est un lien symbolique qui appartient à un autre utilisateur"))
            << error.toStdString();
        // A pipe is neither waited on nor written.
        EXPECT_TRUE(StationSettings::load(ini("tube")).problem.contains("tube nommé"));
        EXPECT_FALSE(settings.save(ini("tube"), &error));
        // Qt's lock file is not the station's: a pipe there holds nothing up.
        settings = StationSettings::load(ini("verrou"));
        EXPECT_EQ(settings.stagiaire, "Dupont, Jo");
        settings.poste = "P8";
        EXPECT_TRUE(settings.save(ini("verrou"), &error)) << error.toStdString();
    });
    EXPECT_EQ(w.read("trainer.profile"), profileText);
    EXPECT_EQ(QSettings(ini("verrou"), QSettings::IniFormat).value("classe/poste").toString(), "P8");
    EXPECT_EQ(QSettings(ini("verrou"), QSettings::IniFormat).value("salle/projecteur").toString(), "1280x800");

    // The simulator starts beside a pipe named classe.ini, and keeps its
    // journal out of the trainee's folder.
    fs::rename(w.path() / "data/tube/classe.ini", w.path() / "data/classe.ini");
    fs::create_symlink(trainee.path() / "vol.sqlite", w.path() / "data/journal.sqlite");
    fs::permissions(trainee.path(), fs::perms::all);
    w.write("essai.script", "slider 4 0\npress \"Réalisation essai\"\n");
    ScriptRun trial = runAsNobody(w.path(), "'" SIMULATOR_PROGRAM "' --script essai.script");
    EXPECT_EQ(trial.status, 0) << trial.out;
    EXPECT_NE(trial.out.find("classe.ini » est un tube nommé"), std::string::npos) << trial.out;
    EXPECT_NE(trial.out.find("journal.sqlite » est un lien symbolique qui appartient à un autre utilisateur"),
              std::string::npos)
        << trial.out;
    EXPECT_EQ(w.read("data/Nb_essai.dat"), "1.000000 ");
    EXPECT_TRUE(fs::is_empty(trainee.path()));
    fs::remove(w.path() / "data/classe.ini");

    // Exports: never through the trainee's link, and a failed write is a failure.
    const std::string console = "'" FORMATEUR_PROGRAM "'";
    for (const char* planted : {"rapport.pdf", "journal.csv"})
        fs::create_symlink(w.path() / "trainer.profile", w.path() / planted);
    ScriptRun exported = runAsNobody(w.path(), console + " --report rapport.pdf --csv journal.csv");
    EXPECT_EQ(exported.status, 1) << exported.out;
    EXPECT_NE(exported.out.find("rapport.pdf » est un lien symbolique qui appartient à un autre utilisateur"),
              std::string::npos)
        << exported.out;
    EXPECT_EQ(w.read("trainer.profile"), profileText);
    ScriptRun full = runAsNobody(w.path(), "trap '' XFSZ; ulimit -f 0; exec " + console + " --report plein.pdf");
    EXPECT_EQ(full.status, 1) << full.out;
    full = runAsNobody(w.path(), "trap '' XFSZ; ulimit -f 0; exec " + console + " --csv-fr plein.csv");
    EXPECT_EQ(full.status, 1) << full.out;
    EXPECT_NE(full.out.find("plein.csv » n'a pas pu être écrit"), std::string::npos) << full.out;

    // A pipe as the simulator's lock, which nobody may open to write: refused at once.
    fs::remove(w.path() / "data/simulateur.lock");
    ASSERT_EQ(::mkfifo((w.path() / "data/simulateur.lock").c_str(), 0644), 0);
    ScriptRun locked = runAsNobody(w.path(), "'" SIMULATOR_PROGRAM "' --script -");
    EXPECT_EQ(locked.status, 1) << locked.out;
    EXPECT_NE(locked.out.find("simulateur.lock » n'est pas un fichier ordinaire"), std::string::npos) << locked.out;

    // A data/ that is the trainee's link is refused by every program, by name.
    fs::create_directory(trainee.path() / "data");
    fs::permissions(trainee.path() / "data", fs::perms::all);
    trainee.write("data/CoutO.dat", "1.000000 ");
    fs::permissions(trainee.path() / "data/CoutO.dat", fs::perms(0666));
    fs::rename(w.path() / "data", w.path() / "data.trainer");
    fs::create_directory_symlink(trainee.path() / "data", w.path() / "data");
    const std::string refused =
        (w.path() / "data").string() + " » est un lien symbolique qui appartient à un autre utilisateur";
    for (const std::string& program : {std::string("'" SIMULATOR_PROGRAM "' --script -"),
                                       std::string("'" EDITOR_A1_PROGRAM "' --script -"), console + " --csv x.csv"}) {
        ScriptRun start = runAsNobody(w.path(), program);
        EXPECT_EQ(start.status, 1) << program << "\n" << start.out;
        EXPECT_NE(start.out.find(refused), std::string::npos) << program << "\n" << start.out;
    }
    EXPECT_EQ(trainee.read("data/CoutO.dat"), "1.000000 ");
}

}  // namespace
