#include "exercise_report.h"

#include "class_database.h"
#include "class_report.h"
#include "class_standing.h"
#include "exercise_file.h"

#include <QLocale>
#include <QSqlQuery>

#include <cmath>
#include <cstdio>

namespace {

// The rows of the exercise and of the sessions they were made in: a
// session's earlier rows tell what its account held when the exercise began.
bool readExerciseRows(QSqlDatabase& db, int number, std::map<QString, std::vector<Trial>>* rows, QString* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM essais WHERE (poste, session) IN "
                             "(SELECT DISTINCT poste, session FROM essais WHERE exercice = ?) "
                             "ORDER BY poste, recu, heure, numero")
                  .arg(classRowColumns()));
    q.addBindValue(number);
    if (!q.exec()) {
        *error = sqlErrorText(q.lastError());
        return false;
    }
    while (q.next()) {
        Trial t = classTrialAt(q);
        (*rows)[t.station].push_back(std::move(t));
    }
    return true;
}

// A station's rows as its standing has them: of its installation when two share its name.
std::vector<Trial> rowsOf(const Standing& st, const std::map<QString, std::vector<Trial>>& rowsByStation) {
    std::vector<Trial> out;
    const auto found = rowsByStation.find(st.station);
    if (found == rowsByStation.end()) return out;
    for (const Trial& t : found->second)
        if (st.installation.isEmpty() || t.installation == st.installation) out.push_back(t);
    return out;
}

QString duration(double seconds) {
    const qint64 s = qint64(std::llround(seconds));
    return s >= 60 ? QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QChar('0'))
                   : QStringLiteral("%1 s").arg(s);
}

QString plural(int n, const char* word) { return QStringLiteral("%1 %2%3").arg(n).arg(word).arg(n > 1 ? "s" : ""); }

QString flagsText(int modelChanged, int outOfExercise) {
    QStringList flags;
    if (modelChanged > 0) flags << plural(modelChanged, "essai") + QStringLiteral(" au modèle modifié");
    if (outOfExercise > 0) flags << plural(outOfExercise, "essai") + QStringLiteral(" hors exercice");
    return flags.join(", ");
}

QString settingsText(const ClassExercise& e) {
    const QString end = e.end ? frenchTime(e.end->toLocalTime()) : QStringLiteral("en cours, sans limite de temps");
    return QStringLiteral("%1. %2 €.<br>Durée : %3. Essais : %4.<br>Modèle : %5.<br>"
                          "Début : %6 ; fin : %7 (horloge du serveur de la classe).")
        .arg(e.exam ? "Examen" : "Entraînement",
             exerciseText(scenarioOf(e)).toHtmlEscaped(),
             e.minutes ? QStringLiteral("%1 min").arg(QLocale(QLocale::French).toString(*e.minutes, 'g', 6))
                       : QStringLiteral("sans limite"),
             e.maxTrials ? QStringLiteral("%1 au plus").arg(*e.maxTrials) : QStringLiteral("sans limite"),
             e.model ? QStringLiteral("empreinte SHA-256 %1").arg(e.fingerprint.toHtmlEscaped())
                     : QStringLiteral("coefficients intégrés"),
             frenchTime(e.start.toLocalTime()), end.toHtmlEscaped());
}

QString summaryPage(const ClassExercise& e, const std::vector<Standing>& ranking) {
    QString html = QStringLiteral("<h1>Rapport de l'exercice n° %1 — %2</h1><p>%3<br>Édité le %4.</p>")
                       .arg(e.number)
                       .arg(e.name.toHtmlEscaped(), settingsText(e), frenchTime(QDateTime::currentDateTime()));
    html += "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\">";
    html += htmlRow({"Rang", "Poste", "Stagiaire", "Résultat", "Essais comptés", "Coût (€)",
                     "1re réussite après", "Essais non comptés"},
                    "th");
    int counted = 0, modelChanged = 0, outOfExercise = 0;
    for (std::size_t i = 0; i < ranking.size(); ++i) {
        const Standing& st = ranking[i];
        const bool passed = st.firstSuccess && st.withinBudget;
        html += htmlRow({QString::number(i + 1), st.station, st.trainee,
                         passed ? QStringLiteral("Réussi") : QStringLiteral("Non réussi"),
                         QString::number(st.session.size()), fr(st.cost(), 0),
                         st.firstSuccess ? duration(e.start.msecsTo(st.firstSuccess->received) / 1000.0) : QString(),
                         flagsText(st.modelChanged, st.outOfExercise)});
        counted += int(st.session.size());
        modelChanged += st.modelChanged;
        outOfExercise += st.outOfExercise;
    }
    html += "</table>";
    html += QStringLiteral("<p>Réussi : dans les tolérances sans dépasser le budget. Chaque poste est jugé sur tous "
                           "ses essais de l'exercice, quelle que soit la session.</p>");
    return html + QStringLiteral("<p><b>%1 : %2 compté%3 ; %4.</b></p>")
                      .arg(e.exam ? "Examen" : "Exercice", plural(counted, "essai"), counted > 1 ? "s" : "",
                           modelChanged + outOfExercise == 0
                               ? QStringLiteral("aucun essai signalé ni hors exercice")
                               : QStringLiteral("non comptés : %1").arg(flagsText(modelChanged, outOfExercise)));
}

