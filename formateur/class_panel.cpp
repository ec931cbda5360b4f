#include "class_panel.h"

#include "class_database.h"
#include "class_feed.h"
#include "class_report.h"
#include "class_view.h"
#include "console_window.h"
#include "exercise_panel.h"
#include "facts.h"
#include "program_start.h"
#include "replay_view.h"
#include "station_journal.h"
#include "station_settings.h"

#include "file_safety.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlDatabase>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {

// Replaces the class's roster through a connection of its own, in this thread.
bool saveRoster(const QString& conninfo, const QStringList& names, QString* error) {
    return withClassDatabase(
        conninfo, [&](QSqlDatabase& db, QString* failure) { return setClassRoster(db, names, failure); }, error);
}

// What this station sends to the class database, from what its journal's worker last found.
QString sendingStatus(const QString& where) {
    QString text = QStringLiteral("Ce poste envoie ses essais à la base de classe %1 ; seul le formateur y voit "
                                  "toute la classe.\n\n").arg(where);
    StationJournal journal(QDir(facts::kDataFolder).filePath(facts::kJournalFile));
    QString error;
    const auto status = journal.open(&error, {}, false) ? journal.replicationStatus(&error) : std::nullopt;
    if (!status || !status->known)
        return text + QStringLiteral("Rien n'a encore été envoyé : le simulateur envoie chaque essai dès qu'il est fait.");
    const QString when = QDateTime::fromString(status->heure, Qt::ISODateWithMs).toLocalTime().toString("HH:mm:ss");
    if (status->reachable && status->pending == 0)
        return text + QStringLiteral("Envoi à jour : la base avait tous les essais à %1.").arg(when);
    text += QStringLiteral("%1 essai%2 en attente d'envoi.").arg(status->pending).arg(status->pending > 1 ? "s" : "");
    if (!status->reachable) text += QStringLiteral(" Dernier essai d'envoi à %1 : %2").arg(when, status->message);
    return text;
}

}  // namespace

ClassPanel::ClassPanel(const QString& conninfo, QWidget* parent) : QWidget(parent), conninfo_(conninfo) {
    auto* layout = new QVBoxLayout(this);
    QString error;
    const auto server = conninfo.trimmed().isEmpty() ? std::nullopt : ClassServer::parse(conninfo, &error);
    if (!server) {
        problem_ = conninfo.trimmed().isEmpty()
                       ? QStringLiteral("Pas de serveur de classe : ce poste travaille seul. Pour suivre une "
                                        "classe, renseignez serveur dans data/classe.ini.")
                       : error;
        auto* message = new QLabel(problem_);
        message->setTextFormat(Qt::PlainText);  // it may quote classe.ini
        message->setWordWrap(true);
        QFont big = message->font();
        big.setPointSizeF(16);
        message->setFont(big);
        layout->addWidget(message, 0, Qt::AlignTop);
        return;
    }
    feed_ = new ClassFeed(*server, this);
    // A failure shows in the view, and the feed keeps trying.
    view_ = new ClassView(feed_, server->label());
    auto* roster = new QPushButton(QStringLiteral("Postes attendus…"));
    roster->setToolTip(QStringLiteral("Les postes que la classe doit compter : chacun a sa tuile, même sans essai."));
    connect(roster, &QPushButton::clicked, this, &ClassPanel::editRoster);
    exercises_ = new ExercisePanel(conninfo, feed_);
    layout->addWidget(exercises_);
    layout->addWidget(roster, 0, Qt::AlignRight);
    layout->addWidget(view_);
    connect(view_, &ClassView::replayRequested, this, &ClassPanel::openReplay);
    // On a station, its console's tab says what the station sends and where.
    connect(feed_, &ClassFeed::sendOnly, this, [this, roster, layout, where = server->label()] {
        roster->hide();
        exercises_->hide();
        view_->hide();
        auto* status = new QLabel;
        status->setObjectName("envoi");
        status->setTextFormat(Qt::PlainText);  // the server's address and its messages
        status->setWordWrap(true);
        status->setAlignment(Qt::AlignTop | Qt::AlignLeft);
        QFont font = status->font();
        font.setPointSizeF(13);
        status->setFont(font);
        layout->addWidget(status, 1);
        auto* timer = new QTimer(status);
        auto show = [status, where] { status->setText(sendingStatus(where)); };
        connect(timer, &QTimer::timeout, status, show);
        timer->start(2000);
        show();
    });
    feed_->start();
}

