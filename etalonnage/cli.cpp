#include "cli.h"

#include "calibration.h"
#include "documents.h"
#include "factors.h"
#include "model_files.h"

#include <QFileInfo>

#include <cstdio>

namespace etalonnage {

namespace {

void error(const QString& message) { std::fprintf(stderr, "%s\n", message.toUtf8().constData()); }

QString statistic(double x, int decimals = 4) { return std::isfinite(x) ? QString::number(x, 'f', decimals) : "—"; }

QString fitText(const Calibration& c) {
    QString text;
    for (int m = 0; m < 3; ++m) {
        const ModelFit& f = c.fits[m];
        text += QStringLiteral("Modèle %1 (%2 essais)\n").arg(kResults[m].symbol).arg(f.n);
        text += QStringLiteral("  %1 %2 %3 %4 %5\n").arg("terme", -6).arg("coefficient", 14).arg("erreur type", 14)
                    .arg("t", 10).arg("p", 10);
        for (int k = 0; k < kTermCount; ++k)
            text += QStringLiteral("  %1 %2 %3 %4 %5\n").arg(QString::fromStdString(termNames()[k]), -6)
                        .arg(statistic(f.coefficients[k], 6), 14).arg(statistic(f.standardErrors[k], 6), 14)
                        .arg(statistic(f.t[k], 2), 10).arg(statistic(f.p[k], 4), 10);
        text += QStringLiteral("  R² %1   R² ajusté %2   R² de prévision %3   RMSE %4\n")
                    .arg(statistic(f.r2), statistic(f.r2Adjusted), statistic(f.r2Predicted), statistic(f.rmse));
        if (f.lackOfFit)
            text += QStringLiteral("  Manque d'ajustement : F = %1 (%2 et %3 ddl), p = %4\n")
                        .arg(statistic(f.lackOfFit->F, 3)).arg(f.lackOfFit->dfLack).arg(f.lackOfFit->dfPure)
                        .arg(statistic(f.lackOfFit->p));
        const QString atypical = c.outlierRunsText(m);
        if (!atypical.isEmpty()) text += QStringLiteral("  Essais atypiques : %1\n").arg(atypical);
        text += '\n';
    }
    return text;
}

}  // namespace

int runPlan(const PlanRequest& r) {
    const Plan plan = makePlan(r.centres, r.seed);
    if (const QString problem = writePlanCsv(plan, r.csv); !problem.isEmpty()) {
        error(problem);
        return 1;
    }
    if (!r.pdf.isEmpty()) {
        const QString problem = writePlanPdf(plan, r.pdf);
        if (!problem.isEmpty()) {
            error(problem);
            return 1;
        }
    }
    std::printf("%s\n", QStringLiteral("Plan de %1 essais (graine %2) écrit dans « %3 ».")
                            .arg(plan.runs.size()).arg(plan.seed).arg(r.csv).toUtf8().constData());
    return 0;
}

int runFit(const FitRequest& r) {
    Calibration c;
    try {
        c = calibrate(readSheet(r.sheet));
    } catch (const std::exception& e) {
        error(QString::fromUtf8(e.what()));
        return 1;
    }
    for (const QString& w : c.sheet.warnings) error("Attention : " + w);
    if (r.json)
        std::printf("%s\n", calibrationJson(c).constData());
    else
        std::printf("%s", fitText(c).toUtf8().constData());
    if (r.save) {
        const QString problem = saveModels(c.fittedRows());
        if (!problem.isEmpty()) {
            error(problem);
            return 1;
        }
        error("Les trois modèles sont enregistrés dans poly/ ; le simulateur les prend à son prochain essai.");
    }
    if (!r.report.isEmpty()) {
        const QString problem = writeReportPdf(c, QFileInfo(r.sheet).fileName(), r.report);
        if (!problem.isEmpty()) {
            error(problem);
            return 1;
        }
    }
    return 0;
}

}  // namespace etalonnage
