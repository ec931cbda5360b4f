#include "calibration.h"

#include "factors.h"
#include "coefficient_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cmath>

namespace etalonnage {

ModelRows currentModels() { return bending::rowsInUse(facts::kCoefficientFolder); }

ModelRows Calibration::fittedRows() const {
    ModelRows rows;
    for (int m = 0; m < 3; ++m) rows[m] = fits[m].coefficients;
    return rows;
}

QList<int> Calibration::outlierRuns(int m) const {
    QList<int> runs;
    for (int i : fits[m].outliers) runs << sheet.runs[std::size_t(i)].run;
    return runs;
}

QString Calibration::outlierRunsText(int m) const {
    QStringList runs;
    for (int r : outlierRuns(m)) runs << QString::number(r);
    return runs.join(", ");
}

Calibration calibrate(MeasurementSheet sheet) {
    Calibration c;
    c.sheet = std::move(sheet);
    std::vector<Coded> runs;
    const Eigen::Index n = Eigen::Index(c.sheet.runs.size());
    Eigen::MatrixXd y(n, 3);
    for (Eigen::Index i = 0; i < n; ++i) {
        const Measurement& m = c.sheet.runs[std::size_t(i)];
        runs.push_back(m.coded);
        y.row(i) << m.results[0], m.results[1], m.results[2];
    }
    const LeastSquares ls(runs);
    for (int m = 0; m < 3; ++m) {
        try {
            c.fits[m] = ls.fit(y.col(m));
        } catch (const NotFinite& e) {
            Eigen::Index largest = 0;
            y.col(m).cwiseAbs().maxCoeff(&largest);
            const Measurement& run = c.sheet.runs[std::size_t(largest)];
            throw NotFinite(QStringLiteral("Modèle %1 : %2\nVérifiez la feuille : le plus grand résultat %1 est %3 "
                                           "(ligne %4).\nAucun fichier n'a été écrit.")
                                .arg(kResults[m].symbol, QString::fromStdString(e.what()),
                                     QString::number(run.results[std::size_t(m)], 'g', 6))
                                .arg(run.line)
                                .toStdString());
        }
    }
    if (c.fits[0].dfResidual == 0)
        c.sheet.warnings << QStringLiteral("Autant d'essais que de termes : le modèle passe par chaque mesure et "
                                           "aucune erreur ne peut être estimée.");

    try {
        c.current = currentModels();
        for (int m = 0; m < 3; ++m) {
            c.currentPredictions[m].resize(n);
            for (Eigen::Index i = 0; i < n; ++i) c.currentPredictions[m][i] = evaluate((*c.current)[m], runs[std::size_t(i)]);
        }
    } catch (const std::exception& e) {
        c.current.reset();
        c.currentError = QString::fromUtf8(e.what());
    }
    return c;
}

namespace {

QJsonValue number(double x) { return std::isfinite(x) ? QJsonValue(x) : QJsonValue(QJsonValue::Null); }

QJsonArray numbers(const TermRow& row) {
    QJsonArray a;
    for (double x : row) a.append(number(x));
    return a;
}

}  // namespace

QByteArray calibrationJson(const Calibration& c) {
    QJsonObject all;
    for (int m = 0; m < 3; ++m) {
        const ModelFit& f = c.fits[m];
        QJsonObject o;
        o["coefficients"] = numbers(f.coefficients);
        o["erreurs_types"] = numbers(f.standardErrors);
        o["t"] = numbers(f.t);
        o["p"] = numbers(f.p);
        o["r2"] = number(f.r2);
        o["r2_ajuste"] = number(f.r2Adjusted);
        o["r2_prevision"] = number(f.r2Predicted);
        o["rmse"] = number(f.rmse);
        o["n"] = f.n;
        if (f.lackOfFit)
            o["manque_ajustement"] = QJsonObject{{"F", number(f.lackOfFit->F)}, {"p", number(f.lackOfFit->p)}};
        else
            o["manque_ajustement"] = QJsonValue::Null;
        QJsonArray outliers;
        for (int r : c.outlierRuns(m)) outliers.append(r);
        o["essais_atypiques"] = outliers;
        all[kResults[m].symbol] = o;
    }
    return QJsonDocument(all).toJson(QJsonDocument::Compact);
}

}  // namespace etalonnage
