// The class database as the console follows it: every row of essais, by
// station, kept up to date by the server's notification of each new row, and
// by polling where notifications do not come (or were lost with the link).
// The database is read from a thread of its own: a server that takes seconds
// to answer, or to fail, never holds the console's window.
#pragma once

#include "class_database.h"
#include "journal.h"

#include <QObject>
#include <QThread>

#include <map>
#include <vector>

class ClassFeedReader;

class ClassFeed : public QObject {
    Q_OBJECT
public:
    explicit ClassFeed(const ClassServer& server, QObject* parent = nullptr);
    // Ends the reading thread, once a query in flight has ended.
    ~ClassFeed() override;

    // Reads every row, then follows the new ones; changed() tells of each
    // station read, problem() of a database that cannot be read now (the
    // feed keeps trying).
    void start();
    // Serves events until the first reading has ended; true when it read the
    // database, false with lastProblem() when it could not.
    bool waitForFirstRead();

    const std::map<QString, std::vector<Trial>>& stations() const { return rows_; }
    // Every row: by station, then in the order the rows were made.
    std::vector<Trial> allRows() const;
    bool notificationsWork() const { return subscribed_; }
    // Why the database cannot be read now; empty when it can.
    const QString& lastProblem() const { return lastProblem_; }

    // How often the server is asked when it notifies (a safety net) and when
    // it does not (then the only way to see new rows).
    static constexpr int kSafetyPollMs = 5000, kPollMs = 500;

signals:
    void changed(const QString& station);
    // A message when the database cannot be read; empty when it can again.
    void problem(const QString& message);

private:
    QThread thread_;
    ClassFeedReader* reader_;  // lives in thread_
    std::map<QString, std::vector<Trial>> rows_;
    bool subscribed_ = false, firstReadDone_ = false;
    QString lastProblem_;
};
