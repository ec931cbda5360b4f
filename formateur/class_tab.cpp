#include "class_tab.h"

#include "class_database.h"
#include "class_feed.h"
#include "class_panel.h"
#include "facts.h"
#include "station_settings.h"

#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

ClassTab::ClassTab(const QString& dataFolder, QWidget* parent)
    : QWidget(parent), iniPath_(QDir(dataFolder).filePath(facts::kStationSettingsFile)) {
    const StationSettings settings = StationSettings::load(iniPath_);
    auto* box = new QGroupBox("Ce poste");
    auto* row = new QHBoxLayout(box);
    poste_ = new QLineEdit(settings.poste);
    stagiaire_ = new QLineEdit(settings.stagiaire);
    stagiaire_->setPlaceholderText("nom du stagiaire");
    saved_ = new QLabel(settings.problem);
    saved_->setTextFormat(Qt::PlainText);  // a failure quotes the path and classe.ini
    row->addWidget(new QLabel("Poste"));
    row->addWidget(poste_, 1);
    row->addWidget(new QLabel("Stagiaire"));
    row->addWidget(stagiaire_, 2);
    row->addWidget(saved_, 3);
    for (QLineEdit* field : {poste_, stagiaire_})
        connect(field, &QLineEdit::editingFinished, this, [this, field] {
            if (field->isModified()) saveStation();
            field->setModified(false);
        });
    layout_ = new QVBoxLayout(this);
    layout_->addWidget(box);
}

bool ClassTab::saveStation() {
    StationSettings settings = StationSettings::load(iniPath_);
    const QString poste = poste_->text().trimmed();
    if (poste.isEmpty()) {
        poste_->setText(settings.poste);
        saved_->setText("Le nom du poste ne peut pas être vide.");
        return false;
    }
    const QString stagiaire = stagiaire_->text().trimmed();
    if (const QString problem = stationNamesProblem(poste, stagiaire); !problem.isEmpty()) {
        saved_->setText(problem);
        return false;
    }
    settings.poste = poste;
    settings.stagiaire = stagiaire;
    QString error;
    if (!settings.save(iniPath_, &error)) {
        saved_->setText(error);
        return false;
    }
    saved_->setText("Enregistré : le simulateur le prendra à son prochain démarrage.");
    return true;
}

void ClassTab::setScenario(const Scenario& scenario) {
    scenario_ = scenario;
    if (panel_) panel_->setScenario(scenario);
}

void ClassTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (panel_) return;
    panel_ = new ClassPanel(StationSettings::load(iniPath_).serveur);
    panel_->setScenario(scenario_);
    layout_->addWidget(panel_, 1);
    if (ClassFeed* feed = panel_->feed())
        connect(feed, &ClassFeed::exerciseChanged, this, [this, feed] { emit exerciseRunning(feed->exercise().has_value()); });
}
