// The session's cost account. data/CoutO.dat, CoutR.dat and Nb_essai.dat are
// its master copy; during a trial the globals CoutO, CoutR and Nb_essai hold
// it, and outillage and reglage note what the sliders changed since the
// previous trial.
#pragma once

#include "array.h"
#include "facts.h"

#include <array>

// What the sliders changed since the previous trial.
struct SettingChanges {
    bool tooling, adjustment;
};

// The cost rule, on the account as a trial loads it. The first trial of an
// account (count 0) is paid by the start values: it is only counted. A later
// trial adds the tooling charge when the tooling changed and the adjustment
// charge when the setting did, and is counted only when the setting changed.
facts::Account chargedAccount(const facts::Account& loaded, SettingChanges changes);

// A new cost account at every start: the start values in the files, no change yet.
void resetAccount();
// A slider moved; tooling: it is one that changes the tooling.
void noteSliderMove(bool tooling);
// The files into the globals, before a trial; changes nothing when one cannot be used.
void loadAccount();
// The cost rule applied to the loaded account, which it returns; the change
// notes are spent.
facts::Account chargeTrial();
// The account back to its files, and the log of this trial's setting (real
// units) and results.
void storeAccountAndLog(const std::array<mxArray, 5>& ValR, const mxArray& A1, const mxArray& A2,
                        const mxArray& H);

// Called by the main module's initialiser and terminator.
void initializeMainAccount();
void terminateMainAccount();
