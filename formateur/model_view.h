// The "Modèle" tab: which coefficients the simulator uses now, the versions
// kept in poly/historique/ with what each predicts, and their restoring.
#pragma once

#include "coefficient_files.h"
#include "solvability.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

class ModelView : public QWidget {
    Q_OBJECT
public:
    // best: the best setting of the models in use, as the solvability check
    // found it; without one, the tab searches it itself.
    explicit ModelView(const QString& polyFolder, const std::optional<Optimum>& best = std::nullopt,
                       QWidget* parent = nullptr);

    // Reads poly/ again: the files, the history, the predictions.
    void refresh(const std::optional<Optimum>& best = std::nullopt);
    // While the class runs an exercise, the best setting is not shown unless the trainer asks.
    void setSolutionHidden(bool hidden);
    // Without asking: what the buttons do once the trainer has confirmed.
    QString restoreSelected();
    QString restoreBuiltIn();

    QTableWidget* versionsTable() const { return versions_; }

signals:
    void restored(const QString& message);

private:
    void showVersions();
    void confirmAndRun(const QString& question, QString (ModelView::*action)());

    QString polyFolder_;
    ModelSources sources_;
    std::vector<KeptVersion> kept_;
    Setting best_{};
    QString bestText_;
    bool solutionHidden_ = false;

    QLabel* state_ = nullptr;
    QLabel* warning_ = nullptr;
    QComboBox* model_ = nullptr;
    QLabel* bestLabel_ = nullptr;
    QTableWidget* versions_ = nullptr;
    QPushButton* restoreVersion_ = nullptr;
};
