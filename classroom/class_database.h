// The class database on PostgreSQL: every station's rows in one table essais,
// keyed by (poste, session, numero).
#pragma once

#include "station_journal.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <functional>
#include <map>
#include <tuple>
#include <optional>
#include <vector>

// The schema version this program makes and understands.
constexpr int kClassSchemaVersion = 4;
// The longest station name a roster takes.
constexpr int kMaxStationName = 64;

// Where the class database is: a libpq URI or key=value string, split into
// what Qt's PostgreSQL driver takes. A password comes from ~/.pgpass or
// PGPASSFILE, never from the string, and only to a server verified over TLS
// (sslmode=verify-full); otherwise the connection carries none.
struct ClassServer {
    QString host, database, user;
    int port = -1;
    QString options;  // the other keys, for setConnectOptions
    bool verifiesServer = false;  // sslmode=verify-full
    QString passfile;             // a passfile the string names

    static std::optional<ClassServer> parse(const QString& conninfo, QString* error);
    // A PostgreSQL connection under that name, not yet opened.
    QSqlDatabase addConnection(const QString& connectionName) const;
    // "user@host:port/database" for messages.
    QString label() const;
};

// What the server said, else Qt's own words, in French.
QString sqlErrorText(const QSqlError& e);
// A message of the server or of its client library, in French where it is a known one.
QString frenchServerReason(const QString& message);

// Opens the connection; the message says in French what went wrong.
bool openClassDatabase(QSqlDatabase& db, const ClassServer& server, QString* error);
// Runs work on a connection of its own to conninfo's database, in this
// thread, then closes it; false with the message when it could not connect
// or work said so.
bool withClassDatabase(const QString& conninfo, const std::function<bool(QSqlDatabase&, QString*)>& work,
                       QString* error);

// Creates or upgrades the tables, the roles pliage_poste (insert only) and
// pliage_formateur (read) and the trigger that notifies each new row.
// Running it again changes nothing. A newer schema than this program's is
// refused. Returns the message for the trainer; ok tells whether it worked.
QString initClassDatabase(const QString& conninfo, bool* ok);

// Gives a station its own login role, member of pliage_poste, with a new
// password (a new one again when the role is there). name: lower-case
// letters, digits, '-' and '_', at most 32. Returns the lines the station
// needs (its ~/.pgpass line and its data/classe.ini), or why not.
QString addStationRole(const QString& conninfo, const QString& name, bool* ok);

// The stations the trainer expects: the names of a text, one a line (blank
// lines and blanks around a name left out). Null with the message when a
// name cannot be one.
std::optional<QStringList> rosterFromText(const QString& text, QString* error);
// Replaces the class's roster by those names, in one transaction.
bool setClassRoster(QSqlDatabase& db, const QStringList& names, QString* error);

// Sends the rows in one transaction, in order; rows the database already
// has are left as they are, so a retry never duplicates. refusedForGood: the
// server refused a row's values, which sending again will not change.
bool sendRows(QSqlDatabase& db, const std::vector<JournalEntry>& rows, QString* error, bool* refusedForGood = nullptr);

// Why a station's or a trainee's name cannot be one (what: « poste »,
// « stagiaire »), empty when it can: at most kMaxStationName characters, no
// control character, no direction mark, no blank at either end.
QString nameProblem(const QString& value, const QString& what);
// The first problem of a station's name and its trainee's, empty when none.
QString stationNamesProblem(const QString& poste, const QString& stagiaire);

// A session's rows on the class server (its identifier as the journals keep it), by trial number.
std::optional<std::vector<JournalRow>> classSession(QSqlDatabase& db, const QString& session, QString* error);
// The trainer's comments on a station's session, by trial number.
std::optional<std::map<int, QString>> classComments(QSqlDatabase& db, const QString& station, const QString& session,
                                                    QString* error);
// Every comment of the class, by station, session and trial number.
using TrialKey = std::tuple<QString, QString, int>;
std::optional<std::map<TrialKey, QString>> allClassComments(QSqlDatabase& db, QString* error);
// Sets a trial's comment; an empty text removes it.
bool writeClassComment(QSqlDatabase& db, const QString& station, const QString& session, int number,
                       const QString& text, QString* error);
