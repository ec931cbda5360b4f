// The session journal: one row per trial the simulator made, read from the
// files it leaves in data/, kept in data/journal.csv.
#pragma once

#include "facts.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

// The target part.
constexpr double kTargetA1 = facts::kTarget.A1, kTargetA2 = facts::kTarget.A2, kTargetH = facts::kTarget.H;

struct Trial {
    QString station, trainee;
    QString session;  // one start of the simulator on that station
    int number = 0;   // 1, 2, ... in the session, uncharged repeats included
    QDateTime time;
    std::array<double, 5> setting{};  // A (°), R, L, C (mm), F (bars)
    double A1 = 0, A2 = 0, H = 0;
    double tooling = 0, adjustment = 0;
    int count = 0;
    bool charged = false;

    double deviationA1() const { return A1 - kTargetA1; }
    double deviationA2() const { return A2 - kTargetA2; }
    double deviationH() const { return H - kTargetH; }
    double total() const { return tooling + adjustment; }
};

// What data/ holds after a trial: the two lines of config_outillage.dat and
// the account. Missing or unreadable parts are reported in the error.
struct Account {
    double tooling = 0, adjustment = 0;
    int count = 0;
    bool isFreshStart() const {
        return tooling == facts::kStartAccount.tooling && adjustment == facts::kStartAccount.adjustment &&
               count == facts::kStartAccount.count;
    }
};
std::optional<Account> readAccount(const QString& dataFolder, QString* error);
// Fills the setting and the predictions of a trial from the log's two lines.
bool parseSettingsLog(const QString& text, Trial& trial, QString* error);

// Rows of journal.csv.
QStringList csvColumns();
QString csvHeader();
// Numbers as the simulator printed them; derived ones with no more decimals.
QStringList csvFields(const Trial& trial);
QString csvRow(const Trial& trial);
std::optional<Trial> parseCsvRow(const QString& line);

// data/journal.csv. Rows are appended one whole line per write on an append
// descriptor, then synced, so that a crash leaves no torn row.
class JournalFile {
public:
    explicit JournalFile(QString path);

    // Reads the journal. Damaged rows, or the whole file when its header is
    // from another version, go to FILE.bad; the journal keeps the good rows.
    // Returns the message for the trainer, empty when all was well.
    QString load();
    bool append(const Trial& trial, QString* error);

    const std::vector<Trial>& trials() const { return trials_; }
    const QString& path() const { return path_; }
    QString lastSession() const { return trials_.empty() ? QString() : trials_.back().session; }

private:
    QString path_;
    std::vector<Trial> trials_;
};

// The rows of one session, oldest first.
std::vector<Trial> sessionTrials(const std::vector<Trial>& all, const QString& session);
