#include "console_window.h"

#include "class_tab.h"
#include "errors.h"
#include "facts.h"
#include "replay_view.h"
#include "report.h"
#include "trial_comments.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cstdio>


ConsoleWindow::ConsoleWindow(QWidget* parent)
    : QMainWindow(parent),
      dataFolder_(QDir::current().absoluteFilePath(facts::kDataFolder)),
      scenarioPath_(QDir(dataFolder_).filePath(kScenarioFile)) {
    setWindowTitle("Console du formateur");
    setLocale(QLocale(QLocale::French));
    QStringList problems{loadScenario(scenarioPath_, scenario_)};
    journal_ = new JournalFollower(dataFolder_, this);

    session_ = new SessionView;
    session_->setScenario(scenario_);

    auto* sessionPage = new QWidget;
    auto* layout = new QVBoxLayout(sessionPage);
    layout->addWidget(createScenarioBox());
    layout->addWidget(session_, 1);
    layout->addWidget(createSolvabilityBox());
    tabs_ = new QTabWidget;
    tabs_->addTab(sessionPage, "Session");
    // The check's best setting serves the "Modèle" tab too: the search runs once.
    models_ = new ModelView(QDir::current().absoluteFilePath(facts::kCoefficientFolder), recheckSolvability());
    tabs_->addTab(models_, "Modèle");
    connect(models_, &ModelView::restored, this, &ConsoleWindow::showProblem);
    classTab_ = new ClassTab(dataFolder_);
    classTab_->setScenario(scenario_);
    tabs_->addTab(classTab_, "Classe");
    connect(classTab_, &ClassTab::exerciseRunning, this, [this](bool running) {
        exerciseRunning_ = running;
        if (!running) showSolution_->setChecked(false);
        showSolution();
    });
    tabs_->setCornerWidget(createReplayButton());
    setCentralWidget(tabs_);
    // Classroom projectors are often 1024 × 768: never open larger than the screen.
    const QSize frame(16, 48);  // title bar and borders, which the window manager adds
    resize(kPreferredSize.boundedTo(screen()->availableGeometry().size() - frame));

    connect(journal_, &JournalFollower::recorded, this, &ConsoleWindow::addTrial);
    connect(journal_, &JournalFollower::problem, this, &ConsoleWindow::showProblem);
    // The editors save by renaming over the files: watch the folder.
    polyWatcher_.addPath(QDir::current().absoluteFilePath(facts::kCoefficientFolder));
    connect(&polyWatcher_, &QFileSystemWatcher::directoryChanged, this,
            [this] { models_->refresh(recheckSolvability()); });
    // A file replaced by renaming shows in its folder; one rewritten in place, in itself.
    scenarioWatcher_.addPaths({dataFolder_, scenarioPath_});
    connect(&scenarioWatcher_, &QFileSystemWatcher::directoryChanged, this, &ConsoleWindow::rereadScenario);
    connect(&scenarioWatcher_, &QFileSystemWatcher::fileChanged, this, &ConsoleWindow::rereadScenario);

    session_->showTrials(journal_->lastSession());
    problems << journal_->lastProblem();
    problems.removeAll(QString());
    if (!problems.isEmpty()) showProblem(problems.join(' '));
}

// A field losing its focus as the window goes must not reach a half-destroyed window.
ConsoleWindow::~ConsoleWindow() {
    for (QDoubleSpinBox* field : scenarioFields_) field->disconnect(this);
}

QWidget* ConsoleWindow::createScenarioBox() {
    auto* box = new QGroupBox("Scénario de l'exercice");
    auto* row = new QHBoxLayout(box);
    const std::vector<ScenarioField>& fields = scenarioFields();
    for (std::size_t i = 0; i < scenarioFields_.size(); ++i) {
        auto* spin = new QDoubleSpinBox;
        spin->setObjectName(fields[i].key);
        spin->setDecimals(fields[i].decimals);
        spin->setRange(fields[i].minimum, fields[i].maximum);
        spin->setSingleStep(fields[i].step);
        spin->setSuffix(fields[i].unit);
        spin->setValue(scenario_.*fields[i].value);
        spin->setKeyboardTracking(false);
        connect(spin, &QDoubleSpinBox::valueChanged, this, [this, &field = fields[i]](double value) {
            scenarioEdited(field, value);
        });
        row->addWidget(new QLabel(fields[i].label));
        row->addWidget(spin);
        scenarioFields_[i] = spin;
    }
    row->addStretch(1);
    auto* csv = new QPushButton("Exporter le journal (CSV)…");
    auto* pdf = new QPushButton("Rapport PDF…");
    connect(csv, &QPushButton::clicked, this, [this] {
        const QString french = QStringLiteral("CSV pour tableur français, « ; » et virgule décimale (*.csv)");
        QString chosen;
        QString file = QFileDialog::getSaveFileName(this, "Exporter le journal", "journal_session.csv",
                                                    "CSV (*.csv);;" + french, &chosen);
        const CsvDialect dialect = chosen == french ? CsvDialect::French : CsvDialect::Standard;
        if (!file.isEmpty() && !exportJournal(file, dialect)) showProblem("Impossible d'écrire " + file + ".");
    });
    connect(pdf, &QPushButton::clicked, this, [this] {
        QString file = QFileDialog::getSaveFileName(this, "Rapport de session", "rapport_session.pdf",
                                                    "PDF (*.pdf)");
        if (!file.isEmpty() && !exportReport(file)) showProblem("Impossible d'écrire " + file + ".");
    });
    row->addWidget(csv);
    row->addWidget(pdf);
    return box;
}

