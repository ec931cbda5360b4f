#include "exercise_file.h"

#include "class_database.h"
#include "coefficient_file.h"
#include "errors.h"
#include "facts.h"
#include "file_safety.h"

#include <QDir>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>

namespace {

// A number as a French or an English reader writes it; none when it is not one.
std::optional<double> numberOf(QString text) {
    bool ok = false;
    const double value = text.replace(',', '.').toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<ClassExercise> refuse(QString* error, const QString& why) {
    *error = QStringLiteral("Fichier d'exercice refusé : %1").arg(why);
    return std::nullopt;
}

}  // namespace

std::optional<ClassExercise> exerciseFromText(const QString& text, const Scenario& defaults, QString* error) {
    ClassExercise e;
    Scenario values = defaults;  // the scenario's fields the file sets, over the console's
    QStringList seen;
    const QStringList lines = text.split(QRegularExpression("\r?\n"));
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';')) continue;
        const qsizetype equals = line.indexOf('=');
        const QString key = line.left(equals).trimmed(), value = line.mid(equals + 1).trimmed();
        const QString where = QStringLiteral("ligne %1 (« %2 »)").arg(n + 1).arg(line.left(60));
        if (equals < 0) return refuse(error, where + QStringLiteral(" : « nom=valeur » attendu."));
        if (seen.contains(key)) return refuse(error, where + QStringLiteral(" : « %1 » est déjà donné.").arg(key));
        seen << key;
        if (key == QLatin1String("nom")) {
            // Control characters and direction marks would make two names that look alike.
            static const QRegularExpression hidden(QStringLiteral("[\\p{Cc}\\x{200E}\\x{200F}\\x{202A}-\\x{202E}"
                                                                  "\\x{2066}-\\x{2069}]"));
            if (value.isEmpty() || value.size() > kMaxExerciseName || value.contains(hidden))
                return refuse(error, where + QStringLiteral(" : le nom a de 1 à %1 caractères, sans caractère de "
                                                            "contrôle ni marque de sens d'écriture.")
                                                 .arg(kMaxExerciseName));
            e.name = value;
        } else if (key == QLatin1String("mode")) {
            if (value != QLatin1String("examen") && value != QLatin1String("entrainement") &&
                value != QStringLiteral("entraînement"))
                return refuse(error, where + QStringLiteral(" : le mode est « examen » ou « entrainement »."));
            e.exam = value == QLatin1String("examen");
        } else if (key == QLatin1String("duree_minutes")) {
            const auto minutes = numberOf(value);
            if (!minutes || *minutes <= 0 || *minutes > kMaxExerciseMinutes)
                return refuse(error, where + QStringLiteral(" : la durée est un nombre de minutes de plus de 0 et "
                                                            "d'au plus %1 (24 h).").arg(kMaxExerciseMinutes));
            e.minutes = *minutes;
        } else if (key == QLatin1String("essais_max")) {
            bool ok = false;
            const int trials = value.toInt(&ok);
            if (!ok || trials < 1 || trials > 10000)
                return refuse(error, where + QStringLiteral(" : le nombre d'essais est un entier de 1 à 10 000."));
            e.maxTrials = trials;
        } else {
            const auto& fields = scenarioFields();
            const auto field = std::find_if(fields.begin(), fields.end(),
                                            [&](const ScenarioField& f) { return key == QLatin1String(f.key); });
            if (field == fields.end())
                return refuse(error, where + QStringLiteral(" : « %1 » n'est pas un réglage d'exercice.").arg(key));
            const auto number = numberOf(value);
            if (!number || *number < field->minimum || *number > field->maximum)
                return refuse(error, where + QStringLiteral(" : %1 va de %2 à %3%4.")
                                                 .arg(QString::fromUtf8(field->label).trimmed(),
                                                      fr(field->minimum, field->decimals),
                                                      fr(field->maximum, field->decimals), QString::fromUtf8(field->unit)));
            values.*(field->value) = *number;
        }
    }
    if (e.name.isEmpty()) return refuse(error, QStringLiteral("il lui faut un nom (ligne « nom=… »)."));
    e.toleranceA1 = values.toleranceA1;
    e.toleranceA2 = values.toleranceA2;
    e.toleranceH = values.toleranceH;
    e.budget = values.budget;
    return e;
}

bool giveFolderModel(ClassExercise& exercise, const std::string& polyFolder, QString* error) {
    try {
        const bending::CoefficientFiles model = bending::coefficientFilesInUse(polyFolder);
        exercise.model = model.contents;
        exercise.fingerprint = model.fingerprint;
        return true;
    } catch (const mclError& e) {
        *error = QStringLiteral("le modèle de ce dossier ne peut pas être donné à la classe : %1")
                     .arg(QString::fromUtf8(e.what()));
        return false;
    }
}

std::optional<ClassExercise> exerciseFromFile(const QString& path, const Scenario& defaults,
                                              const std::string& polyFolder, QString* error) {
    const file_safety::ReadResult read = file_safety::readRegularFile(path.toStdString());
    if (read.status != file_safety::ReadStatus::Read)
        return refuse(error, QStringLiteral("%1 ne peut pas être lu%2.")
                                 .arg(path, read.error.empty() ? QString() : " (" + QString::fromStdString(read.error) + ")"));
    auto exercise = exerciseFromText(QString::fromUtf8(read.content), defaults, error);
    QString why;
    if (exercise && !giveFolderModel(*exercise, polyFolder, &why)) return refuse(error, why);
    return exercise;
}

std::optional<int> startClassExercise(const QString& conninfo, const ClassExercise& exercise, QString* error) {
    std::optional<int> number;
    withClassDatabase(
        conninfo, [&](QSqlDatabase& db, QString* failure) { return (number = startExercise(db, exercise, failure)).has_value(); },
        error);
    return number;
}

int runStartExerciseCommand(const QString& conninfo, const QString& file) {
    Scenario scenario;
    const QString scenarioMessage = loadScenario(QDir(facts::kDataFolder).filePath(kScenarioFile), scenario);
    if (!scenarioMessage.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(scenarioMessage));
    QString error;
    std::optional<int> number;
    if (const auto exercise = exerciseFromFile(file, scenario, facts::kCoefficientFolder, &error))
        number = startClassExercise(conninfo, *exercise, &error);
    if (!number) {
        std::fprintf(stderr, "Exercice non démarré : %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%d\n", *number);
    return 0;
}

std::optional<int> exerciseNumber(const QString& text, QString* error) {
    bool isNumber = false;
    const int n = text.toInt(&isNumber);
    if (isNumber && n >= 1) return n;
    *error = QStringLiteral("« %1 » n'est pas un numéro d'exercice.").arg(text.left(40));
    return std::nullopt;
}

int runStopExerciseCommand(const QString& conninfo, const QString& number) {
    QString error;
    const std::optional<int> n = exerciseNumber(number, &error);
    if (!n || !withClassDatabase(
                  conninfo, [&](QSqlDatabase& db, QString* failure) { return stopExercise(db, *n, failure); }, &error)) {
        std::fprintf(stderr, "Exercice non arrêté : %s\n", qPrintable(error));
        return 1;
    }
    std::printf("Exercice n° %d arrêté.\n", *n);
    return 0;
}
