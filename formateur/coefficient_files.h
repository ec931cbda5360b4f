// The coefficient files as the simulator will use them at its next trial,
// their kept versions in poly/historique/, and the restoring of a version.
#pragma once

#include "model.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <optional>
#include <vector>

using CoefficientRow = bending::TermRow;

// The 21 numbers of a coefficient file, read as the simulator reads them:
// numbers separated by blanks, up to the first text that is not one.
// Empty, with *problem set, when they are not exactly 21 finite numbers.
std::optional<CoefficientRow> parseCoefficients(const std::string& content, QString* problem);
// The model's value at a coded setting.
double evaluateRow(const CoefficientRow& row, const Setting& x);

struct CoefficientFile {
    enum State { Usable, Missing, Unreadable, Invalid } state = Missing;
    QString problem;  // for Unreadable and Invalid
    std::optional<CoefficientRow> row;
};

// What the simulator takes: the three files when all three open, otherwise
// the built-in rows for all three models.
struct ModelSources {
    std::array<CoefficientFile, 3> files;  // A1, A2, H
    bool filesUsed() const;
    // One or two files there: the simulator silently ignores them.
    bool partial() const;
    // In French, for the trainer: which coefficients, and why.
    QString summary() const;
};
ModelSources inspectModelSources(const QString& polyFolder);

struct KeptVersion {
    QString path;
    QDateTime time;  // local time of the replacement that kept it
    int sequence = 1;
};
// Newest first.
std::vector<KeptVersion> keptVersions(const QString& polyFolder, int model);

// Why poly/ may not be restored now (an exam holds the working folder's
// coefficients), empty when it may.
QString restoreRefusal(const QString& polyFolder);
// Puts a kept version back in place; the file it replaces is kept in turn.
// Returns the message for the trainer, empty on success.
QString restoreVersion(const QString& polyFolder, int model, const QString& versionPath);
// Keeps the three files in the history and removes them, so that the
// simulator uses its built-in rows. Returns the message, empty on success.
QString restoreBuiltInRows(const QString& polyFolder);

// The models with the built-in rows, whatever poly/ holds now.
ModelSnapshot builtInModels();
