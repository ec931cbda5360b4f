// The trainer's comments on a session's trials: kept in the class database
// when the session is there, in the station's journal otherwise. A comment
// the class server cannot take now waits in the console's data folder
// (commentaires_en_attente.json) and is sent at the next chance.
#pragma once

#include "journal.h"

#include <QString>

#include <map>
#include <optional>
#include <vector>

// Where a session and its comments are.
struct SessionPlace {
    QString conninfo;  // the class database; empty: the station's journal
    QString station, session;
};

// A session by its identifier: in the station's journal of dataFolder, else
// on the class server conninfo when one is given. place: where it was found.
std::optional<std::vector<Trial>> findSession(const QString& dataFolder, const QString& session,
                                              const QString& conninfo, SessionPlace* place, QString* problem);

class TrialComments {
public:
    explicit TrialComments(QString dataFolder);

    // The session's comments by trial number, those still waiting for the
    // server included; *problem says what could not be read.
    std::map<int, QString> load(const SessionPlace& place, QString* problem);
    // Sets a trial's comment (an empty text removes it). False when it could
    // not be kept at all; *problem also tells of a comment kept to be sent later.
    bool save(const SessionPlace& place, int number, const QString& text, QString* problem);
    // Sends the comments waiting; false with the reason when some still wait.
    bool sendWaiting(QString* problem);
    int waiting() const;

    static constexpr const char* kWaitingFile = "commentaires_en_attente.json";

private:
    struct Waiting {
        SessionPlace place;
        int number = 0;
        QString text;
    };
    std::vector<Waiting> readWaiting() const;
    bool writeWaiting(const std::vector<Waiting>& waiting, QString* problem) const;

    QString dataFolder_;
};
