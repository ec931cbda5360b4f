#include "class_panel.h"

#include "class_database.h"
#include "class_feed.h"
#include "class_report.h"
#include "class_view.h"
#include "console_window.h"
#include "facts.h"
#include "station_settings.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QVBoxLayout>

#include <cstdio>

ClassPanel::ClassPanel(const QString& conninfo, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    QString error;
    const auto server = conninfo.trimmed().isEmpty() ? std::nullopt : ClassServer::parse(conninfo, &error);
    if (!server) {
        problem_ = conninfo.trimmed().isEmpty()
                       ? QStringLiteral("Pas de serveur de classe : ce poste travaille seul. Pour suivre une "
                                        "classe, renseignez serveur dans data/classe.ini.")
                       : error;
        auto* message = new QLabel(problem_);
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
    layout->addWidget(view_);
    feed_->start();
}

const QString& ClassPanel::problem() const { return feed_ ? feed_->lastProblem() : problem_; }

void ClassPanel::setScenario(const Scenario& scenario) {
    if (view_) view_->setScenario(scenario);
}

QString defaultClassServer() {
    return StationSettings::load(QDir(facts::kDataFolder).filePath(facts::kStationSettingsFile)).serveur;
}

int runClassCommand(const ClassCommand& command) {
    Scenario scenario;
    const QString scenarioMessage = loadScenario(QDir(facts::kDataFolder).filePath(kScenarioFile), scenario);
    if (!scenarioMessage.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(scenarioMessage));
    QMainWindow window;
    auto* panel = new ClassPanel(command.conninfo);
    panel->setScenario(scenario);
    window.setCentralWidget(panel);
    const bool batch = !command.reportPdf.isEmpty() || !command.csv.isEmpty() || !command.snapshotPng.isEmpty();
    if (batch && panel->feed()) panel->feed()->waitForFirstRead();
    if (!command.reportPdf.isEmpty() || !command.csv.isEmpty()) {
        if (!panel->problem().isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(panel->problem()));
            return 1;
        }
        bool ok = true;
        if (!command.reportPdf.isEmpty())
            ok = writeClassReportPdf(command.reportPdf, panel->feed()->stations(), scenario) && ok;
        if (!command.csv.isEmpty()) ok = writeClassCsv(command.csv, panel->feed()->allRows(), scenario) && ok;
        if (!ok) std::fprintf(stderr, "Écriture impossible.\n");
        return ok ? 0 : 1;
    }
    window.setWindowTitle("Classe — Console du formateur");
    window.resize(ConsoleWindow::kPreferredSize);
    window.show();
    if (command.snapshotPng.isEmpty()) return QApplication::exec();
    QCoreApplication::processEvents();
    return window.grab().save(command.snapshotPng) ? 0 : 1;
}
