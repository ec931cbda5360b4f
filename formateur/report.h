// What the console hands out: a one-page PDF of the session and its journal
// as CSV.
#pragma once

#include "journal.h"
#include "scenario.h"

#include <QImage>
#include <QString>

#include <vector>

struct SessionReport {
    std::vector<Trial> trials;
    Scenario scenario;
    QString score, solvability;
    QImage chart;  // its size without the device pixel ratio is its size on the page, in points
};

bool writeReportPdf(const QString& file, const SessionReport& report);
// The session's rows as in the journal, with the verdict last. The French
// spreadsheet dialect separates with ';' and writes decimal commas.
enum class CsvDialect { Standard, French };
bool writeSessionCsv(const QString& file, const std::vector<Trial>& trials, const Scenario& scenario,
                     CsvDialect dialect = CsvDialect::Standard);

// Column titles and cell texts shared by the window's table and the report.
QStringList tableTitles();
QStringList tableCells(const Trial& t, const Scenario& s);
