#include "coefficient_files.h"

#include "coefficient_file.h"
#include "coefficient_history.h"
#include "facts.h"
#include "file_safety.h"
#include "station_journal.h"

#include <QDir>
#include <QFile>

#include <cmath>

namespace {

std::string local(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

std::optional<CoefficientRow> parseCoefficients(const std::string& content, QString* problem) {
    const std::vector<double> numbers = bending::scanNumbers(content).numbers;
    if (numbers.size() != 21) {
        *problem = QStringLiteral("%1 nombre(s) au lieu de 21").arg(numbers.size());
        return std::nullopt;
    }
    CoefficientRow row;
    for (std::size_t k = 0; k < row.size(); ++k) {
        if (!std::isfinite(numbers[k])) {
            *problem = QStringLiteral("le coefficient %1 n'est pas un nombre fini").arg(k + 1);
            return std::nullopt;
        }
        row[k] = numbers[k];
    }
    return row;
}

double evaluateRow(const CoefficientRow& row, const Setting& x) { return bending::evaluate(row, x); }

bool ModelSources::filesUsed() const {
    for (const CoefficientFile& f : files)
        if (f.state == CoefficientFile::Missing || f.state == CoefficientFile::Unreadable) return false;
    return true;
}

bool ModelSources::partial() const {
    int there = 0;
    for (const CoefficientFile& f : files) there += f.state != CoefficientFile::Missing;
    return there == 1 || there == 2;
}

QString ModelSources::summary() const {
    QStringList why;
    for (std::size_t m = 0; m < files.size(); ++m) {
        const QString name = facts::kModels[m].file;
        switch (files[m].state) {
        case CoefficientFile::Missing: why << name + " manque"; break;
        case CoefficientFile::Unreadable: why << name + " illisible (" + files[m].problem + ")"; break;
        case CoefficientFile::Invalid: why << name + " invalide (" + files[m].problem + ")"; break;
        case CoefficientFile::Usable: break;
        }
    }
    if (!filesUsed()) return "Le simulateur utilise les coefficients intégrés : " + why.join(", ") + ".";
    if (!why.isEmpty())
        return "Le simulateur lit les trois fichiers, mais ses essais échoueront : " + why.join(", ") + ".";
    return QStringLiteral("Le simulateur utilise les trois fichiers poly/A1.poly, poly/A2.poly et poly/H.poly.");
}

ModelSources inspectModelSources(const QString& polyFolder) {
    ModelSources sources;
    for (std::size_t m = 0; m < sources.files.size(); ++m) {
        CoefficientFile& f = sources.files[m];
        const auto read = file_safety::readRegularFile(local(QDir(polyFolder).filePath(facts::kModels[m].file)));
        switch (read.status) {
        case file_safety::ReadStatus::Missing: f.state = CoefficientFile::Missing; break;
        case file_safety::ReadStatus::Unreadable:
        case file_safety::ReadStatus::Refused:
            f.state = CoefficientFile::Unreadable;
            f.problem = QString::fromStdString(read.error);
            break;
        case file_safety::ReadStatus::Read:
            f.row = parseCoefficients(read.content, &f.problem);
            f.state = f.row ? CoefficientFile::Usable : CoefficientFile::Invalid;
            break;
        }
    }
    return sources;
}

std::vector<KeptVersion> keptVersions(const QString& polyFolder, int model) {
    std::vector<KeptVersion> out;
    for (const auto& v : bending::coefficientHistory(local(polyFolder), facts::kModels[model].name))
        out.push_back({QFile::decodeName(v.path.c_str()),
                       QDateTime::fromString(QString::fromStdString(v.stamp), "yyyy-MM-ddTHH-mm-ss"), v.sequence});
    return out;
}

QString restoreRefusal(const QString& polyFolder) {
    return examRunning(QFileInfo(polyFolder).absolutePath()) ? kExamRefusal : QString();
}

QString restoreVersion(const QString& polyFolder, int model, const QString& versionPath) {
    if (const QString refused = restoreRefusal(polyFolder); !refused.isEmpty()) return refused;
    const auto read = file_safety::readRegularFile(local(versionPath));
    if (read.status != file_safety::ReadStatus::Read)
        return QStringLiteral("Version illisible : %1").arg(QString::fromStdString(read.error));
    const auto written = bending::writeCoefficientFile(local(polyFolder), facts::kModels[model].name, read.content);
    return written.ok() ? QString() : QString::fromStdString(written.error);
}

QString restoreBuiltInRows(const QString& polyFolder) {
    if (const QString refused = restoreRefusal(polyFolder); !refused.isEmpty()) return refused;
    for (const facts::Model& m : facts::kModels) {
        const QString file = QDir(polyFolder).filePath(m.file);
        if (!QFileInfo(file).exists() && !QFileInfo(file).isSymLink()) continue;
        const auto kept = bending::keepCoefficientFile(local(polyFolder), m.name);
        if (!kept.ok()) return QString::fromStdString(kept.error);
        if (!QFile::remove(file)) return QStringLiteral("Impossible de retirer %1.").arg(QDir::toNativeSeparators(file));
    }
    return {};
}

ModelSnapshot builtInModels() { return ModelSnapshot(bending::builtInRows()); }
