// The simulator's side of the station journal: each trial that went through
// becomes a row of data/journal.sqlite, sent on to the class database when
// data/classe.ini names one. A row also says in which of the class's
// exercises it was made and which coefficients it evaluated. A journal that cannot be written never stops a
// trial: its rows wait in memory and go in at the next trial that can write.
// The rows are written from a thread of their own, so a trial never waits
// for the disk; the session's end waits for them.
#pragma once

#include "array.h"

#include <array>

// A new session: the journal is opened and the settings read in the journal's
// thread, while the window goes on being built.
void startStationRecording();
// Returns once the journal of the session just started is open.
void awaitStationRecording();
// The trial just stored its account files and log: one row for it.
// countBefore: the account's count as the trial loaded it.
void recordTrial(const std::array<mxArray, 5>& ValR, const mxArray& A1, const mxArray& A2, const mxArray& H,
                 double countBefore);
void stopStationRecording();
