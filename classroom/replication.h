// Sends the station's journal to the class database, in the background: rows
// go in the journal's order, each keyed by (poste, session, numero), and are
// marked sent only once the class database has them. While the server cannot
// be reached the rows wait in the journal and the worker tries again, less
// and less often; what it found is kept in the journal for the console. While
// it runs, the station gives the server a sign of life now and then, and says
// when it ends, so that the class view tells a closed simulator from one that
// cannot reach the server. It also takes up the exercise the trainer runs for
// the class: told by the server at its start, or finding it at a pass, it
// puts the exercise's model in the station's poly/, once an exercise.
#pragma once

#include "class_exercise.h"
#include "worker_thread.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

typedef struct pg_cancel PGcancel;
class ReplicationWorker;

class Replication : public QObject {
    Q_OBJECT
public:
    // journalPath: data/journal.sqlite; serveur: the libpq connection string;
    // settingsPath: data/classe.ini, for the station's current name;
    // installation: the installation's identifier; polyFolder: where an
    // exercise's model goes.
    Replication(QString journalPath, QString serveur, QString settingsPath, QString installation,
                QString polyFolder, QObject* parent = nullptr);
    // Stops the worker as stop() does.
    ~Replication() override;

    // Starts the worker in a thread of its own.
    void start();
    // Rows were appended: send them soon. Never waits.
    void rowsAppended();
    // Ends the worker: it gets a moment to send what waits, then a query
    // still in flight is cancelled; the rows not sent wait in the journal.
    void stop();

    // Longest wait between two attempts while the server is unreachable.
    static constexpr int kLongestRetryMs = 10'000;
    // How long stop() lets the worker send what waits.
    static constexpr int kLastSendMs = 2'000;
    // How often a running station gives a sign of life.
    static constexpr int kSignOfLifeMs = 10'000;

signals:
    // What the worker found when it changed: whether the class database took
    // the rows, and why not. From the worker's thread.
    void statusChanged(bool reachable, const QString& message);
    // The class's exercise running now, as the server last said (number 0:
    // none), when it changed and again at each reconnection, with this
    // station's trials made in it so far; its model is in poly/ if it could
    // be written. From the worker's thread.
    void exerciseChanged(const ClassExercise& exercise, int trialsMade);

private:
    friend class ReplicationWorker;
    void setCancel(PGcancel* cancel);

    QString journalPath_, serveur_, settingsPath_, installation_, polyFolder_;
    QMutex cancelMutex_;
    PGcancel* cancel_ = nullptr;
    std::atomic<bool> stopping_{false};
    std::unique_ptr<WorkerThread<ReplicationWorker>> worker_;  // from start() to stop()
};
