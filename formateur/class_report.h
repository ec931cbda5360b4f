// What the console hands out for a whole class: a PDF with a summary page
// (the ranking) then a page a station (its latest profiles and every row it
// sent), and a CSV of every row with station and trainee columns.
#pragma once

#include "class_database.h"
#include "class_standing.h"
#include "report.h"
#include "scenario.h"

#include <QString>

#include <functional>
#include <map>
#include <vector>

// One station's pages in a class's report: its rows, each row's status
// (none: no such column), what its chart shows and the trainer's comments.
struct ReportStation {
    std::vector<Trial> rows;
    std::vector<QString> statuses;
    QString caption;
    std::map<TrialKey, QString> comments;
};
// Writes a class's report, whole or not at all: the summary's HTML, then a
// page a station of the ranking with its profiles and rows.
bool writeClassPdf(const QString& file, const QString& title, const QString& summary,
                   const std::vector<Standing>& ranking, const Scenario& scenario,
                   const std::function<ReportStation(const Standing&)>& stationOf);
// A row of a report's table, its cells plain text.
QString htmlRow(const QStringList& cells, const char* tag = "td");

// comments: the trainer's, by station, session and trial number.
bool writeClassReportPdf(const QString& file, const std::map<QString, std::vector<Trial>>& rowsByStation,
                         const Scenario& scenario, const std::map<TrialKey, QString>& comments = {});
bool writeClassCsv(const QString& file, const std::vector<Trial>& rows, const Scenario& scenario,
                   CsvDialect dialect = CsvDialect::Standard);
