// The station's settings: data/classe.ini, section [classe].
#pragma once

#include <QString>

struct StationSettings {
    QString poste;      // the station's name; the host name when not set
    QString stagiaire;  // the trainee at this station, may be empty
    QString serveur;    // libpq connection string or URI; empty: the station works alone

    // Reads the file; a missing file or key gives the defaults.
    static StationSettings load(const QString& iniPath);
    // Writes the three keys, keeping the rest of the file. False when it
    // cannot be written.
    bool save(const QString& iniPath, QString* error) const;
};
