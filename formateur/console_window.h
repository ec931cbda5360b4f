// "Console du formateur": the journal of the current session, its profiles,
// its score and whether the exercise can be solved at all.
#pragma once

#include "journal_follower.h"
#include "model_view.h"
#include "report.h"
#include "scenario.h"
#include "session_view.h"
#include "solvability.h"

#include <QFileSystemWatcher>
#include <QMainWindow>

#include <optional>

class ClassTab;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTabWidget;

class ConsoleWindow : public QMainWindow {
    Q_OBJECT
public:
    // Runs in the current folder, the simulator's, which holds data/ and
    // poly/: the model functions it borrows read poly/ from there.
    explicit ConsoleWindow(QWidget* parent = nullptr);
    // Opens at this size, or smaller on a smaller screen.
    static constexpr QSize kPreferredSize{1280, 800};
    ~ConsoleWindow() override;

    // Brings the tab of that title forward ("Session", "Modèle"); false when there is none.
    bool showTab(const QString& title);
    bool exportReport(const QString& pdfFile);
    bool exportJournal(const QString& csvFile, CsvDialect dialect = CsvDialect::Standard);
    const std::vector<Trial>& sessionShown() const { return session_->trials(); }
    QString scoreText() const;

private:
    QWidget* createScenarioBox();
    QWidget* createSolvabilityBox();
    QWidget* createReplayButton();

    void addTrial(const Trial& trial);
    // The trainer changed that field: it alone is written, into the file as it is now.
    void scenarioEdited(const ScenarioField& field, double value);
    // Another console, or a person, may have changed the file.
    void rereadScenario();
    void showScenario(const Scenario& scenario);
    // Returns the best setting found, none when the check failed.
    std::optional<Optimum> recheckSolvability();
    void showProblem(const QString& message);
    // The solvability box and the best setting, hidden while the class runs
    // an exercise (a console is often projected to the room) unless asked.
    void showSolution();

    QString dataFolder_;

    QString scenarioPath_;
    Scenario scenario_;
    JournalFollower* journal_ = nullptr;
    QFileSystemWatcher polyWatcher_, scenarioWatcher_;
    SessionView* session_ = nullptr;
    QString solvability_;

    std::array<QDoubleSpinBox*, 4> scenarioFields_{};
    QLabel* solvabilityLabel_ = nullptr;
    QPushButton* showSolution_ = nullptr;
    bool exerciseRunning_ = false;
    QTabWidget* tabs_ = nullptr;
    ModelView* models_ = nullptr;
    ClassTab* classTab_ = nullptr;
};
