#include "report.h"

#include "file_safety.h"

#include <QFile>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <cstdio>

QString exerciseText(const Scenario& s) {
    return QStringLiteral("Cible : A1 = 135°, A2 = 135°, H = 30,44 mm. Tolérances : ±%1°, ±%2°, ±%3 mm. Budget : %4")
        .arg(fr(s.toleranceA1, 2), fr(s.toleranceA2, 2), fr(s.toleranceH, 2), fr(s.budget, 0));
}

namespace {

// The names a field takes in the rows, in their order, each once.
QString namesIn(const std::vector<Trial>& rows, QString Trial::*field, const QString& unnamed) {
    QStringList names;
    for (const Trial& t : rows) {
        const QString name = (t.*field).isEmpty() ? unnamed : t.*field;
        if (!names.contains(name)) names << name;
    }
    return names.join(" / ");
}

}  // namespace

QString stationAndTrainee(const std::vector<Trial>& session) {
    if (session.empty()) return QStringLiteral("aucun essai enregistré");
    return namesIn(session, &Trial::station, QStringLiteral("poste sans nom")) + " — " +
           namesIn(session, &Trial::trainee, QStringLiteral("stagiaire non renseigné"));
}

QString sessionDates(const std::vector<Trial>& session) {
    if (session.empty()) return {};
    const auto [first, last] = std::minmax_element(session.begin(), session.end(),
                                                   [](const Trial& a, const Trial& b) { return a.time < b.time; });
    if (first->time.date() != last->time.date())
        return QStringLiteral("du %1 au %2").arg(frenchTime(first->time), frenchTime(last->time));
    return QStringLiteral("du %1, de %2 à %3")
        .arg(QLocale(QLocale::French).toString(first->time.date(), "d MMMM yyyy"), first->time.toString("HH:mm"),
             last->time.toString("HH:mm"));
}

QString frenchTime(const QDateTime& time) { return QLocale(QLocale::French).toString(time, "d MMMM yyyy à HH:mm"); }

void setReportPage(QPdfWriter& writer, const QString& title) {
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                                     QPageLayout::Millimeter));
    writer.setResolution(200);
    writer.setTitle(title);
}

bool saveWhole(const QString& file, const QByteArray& text) {
    const auto written = file_safety::replaceFile(QFile::encodeName(file).toStdString(), text.toStdString());
    if (!written.ok()) std::fprintf(stderr, "%s\n", written.error.c_str());
    return written.ok();
}

QString commentRowHtml(const QString& comment, int columns) {
    // Typed by the trainer: shown as typed, its lines kept, never as markup.
    return QStringLiteral("<tr><td colspan=\"%1\" class=\"comment\"><i>Commentaire du formateur : %2</i></td></tr>")
        .arg(columns)
        .arg(comment.toHtmlEscaped().replace('\n', "<br>"));
}

QStringList tableTitles() {
    return {"Heure", "N°", "A (°)", "R (mm)", "L (mm)", "C (mm)", "F (bars)", "A1 (°)", "A2 (°)",
            "H (mm)", "Écart A1", "Écart A2", "Écart H", "Outillage (€)", "Réglage (€)", "Total (€)",
            "Verdict"};
}

QStringList tableCells(const Trial& t, const Scenario& s) {
    // A repeat with nothing moved is free and keeps the count of the trial before.
    QStringList cells{t.time.toString("HH:mm:ss"), t.charged ? QString::number(t.count) : QStringLiteral("non facturé")};
    for (double v : t.setting) cells << fr(v, 2);
    cells << fr(t.A1, 3) << fr(t.A2, 3) << fr(t.H, 3) << fr(t.deviationA1(), 3) << fr(t.deviationA2(), 3)
          << fr(t.deviationH(), 3) << fr(t.tooling, 0) << fr(t.adjustment, 0) << fr(t.total(), 0)
          << verdictText(judge(t, s));
    return cells;
}

