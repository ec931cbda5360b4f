#include "debrief_sheet.h"

#include "model.h"
#include "report.h"

#include <QBuffer>
#include <QDateTime>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPolygonF>

namespace {

constexpr int kColumns = 2, kRows = 3;  // trials a page: large enough to read, few pages
constexpr double kHeader = 62, kFooter = 14, kGap = 8;
constexpr int kResolution = 200;

// The painter draws in points: a font's size is set so that it is not scaled twice.
QFont sheetFont(double points, bool bold = false, bool italic = false) {
    QFont f("DejaVu Sans");
    f.setPointSizeF(points * 72.0 / kResolution);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// The profile's points in the box at equal scale, so that its angles are the part's.
QPolygonF profileIn(const QRectF& box, double A1, double A2, double H) {
    const double scale = std::min(box.width() / 80.0, box.height() / 45.0);
    QPolygonF out;
    for (const QPointF& p : profilePoints(A1, A2, H))
        out << QPointF(box.left() + p.x() * scale, box.bottom() - p.y() * scale);
    return out;
}

// Draws the text wrapped in the box; what does not fit ends with « … ».
// Returns the height used.
double drawWrapped(QPainter& p, const QRectF& box, const QString& text) {
    const QFontMetricsF metrics(p.font());
    const int flags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;
    auto height = [&](const QString& t) { return metrics.boundingRect(box, flags, t).height(); };
    QString shown = text;
    if (height(shown) > box.height()) {
        int low = 0, high = int(text.size());
        while (low < high) {
            const int mid = (low + high + 1) / 2;
            if (height(text.left(mid) + "…") <= box.height()) low = mid;
            else high = mid - 1;
        }
        shown = text.left(low) + "…";
    }
    p.drawText(box, flags, shown);
    return std::min(box.height(), height(shown));
}

void drawStep(QPainter& p, const QRectF& cell, const ReplayStep& s, const Scenario& scenario) {
    p.setPen(QPen(Qt::black, 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawRect(cell);
    const QRectF inner = cell.adjusted(6, 5, -6, -5);
    const Trial& t = s.trial;
    p.setFont(sheetFont(9, true));
    // The verdict in words and by the frame's weight: black and white keeps it.
    const QString verdict = verdictText(s.verdict);
    p.drawText(QRectF(inner.left(), inner.top(), inner.width(), 14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Essai n° %1 — %2").arg(t.number).arg(t.time.toString("HH:mm")));
    p.drawText(QRectF(inner.left(), inner.top(), inner.width(), 14), Qt::AlignRight | Qt::AlignVCenter,
               verdict.toUpper());
    if (s.verdict == Verdict::InTolerance) p.drawRect(cell.adjusted(1.5, 1.5, -1.5, -1.5));

    const QRectF chart(inner.left(), inner.top() + 17, inner.width() * 0.46, 72);
    p.setPen(QPen(QColor(170, 170, 170), 0.5));
    p.drawRect(chart);
    const QRectF box = chart.adjusted(3, 3, -3, -3);
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.drawPolyline(profileIn(box, kTargetA1, kTargetA2, kTargetH));
    if (s.previous) {
        p.setPen(QPen(QColor(120, 120, 120), 1, Qt::DotLine));
        p.drawPolyline(profileIn(box, s.previous->A1, s.previous->A2, s.previous->H));
    }
    p.setPen(QPen(Qt::black, 2));
    p.drawPolyline(profileIn(box, t.A1, t.A2, t.H));

    p.setFont(sheetFont(7));
    QStringList setting;
    for (std::size_t i = 0; i < t.setting.size(); ++i)
        setting << QString::fromUtf8(facts::kVariables[i].symbol) + " " + realText(int(i), t.setting[i]);
    auto deviation = [](const QString& name, double value, double target, double tolerance, const QString& unit) {
        return QStringLiteral("%1 %2%4 (%3%4)%5")
            .arg(name, fr(value, 2), fr(value - target, 2), unit, std::abs(value - target) <= tolerance ? "" : " ✗");
    };
    const QString right = setting.join("   ") + "\n" +
                          deviation("A1", t.A1, kTargetA1, scenario.toleranceA1, "°") + "\n" +
                          deviation("A2", t.A2, kTargetA2, scenario.toleranceA2, "°") + "\n" +
                          deviation("H", t.H, kTargetH, scenario.toleranceH, "\u00A0mm") + "\n" +
                          QStringLiteral("Écart : %1 × tolérance").arg(fr(s.distance, 2));
    p.setPen(Qt::black);
    drawWrapped(p, QRectF(chart.right() + 6, chart.top(), inner.right() - chart.right() - 6, chart.height()), right);

    double y = chart.bottom() + 4;
    auto paragraph = [&](const QString& text, const QFont& font) {
        if (text.isEmpty() || y >= inner.bottom()) return;
        p.setFont(font);
        y += drawWrapped(p, QRectF(inner.left(), y, inner.width(), inner.bottom() - y), text) + 2;
    };
    const QFont plain = sheetFont(7), bold = sheetFont(7, true), italic = sheetFont(7.5, false, true);
    QStringList moved = s.changeTexts();
    moved.erase(std::remove_if(moved.begin(), moved.end(), [](const QString& c) { return c.endsWith("inchangé"); }),
                moved.end());
    paragraph("Changements : " + (moved.isEmpty() ? QStringLiteral("aucun") : moved.join(" · ")) + ". Facturé : " +
                  s.chargeText() + ".",
              plain);
    // The trainer's word first: what does not fit is cut from the end.
    paragraph(s.comment.isEmpty() ? QString() : "Formateur : « " + s.comment + " »", italic);
    paragraph(s.notes.join(" "), bold);
    paragraph(s.pisteText(), plain);
}

}  // namespace

bool writeDebriefSheet(const QString& pdfFile, const std::vector<ReplayStep>& steps, const Scenario& scenario) {
    std::vector<Trial> session;
    for (const ReplayStep& s : steps) session.push_back(s.trial);
    const QString who = stationAndTrainee(session), dates = sessionDates(session);
    // Laid out in memory first: a file that cannot be written leaves nothing half-done.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12, 12, 12, 12),
                                         QPageLayout::Millimeter));
        writer.setResolution(kResolution);
        writer.setTitle("Fiche de débriefing — " + who);
        const double scale = writer.resolution() / 72.0;
        const QSizeF page = writer.pageLayout().paintRectPixels(writer.resolution()).size() / scale;
        const int perPage = kColumns * kRows;
        const int pages = std::max<int>(1, int((steps.size() + perPage - 1) / perPage));
        const QSizeF cell((page.width() - kGap * (kColumns - 1)) / kColumns,
                          (page.height() - kHeader - kFooter - kGap * (kRows - 1)) / kRows);
        QPainter p;
        if (!p.begin(&writer)) return false;
        p.scale(scale, scale);
        p.setRenderHint(QPainter::Antialiasing);
        for (int page_ = 0; page_ < pages; ++page_) {
            if (page_ > 0) writer.newPage();
            p.setPen(Qt::black);
            p.setFont(sheetFont(12, true));
            p.drawText(QRectF(0, 0, page.width(), 18), Qt::AlignLeft | Qt::AlignTop, "Fiche de débriefing — " + who);
            p.setFont(sheetFont(7.5));
            p.drawText(QRectF(0, 19, page.width(), kHeader - 22), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                       (dates.isEmpty() ? QString() : "Session " + dates + ". ") + exerciseText(scenario) +
                           " €.\nProfils : trait plein, cet essai ; tirets, la cible ; pointillés, l'essai précédent. "
                           "Un cadre double : essai réussi. ✗ : hors tolérance.");
            for (int k = 0; k < perPage; ++k) {
                const std::size_t index = std::size_t(page_ * perPage + k);
                if (index >= steps.size()) break;
                const QRectF at(k % kColumns * (cell.width() + kGap), kHeader + k / kColumns * (cell.height() + kGap),
                                cell.width(), cell.height());
                drawStep(p, at, steps[index], scenario);
            }
            p.setFont(sheetFont(7));
            p.setPen(Qt::darkGray);
            p.drawText(QRectF(0, page.height() - kFooter, page.width(), kFooter), Qt::AlignRight | Qt::AlignBottom,
                       QStringLiteral("%1 — édité le %2 — page %3 sur %4")
                           .arg(who, frenchTime(QDateTime::currentDateTime()))
                           .arg(page_ + 1)
                           .arg(pages));
        }
        if (!p.end()) return false;
    }
    return !pdf.data().isEmpty() && saveWhole(pdfFile, pdf.data());
}
