// What the console hands out for a whole class: a PDF with a summary page
// (the ranking) then a page a station (its latest profiles and every row it
// sent), and a CSV of every row with station and trainee columns.
#pragma once

#include "class_standing.h"
#include "report.h"
#include "scenario.h"

#include <QString>

#include <map>
#include <vector>

bool writeClassReportPdf(const QString& file, const std::map<QString, std::vector<Trial>>& rowsByStation,
                         const Scenario& scenario);
bool writeClassCsv(const QString& file, const std::vector<Trial>& rows, const Scenario& scenario,
                   CsvDialect dialect = CsvDialect::Standard);
