#include "trial_comments.h"

#include "class_database.h"
#include "facts.h"
#include "file_safety.h"
#include "report.h"
#include "station_journal.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <iterator>

namespace {

bool samePlace(const SessionPlace& a, const SessionPlace& b) {
    return a.conninfo == b.conninfo && a.station == b.station && a.session == b.session;
}

}  // namespace

std::optional<std::vector<Trial>> findSession(const QString& dataFolder, const QString& session,
                                              const QString& conninfo, SessionPlace* place, QString* problem) {
    std::vector<Trial> trials;
    StationJournal journal(QDir(dataFolder).filePath(facts::kJournalFile));
    QString error;
    if (journal.open(&error, {}, false)) {
        if (const auto entries = journal.session(session, &error))
            for (const JournalEntry& e : *entries) trials.push_back(trialFrom(e.row));
    }
    if (!trials.empty()) {
        *place = {{}, trials.front().station, session};
        return trials;
    }
    if (!conninfo.isEmpty() &&
        withClassDatabase(conninfo, [&](QSqlDatabase& db, QString* e) {
            const auto rows = classSession(db, session, e);
            // One station's: a session is named once, but a cloned PC may have sent the same.
            if (rows)
                for (const JournalRow& r : *rows)
                    if (r.station == rows->front().station) trials.push_back(trialFrom(r));
            return rows.has_value();
        }, &error) && !trials.empty()) {
        *place = {conninfo, trials.front().station, session};
        return trials;
    }
    *problem = QStringLiteral("Session « %1 » introuvable dans le journal du poste%2%3.")
                   .arg(session, conninfo.isEmpty() ? QString() : QStringLiteral(" ni sur le serveur de classe"),
                        error.isEmpty() ? QString() : " (" + error + ")");
    return std::nullopt;
}

TrialComments::TrialComments(QString dataFolder) : dataFolder_(std::move(dataFolder)) {}

std::vector<TrialComments::Waiting> TrialComments::readWaiting() const {
    const auto read = file_safety::readRegularFile(QFile::encodeName(QDir(dataFolder_).filePath(kWaitingFile)).toStdString());
    std::vector<Waiting> out;
    if (read.status != file_safety::ReadStatus::Read) return out;
    for (const QJsonValue& v : QJsonDocument::fromJson(QByteArray::fromStdString(read.content)).array()) {
        const QJsonObject o = v.toObject();
        out.push_back({{o["serveur"].toString(), o["poste"].toString(), o["session"].toString()},
                       o["numero"].toInt(),
                       o["texte"].toString()});
    }
    return out;
}

bool TrialComments::writeWaiting(const std::vector<Waiting>& waiting, QString* problem) const {
    QJsonArray list;
    for (const Waiting& w : waiting)
        list.append(QJsonObject{{"serveur", w.place.conninfo},
                                {"poste", w.place.station},
                                {"session", w.place.session},
                                {"numero", w.number},
                                {"texte", w.text}});
    if (saveWhole(QDir(dataFolder_).filePath(kWaitingFile), QJsonDocument(list).toJson())) return true;
    *problem = QStringLiteral("Le commentaire n'a pas pu être gardé dans %1.")
                   .arg(QDir::toNativeSeparators(QDir(dataFolder_).filePath(kWaitingFile)));
    return false;
}

int TrialComments::waiting() const { return int(readWaiting().size()); }

std::map<int, QString> TrialComments::load(const SessionPlace& place, QString* problem) {
    std::map<int, QString> comments;
    QString error;
    if (place.conninfo.isEmpty()) {
        StationJournal journal(QDir(dataFolder_).filePath(facts::kJournalFile));
        std::optional<std::map<int, QString>> read;
        if (journal.open(&error, {}, false)) read = journal.comments(place.session, &error);
        if (read) comments = *read;
        else *problem = error;
        return comments;
    }
    sendWaiting(&error);
    const bool read = withClassDatabase(place.conninfo, [&](QSqlDatabase& db, QString* e) {
        const auto found = classComments(db, place.station, place.session, e);
        if (found) comments = *found;
        return found.has_value();
    }, &error);
    if (!read) *problem = QStringLiteral("Commentaires du serveur illisibles : %1").arg(error);
    // A removal waiting to be sent removes the comment here too.
    for (const Waiting& w : readWaiting())
        if (samePlace(w.place, place) && w.text.isEmpty()) comments.erase(w.number);
        else if (samePlace(w.place, place)) comments[w.number] = w.text;
    return comments;
}

bool TrialComments::save(const SessionPlace& place, int number, const QString& text, QString* problem) {
    QString error;
    if (place.conninfo.isEmpty()) {
        StationJournal journal(QDir(dataFolder_).filePath(facts::kJournalFile));
        if (journal.open(&error, {}, true) && journal.writeComment(place.session, number, text, &error)) return true;
        *problem = error;
        return false;
    }
    // In order: one waiting for this trial goes first, then this one replaces it.
    std::vector<Waiting> waiting = readWaiting();
    waiting.erase(std::remove_if(waiting.begin(), waiting.end(),
                                 [&](const Waiting& w) { return samePlace(w.place, place) && w.number == number; }),
                  waiting.end());
    waiting.push_back({place, number, text});
    if (!writeWaiting(waiting, problem)) return false;
    if (!sendWaiting(&error))
        *problem = QStringLiteral("Commentaire gardé sur ce poste, il partira vers le serveur de classe dès qu'il "
                                  "répondra (%1).").arg(error);
    return true;
}

bool TrialComments::sendWaiting(QString* problem) {
    const std::vector<Waiting> waiting = readWaiting();
    if (waiting.empty()) return true;
    QStringList servers;
    for (const Waiting& w : waiting)
        if (!servers.contains(w.place.conninfo)) servers << w.place.conninfo;
    // One connection a server; a server down keeps its comments, in their order.
    std::vector<Waiting> left;
    for (const QString& server : servers) {
        std::vector<Waiting> mine;
        std::copy_if(waiting.begin(), waiting.end(), std::back_inserter(mine),
                     [&](const Waiting& w) { return w.place.conninfo == server; });
        std::size_t sent = 0;
        QString error;
        withClassDatabase(server, [&](QSqlDatabase& db, QString* e) {
            for (; sent < mine.size(); ++sent) {
                const Waiting& w = mine[sent];
                if (!writeClassComment(db, w.place.station, w.place.session, w.number, w.text, e)) return false;
            }
            return true;
        }, &error);
        left.insert(left.end(), mine.begin() + std::ptrdiff_t(sent), mine.end());
        if (!error.isEmpty()) *problem = error;
    }
    if (left.size() != waiting.size() && !writeWaiting(left, problem)) return false;
    return left.empty();
}
