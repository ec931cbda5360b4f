// The console run by a trainer in a folder that trainees can write: links
// they plant in data/ must not lead its set-aside files into the trainer's
// own files. The trainer is "nobody" here, the trainee root.
#include "scenario.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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

    pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(trainer->pw_gid) != 0 || ::setuid(trainer->pw_uid) != 0) ::_exit(3);
        // A scenario's bad lines go to a new file, not through the planted one.
        Scenario scenario;
        const QString repaired = loadScenario(dir.filePath("scenario.ini"), scenario);
        EXPECT_TRUE(repaired.contains("scenario.ini.bad.2")) << repaired.toStdString();
        ::_exit(testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the console's checks as nobody failed";
    EXPECT_EQ(slurp(profile), profileText);
    EXPECT_EQ(slurp(dir.filePath("scenario.ini.bad.2")), "budget=beaucoup\n");
}

}  // namespace
