#include "fit.h"

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>

namespace etalonnage {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// A pivot below this fraction of the largest one is taken as zero: the
// columns are coded (order one), so a smaller pivot is a dependence.
constexpr double kRankThreshold = 1e-9;

std::string joinTerms(const std::set<int>& terms) {
    std::string text;
    for (int k : terms) text += (text.empty() ? "" : ", ") + termNames()[k];
    return text;
}

// Each column the factorisation could not use, with the used columns it is a
// combination of: one group of terms that these runs cannot separate.
std::string dependenceMessage(const Eigen::ColPivHouseholderQR<Eigen::MatrixXd>& qr, int n) {
    const int rank = int(qr.rank());
    const Eigen::MatrixXd R = qr.matrixR().topRows(std::min<int>(n, kTermCount)).template triangularView<Eigen::Upper>();
    const auto& perm = qr.colsPermutation().indices();
    std::string groups;
    std::set<int> all;
    for (int c = rank; c < kTermCount; ++c) {
        std::set<int> group{perm[c]};
        if (rank > 0) {
            const Eigen::VectorXd z = R.topLeftCorner(rank, rank).triangularView<Eigen::Upper>().solve(
                R.block(0, c, rank, 1));
            const double scale = std::max(1.0, z.cwiseAbs().maxCoeff());
            for (int i = 0; i < rank; ++i)
                if (std::abs(z[i]) > 1e-6 * scale) group.insert(perm[i]);
        }
        all.insert(group.begin(), group.end());
        groups += "\n  – " + joinTerms(group);
    }
    std::string message;
    if (n < kTermCount)
        message = std::to_string(n) + (n > 1 ? " essais" : " essai") +
                  " pour 21 termes : il faut au moins 21 essais à des réglages assez variés. ";
    message += "Ces essais ne permettent pas d'estimer les 21 termes du modèle (rang " + std::to_string(rank) +
               " sur 21). Termes qui ne peuvent pas être séparés : " + joinTerms(all) + ".";
    if (n >= kTermCount) message += "\nGroupes de termes confondus :" + groups;
    return message + "\nAucun fichier n'a été écrit.";
}

// Sums of squares that overflow, and the NaN an infinity makes with another,
// come only from results out of all measure.
void requireFinite(bool finite, const std::string& what) {
    if (!finite)
        throw NotFinite("les résultats sont trop grands pour être ajustés (" + what +
                        " dépasse ce qu'un nombre peut représenter).");
}

// The upper tail of a distribution at x. Boost refuses a value it cannot take
// (an infinite F) with a message in English: said in French instead.
template <class Distribution>
double upperTail(const Distribution& distribution, double x, const std::string& what) {
    try {
        return boost::math::cdf(boost::math::complement(distribution, x));
    } catch (const std::exception&) {
        throw NotFinite(what + " ne peut pas être calculé : sa valeur dépasse ce qu'un nombre peut représenter.");
    }
}

}  // namespace

LeastSquares::LeastSquares(const std::vector<Coded>& runs) : X_(runs.size(), kTermCount) {
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const TermRow row = termRow(runs[i]);
        X_.row(Eigen::Index(i)) = Eigen::Map<const Eigen::RowVectorXd>(row.data(), kTermCount);
    }
    qr_.setThreshold(kRankThreshold);
    qr_.compute(X_);
    if (runs.size() < std::size_t(kTermCount) || qr_.rank() < kTermCount)
        throw NotEstimable(dependenceMessage(qr_, int(runs.size())));

    // X·P = Q·R, so (XᵀX)⁻¹ = P·R⁻¹·R⁻ᵀ·Pᵀ and the leverages are the squared
    // row norms of X·P·R⁻¹.
    const auto R = qr_.matrixR().topRows(kTermCount).triangularView<Eigen::Upper>();
    const Eigen::MatrixXd Rinv = R.solve(Eigen::MatrixXd::Identity(kTermCount, kTermCount));
    const Eigen::VectorXd rowNorms = Rinv.rowwise().squaredNorm();
    varianceFactor_ = qr_.colsPermutation() * rowNorms;
    const Eigen::MatrixXd W = (X_ * qr_.colsPermutation()) * Rinv;
    leverage_ = W.rowwise().squaredNorm();

    // Replicates: runs at the same setting, compared on the coded values
    // rounded well below anything a press can set apart.
    std::map<std::array<long long, 5>, int> groups;
    replicateGroup_.resize(runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        std::array<long long, 5> key;
        for (int v = 0; v < 5; ++v) key[v] = std::llround(runs[i][v] * 1e6);
        replicateGroup_[i] = groups.emplace(key, int(groups.size())).first->second;
    }
    groupCount_ = int(groups.size());
}

