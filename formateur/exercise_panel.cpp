#include "exercise_panel.h"

#include "class_exercise.h"
#include "class_feed.h"
#include "class_database.h"
#include "exercise_file.h"
#include "facts.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

ExercisePanel::ExercisePanel(const QString& conninfo, ClassFeed* feed, QWidget* parent)
    : QGroupBox(QStringLiteral("Exercice de la classe"), parent), conninfo_(conninfo), feed_(feed) {
    name_ = new QLineEdit;
    name_->setPlaceholderText(QStringLiteral("par exemple : Pliage à 135°"));
    name_->setMaxLength(kMaxExerciseName);
    minutes_ = new QDoubleSpinBox;
    minutes_->setRange(0, kMaxExerciseMinutes);
    minutes_->setDecimals(1);
    minutes_->setSuffix(QStringLiteral(" min"));
    minutes_->setSpecialValueText(QStringLiteral("sans limite"));
    trials_ = new QSpinBox;
    trials_->setRange(0, 10000);
    trials_->setSpecialValueText(QStringLiteral("sans limite"));
    mode_ = new QComboBox;
    mode_->addItems({QStringLiteral("Entraînement"), QStringLiteral("Examen")});
    start_ = new QPushButton(QStringLiteral("Démarrer pour la classe"));
    start_->setToolTip(QStringLiteral("Avec les tolérances et le budget du scénario de la console et le modèle de "
                                      "son dossier poly/ ; termine l'exercice en cours."));
    stop_ = new QPushButton(QStringLiteral("Arrêter"));
    running_ = new QLabel;
    running_->setTextFormat(Qt::PlainText);  // the name as the trainer typed it
    running_->setWordWrap(true);
    QFont bold = running_->font();
    bold.setBold(true);
    running_->setFont(bold);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Nom")), 0, 0);
    grid->addWidget(name_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Durée")), 0, 2);
    grid->addWidget(minutes_, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Essais au plus")), 0, 4);
    grid->addWidget(trials_, 0, 5);
    grid->addWidget(new QLabel(QStringLiteral("Mode")), 0, 6);
    grid->addWidget(mode_, 0, 7);
    grid->addWidget(start_, 0, 8);
    grid->addWidget(running_, 1, 0, 1, 8);
    grid->addWidget(stop_, 1, 8);
    grid->setColumnStretch(1, 1);

    connect(start_, &QPushButton::clicked, this, &ExercisePanel::startForClass);
    connect(stop_, &QPushButton::clicked, this, &ExercisePanel::stopRunning);
    connect(feed_, &ClassFeed::exerciseChanged, this, &ExercisePanel::showRunning);
    showRunning();
}

void ExercisePanel::showRunning() {
    const std::optional<ClassExercise>& e = feed_->exercise();
    stop_->setEnabled(e.has_value());
    if (!e) return running_->setText(QStringLiteral("Aucun exercice en cours : les postes sont jugés sur le "
                                                    "scénario de la console."));
    running_->setText(QStringLiteral("En cours : %1 n° %2 « %3 », démarré à %4 (heure du serveur).")
                          .arg(e->exam ? "examen" : "exercice")
                          .arg(e->number)
                          .arg(e->name, e->start.toLocalTime().toString("HH:mm")));
}

bool ExercisePanel::confirmed(const QString& question) {
    return !confirming_ || QMessageBox::question(this, title(), question) == QMessageBox::Yes;
}

void ExercisePanel::fail(const QString& message) {
    if (confirming_) QMessageBox::warning(this, title(), message);
    running_->setText(message);
}

bool ExercisePanel::startForClass() {
    // The fields make the text of an exercise file, so that both are checked alike.
    QStringList lines{QStringLiteral("nom=%1").arg(name_->text()),
                      QStringLiteral("mode=%1").arg(mode_->currentIndex() == 1 ? "examen" : "entrainement")};
    if (minutes_->value() > 0) lines << QStringLiteral("duree_minutes=%1").arg(minutes_->value());
    if (trials_->value() > 0) lines << QStringLiteral("essais_max=%1").arg(trials_->value());
    QString error;
    auto exercise = exerciseFromText(lines.join('\n'), scenario_, &error);
    if (!exercise || !giveFolderModel(*exercise, facts::kCoefficientFolder, &error)) {
        fail(QStringLiteral("Exercice non démarré : %1").arg(error.remove(QStringLiteral("Fichier d'exercice refusé : "))));
        return false;
    }
    const std::optional<ClassExercise>& running = feed_->exercise();
    if (running && !confirmed(QStringLiteral("L'%1 « %2 » est en cours : le terminer et démarrer « %3 » ?")
                                  .arg(running->exam ? "examen" : "exercice", running->name, exercise->name)))
        return false;
    if (!startClassExercise(conninfo_, *exercise, &error)) {
        fail(QStringLiteral("Exercice non démarré : %1").arg(error));
        return false;
    }
    return true;
}

bool ExercisePanel::stopRunning() {
    const std::optional<ClassExercise> running = feed_->exercise();
    if (!running || !confirmed(QStringLiteral("Arrêter l'%1 « %2 » pour toute la classe ?")
                                   .arg(running->exam ? "examen" : "exercice", running->name)))
        return false;
    QString error;
    if (!withClassDatabase(
            conninfo_, [&](QSqlDatabase& db, QString* failure) { return stopExercise(db, running->number, failure); },
            &error)) {
        fail(QStringLiteral("Exercice non arrêté : %1").arg(error));
        return false;
    }
    return true;
}
