#include "class_exercise.h"

#include "class_database.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

// When an exercise ends if it is ended now: now, or when its time ran out.
const char kEndsNow[] =
    "fin = CASE WHEN duree_minutes IS NULL THEN now() ELSE least(now(), debut + duree_minutes * interval '1 minute') END";

template <typename T>
QVariant optionalValue(const std::optional<T>& value) {
    return value ? QVariant(*value) : QVariant();
}

// The columns an exercise is read from, the server's clock included; its
// model's files are left out (NULL) but when asked for.
QString exerciseColumns(bool withModel) {
    return QStringLiteral(
               "numero, nom, tolerance_a1, tolerance_a2, tolerance_h, budget, duree_minutes, essais_max, mode, %1, "
               "empreinte, debut, coalesce(fin, debut + duree_minutes * interval '1 minute'), "
               "extract(epoch FROM debut + duree_minutes * interval '1 minute' - now()), "
               "fin IS NULL AND (duree_minutes IS NULL OR now() < debut + duree_minutes * interval '1 minute') "
               "FROM exercices")
        .arg(withModel ? "modele_a1, modele_a2, modele_h" : "NULL::bytea, NULL::bytea, NULL::bytea");
}

ClassExercise exerciseAt(const QSqlQuery& q) {
    ClassExercise e;
    e.number = q.value(0).toInt();
    e.name = q.value(1).toString();
    e.toleranceA1 = q.value(2).toDouble();
    e.toleranceA2 = q.value(3).toDouble();
    e.toleranceH = q.value(4).toDouble();
    e.budget = q.value(5).toDouble();
    if (!q.value(6).isNull()) e.minutes = q.value(6).toDouble();
    if (!q.value(7).isNull()) e.maxTrials = q.value(7).toInt();
    e.exam = q.value(8).toString() == QLatin1String("examen");
    if (!q.value(9).isNull())
        e.model = std::array<std::string, 3>{q.value(9).toByteArray().toStdString(),
                                             q.value(10).toByteArray().toStdString(),
                                             q.value(11).toByteArray().toStdString()};
    e.fingerprint = q.value(12).toString();
    e.start = q.value(13).toDateTime().toUTC();
    if (!q.value(14).isNull()) e.end = q.value(14).toDateTime().toUTC();
    if (!q.value(15).isNull()) e.secondsLeft = std::max(0.0, q.value(15).toDouble());
    e.running = q.value(16).toBool();
    return e;
}

}  // namespace

std::optional<int> startExercise(QSqlDatabase& db, const ClassExercise& e, QString* error) {
    QSqlQuery q(db);
    // Ending the running exercise and starting this one are one change for the stations.
    if (!db.transaction()) {
        *error = sqlErrorText(db.lastError());
        return std::nullopt;
    }
    q.prepare(QStringLiteral("UPDATE exercices SET %1 WHERE fin IS NULL").arg(kEndsNow));
    bool ok = q.exec();
    ok = ok && q.prepare("INSERT INTO exercices (nom, tolerance_a1, tolerance_a2, tolerance_h, budget, duree_minutes, "
                         "essais_max, mode, modele_a1, modele_a2, modele_h, empreinte) "
                         "VALUES (?, ?, ?, ?, ?, ?::double precision, ?::integer, ?, ?, ?, ?, ?) RETURNING numero");
    if (ok) {
        for (const QVariant& v : {QVariant(e.name), QVariant(e.toleranceA1), QVariant(e.toleranceA2),
                                  QVariant(e.toleranceH), QVariant(e.budget), optionalValue(e.minutes),
                                  optionalValue(e.maxTrials),
                                  QVariant(e.exam ? QStringLiteral("examen") : QStringLiteral("entrainement"))})
            q.addBindValue(v);
        for (int m = 0; m < 3; ++m)
            q.addBindValue(e.model ? QVariant(QByteArray::fromStdString((*e.model)[m]))
                                   : QVariant(QMetaType(QMetaType::QByteArray)));
        q.addBindValue(e.fingerprint);
        ok = q.exec() && q.next();
    }
    const int number = ok ? q.value(0).toInt() : 0;
    if (!ok || !db.commit()) {
        *error = sqlErrorText(q.lastError().isValid() ? q.lastError() : db.lastError());
        db.rollback();
        return std::nullopt;
    }
    return number;
}

bool readRunningExercise(QSqlDatabase& db, std::optional<ClassExercise>* running, QString* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const bool ok = q.exec(QStringLiteral("SELECT %1 WHERE fin IS NULL AND (duree_minutes IS NULL OR "
                                          "now() < debut + duree_minutes * interval '1 minute')")
                               .arg(exerciseColumns(false)));
    if (!ok) {
        *error = sqlErrorText(q.lastError());
        return false;
    }
    running->reset();
    if (q.next()) *running = exerciseAt(q);
    return true;
}

std::optional<ClassExercise> readExercise(QSqlDatabase& db, int number, QString* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 WHERE numero = ?").arg(exerciseColumns(true)));
    q.addBindValue(number);
    if (!q.exec()) {
        *error = sqlErrorText(q.lastError());
        return std::nullopt;
    }
    if (q.next()) return exerciseAt(q);
    *error = QStringLiteral("Il n'y a pas d'exercice n° %1 dans la base de la classe.").arg(number);
    return std::nullopt;
}

bool stopExercise(QSqlDatabase& db, int number, QString* error) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE exercices SET %1 WHERE numero = ? AND fin IS NULL").arg(kEndsNow));
    q.addBindValue(number);
    if (!q.exec()) {
        *error = sqlErrorText(q.lastError());
        return false;
    }
    if (q.numRowsAffected() == 1) return true;
    q.prepare("SELECT count(*) FROM exercices WHERE numero = ?");
    q.addBindValue(number);
    const bool known = q.exec() && q.next() && q.value(0).toInt() > 0;
    *error = known ? QStringLiteral("L'exercice n° %1 est déjà terminé.").arg(number)
                   : QStringLiteral("Il n'y a pas d'exercice n° %1 dans la base de la classe.").arg(number);
    return false;
}
