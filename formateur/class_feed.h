// The class database as the console follows it: every row of essais, by
// station, kept up to date by the server's notification of each new row, and
// by polling where notifications do not come (or were lost with the link).
#pragma once

#include "journal.h"

#include <QObject>
#include <QSet>
#include <QSqlDriver>
#include <QTimer>

#include <map>
#include <vector>

class ClassFeed : public QObject {
    Q_OBJECT
public:
    // connection: the name of a PostgreSQL connection to the class database,
    // set up but not necessarily open; the feed opens it, and again after a
    // lost link.
    explicit ClassFeed(QString connection, QObject* parent = nullptr);
    ~ClassFeed() override;

    // Reads every row, then follows the new ones. False (and the message)
    // when the database cannot be read now; the feed keeps trying.
    bool start(QString* error);

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
    struct Known {
        QSet<QString> keys;  // session and number of each row held
        QString lastReceived;  // the latest recu seen, as the server wrote it
    };
    bool openDatabase(QString* error);
    void notified(const QString& name, QSqlDriver::NotificationSource, const QVariant& payload);
    bool fetch(const QString& station, QString* error);  // all new rows of one station, or of all when empty
    void fetchNotified();
    void poll();
    void report(const QString& message);

    QString connection_;
    bool subscribed_ = false;
    std::map<QString, std::vector<Trial>> rows_;
    std::map<QString, Known> known_;
    QSet<QString> notified_;
    QTimer pollTimer_;
    QString lastProblem_;
};