void ClassPanel::editRoster() {
    bool accepted = false;
    const QString text = QInputDialog::getMultiLineText(
        this, QStringLiteral("Postes attendus"), QStringLiteral("Un nom de poste par ligne :"),
        feed_->roster().join('\n'), &accepted);
    if (!accepted) return;
    QString error;
    const auto names = rosterFromText(text, &error);
    if (!names || !saveRoster(conninfo_, *names, &error))
        QMessageBox::warning(this, QStringLiteral("Postes attendus"),
                             QStringLiteral("La liste des postes n'a pas été enregistrée : %1").arg(error));
}

void ClassPanel::openReplay(const Standing& standing) {
    ReplayView::open(standing.session, {conninfo_, standing.station, standing.session.front().session}, scenario_,
                     QDir(facts::kDataFolder).absolutePath(), this);
}

const QString& ClassPanel::problem() const { return feed_ ? feed_->lastProblem() : problem_; }

void ClassPanel::setScenario(const Scenario& scenario) {
    scenario_ = scenario;
    if (view_) view_->setScenario(scenario);
    if (exercises_) exercises_->setScenario(scenario);
}

QString defaultClassServer() {
    return StationSettings::load(QDir(facts::kDataFolder).filePath(facts::kStationSettingsFile)).serveur;
}

int runRosterCommand(const QString& conninfo, const QString& file) {
    const auto read = file_safety::readRegularFile(file.toStdString());
    QString error = QString::fromStdString(read.error);
    if (read.status == file_safety::ReadStatus::Missing)
        error = QStringLiteral("Le fichier %1 n'existe pas.").arg(QFileInfo(file).absoluteFilePath());
    std::optional<QStringList> names;
    if (read.status == file_safety::ReadStatus::Read)
        names = rosterFromText(QString::fromUtf8(read.content), &error);
    if (!names || !saveRoster(conninfo, *names, &error)) {
        std::fprintf(stderr, "Liste des postes non enregistrée : %s\n", qPrintable(error));
        return 1;
    }
    std::printf("Liste des postes attendus enregistrée : %lld poste%s.\n", static_cast<long long>(names->size()),
                names->size() > 1 ? "s" : "");
    return 0;
}

int runClassCommand(const ClassCommand& command) {
    Scenario scenario;
    const QString scenarioMessage = loadScenario(QDir(facts::kDataFolder).filePath(kScenarioFile), scenario);
    if (!scenarioMessage.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(scenarioMessage));
    QMainWindow window;
    auto* panel = new ClassPanel(command.conninfo);
    panel->setScenario(scenario);
    window.setCentralWidget(panel);
    const bool exports = !command.reportPdf.isEmpty() || !command.csv.isEmpty() || !command.csvFrench.isEmpty();
    if ((exports || !command.snapshotPng.isEmpty()) && panel->feed()) panel->feed()->waitForFirstRead();
    if (exports) {
        if (!panel->problem().isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(panel->problem()));
            return 1;
        }
        bool ok = true;
        if (!command.reportPdf.isEmpty()) {
            std::map<TrialKey, QString> comments;
            QString error;
            withClassDatabase(command.conninfo, [&](QSqlDatabase& db, QString* e) {
                const auto read = allClassComments(db, e);
                if (read) comments = *read;
                return read.has_value();
            }, &error);
            if (!error.isEmpty()) std::fprintf(stderr, "Commentaires non lus : %s\n", qPrintable(error));
            ok = writeClassReportPdf(command.reportPdf, panel->feed()->stations(), scenario, comments) && ok;
        }
        if (!command.csv.isEmpty()) ok = writeClassCsv(command.csv, panel->feed()->allRows(), scenario) && ok;
        if (!command.csvFrench.isEmpty())
            ok = writeClassCsv(command.csvFrench, panel->feed()->allRows(), scenario, CsvDialect::French) && ok;
        if (!ok) std::fprintf(stderr, "Écriture impossible.\n");
        return ok ? 0 : 1;
    }
    window.setWindowTitle("Classe — Console du formateur");
    window.resize(ConsoleWindow::kPreferredSize);
    if (!command.snapshotPng.isEmpty()) return saveWindowSnapshot(window, command.snapshotPng);
    window.show();
    return QApplication::exec();
}
