// The station's settings: data/classe.ini, section [classe].
#pragma once

#include <QString>

struct StationSettings {
    QString poste;      // the station's name; the host name when not set
    QString stagiaire;  // the trainee at this station, may be empty
    QString serveur;    // libpq connection string or URI; empty: the station works alone
    // Why a file that is there was not read (a pipe, a folder, too big,
    // unreadable): the defaults stand in. Empty when it was read or is missing.
    QString problem;

    // Reads the file; a missing file or key gives the defaults. The file is
    // read only when it is a regular file, without blocking.
    static StationSettings load(const QString& iniPath);
    // Writes the three keys, keeping the rest of the file, under the lock
    // classe.lock beside it; never through another user's link. False when
    // it cannot be written, with *error saying why and what to do.
    bool save(const QString& iniPath, QString* error) const;
};