namespace {

// A number keeps its thousands and its unit on its line: the breakable blanks
// after a digit become no-break spaces.
QString unbreakable(QString text) {
    static const QRegularExpression blank(QStringLiteral("(?<=\\d)[ \u202F](?=\\d|€|°|mm|bars|%)"));
    return text.replace(blank, QStringLiteral("\u00A0"));
}

QString reportHtml(const SessionReport& r) {
    const Scenario& s = r.scenario;
    // Landscape: the chart beside the texts, the table across the page below.
    const QString dates = sessionDates(r.trials);
    QString html = QStringLiteral(
                       "<h2>Rapport de session — %5</h2>"
                       "<table width=\"100%\"><tr><td width=\"45%\"><img src=\"chart\" width=\"%4\"></td>"
                       "<td>"
                       "<p>%6%1\u00A0€.<br>Édité le %2.</p><p><b>%3</b></p>")
                       .arg(exerciseText(s), frenchTime(QDateTime::currentDateTime()),
                            unbreakable(r.score).toHtmlEscaped(),
                            QString::number(qRound(r.chart.width() / r.chart.devicePixelRatio())),
                            stationAndTrainee(r.trials).toHtmlEscaped(),
                            dates.isEmpty() ? QString() : "<b>Session " + dates.toHtmlEscaped() + ".</b><br>");
    html += "<p><b>Faisabilité de l'exercice</b><br>" + unbreakable(r.solvability).toHtmlEscaped().replace('\n', "<br>") +
            "</p></td></tr></table>";
    // The titles' row repeats at the top of every page the trials run onto.
    html += "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"1\"><thead><tr>";
    for (const QString& title : tableTitles()) html += "<th class=\"cell\">" + title.toHtmlEscaped() + "</th>";
    html += "</tr></thead>";
    for (const Trial& trial : r.trials) {
        html += "<tr>";
        const QStringList cells = tableCells(trial, s);
        for (int c = 0; c < cells.size(); ++c) {
            // Numbers right-aligned, so that their digits line up.
            const char* align = c <= 1 || c == cells.size() - 1 ? "center" : "right";
            html += QStringLiteral("<td class=\"cell\" align=\"%1\">").arg(align) +
                    unbreakable(cells[c]).toHtmlEscaped() + "</td>";
        }
        html += "</tr>";
        if (const auto comment = r.comments.find(trial.number); comment != r.comments.end())
            html += commentRowHtml(comment->second, int(cells.size()));
    }
    return html + "</table>";
}

}  // namespace

bool writeReportPdf(const QString& file, const SessionReport& r) {
    QPdfWriter writer(file);
    const QString title = "Rapport de session — " + stationAndTrainee(r.trials);
    setReportPage(writer, title);
    // The document lays out in points; it is scaled to the page's pixels.
    const double scale = writer.resolution() / 72.0;
    const QSizeF page = writer.pageLayout().paintRectPixels(writer.resolution()).size() / scale;
    // Each page ends with a line naming the session, so that a loose page is still told apart.
    constexpr double kFooter = 14;
    const QSizeF body(page.width(), page.height() - kFooter);

    QTextDocument doc;
    doc.setDefaultFont(QFont("DejaVu Sans", 8));
    doc.setDefaultStyleSheet(".cell { font-size: 6pt; white-space: nowrap; } .comment { font-size: 7pt; }");
    doc.addResource(QTextDocument::ImageResource, QUrl("chart"), r.chart);
    doc.setPageSize(body);
    doc.setHtml(reportHtml(r));
    const int pages = doc.pageCount();
    const QString dates = sessionDates(r.trials);
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    painter.setFont(QFont("DejaVu Sans", 7));
    painter.setPen(Qt::darkGray);
    for (int p = 0; p < pages; ++p) {
        if (p > 0) writer.newPage();
        painter.save();
        painter.scale(scale, scale);
        painter.translate(0, -p * body.height());
        doc.drawContents(&painter, QRectF(QPointF(0, p * body.height()), body));
        painter.restore();
        painter.drawText(QRectF(0, body.height() * scale, page.width() * scale, kFooter * scale),
                         Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("%1%2 — page %3 sur %4")
                             .arg(title, dates.isEmpty() ? QString() : ", session " + dates)
                             .arg(p + 1)
                             .arg(pages));
    }
    return painter.end();
}

QByteArray csvText(const QStringList& titles, const std::vector<QStringList>& rows, CsvDialect dialect) {
    const bool french = dialect == CsvDialect::French;
    const QChar separator = french ? ';' : ',';
    auto line = [&](QStringList fields) {
        for (QString& f : fields) {
            bool isNumber = false;
            f.toDouble(&isNumber);
            if (isNumber) {
                if (french) f.replace('.', ',');
                continue;
            }
            // A text a spreadsheet would run as a formula keeps a leading apostrophe,
            // inside quotes: it opens as text. Numbers such as -3.5575 stay numbers.
            const bool formula = !f.isEmpty() && QStringLiteral("=+-@\t\r").contains(f[0]);
            if (formula) f.prepend('\'');
            // Names are typed by people: a separator, a quote or a line break must not shift the columns.
            if (formula || f.contains(separator) || f.contains('"') || f.contains('\n') || f.contains('\r'))
                f = '"' + f.replace('"', "\"\"") + '"';
        }
        return fields.join(separator).toUtf8() + '\n';
    };
    // The byte order mark tells a spreadsheet that the accents are UTF-8.
    QByteArray text = french ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    text += line(titles);
    for (const QStringList& row : rows) text += line(row);
    return text;
}

bool writeSessionCsv(const QString& file, const std::vector<Trial>& trials, const Scenario& scenario,
                     CsvDialect dialect) {
    std::vector<QStringList> rows;
    for (const Trial& t : trials)
        rows.push_back(csvFields(t) << verdictText(judge(t, scenario)) << t.station << t.trainee);
    return saveWhole(file, csvText(csvColumns() << "verdict" << "poste" << "stagiaire", rows, dialect));
}
