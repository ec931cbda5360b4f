#include "documents.h"

#include "charts.h"
#include "factors.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QUrl>
#include <qcustomplot.h>

#include <cmath>

namespace etalonnage {

QString fr(double x, int decimals) {
    return std::isfinite(x) ? QLocale(QLocale::French).toString(x, 'f', decimals) : QStringLiteral("—");
}

QString planSummary(const Plan& plan) {
    const int n = int(plan.runs.size());
    return QStringLiteral("%1 essais : 16 du demi-plan factoriel (F = A·R·L·C, résolution V), 10 axiaux aux bouts des "
                          "plages, %2 au centre. Ils estiment les 21 termes du modèle : la constante, A, R, L, C, F, "
                          "les 10 produits et les 5 carrés ; il reste %3 degrés de liberté pour l'erreur, dont %4 "
                          "d'erreur pure (essais répétés au centre). Ordre des essais tiré de la graine %5.")
        .arg(n).arg(plan.centres).arg(n - kTermCount).arg(std::max(0, plan.centres - 1)).arg(plan.seed);
}

QString fitSummary(const ModelFit& f) {
    QString text = QStringLiteral("n = %1 essais, R² = %2, R² ajusté = %3, R² de prévision = %4, RMSE = %5\n")
                       .arg(f.n).arg(fr(f.r2, 4), fr(f.r2Adjusted, 4), fr(f.r2Predicted, 4), fr(f.rmse, 4));
    if (f.lackOfFit)
        text += QStringLiteral("Manque d'ajustement : F = %1 (%2 et %3 ddl), p = %4")
                    .arg(fr(f.lackOfFit->F, 2)).arg(f.lackOfFit->dfLack).arg(f.lackOfFit->dfPure)
                    .arg(fr(f.lackOfFit->p, 4));
    else
        text += QStringLiteral("Pas de test de manque d'ajustement : il faut des essais répétés.");
    return text;
}

namespace {

QString printDocument(QTextDocument& doc, const QString& file, const QString& title, QPageLayout::Orientation o) {
    QPdfWriter writer(file);
    writer.setTitle(title);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), o, QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter));
    doc.print(&writer);
    if (!QFileInfo(file).isFile() || QFileInfo(file).size() == 0)
        return QStringLiteral("Écriture de « %1 » impossible.").arg(file);
    return {};
}

// A4 inside the margins of printDocument, in points.
const QSizeF kBodyPoints = QSizeF(595.3, 841.9) - QSizeF(2 * 15 * 72 / 25.4, 2 * 12 * 72 / 25.4);

QString today() { return QLocale(QLocale::French).toString(QDateTime::currentDateTime(), "d MMMM yyyy à HH:mm"); }

}  // namespace

QString writePlanCsv(const Plan& plan, const QString& file) {
    const QByteArray csv = QByteArray::fromStdString(planCsv(plan));
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly) && out.write(csv) == csv.size() && out.commit()) return {};
    return QStringLiteral("Écriture de « %1 » impossible : %2.").arg(file, out.errorString());
}

QString writePlanPdf(const Plan& plan, const QString& file) {
    QString html = QStringLiteral("<h2>Étalonnage du modèle — plan d'essais</h2><p>%1</p>"
                                  "<p>Régler la presse ligne par ligne, dans l'ordre, et noter A1, A2 et H mesurés.</p>"
                                  "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr><th>Essai</th>")
                       .arg(planSummary(plan).toHtmlEscaped());
    for (const Variable& v : kVariables) html += QStringLiteral("<th>%1 (%2)</th>").arg(v.symbol, v.unit);
    for (const Result& r : kResults) html += QStringLiteral("<th width=\"14%\">%1 (%2)</th>").arg(r.symbol, r.unit);
    html += "</tr>";
    for (const PlanRun& run : plan.runs) {
        html += QStringLiteral("<tr><td align=\"center\">%1</td>").arg(run.number);
        for (int v = 0; v < 5; ++v)
            html += QStringLiteral("<td align=\"center\">%1</td>").arg(fr(realValue(kVariables[v], run.coded[v]), 0));
        html += "<td></td><td></td><td></td></tr>";
    }
    html += QStringLiteral("</table><p>Édité le %1.</p>").arg(today());
    QTextDocument doc;
    // One page: the rows shrink with the number of runs.
    for (int points = 10; points >= 5; --points) {
        doc.setDefaultFont(QFont("DejaVu Sans", points));
        doc.setHtml(html);
        doc.setPageSize(kBodyPoints);
        if (doc.pageCount() == 1) break;
    }
    return printDocument(doc, file, "Plan d'essais", QPageLayout::Portrait);
}

QString writeReportPdf(const Calibration& c, const QString& sheetName, const QString& file) {
    QTextDocument doc;
    doc.setDefaultFont(QFont("DejaVu Sans", 7));
    QString html = QStringLiteral("<h2>Étalonnage du modèle — rapport d'ajustement</h2>"
                                  "<p>Mesures : %1 (%2 essais). Édité le %3.</p>")
                       .arg(sheetName.toHtmlEscaped()).arg(c.sheet.runs.size()).arg(today());
    for (const QString& w : c.sheet.warnings) html += "<p>Attention : " + w.toHtmlEscaped() + "</p>";
    if (!c.current) html += "<p>Modèle actuel illisible : " + c.currentError.toHtmlEscaped() + "</p>";
    QCustomPlot chart;
    chart.resize(520, 400);
    for (int m = 0; m < 3; ++m) {
        const ModelFit& f = c.fits[m];
        if (m > 0) html += "<p style=\"page-break-before: always\"></p>";
        html += QStringLiteral("<h3>Modèle %1</h3><p>%2</p>")
                    .arg(kResults[m].symbol, fitSummary(f).toHtmlEscaped().replace('\n', "<br>"));
        const QString atypical = c.outlierRunsText(m);
        if (!atypical.isEmpty())
            html += QStringLiteral("<p>Essais atypiques (résidu studentisé au-delà de 3) : %1.</p>").arg(atypical);
        html += "<table><tr>";
        for (int k = 0; k < 2; ++k) {
            const QString name = QStringLiteral("chart%1-%2").arg(m).arg(k);
            k == 0 ? drawAgreement(&chart, c, m) : drawResiduals(&chart, c, m);
            doc.addResource(QTextDocument::ImageResource, QUrl(name), chart.toPixmap(520, 400, 2.0).toImage());
            html += QStringLiteral("<td><img src=\"%1\" width=\"250\"></td>").arg(name);
        }
        html += "</tr></table>";
        html += "<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\"><tr><th>Terme</th><th>Coefficient</th>"
                "<th>Erreur type</th><th>t</th><th>p</th>";
        if (c.current) html += "<th>Modèle actuel</th>";
        html += "</tr>";
        for (int k = 0; k < kTermCount; ++k) {
            html += QStringLiteral("<tr><td>%1</td><td align=\"right\">%2</td><td align=\"right\">%3</td>"
                                   "<td align=\"right\">%4</td><td align=\"right\">%5</td>")
                        .arg(QString::fromStdString(termNames()[k]), fr(f.coefficients[k], 6),
                             fr(f.standardErrors[k], 6), fr(f.t[k], 2), fr(f.p[k], 4));
            if (c.current) html += QStringLiteral("<td align=\"right\">%1</td>").arg(fr((*c.current)[m][k], 6));
            html += "</tr>";
        }
        html += "</table>";
    }
    doc.setHtml(html);
    doc.setPageSize(kBodyPoints);
    return printDocument(doc, file, "Rapport d'étalonnage", QPageLayout::Portrait);
}

}  // namespace etalonnage
