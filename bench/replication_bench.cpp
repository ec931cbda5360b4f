// A class's worth of rows into one class database, as fast as the replication
// goes: 30 stations' journals of 100 trials each, their workers started at
// once, timed until the server holds every row.
//
//   replication_bench CONNINFO     (the class database is made or upgraded first)
//
// Prints one line, tab-separated: name, rate, rate, rate, unit.
#include "class_database.h"
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

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kStations = 30, kTrials = 100;

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

    QTemporaryDir folders;
    std::vector<QString> journals;
    for (int s = 0; s < kStations; ++s) {
        journals.push_back(folders.filePath(QStringLiteral("poste%1.sqlite").arg(s)));
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
    for (const QString& path : journals) {
        workers.push_back(std::make_unique<Replication>(path, conninfo, path + ".ini", QFileInfo(path).baseName(),
                                                        QFileInfo(path).dir().filePath("poly")));
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
    workers.clear();
    std::printf("replication_rate\t%.0f\t%.0f\t%.0f\trows/s\n", rate, rate, rate);
    return 0;
}