int fail(const QString& message) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return 1;
}

}  // namespace

bool writeExerciseReportPdf(const QString& file, const ClassExercise& e,
                            const std::map<QString, std::vector<Trial>>& rowsByStation,
                            const std::map<TrialKey, QString>& comments) {
    const std::vector<Standing> ranking = rankClass(rowsByStation, scenarioOf(e), {}, &e);
    return writeClassPdf(file, QStringLiteral("Rapport de l'exercice n° %1").arg(e.number), summaryPage(e, ranking),
                         ranking, scenarioOf(e), [&](const Standing& st) {
                             ReportStation page{{}, {}, QStringLiteral("Essais comptés dans l'exercice"), comments};
                             for (const JudgedRow& j : judgeExerciseRows(rowsOf(st, rowsByStation), e)) {
                                 page.rows.push_back(j.status == RowStatus::Counts ? j.counted : j.row);
                                 page.statuses.push_back(statusText(j.status));
                             }
                             return page;
                         });
}

bool writeExerciseCsv(const QString& file, const ClassExercise& e,
                      const std::map<QString, std::vector<Trial>>& rowsByStation, CsvDialect dialect) {
    const Scenario scenario = scenarioOf(e);
    std::vector<QStringList> lines;
    for (const Standing& st : rankClass(rowsByStation, scenario, {}, &e))
        for (const JudgedRow& j : judgeExerciseRows(rowsOf(st, rowsByStation), e)) {
            const Trial& t = j.row;
            lines.push_back(QStringList{t.station, t.trainee, QString::number(t.number)}
                            << csvFields(t)
                            << verdictText(judge(j.status == RowStatus::Counts ? j.counted : t, scenario))
                            << QString::number(t.exercise) << t.fingerprint
                            << t.received.toString(Qt::ISODateWithMs) << statusText(j.status));
        }
    return saveWhole(file, csvText(QStringList{"poste", "stagiaire", "numero"}
                                       << csvColumns() << "verdict" << "exercice" << "empreinte" << "recu" << "statut",
                                   lines, dialect));
}

int runExerciseReportCommand(const ExerciseReportCommand& c) {
    QString error;
    const std::optional<int> number = exerciseNumber(c.number, &error);
    if (!number) return fail(error);
    if (c.reportPdf.isEmpty() && c.csv.isEmpty() && c.csvFrench.isEmpty())
        return fail(QStringLiteral("--classe --exercice N demande --report, --csv ou --csv-fr."));
    std::optional<ClassExercise> exercise;
    std::map<QString, std::vector<Trial>> rows;
    std::map<TrialKey, QString> comments;
    const bool read = withClassDatabase(
        c.conninfo,
        [&](QSqlDatabase& db, QString* failure) {
            if (!(exercise = readExercise(db, *number, failure)) || !readExerciseRows(db, *number, &rows, failure))
                return false;
            // An older class database has no comments: the report goes without them.
            QString noComments;
            comments = allClassComments(db, &noComments).value_or(std::map<TrialKey, QString>{});
            return true;
        },
        &error);
    if (!read) return fail(QStringLiteral("Rapport de l'exercice impossible : %1").arg(error));
    bool ok = true;
    if (!c.reportPdf.isEmpty()) ok = writeExerciseReportPdf(c.reportPdf, *exercise, rows, comments) && ok;
    if (!c.csv.isEmpty()) ok = writeExerciseCsv(c.csv, *exercise, rows) && ok;
    if (!c.csvFrench.isEmpty()) ok = writeExerciseCsv(c.csvFrench, *exercise, rows, CsvDialect::French) && ok;
    return ok ? 0 : fail(QStringLiteral("Écriture impossible."));
}
