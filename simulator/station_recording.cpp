#include "station_recording.h"

#include "main.h"
#include "replication.h"
#include "station_journal.h"
#include "station_settings.h"

#include <QDateTime>
#include <QDir>
#include <QUuid>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Rows kept in memory while the journal cannot take them: a day's trials.
constexpr std::size_t kMaxWaiting = 100'000;

struct Recording {
    QString iniPath;
    QString session = QUuid::createUuid().toString(QUuid::WithoutBraces);
    int numero = 0;
    StationJournal journal{QDir::current().absoluteFilePath("data/journal.sqlite")};
    std::vector<JournalRow> waiting;
    bool failing = false;
    std::unique_ptr<Replication> replication;
};
std::unique_ptr<Recording> recording;

// A failure is told once, and so is the recovery.
void noteFailure(const QString& error) {
    if (recording->failing) return;
    recording->failing = true;
    std::fprintf(stderr, "Journal des essais : %s. Les essais suivants y seront écrits dès que possible.\n",
                 qPrintable(error));
}

}  // namespace

void startStationRecording() {
    stopStationRecording();
    recording = std::make_unique<Recording>();
    recording->iniPath = QDir::current().absoluteFilePath("data/classe.ini");
    const StationSettings settings = StationSettings::load(recording->iniPath);
    QString error;
    if (!recording->journal.open(&error, settings.poste)) noteFailure(error);
    if (!settings.serveur.isEmpty()) {
        recording->replication = std::make_unique<Replication>(recording->journal.path(), settings.serveur);
        recording->replication->start();
    }
}

void recordTrial(const std::array<mxArray, 5>& ValR, const mxArray& A1, const mxArray& A2, const mxArray& H,
                 double countBefore) {
    if (!recording) return;
    Recording& rec = *recording;
    const StationSettings settings = StationSettings::load(rec.iniPath);
    JournalRow row;
    row.poste = settings.poste;
    row.stagiaire = settings.stagiaire;
    row.session = rec.session;
    row.numero = ++rec.numero;
    row.heure = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    row.a = ValR[0].at(0), row.r = ValR[1].at(0), row.l = ValR[2].at(0), row.c = ValR[3].at(0),
    row.f = ValR[4].at(0);
    row.a1 = A1.at(0), row.a2 = A2.at(0), row.h = H.at(0);
    row.cout_outillage = mclVg(CoutO).at(0);
    row.cout_reglage = mclVg(CoutR).at(0);
    const double count = mclVg(Nb_essai).at(0);
    row.nb_essais = int(count);
    row.facture = count > countBefore ? 1 : 0;
    if (rec.waiting.size() < kMaxWaiting) rec.waiting.push_back(row);

    QString error;
    if (!rec.journal.isOpen() && !rec.journal.open(&error, settings.poste)) return noteFailure(error);
    if (!rec.journal.append(rec.waiting, &error)) {
        // The file may have been replaced or repaired meanwhile: open it anew next time.
        rec.journal.close();
        return noteFailure(error);
    }
    if (rec.failing)
        std::fprintf(stderr, "Journal des essais : enregistrement repris, %zu essai(s) écrit(s).\n",
                     rec.waiting.size());
    rec.failing = false;
    rec.waiting.clear();
    if (rec.replication) rec.replication->rowsAppended();
}

void stopStationRecording() { recording.reset(); }
