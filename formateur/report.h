// What the console hands out: a PDF report of the session and its journal
// as CSV.
#pragma once

#include "journal.h"
#include "scenario.h"

#include <QImage>
#include <QString>

#include <map>
#include <vector>

class QPdfWriter;

struct SessionReport {
    std::vector<Trial> trials;
    Scenario scenario;
    QString score, solvability;
    QImage chart;  // its size without the device pixel ratio is its size on the page, in points
    std::map<int, QString> comments;  // the trainer's, by trial number
};

bool writeReportPdf(const QString& file, const SessionReport& report);
// The session's rows as in the journal, then the verdict, then the station
// and the trainee: the columns before keep their places for the readers of
// the journal's columns. The French spreadsheet dialect separates with ';'
// and writes decimal commas.
enum class CsvDialect { Standard, French };
// A CSV file's text: the titles' line, then the rows.
QByteArray csvText(const QStringList& titles, const std::vector<QStringList>& rows, CsvDialect dialect);
bool writeSessionCsv(const QString& file, const std::vector<Trial>& trials, const Scenario& scenario,
                     CsvDialect dialect = CsvDialect::Standard);

// For the reports' heads: the target, the tolerances and the budget's
// figure, without its euro sign.
QString exerciseText(const Scenario& s);
// Who made a session and when, from its rows: "Poste 3 — Léa Dubois" and
// "du 5 mars 2024, de 09:30 à 10:12". Every report names both, so that
// printouts from a room of stations can be told apart.
QString stationAndTrainee(const std::vector<Trial>& session);
QString sessionDates(const std::vector<Trial>& session);
// "5 mars 2024 à 09:30".
QString frenchTime(const QDateTime& time);
// The reports' page: A4 landscape, 12 mm margins, 200 dots an inch.
void setReportPage(QPdfWriter& writer, const QString& title);
// Writes the whole text or leaves the file as it was, as file_safety replaces
// a file: never through another user's link. Why it failed goes to standard
// error, in French.
bool saveWhole(const QString& file, const QByteArray& text);

// The trainer's comment on a trial, as a row of a report's table under the trial's, across its columns.
QString commentRowHtml(const QString& comment, int columns);

// Column titles and cell texts shared by the window's table and the report.
QStringList tableTitles();
QStringList tableCells(const Trial& t, const Scenario& s);
