// The station's journal: data/journal.sqlite, one row a trial, written by the
// simulator and read by the console. A data/journal.csv left by an older
// console is imported once, when the journal is created, and kept as it is.
#pragma once

#include "journal_row.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

// The columns of the journal.csv the console writes, which an older console
// also kept beside the journal.
QStringList journalCsvColumns();

// A row as the journal keeps it: its place in the journal and whether the
// class database has it.
struct JournalEntry {
    qint64 id = 0;  // increases with each row appended
    bool envoye = false;
    JournalRow row;
};

// What the replication worker last found, for the console.
struct ReplicationStatus {
    bool known = false;      // false until a worker has tried once
    bool reachable = false;  // the class database took the last rows
    QString message;         // why not, in French
    QString heure;           // when this was found (ISO 8601 UTC)
    qint64 pending = 0;      // rows not yet in the class database
};

// The class's exercise a station is in: none has number 0.
struct CurrentExercise {
    int number = 0;
    bool exam = false;
    std::optional<QDateTime> end;  // by the station's clock, from the time the server said was left
    bool running(const QDateTime& now) const { return number != 0 && (!end || now < *end); }
};

// What the editors and the console say when an exam holds the coefficients.
inline const QString kExamRefusal = QStringLiteral("Examen en cours : les coefficients sont fixés par le formateur.");
// Whether an exam runs now in the working folder, as its journal says; a
// folder without a journal, or one that cannot be read, holds none.
bool examRunning(const QString& workingFolder);

class StationJournal {
public:
    // The journal's file; nothing is opened yet.
    explicit StationJournal(QString path);
    ~StationJournal();
    StationJournal(const StationJournal&) = delete;
    StationJournal& operator=(const StationJournal&) = delete;

    // Opens the journal, creating it when missing (then importing journal.csv
    // beside it, its rows under the station name importPoste). A file that is
    // not a database at all is set aside as FILE.bad-<time> and a new journal
    // is started. durable: every commit reaches the disk before it returns
    // (the simulator's rows); the worker's bookkeeping needs no such wait.
    bool open(QString* error, const QString& importPoste = {}, bool durable = true);
    bool isOpen() const;
    void close();
    const QString& path() const { return path_; }

    // Appends the rows in one transaction: all of them or none.
    bool append(const std::vector<JournalRow>& rows, QString* error);
    // Rows after the entry id, oldest first (at most limit of them, all when 0).
    std::optional<std::vector<JournalEntry>> entries(qint64 afterId, QString* error, int limit = 0);
    // The id just before the latest session's rows, after any other
    // session's: a reader of that session alone starts there (0 when empty).
    std::optional<qint64> latestSessionStart(QString* error);
    // The oldest rows not yet in the class database.
    std::optional<std::vector<JournalEntry>> unsent(int limit, QString* error);
    bool markSent(const std::vector<JournalEntry>& sent, QString* error);
    // A row the class database refuses for good: kept here, never sent again.
    bool markSetAside(const JournalEntry& refused, QString* error);

    // A session's rows, in the order they were made.
    std::optional<std::vector<JournalEntry>> session(const QString& session, QString* error);
    // The trainer's comments on a session's trials, by trial number.
    std::optional<std::map<int, QString>> comments(const QString& session, QString* error);
    // Sets a trial's comment; an empty text removes it.
    bool writeComment(const QString& session, int number, const QString& text, QString* error);

    // The class's exercise whose model the station last put in poly/ (0 for none).
    std::optional<int> appliedExercise(QString* error);
    bool writeAppliedExercise(int number, QString* error);
    // The class's exercise the station is in now, as the worker last heard it.
    std::optional<CurrentExercise> currentExercise(QString* error);
    bool writeCurrentExercise(const CurrentExercise& exercise, QString* error);
    // This station's rows made in that exercise, any session.
    std::optional<int> trialsInExercise(int number, QString* error);

    bool writeReplicationStatus(bool reachable, const QString& message, QString* error);
    std::optional<ReplicationStatus> replicationStatus(QString* error);

private:
    bool createSchema(const QString& importPoste, QString* error);
    std::optional<std::vector<JournalEntry>> select(const QString& condition, const QVariantList& values,
                                                    QString* error);
    QString path_, connection_;
};

// The rows of an old journal.csv, as the console wrote them (sessions numbered
// 1, 2, ...), under the station name given. Damaged lines are left out.
std::vector<JournalRow> importJournalCsv(const QString& csvPath, const QString& poste);
