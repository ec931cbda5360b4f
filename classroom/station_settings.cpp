#include "station_settings.h"

#include "file_safety.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>

#include <optional>

namespace {

std::string local(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Qt's own INI reading and writing, so that files written by earlier builds
// (quoted values, lists, escapes) read as before; but on a copy in a private
// folder: the shared file is only read and replaced through file_safety, and
// nothing planted beside it (a link, a pipe, Qt's own lock file) is touched.
class PrivateIni {
public:
    explicit PrivateIni(const std::string& content) : settings_(copied(content), QSettings::IniFormat) {}
    QSettings& settings() { return settings_; }
    // The file's text after the changes; none when Qt could not write it.
    std::optional<std::string> content() {
        settings_.sync();
        QFile file(settings_.fileName());
        if (settings_.status() != QSettings::NoError || !file.open(QIODevice::ReadOnly)) return std::nullopt;
        return file.readAll().toStdString();
    }

private:
    QString copied(const std::string& content) {
        const QString path = folder_.filePath("classe.ini");
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(content.data(), static_cast<qint64>(content.size()));
        return path;
    }

    QTemporaryDir folder_;  // first: the settings live in it
    QSettings settings_;
};

QString lockPath(const QString& iniPath) { return QFileInfo(iniPath).dir().filePath("classe.lock"); }

}  // namespace

StationSettings StationSettings::load(const QString& iniPath) {
    StationSettings s;
    const auto read = file_safety::readRegularFile(local(iniPath));
    if (read.status == file_safety::ReadStatus::Read) {
        PrivateIni ini(read.content);
        s.poste = ini.settings().value("classe/poste").toString().trimmed();
        s.stagiaire = ini.settings().value("classe/stagiaire").toString().trimmed();
        s.serveur = ini.settings().value("classe/serveur").toString().trimmed();
    } else if (read.status != file_safety::ReadStatus::Missing) {
        s.problem = QString::fromStdString(read.error) + " Le poste prend ses réglages par défaut.";
    }
    if (s.poste.isEmpty()) s.poste = QSysInfo::machineHostName();
    return s;
}

bool StationSettings::save(const QString& iniPath, QString* error) const {
    const QString notSaved = QStringLiteral("%1 n'est pas enregistré : ").arg(QDir::toNativeSeparators(iniPath));
    const file_safety::FileLock lock(local(lockPath(iniPath)));
    if (!lock.held()) {
        *error = notSaved + QString::fromStdString(lock.error());
        return false;
    }
    // Read under the lock, so that another console's change is kept.
    const auto read = file_safety::readRegularFile(local(iniPath));
    if (read.status != file_safety::ReadStatus::Read && read.status != file_safety::ReadStatus::Missing) {
        *error = notSaved + QString::fromStdString(read.error);
        return false;
    }
    PrivateIni ini(read.content);
    ini.settings().setValue("classe/poste", poste);
    ini.settings().setValue("classe/stagiaire", stagiaire);
    if (serveur.isEmpty())
        ini.settings().remove("classe/serveur");
    else
        ini.settings().setValue("classe/serveur", serveur);
    const std::optional<std::string> content = ini.content();
    if (!content) {
        *error = notSaved + QStringLiteral("le dossier temporaire %1 n'a pas pu être écrit.")
                                .arg(QDir::toNativeSeparators(QDir::tempPath()));
        return false;
    }
    const auto written = file_safety::replaceFile(local(iniPath), *content);
    if (!written.ok()) {
        *error = notSaved + QString::fromStdString(written.error);
        return false;
    }
    return true;
}
