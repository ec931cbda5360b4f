// A class's worth of rows into one class database, as fast as the replication
// goes: 30 stations' journals of 100 trials each, their workers started at
// once, timed until the server holds every row. Then exercises started for
// those 30 stations, each timed until every station has put its model in its
// own poly/ and told its window.
//
//   replication_bench CONNINFO     (the class database is made or upgraded first)
//
// Prints two lines, tab-separated: name, median, low, high, unit.
#include "class_database.h"
#include "class_exercise.h"
#include "coefficient_file.h"
#include "coefficient_file_writer.h"
#include "replication.h"
#include "station_journal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kStations = 30, kTrials = 100, kExercises = 7;

int rowsInServer(QSqlDatabase& db) {
    QSqlQuery q(db);
    return q.exec("SELECT count(*) FROM essais") && q.next() ? q.value(0).toInt() : -1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: replication_bench CONNINFO\n");
        return 2;
    }
    const QString conninfo = QString::fromLocal8Bit(argv[1]);
    bool ready = false;
    QString error = initClassDatabase(conninfo, &ready);
    if (!ready) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const auto server = ClassServer::parse(conninfo, &error);
    if (!server) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QSqlDatabase db = server->addConnection("bench");
    if (!openClassDatabase(db, *server, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const int before = rowsInServer(db);

    // Each station in a working folder of its own.
    QTemporaryDir folders;
    std::vector<QString> journals;
    for (int s = 0; s < kStations; ++s) {
        QDir(folders.path()).mkpath(QStringLiteral("poste%1/poly").arg(s));
        journals.push_back(folders.filePath(QStringLiteral("poste%1/journal.sqlite").arg(s)));
        StationJournal journal(journals.back());
        std::vector<JournalRow> rows(kTrials);
        const QString session = QUuid::createUuid().toString(QUuid::WithoutBraces);
        for (int t = 0; t < kTrials; ++t) {
            rows[t].station = QStringLiteral("banc-%1").arg(s);
            rows[t].session = session;
            rows[t].number = t + 1;
            rows[t].recorded = "2026-12-07T10:00:00.000Z";
            rows[t].A1 = 130 + t * 0.01;
            rows[t].count = t + 1;
            rows[t].charged = true;
        }
        if (!journal.open(&error, {}, false) || !journal.append(rows, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }

    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<Replication>> workers;
    // The exercise each station last told its window of: a station may hear of
    // one before its start returns here.
    std::vector<std::atomic<int>> told(kStations);
    int exercise = 0;
    for (const QString& path : journals) {
        std::atomic<int>& toldHere = told[workers.size()];
        workers.push_back(std::make_unique<Replication>(path, conninfo, path + ".ini", QFileInfo(path).dir().dirName(),
                                                        QFileInfo(path).dir().filePath("poly")));
        // Told once the model is in poly/: what the simulator's window waits for to show it.
        QObject::connect(
            workers.back().get(), &Replication::exerciseChanged, workers.back().get(),
            [&toldHere](const ClassExercise& taken, int) { toldHere = taken.number; },
            Qt::DirectConnection);
        workers.back()->start();
    }
    const int expected = before + kStations * kTrials;
    while (rowsInServer(db) < expected) {
        if (clock.elapsed() > 300'000) {
            std::fprintf(stderr, "the rows did not all arrive in 5 minutes\n");
            return 1;
        }
        QThread::msleep(2);
    }
    const double rate = kStations * kTrials / (clock.nsecsElapsed() / 1e9);
    std::printf("replication_rate\t%.0f\t%.0f\t%.0f\trows/s\n", rate, rate, rate);

    // Exercises on two models in turn, so that each start changes every station's files.
    QTemporaryDir trainer;
    QDir(trainer.path()).mkpath("poly");
    std::vector<double> takeUp;
    for (int e = 0; e < kExercises; ++e) {
        bending::ModelRows rows = bending::builtInRows();
        for (bending::TermRow& row : rows) row[0] += e % 2;
        writeCoefficientFiles(trainer.path().toStdString(), rows);
        const bending::CoefficientFiles model = bending::coefficientFilesInUse(trainer.filePath("poly").toStdString());
        ClassExercise started;
        started.name = QStringLiteral("Banc %1").arg(e);
        started.model = model.contents;
        started.fingerprint = model.fingerprint;
        clock.restart();
        const std::optional<int> number = startExercise(db, started, &error);
        if (!number) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        exercise = *number;
        const auto inIt = [&] { return std::count_if(told.begin(), told.end(), [&](const auto& n) { return n == exercise; }); };
        while (inIt() < kStations) {
            if (clock.elapsed() > 60'000) {
                std::fprintf(stderr, "%d stations of %d took the exercise up in a minute\n", int(inIt()), kStations);
                return 1;
            }
            QThread::msleep(1);
        }
        takeUp.push_back(clock.nsecsElapsed() / 1e6);
        for (const QString& path : journals)
            if (QFile(QFileInfo(path).dir().filePath("poly/A1.poly")).size() != qint64(model.contents->at(0).size())) {
                std::fprintf(stderr, "a station's poly/ does not hold the exercise's model\n");
                return 1;
            }
    }
    // The class view measured next ranks sessions, not an exercise.
    if (!stopExercise(db, exercise, &error)) std::fprintf(stderr, "%s\n", qPrintable(error));
    workers.clear();
    std::sort(takeUp.begin(), takeUp.end());
    std::printf("exercise_take_up\t%.0f\t%.0f\t%.0f\tms\n", takeUp[takeUp.size() / 2], takeUp.front(), takeUp.back());
    return 0;
}
