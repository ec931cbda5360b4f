// The measured runs, read from a sheet as the shop floor fills it in.
#pragma once

#include "terms.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <stdexcept>
#include <vector>

namespace etalonnage {

// A sheet that cannot be read; the message names the line and the column.
class SheetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Measurement {
    int line;                  // in the file, from 1
    int run;                   // the "essai" column, or the order of the row in the sheet
    std::array<double, 5> real;  // A, R, L, C, F as measured
    Coded coded;
    std::array<double, 3> results;  // A1, A2, H
};

struct MeasurementSheet {
    std::vector<Measurement> runs;
    QStringList warnings;
};

// Separator ',' ';' or tab, decimal point or comma (not with ','), UTF-8 or
// Windows-1252; the header names A R L C F A1 A2 H in any order, a unit in
// brackets allowed after the name. Throws SheetError.
MeasurementSheet parseSheet(const QByteArray& bytes);
// A regular file of sane size (the runtime's limit), read without blocking.
MeasurementSheet readSheet(const QString& path);

}  // namespace etalonnage
