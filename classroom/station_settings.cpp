#include "station_settings.h"

#include <QDir>
#include <QSysInfo>
#include <QSettings>

StationSettings StationSettings::load(const QString& iniPath) {
    QSettings ini(iniPath, QSettings::IniFormat);
    StationSettings s;
    s.poste = ini.value("classe/poste").toString().trimmed();
    if (s.poste.isEmpty()) s.poste = QSysInfo::machineHostName();
    s.stagiaire = ini.value("classe/stagiaire").toString().trimmed();
    s.serveur = ini.value("classe/serveur").toString().trimmed();
    return s;
}

bool StationSettings::save(const QString& iniPath, QString* error) const {
    QSettings ini(iniPath, QSettings::IniFormat);
    ini.setValue("classe/poste", poste);
    ini.setValue("classe/stagiaire", stagiaire);
    if (serveur.isEmpty())
        ini.remove("classe/serveur");
    else
        ini.setValue("classe/serveur", serveur);
    ini.sync();
    if (ini.status() != QSettings::NoError) {
        *error = QStringLiteral("Impossible d'écrire %1.").arg(QDir::toNativeSeparators(iniPath));
        return false;
    }
    return true;
}
