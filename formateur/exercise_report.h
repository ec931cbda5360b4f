// The report of one of the class's exercises, from the class database: its
// settings, its model's fingerprint, its start and end by the server's
// clock, one line a trainee with the result, then a page a station; and its
// rows as CSV, each with its status (« compte », « hors exercice »,
// « modèle modifié »).
#pragma once

#include "class_database.h"
#include "class_exercise.h"
#include "journal.h"
#include "report.h"

#include <map>
#include <vector>

// rowsByStation: the rows of the sessions in which the exercise's rows were
// made; comments: the trainer's, by station, session and trial number.
bool writeExerciseReportPdf(const QString& file, const ClassExercise& exercise,
                            const std::map<QString, std::vector<Trial>>& rowsByStation,
                            const std::map<TrialKey, QString>& comments = {});
bool writeExerciseCsv(const QString& file, const ClassExercise& exercise,
                      const std::map<QString, std::vector<Trial>>& rowsByStation,
                      CsvDialect dialect = CsvDialect::Standard);

// `formateur --classe --exercice N` with --report, --csv or --csv-fr.
struct ExerciseReportCommand {
    QString conninfo, number, reportPdf, csv, csvFrench;
};
int runExerciseReportCommand(const ExerciseReportCommand& command);
