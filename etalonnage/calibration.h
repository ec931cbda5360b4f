// One calibration: the measured runs, the three fitted models, and what the
// models in use today predict at the same runs.
#pragma once

#include "fit.h"
#include "measurements.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace etalonnage {

using bending::ModelRows;  // A1, A2, H

struct Calibration {
    MeasurementSheet sheet;
    std::array<ModelFit, 3> fits;
    // The simulator's models as they stand (files or built-in rows); empty
    // with the reason when they cannot be evaluated.
    std::optional<ModelRows> current;
    QString currentError;
    std::array<Eigen::VectorXd, 3> currentPredictions;

    ModelRows fittedRows() const;
    // The run numbers of the sheet's outliers for model m, and the same as text: "4, 17".
    QList<int> outlierRuns(int m) const;
    QString outlierRunsText(int m) const;
};

// Throws NotEstimable or NotFinite. Reads the current models in the working folder.
Calibration calibrate(MeasurementSheet sheet);

// The models the simulator would use now, in the working folder; throws
// mclError when it cannot read them.
ModelRows currentModels();

// One object, a key per model, as the command line prints it.
QByteArray calibrationJson(const Calibration& c);

}  // namespace etalonnage
