// The station's journal as the console follows it: data/journal.sqlite, which
// the simulator writes a row a trial, its latest session read (trials made
// before the console was opened included) and then polled for new rows. It also says,
// once each time it changes, whether the station reaches the class server.
#pragma once

#include "journal.h"
#include "station_journal.h"

#include <QObject>
#include <QTimer>

#include <vector>

class JournalFollower : public QObject {
    Q_OBJECT
public:
    // Reads what the journal holds now; a journal not yet made is waited for.
    explicit JournalFollower(const QString& dataFolder, QObject* parent = nullptr);

    // The latest session, oldest trial first.
    const std::vector<Trial>& lastSession() const { return session_; }
    const QString& lastProblem() const { return lastProblem_; }

    static constexpr int kPollMs = 200;

signals:
    // A new row; a new session when its session differs from the last one's.
    void recorded(const Trial& trial);
    void problem(const QString& message);

private:
    void poll();
    void checkServer();
    void report(const QString& message);

    StationJournal journal_;
    qint64 lastId_ = 0;
    std::vector<Trial> session_;
    QTimer timer_{this};  // a child, so that its polls can be watched
    int ticks_ = 0;
    bool journalFailed_ = false;
    enum class Server { Unknown, Reachable, Unreachable } server_ = Server::Unknown;
    QString lastProblem_;
};
