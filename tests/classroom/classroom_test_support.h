// What the classroom tests share: the rows a working folder's journal holds,
// and waiting for something that comes from another thread or process.
#pragma once

#include "session.h"
#include "station_journal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <functional>

inline std::vector<JournalEntry> journalOf(const Workspace& w) {
    StationJournal journal(QString::fromStdString((w.path() / "data/journal.sqlite").string()));
    QString error;
    if (!journal.open(&error)) return {};
    auto entries = journal.entries(0, &error);
    return entries ? *entries : std::vector<JournalEntry>{};
}

// Polls until the condition holds or a minute went by; true when it held.
inline bool eventually(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(60'000);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return true;
}
