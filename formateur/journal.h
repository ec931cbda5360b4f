// A trial as the console shows it, from a row of the station's journal or of
// the class database, and the row written back out as CSV.
#pragma once

#include "facts.h"
#include "station_journal.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <array>

// The target part.
constexpr double kTargetA1 = facts::kTarget.A1, kTargetA2 = facts::kTarget.A2, kTargetH = facts::kTarget.H;

// The row, with its time in local time for the trainer.
struct Trial : JournalRow {
    QDateTime time;
    QDateTime received;  // by the class database's clock; none for a row of the station's own journal

    double deviationA1() const { return A1 - kTargetA1; }
    double deviationA2() const { return A2 - kTargetA2; }
    double deviationH() const { return H - kTargetH; }
    double total() const { return tooling + adjustment; }
    // Whether the row can come from a simulator: finite values, settings in
    // their ranges, a part and an account a trial can have. A row from the
    // class database is untrusted: one that is not is shown, never ranked.
    bool plausible() const;
};

Trial trialFrom(const JournalRow& row);

// The columns of the class database's essais, then recu as the server wrote
// it and in seconds; a trial read from a row of them.
QString classRowColumns();
Trial classTrialAt(const QSqlQuery& q);
// The index of recu's text in those columns.
int classRowReceivedColumn();

// The columns of the CSV export and one trial's row.
QStringList csvColumns();
// Numbers as the simulator printed them; derived ones with no more decimals.
QStringList csvFields(const Trial& trial);
