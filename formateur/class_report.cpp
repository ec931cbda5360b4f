#include "class_report.h"

#include "journal.h"
#include "report.h"
#include "session_view.h"

#include <QBuffer>
#include <QDateTime>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>

namespace {

QString escaped(const QString& text) { return text.toHtmlEscaped(); }

constexpr std::size_t kReportRowsAStation = 1000;


QString summaryPage(const std::vector<Standing>& ranking, std::size_t rows, const Scenario& s) {
    QString html = QStringLiteral(
                       "<h1>Rapport de la classe</h1>"
                       "<p>Édité le %1. %2 poste(s), %3 essai(s) en tout.<br>"
                       "%4 €.<br>Classement : d'abord les postes dans les tolérances, au plus petit "
                       "nombre d'essais puis au moindre coût ; ensuite les autres, au plus près de la cible. "
                       "Chaque poste est jugé sur sa dernière session.</p>")
                       .arg(frenchTime(QDateTime::currentDateTime()))
                       .arg(ranking.size())
                       .arg(rows)
                       .arg(exerciseText(s));
    html += "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\">";
    html += htmlRow({"Rang", "Poste", "Stagiaire", "Essais", "Coût (€)", "Meilleur écart (× tolérance)",
                 "Dans les tolérances"},
                "th");
    for (std::size_t i = 0; i < ranking.size(); ++i) {
        const Standing& st = ranking[i];
        html += htmlRow({QString::number(i + 1), st.station, st.trainee, QString::number(st.count()), fr(st.cost(), 0),
                     st.best ? fr(st.bestDistance, 2) : QString(),
                     st.firstSuccess ? QStringLiteral("essai n° %1, %2 €")
                                           .arg(st.firstSuccess->count)
                                           .arg(fr(st.firstSuccess->total(), 0))
                                     : QStringLiteral("non")});
    }
    return html + "</table>";
}

QString stationPage(const Standing& st, const ReportStation& page, const Scenario& s, const QString& chart) {
    const std::vector<Trial>& rows = page.rows;
    const std::vector<QString>& statuses = page.statuses;
    const std::map<TrialKey, QString>& comments = page.comments;
    const QString trainee = escaped(st.trainee.isEmpty() ? "stagiaire non renseigné" : st.trainee);
    QString html = QStringLiteral("<h2 style=\"page-break-before: always\">%1 — %2</h2>").arg(escaped(st.station), trainee);
    html += QStringLiteral("<p><img src=\"%1\" width=\"440\"><br><b>%2 :</b> %3</p>")
                .arg(chart, escaped(page.caption), escaped(sessionScore(st.session, s)));
    QStringList titles = tableTitles();
    if (!statuses.empty()) titles << QStringLiteral("Statut");
    // The head repeats on every page the rows run onto: each printed page names its station.
    html += "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"1\" class=\"rows\"><thead>";
    html += QStringLiteral("<tr><th colspan=\"%1\" align=\"left\">%2 — %3</th></tr>")
                .arg(titles.size())
                .arg(escaped(st.station), trainee);
    html += htmlRow(titles, "th") + "</thead>";
    // A table laid out grows dearer faster than its rows: a station's latest
    // rows are printed, and the older ones counted.
    const std::size_t skipped = rows.size() > kReportRowsAStation ? rows.size() - kReportRowsAStation : 0;
    if (skipped > 0)
        html += QStringLiteral("<tr><td colspan=\"%1\"><i>%2 essais plus anciens de ce poste ne figurent pas dans ce "
                               "rapport : voyez le CSV de la classe.</i></td></tr>")
                    .arg(titles.size())
                    .arg(fr(double(skipped), 0));
    QString session;
    for (auto next = rows.begin() + std::ptrdiff_t(skipped); next != rows.end(); ++next) {
        const Trial& t = *next;
        if (t.session != session) {
            session = t.session;
            html += QStringLiteral("<tr><td colspan=\"%1\"><b>Session du %2 — %3</b></td></tr>")
                        .arg(titles.size())
                        .arg(frenchTime(t.time), escaped(t.trainee.isEmpty() ? "stagiaire non renseigné" : t.trainee));
        }
        QStringList cells = tableCells(t, s);
        if (!statuses.empty()) cells << statuses[std::size_t(next - rows.begin())];
        html += htmlRow(cells);
        if (const auto comment = comments.find({t.station, t.session, t.number}); comment != comments.end())
            html += commentRowHtml(comment->second, int(titles.size()));
    }
    return html + "</table>";
}

}  // namespace

QString htmlRow(const QStringList& cells, const char* tag) {
    QString html = "<tr>";
    for (const QString& c : cells) html += QStringLiteral("<%1>%2</%1>").arg(tag, escaped(c));
    return html + "</tr>";
}

bool writeClassPdf(const QString& file, const QString& title, const QString& summary,
                   const std::vector<Standing>& ranking, const Scenario& scenario,
                   const std::function<ReportStation(const Standing&)>& stationOf) {
    QTextDocument doc;
    doc.setDefaultFont(QFont("DejaVu Sans", 9));
    doc.setDefaultStyleSheet(".rows { font-size: 7pt; } th { background-color: #e8e8e8; }");
    QString html = summary;
    SessionView view;  // draws each station's profiles as the console does
    view.setScenario(scenario);
    for (std::size_t i = 0; i < ranking.size(); ++i) {
        const Standing& st = ranking[i];
        view.showTrials(st.session);
        const QString chart = QStringLiteral("chart%1").arg(i);
        doc.addResource(QTextDocument::ImageResource, QUrl(chart), view.chartImage(440, 260, 3.0));
        html += stationPage(st, stationOf(st), scenario, chart);
    }
    doc.setHtml(html);

    // Laid out in memory first: a file that cannot be written leaves nothing half-done.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        setReportPage(writer, title);
        doc.print(&writer);
    }
    return !pdf.data().isEmpty() && saveWhole(file, pdf.data());
}

bool writeClassReportPdf(const QString& file, const std::map<QString, std::vector<Trial>>& rowsByStation,
                         const Scenario& scenario, const std::map<TrialKey, QString>& comments) {
    const std::vector<Standing> ranking = rankClass(rowsByStation, scenario);
    std::size_t rows = 0;
    for (const auto& [station, trials] : rowsByStation) rows += trials.size();
    return writeClassPdf(file, "Rapport de la classe", summaryPage(ranking, rows, scenario), ranking, scenario,
                         [&](const Standing& st) {
                             return ReportStation{rowsByStation.at(st.station), {},
                                                  QStringLiteral("Dernière session, %1").arg(sessionDates(st.session)),
                                                  comments};
                         });
}

bool writeClassCsv(const QString& file, const std::vector<Trial>& rows, const Scenario& scenario, CsvDialect dialect) {
    std::vector<QStringList> lines;
    for (const Trial& t : rows)
        lines.push_back(QStringList{t.station, t.trainee, QString::number(t.number)} << csvFields(t)
                        << verdictText(judge(t, scenario)));
    return saveWhole(file, csvText(QStringList{"poste", "stagiaire", "numero"} << csvColumns() << "verdict", lines,
                                   dialect));
}
