#include "journal_follower.h"

#include "facts.h"

#include <QDir>
#include <QFileInfo>

JournalFollower::JournalFollower(const QString& dataFolder, QObject* parent)
    : QObject(parent), journal_(QDir(dataFolder).filePath(facts::kJournalFile)) {
    connect(&timer_, &QTimer::timeout, this, &JournalFollower::poll);
    timer_.start(kPollMs);
    poll();
}

void JournalFollower::poll() {
    QString error;
    if (!journal_.isOpen()) {
        // The simulator makes the journal at its first start; the console only reads.
        if (!QFileInfo(journal_.path()).isFile()) return;
        if (!journal_.open(&error, {}, false)) {
            journalFailed_ = true;
            return report(error);
        }
    }
    // Only the latest session is kept: the first read starts there.
    const auto start = lastId_ > 0 ? std::optional<qint64>(lastId_) : journal_.latestSessionStart(&error);
    const auto entries = start ? journal_.entries(*start, &error) : std::nullopt;
    if (!entries) {
        journal_.close();  // opened again at the next poll, once the cause is gone
        journalFailed_ = true;
        return report(error);
    }
    // The same fault coming back later is reported again.
    if (std::exchange(journalFailed_, false)) report({});
    for (const JournalEntry& e : *entries) {
        lastId_ = e.id;
        const Trial t = trialFrom(e.row);
        if (!session_.empty() && session_.back().session != t.session) session_.clear();
        session_.push_back(t);
        emit recorded(t);
    }
    if (ticks_++ % 5 == 0) checkServer();
}

void JournalFollower::checkServer() {
    QString error;
    const auto status = journal_.replicationStatus(&error);
    if (!status || !status->known) return;
    const Server now = status->reachable ? Server::Reachable : Server::Unreachable;
    if (now == server_) return;
    const Server before = std::exchange(server_, now);
    if (now == Server::Unreachable)
        report(QStringLiteral("Ce poste n'atteint pas le serveur de classe : %1 Les essais restent dans le journal "
                              "du poste (%2 en attente) et partiront à son retour.")
                   .arg(status->message)
                   .arg(status->pending));
    else if (before == Server::Unreachable)
        report(QStringLiteral("Le serveur de classe est de nouveau joignable : les essais en attente y sont envoyés."));
}

void JournalFollower::report(const QString& message) {
    if (message == lastProblem_) return;
    lastProblem_ = message;
    if (!message.isEmpty()) emit problem(message);
}