// Beside the tabs, where it takes none of the scenario's width on a small screen.
QWidget* ConsoleWindow::createReplayButton() {
    auto* replay = new QPushButton("Rejouer la session…");
    replay->setToolTip("Débriefing : la session essai par essai, avec ses commentaires.");
    connect(tabs_, &QTabWidget::currentChanged, replay, [replay](int tab) { replay->setVisible(tab == 0); });
    connect(replay, &QPushButton::clicked, this, [this] {
        const std::vector<Trial>& trials = session_->trials();
        if (trials.empty()) return showProblem("Aucun essai à rejouer dans cette session.");
        ReplayView::open(trials, {{}, trials.front().station, trials.front().session}, scenario_, dataFolder_, this);
    });
    return replay;
}

QWidget* ConsoleWindow::createSolvabilityBox() {
    auto* box = new QGroupBox("Faisabilité de l'exercice (coefficients actuels)");
    auto* row = new QHBoxLayout(box);
    solvabilityLabel_ = new QLabel;
    solvabilityLabel_->setObjectName("faisabilite");
    solvabilityLabel_->setWordWrap(true);
    solvabilityLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    solvabilityLabel_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    auto* again = new QPushButton("Vérifier");
    connect(again, &QPushButton::clicked, this, [this] { recheckSolvability(); });
    showSolution_ = new QPushButton("Afficher la solution");
    showSolution_->setCheckable(true);
    showSolution_->hide();
    connect(showSolution_, &QPushButton::toggled, this, &ConsoleWindow::showSolution);
    row->addWidget(solvabilityLabel_, 1);
    row->addWidget(showSolution_, 0, Qt::AlignTop);
    row->addWidget(again, 0, Qt::AlignTop);
    return box;
}

void ConsoleWindow::addTrial(const Trial& trial) {
    if (!session_->trials().empty() && session_->trials().back().session != trial.session)
        session_->showTrials(journal_->lastSession());  // a new session replaces the old one on screen
    else
        session_->addTrial(trial);
}

QString ConsoleWindow::scoreText() const { return session_->scoreText(); }

void ConsoleWindow::scenarioEdited(const ScenarioField& field, double value) {
    Scenario onDisk;
    const QString message = saveScenarioField(scenarioPath_, field, value, onDisk);
    if (!message.isEmpty()) showProblem(message);
    showScenario(onDisk);
}

void ConsoleWindow::rereadScenario() {
    if (QFileInfo(scenarioPath_).isFile()) scenarioWatcher_.addPath(scenarioPath_);
    Scenario onDisk;
    const QString message = loadScenario(scenarioPath_, onDisk);
    if (!message.isEmpty()) showProblem(message);
    showScenario(onDisk);
}

void ConsoleWindow::showScenario(const Scenario& scenario) {
    // Only the fields that differ: one the trainer is typing in keeps its text.
    for (std::size_t i = 0; i < scenarioFields_.size(); ++i) {
        const double value = scenario.*scenarioFields()[i].value;
        if (scenarioFields_[i]->value() == value) continue;
        const QSignalBlocker quiet(scenarioFields_[i]);
        scenarioFields_[i]->setValue(value);
    }
    if (scenario == scenario_) return;
    scenario_ = scenario;
    session_->setScenario(scenario_);
    classTab_->setScenario(scenario_);
    recheckSolvability();
}

std::optional<Optimum> ConsoleWindow::recheckSolvability() {
    std::optional<Optimum> best;
    try {
        const Solvability s = checkSolvability(scenario_);
        solvability_ = solvabilityText(s, scenario_);
        best = s.best;
    } catch (const mclError& e) {
        solvability_ = QStringLiteral("Vérification impossible : %1").arg(QString::fromUtf8(e.what()));
    }
    showSolution();
    return best;
}

void ConsoleWindow::showSolution() {
    const bool hidden = exerciseRunning_ && !showSolution_->isChecked();
    showSolution_->setVisible(exerciseRunning_);
    solvabilityLabel_->setText(hidden ? QStringLiteral("Solution masquée pendant l'exercice de la classe : la console "
                                                       "est souvent projetée à la salle.")
                                      : solvability_);
    if (models_) models_->setSolutionHidden(hidden);  // none yet while the window is being built
}

bool ConsoleWindow::showTab(const QString& title) {
    for (int i = 0; i < tabs_->count(); ++i)
        if (tabs_->tabText(i).compare(title, Qt::CaseInsensitive) == 0) {
            tabs_->setCurrentIndex(i);
            return true;
        }
    return false;
}

void ConsoleWindow::showProblem(const QString& message) { statusBar()->showMessage(message); }

bool ConsoleWindow::exportReport(const QString& pdfFile) {
    SessionReport report{session_->trials(), scenario_, scoreText(), solvability_,
                         session_->chartImage(340, 230, 4.0), {}};  // its size on the page, in points
    if (!report.trials.empty()) {
        QString unread;
        report.comments = TrialComments(dataFolder_).load(
            {{}, report.trials.front().station, report.trials.front().session}, &unread);
        if (!unread.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(unread));
    }
    // Laid out in a private folder first, then written whole like every export;
    // the PDF writer does not tell a failed write: an empty draft is one.
    QTemporaryDir laidOut;
    const QString draft = laidOut.filePath("rapport.pdf");
    QFile pdf(draft);
    if (!laidOut.isValid() || !writeReportPdf(draft, report) || !pdf.open(QIODevice::ReadOnly)) return false;
    const QByteArray text = pdf.readAll();
    return !text.isEmpty() && saveWhole(pdfFile, text);
}

bool ConsoleWindow::exportJournal(const QString& csvFile, CsvDialect dialect) {
    return writeSessionCsv(csvFile, session_->trials(), scenario_, dialect);
}
