// From a trial to its tile in the console's class view: 30 stations, each
// with its journal and its replication worker to one class database, make
// 100 trials each, a trial every few milliseconds across the class; the view
// follows on the offscreen platform. A row's delay runs from its append to the
// station's journal to the moment its station's tile counts it.
//
//   class_view_probe CONNINFO     (the class database is made or upgraded first)
//
// Prints one line, tab-separated: name, median, 10th and 90th percentiles, unit.
#include "class_database.h"
#include "class_panel.h"
#include "class_view.h"
#include "model.h"
#include "replication.h"
#include "station_journal.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kStations = 30, kTrials = 100, kPaceMs = 5;

struct Station {
    std::unique_ptr<StationJournal> journal;
    std::unique_ptr<Replication> worker;
    QString session;
    std::vector<qint64> appendedAt;  // ns on the probe's clock, one a trial
    std::size_t shown = 0;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: class_view_probe CONNINFO\n");
        return 2;
    }
    initializeSimulatorModules();
    const QString conninfo = QString::fromLocal8Bit(argv[1]);
    bool ready = false;
    const QString message = initClassDatabase(conninfo, &ready);
    if (!ready) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return 1;
    }

    QTemporaryDir folders;
    std::map<QString, Station> stations;
    for (int s = 0; s < kStations; ++s) {
        Station& st = stations[QStringLiteral("sonde-%1").arg(s, 2, 10, QChar('0'))];
        st.journal = std::make_unique<StationJournal>(folders.filePath(QStringLiteral("poste%1.sqlite").arg(s)));
        QString error;
        if (!st.journal->open(&error, {}, false)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        st.session = QUuid::createUuid().toString(QUuid::WithoutBraces);
        st.worker = std::make_unique<Replication>(st.journal->path(), conninfo, st.journal->path() + ".ini", st.session,
                                                   QFileInfo(st.journal->path()).dir().filePath("poly"));
        st.worker->start();
    }

    ClassPanel panel(conninfo);
    if (!panel.feed() || !panel.feed()->waitForFirstRead()) {
        std::fprintf(stderr, "%s\n", qPrintable(panel.problem()));
        return 1;
    }
    panel.resize(1280, 800);
    panel.show();

    QElapsedTimer clock;
    clock.start();
    std::vector<double> delaysMs;
    // The view is looked at every millisecond.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (const Standing& s : panel.view()->ranking()) {
            auto found = stations.find(s.station);
            if (found == stations.end()) continue;
            Station& st = found->second;
            for (; st.shown < s.session.size() && st.shown < st.appendedAt.size(); ++st.shown)
                delaysMs.push_back((clock.nsecsElapsed() - st.appendedAt[st.shown]) / 1e6);
        }
    });
    int made = 0;
    QTimer pace;
    pace.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pace, &QTimer::timeout, [&] {
        if (made == kStations * kTrials) return pace.stop();
        auto it = std::next(stations.begin(), made % kStations);
        Station& st = it->second;
        JournalRow r;
        r.station = it->first;
        r.session = st.session;
        r.number = r.count = int(st.appendedAt.size()) + 1;
        r.recorded = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
        r.A1 = 130 + r.number * 0.05;
        r.A2 = 135;
        r.H = 30.44;
        r.charged = true;
        QString error;
        st.appendedAt.push_back(clock.nsecsElapsed());
        if (!st.journal->append({r}, &error)) std::fprintf(stderr, "%s\n", qPrintable(error));
        st.worker->rowsAppended();
        ++made;
    });
    watch.start(1);
    pace.start(kPaceMs);
    if (!QTest::qWaitFor([&] { return int(delaysMs.size()) == kStations * kTrials; }, 300'000)) {
        std::fprintf(stderr, "the view showed %zu of %d rows\n", delaysMs.size(), kStations * kTrials);
        return 1;
    }
    for (auto& [name, st] : stations) st.worker->stop();
    std::sort(delaysMs.begin(), delaysMs.end());
    auto at = [&](double q) { return delaysMs[std::size_t(q * (delaysMs.size() - 1))]; };
    std::printf("tile_delay\t%.1f\t%.1f\t%.1f\tms\n", at(0.5), at(0.1), at(0.9));
    return 0;
}
