// A session replayed trial by trial for the debrief: what each trial set,
// what moved since the one before and what it was charged, how far it was
// from the target, and the single move that would have brought it closest,
// by the model the trial evaluated.
#pragma once

#include "journal.h"
#include "model.h"
#include "scenario.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <string>
#include <vector>

// The model a trial evaluated, found by its fingerprint: poly/ when its files
// are that model, else a version kept in poly/historique/, « intégrés » for
// the built-in rows; when none is found, the current model and a note.
class TrialModels {
public:
    explicit TrialModels(std::string polyFolder);

    struct Found {
        ModelSnapshot model;
        QString note;  // empty when it is the trial's own model
    };
    const Found& forFingerprint(const QString& fingerprint);

private:
    Found find(const QString& fingerprint) const;

    std::string polyFolder_;
    std::map<QString, Found> found_;
};

// One variable moved within its range, the others kept: the move that
// brings the largest deviation in tolerances lowest.
struct Piste {
    int variable = 0;   // A, R, L, C, F
    double value = 0;   // real units
    double distance = 0;  // the largest deviation it gives, in tolerances
};
// The best value of variable alone, found exactly: the largest of the three
// deviations, each a quadratic in it, is lowest at an end of the range, at a
// deviation's turning point or zero, or where two deviations are equal.
Piste bestMoveOf(int variable, const ModelSnapshot& model, const Setting& coded, const Scenario& scenario);
// The best of the five.
Piste bestSingleMove(const ModelSnapshot& model, const Setting& coded, const Scenario& scenario);
// The largest deviation in tolerances of the model's prediction at coded.
double predictedDistance(const ModelSnapshot& model, const Setting& coded, const Scenario& scenario);

struct Change {
    int variable = 0;
    double before = 0, after = 0;
};

struct ReplayStep {
    Trial trial;
    std::optional<Trial> previous;
    std::vector<Change> changes;  // the variables that moved since the previous trial
    double toolingCharge = 0, adjustmentCharge = 0;
    Verdict verdict = Verdict::OutOfTolerance;
    double distance = 0;
    Piste piste;
    QStringList notes;  // a model or an exercise that changed at this trial, a model not found
    QString comment;

    // « R : 8 → 9 mm », then « A inchangé »…
    QStringList changeTexts() const;
    // « outillage 2 500 € + réglage 350 € », « non facturé »…
    QString chargeText() const;
    QString pisteText() const;
};

// The session's steps in the order of its trials, with the comments by trial number.
std::vector<ReplayStep> replaySteps(std::vector<Trial> session, const Scenario& scenario, TrialModels& models,
                                    const std::map<int, QString>& comments = {});

// A real value with its unit as the trainer reads it: « 8,5 mm », « 4° ».
QString realText(int variable, double value);

// `formateur --rejouer SESSION --json`: one object a trial, in order.
QByteArray replayJson(const std::vector<ReplayStep>& steps);
