// The console's "Classe" tab: this station's name and trainee, kept in
// data/classe.ini, above the class view of the server it names. The view
// connects when the tab is first shown, so that a console which never looks
// at the class never waits for its server.
#pragma once

#include "scenario.h"

#include <QWidget>

class ClassPanel;
class QLabel;
class QLineEdit;
class QVBoxLayout;

class ClassTab : public QWidget {
    Q_OBJECT
public:
    explicit ClassTab(const QString& dataFolder, QWidget* parent = nullptr);

    void setScenario(const Scenario& scenario);
    ClassPanel* panel() const { return panel_; }
    // Saves the two fields as they are now; false with the message shown.
    bool saveStation();

signals:
    // The class started or ended an exercise, as the class view read it.
    void exerciseRunning(bool running);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString iniPath_;
    QLineEdit *poste_, *stagiaire_;
    QLabel* saved_;
    QVBoxLayout* layout_;
    ClassPanel* panel_ = nullptr;
    Scenario scenario_;
};