ModelFit LeastSquares::fit(const Eigen::VectorXd& y) const {
    ModelFit f;
    const int n = int(X_.rows());
    f.n = n;
    f.dfResidual = n - kTermCount;
    const Eigen::VectorXd beta = qr_.solve(y);
    f.fitted = X_ * beta;
    f.residuals = y - f.fitted;
    const double sse = f.residuals.squaredNorm();
    const double sst = (y.array() - y.mean()).matrix().squaredNorm();
    requireFinite(beta.allFinite() && std::isfinite(sse) && std::isfinite(sst), "la somme de leurs carrés");
    const int df = f.dfResidual;
    const double mse = df > 0 ? sse / df : kNaN;
    f.rmse = std::sqrt(mse);
    f.r2 = sst > 0 ? 1 - sse / sst : kNaN;
    f.r2Adjusted = sst > 0 && df > 0 ? 1 - mse / (sst / (n - 1)) : kNaN;

    double press = 0;
    for (int i = 0; i < n; ++i) press += std::pow(f.residuals[i] / (1 - leverage_[i]), 2);
    // A run with leverage 1 fixes its own prediction: left out, nothing predicts it.
    const bool pressDefined = (leverage_.array() < 1 - 1e-9).all();
    requireFinite(!pressDefined || std::isfinite(press), "la somme des carrés des erreurs de prévision");
    f.r2Predicted = sst > 0 && pressDefined ? 1 - press / sst : kNaN;

    for (int k = 0; k < kTermCount; ++k) {
        f.coefficients[k] = beta[k];
        f.standardErrors[k] = std::sqrt(mse * varianceFactor_[k]);
        // Without an error (an exact fit), t cannot be given.
        f.t[k] = f.standardErrors[k] > 0 ? beta[k] / f.standardErrors[k] : kNaN;
        f.p[k] = kNaN;
        if (df > 0 && std::isfinite(f.t[k]))
            f.p[k] = 2 * upperTail(boost::math::students_t(df), std::abs(f.t[k]), "Le p du terme " + termNames()[k]);
    }

    // Externally studentised: the residual against the error estimated without the run.
    f.studentized = Eigen::VectorXd::Constant(n, kNaN);
    if (df > 1)
        for (int i = 0; i < n; ++i) {
            const double h = leverage_[i];
            if (h >= 1 - 1e-9) continue;
            const double s2 = (sse - f.residuals[i] * f.residuals[i] / (1 - h)) / (df - 1);
            if (s2 > 0) f.studentized[i] = f.residuals[i] / std::sqrt(s2 * (1 - h));
            if (std::abs(f.studentized[i]) > kOutlierLimit) f.outliers.push_back(i);
        }

    // Lack of fit: the residual split into pure error (replicates about their
    // own mean) and the rest.
    const int dfPure = n - groupCount_, dfLack = groupCount_ - kTermCount;
    if (dfPure > 0 && dfLack > 0) {
        std::vector<double> sum(groupCount_, 0.0);
        std::vector<int> count(groupCount_, 0);
        for (int i = 0; i < n; ++i) {
            sum[replicateGroup_[i]] += y[i];
            ++count[replicateGroup_[i]];
        }
        double pure = 0;
        for (int i = 0; i < n; ++i) pure += std::pow(y[i] - sum[replicateGroup_[i]] / count[replicateGroup_[i]], 2);
        if (pure > 0) {
            const double F = ((sse - pure) / dfLack) / (pure / dfPure);
            const double p = upperTail(boost::math::fisher_f(dfLack, dfPure), std::max(0.0, F),
                                       "Le test du manque d'ajustement");
            f.lackOfFit = LackOfFit{F, p, dfLack, dfPure};
        }
    }

    // A ratio over a vanishing error may still overflow.
    const auto infinite = [](double x) { return std::isinf(x); };
    requireFinite(std::none_of(f.standardErrors.begin(), f.standardErrors.end(), infinite) &&
                      std::none_of(f.t.begin(), f.t.end(), infinite) && !f.studentized.array().isInf().any() &&
                      !infinite(f.r2Adjusted) && !infinite(f.r2Predicted) && !infinite(f.rmse),
                  "une statistique de l'ajustement");
    return f;
}

}  // namespace etalonnage
