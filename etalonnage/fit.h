// Least squares on the 21 terms, and the statistics a response-surface fit is
// judged by.
#pragma once

#include "terms.h"

#include <Eigen/Dense>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace etalonnage {

// A set of runs that cannot estimate all 21 terms; the message names them.
class NotEstimable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Results so large that a sum of their squares or a statistic overflows: such
// a fit has no meaning and must never reach the coefficient files.
class NotFinite : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct LackOfFit {
    double F, p;
    int dfLack, dfPure;
};

// A statistic that the runs cannot give (no residual degree of freedom, a
// run that alone fixes a coefficient) is NaN.
struct ModelFit {
    TermRow coefficients, standardErrors, t, p;
    int n = 0, dfResidual = 0;
    double r2 = 0, r2Adjusted = 0, r2Predicted = 0, rmse = 0;
    std::optional<LackOfFit> lackOfFit;  // only when replicated runs give a pure error
    Eigen::VectorXd fitted, residuals, studentized;  // studentized: externally, per run
    std::vector<int> outliers;  // indices of the runs whose |studentized| exceeds 3
};

// The runs' term matrix, factorised once for the three results.
class LeastSquares {
public:
    // Throws NotEstimable.
    explicit LeastSquares(const std::vector<Coded>& runs);
    // Throws NotFinite.
    ModelFit fit(const Eigen::VectorXd& y) const;

private:
    Eigen::MatrixXd X_;
    Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr_;
    Eigen::VectorXd leverage_;
    Eigen::VectorXd varianceFactor_;  // diagonal of (XᵀX)⁻¹, in term order
    std::vector<int> replicateGroup_;  // same setting, same group
    int groupCount_ = 0;
};

inline constexpr double kOutlierLimit = 3;

}  // namespace etalonnage
