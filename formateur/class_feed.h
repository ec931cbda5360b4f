// The class database as the console follows it: the rows of essais by
// station (each station's latest kRowsKept), kept up to date by the server's
// notification of each new row, and by polling where notifications do not
// come (or were lost with the link).
// The database is read from a thread of its own: a server that takes seconds
// to answer, or to fail, never holds the console's window.
#pragma once

#include "class_database.h"
#include "class_exercise.h"
#include "journal.h"
#include "worker_thread.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

#include <map>
#include <vector>

class ClassFeedReader;

// A station's latest sign of life, as the server saw it.
struct StationContact {
    QString station, installation;
    bool open = false;    // the simulator runs, as far as the server knows
    bool silent = false;  // open, but nothing heard for longer than it should
    QDateTime seen;       // local time

    bool operator==(const StationContact& o) const {
        return station == o.station && installation == o.installation && open == o.open && silent == o.silent &&
               seen == o.seen;
    }
};

class ClassFeed : public QObject {
    Q_OBJECT
public:
    // The reading thread ends with the feed, once a query in flight has ended.
    explicit ClassFeed(const ClassServer& server, QObject* parent = nullptr);

    // Reads each station's latest rows, then follows the new ones; changed() tells of each
    // station read, problem() of a database that cannot be read now (the
    // feed keeps trying).
    void start();
    // Serves events until the first reading has ended; true when it read the
    // database, false with lastProblem() when it could not.
    bool waitForFirstRead();

    const std::map<QString, std::vector<Trial>>& stations() const { return rows_; }
    // The stations the trainer expects, and what the server last heard of each station.
    const QStringList& roster() const { return roster_; }
    const std::vector<StationContact>& contacts() const { return contacts_; }
    // Every row held: by station, then in the order the rows were made.
    std::vector<Trial> allRows() const;
    // A station's rows on the server beyond the kRowsKept latest that are held.
    qint64 rowsLeftOut(const QString& station) const;
    // The class's exercise running now, as last read (its model left out); none outside one.
    const std::optional<ClassExercise>& exercise() const { return exercise_; }
    // Its time left by the server's clock, counted on from when it was read.
    std::optional<double> exerciseSecondsLeft() const;
    bool notificationsWork() const { return subscribed_; }
    bool firstReadDone() const { return firstReadDone_; }
    // Why the database cannot be read now; empty when it can.
    const QString& lastProblem() const { return lastProblem_; }

    // How often the server is asked when it notifies (a safety net) and when
    // it does not (then the only way to see new rows).
    static constexpr int kSafetyPollMs = 5000, kPollMs = 500;
    // The rows held for one station: its latest ones.
    static constexpr int kRowsKept = 5000;

signals:
    void changed(const QString& station);
    void presenceChanged();
    // An exercise started or ended.
    void exerciseChanged();
    void firstReadEnded();
    // The connection may send rows but not read them: a station's, not the trainer's.
    void sendOnly();
    // A message when the database cannot be read; empty when it can again.
    void problem(const QString& message);

private:
    std::map<QString, std::vector<Trial>> rows_;
    std::map<QString, qint64> leftOut_;
    QStringList roster_;
    std::vector<StationContact> contacts_;
    std::optional<ClassExercise> exercise_;
    QElapsedTimer exerciseRead_;
    bool subscribed_ = false, firstReadDone_ = false;
    QString lastProblem_;
    WorkerThread<ClassFeedReader> reader_;  // last: it ends before the rest goes
};
