#include "console_window.h"

#include "errors.h"
#include "report.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

#include <qcustomplot.h>

namespace {

QVector<double> xs(const QVector<QPointF>& p) {
    QVector<double> out;
    for (const QPointF& q : p) out << q.x();
    return out;
}
QVector<double> ys(const QVector<QPointF>& p) {
    QVector<double> out;
    for (const QPointF& q : p) out << q.y();
    return out;
}

QCPCurve* addProfile(QCustomPlot* chart, const QVector<QPointF>& points, const QPen& pen, const QString& name) {
    auto* curve = new QCPCurve(chart->xAxis, chart->yAxis);
    curve->setData(xs(points), ys(points));
    curve->setPen(pen);
    curve->setName(name);
    return curve;
}

}  // namespace

ConsoleWindow::ConsoleWindow(QWidget* parent)
    : QMainWindow(parent),
      dataFolder_(QDir::current().absoluteFilePath("data")),
      journal_(QDir(dataFolder_).filePath("journal.csv")),
      scenarioPath_(QDir(dataFolder_).filePath("scenario.ini")) {
    setWindowTitle("Console du formateur");
    setLocale(QLocale(QLocale::French));
    QStringList problems{journal_.load(), loadScenario(scenarioPath_, scenario_)};
    recorder_ = new TrialRecorder(QDir::currentPath(), journal_, this);

    createChart();
    createTable();
    score_ = new QLabel;
    score_->setWordWrap(true);
    QFont bold = score_->font();
    bold.setBold(true);
    score_->setFont(bold);

    auto* splitter = new QSplitter;
    splitter->addWidget(table_);
    splitter->addWidget(chart_);
    splitter->setStretchFactor(0, 1);
    splitter->setSizes({1110, 390});

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(createScenarioBox());
    layout->addWidget(score_);
    layout->addWidget(splitter, 1);
    layout->addWidget(createSolvabilityBox());
    setCentralWidget(central);
    resize(1500, 800);

    connect(recorder_, &TrialRecorder::recorded, this, &ConsoleWindow::addTrial);
    connect(recorder_, &TrialRecorder::problem, this, &ConsoleWindow::showProblem);
    connect(recorder_, &TrialRecorder::dataFolderChanged, this, [this](bool present) {
        showProblem(present ? QStringLiteral("Le dossier data est revenu : l'enregistrement reprend.")
                            : QStringLiteral("Le dossier data a disparu : les essais ne sont plus "
                                             "enregistrés jusqu'à son retour."));
    });
    // The editors save by renaming over the files: watch the folder.
    polyWatcher_.addPath(QDir::current().absoluteFilePath("poly"));
    connect(&polyWatcher_, &QFileSystemWatcher::directoryChanged, this, &ConsoleWindow::recheckSolvability);

    showSession();
    recheckSolvability();
    problems.removeAll(QString());
    if (!recorder_->dataFolderPresent()) problems << QStringLiteral("Le dossier data est absent : en attente.");
    if (!problems.isEmpty()) showProblem(problems.join(' '));
}

// A field losing its focus as the window goes must not reach a half-destroyed window.
ConsoleWindow::~ConsoleWindow() {
    for (QDoubleSpinBox* field : scenarioFields_) field->disconnect(this);
}

QWidget* ConsoleWindow::createScenarioBox() {
    auto* box = new QGroupBox("Scénario de l'exercice");
    auto* row = new QHBoxLayout(box);
    struct Field {
        const char* label;
        double Scenario::*value;
        double step, maximum;
        int decimals;
        const char* suffix;
    };
    const Field fields[] = {
        {"Tolérance A1 ±", &Scenario::toleranceA1, 0.1, 45, 2, " °"},
        {"Tolérance A2 ±", &Scenario::toleranceA2, 0.1, 45, 2, " °"},
        {"Tolérance H ±", &Scenario::toleranceH, 0.1, 45, 2, " mm"},
        {"Budget", &Scenario::budget, 350, 1e7, 0, " €"},
    };
    for (std::size_t i = 0; i < scenarioFields_.size(); ++i) {
        auto* spin = new QDoubleSpinBox;
        spin->setDecimals(fields[i].decimals);
        spin->setRange(std::pow(10.0, -fields[i].decimals), fields[i].maximum);
        spin->setSingleStep(fields[i].step);
        spin->setSuffix(fields[i].suffix);
        spin->setValue(scenario_.*fields[i].value);
        spin->setKeyboardTracking(false);
        connect(spin, &QDoubleSpinBox::valueChanged, this, &ConsoleWindow::scenarioEdited);
        row->addWidget(new QLabel(fields[i].label));
        row->addWidget(spin);
        scenarioFields_[i] = spin;
    }
    row->addStretch(1);
    auto* csv = new QPushButton("Exporter le journal (CSV)…");
    auto* pdf = new QPushButton("Rapport PDF…");
    connect(csv, &QPushButton::clicked, this, [this] {
        QString file = QFileDialog::getSaveFileName(this, "Exporter le journal", "journal_session.csv",
                                                    "CSV (*.csv)");
        if (!file.isEmpty() && !exportJournal(file)) showProblem("Impossible d'écrire " + file + ".");
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

QWidget* ConsoleWindow::createSolvabilityBox() {
    auto* box = new QGroupBox("Faisabilité de l'exercice (coefficients actuels)");
    auto* row = new QHBoxLayout(box);
    solvabilityLabel_ = new QLabel;
    solvabilityLabel_->setWordWrap(true);
    solvabilityLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* again = new QPushButton("Vérifier");
    connect(again, &QPushButton::clicked, this, &ConsoleWindow::recheckSolvability);
    row->addWidget(solvabilityLabel_, 1);
    row->addWidget(again, 0, Qt::AlignTop);
    return box;
}

void ConsoleWindow::createChart() {
    chart_ = new QCustomPlot;
    chart_->setMinimumWidth(360);
    chart_->xAxis->setRange(0, 80);
    chart_->yAxis->setRange(0, 45);
    chart_->xAxis->setLabel("x (mm)");
    chart_->yAxis->setLabel("y (mm)");
    chart_->legend->setVisible(true);
    chart_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
}

void ConsoleWindow::createTable() {
    table_ = new QTableWidget(0, tableTitles().size());
    table_->setHorizontalHeaderLabels(tableTitles());
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->setVisible(false);
    QFont compact = table_->font();
    compact.setPointSizeF(compact.pointSizeF() * 0.9);
    table_->setFont(compact);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &ConsoleWindow::redrawProfiles);
}

void ConsoleWindow::showSession() {
    session_.clear();
    shapes_.clear();
    table_->setRowCount(0);
    for (const Trial& t : sessionTrials(journal_.trials(), journal_.lastSession())) appendRow(t);
    table_->resizeColumnsToContents();
    score_->setText(scoreText());
    redrawProfiles();
}

void ConsoleWindow::addTrial(const Trial& trial) {
    if (!session_.empty() && session_.back().session != trial.session) {
        showSession();  // a new session replaces the old one on screen
        return;
    }
    appendRow(trial);
    table_->scrollToBottom();
    score_->setText(scoreText());
    redrawProfiles();
}

void ConsoleWindow::appendRow(const Trial& trial) {
    session_.push_back(trial);
    shapes_.push_back(profilePoints(trial.A1, trial.A2, trial.H));
    const int row = table_->rowCount();
    table_->insertRow(row);
    const QStringList cells = tableCells(trial, scenario_);
    const Verdict verdict = judge(trial, scenario_);
    const QColor tint = verdict == Verdict::InTolerance  ? QColor(210, 240, 210)
                        : verdict == Verdict::OverBudget ? QColor(250, 235, 200)
                                                         : QColor(250, 215, 215);
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        if (c == cells.size() - 1) item->setBackground(tint);
        item->setTextAlignment(c == 0 || c >= cells.size() - 2 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(row, c, item);
    }
}

QString ConsoleWindow::scoreText() const { return sessionScore(session_, scenario_); }

void ConsoleWindow::redrawProfiles() {
    chart_->clearPlottables();
    addProfile(chart_, profilePoints(kTargetA1, kTargetA2, kTargetH), QPen(Qt::red, 2, Qt::DotLine),
               "Profil cible");
    const int last = int(session_.size()) - 1;
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    const int selected = rows.isEmpty() ? -1 : rows.first().row();
    // Drawn in this order so that the latest and the selected profile lie on top.
    bool faintInLegend = false;
    for (int i = 0; i < last; ++i) {
        if (i == selected) continue;
        auto* curve = addProfile(chart_, shapes_[i], QPen(QColor(70, 90, 200, 70), 1.2), "Essais précédents");
        if (faintInLegend) curve->removeFromLegend();
        faintInLegend = true;
    }
    if (last >= 0) addProfile(chart_, shapes_[last], QPen(QColor(0, 0, 255), 3), "Dernier essai");
    if (selected >= 0 && selected <= last)
        addProfile(chart_, shapes_[selected], QPen(QColor(255, 140, 0), 3, Qt::DashLine),
                   QStringLiteral("Essai n° %1 (sélection)").arg(session_[selected].count));
    // Trials can come faster than the screen needs them.
    chart_->replot(QCustomPlot::rpQueuedReplot);
}

void ConsoleWindow::scenarioEdited() {
    scenario_.toleranceA1 = scenarioFields_[0]->value();
    scenario_.toleranceA2 = scenarioFields_[1]->value();
    scenario_.toleranceH = scenarioFields_[2]->value();
    scenario_.budget = scenarioFields_[3]->value();
    if (!saveScenario(scenarioPath_, scenario_)) showProblem("Impossible d'enregistrer " + scenarioPath_ + ".");
    showSession();
    recheckSolvability();
}

void ConsoleWindow::recheckSolvability() {
    try {
        solvability_ = solvabilityText(checkSolvability(scenario_), scenario_);
    } catch (const mclError& e) {
        solvability_ = QStringLiteral("Vérification impossible : %1").arg(QString::fromUtf8(e.what()));
    }
    solvabilityLabel_->setText(solvability_);
}

void ConsoleWindow::showProblem(const QString& message) { statusBar()->showMessage(message); }

bool ConsoleWindow::exportReport(const QString& pdfFile) {
    table_->clearSelection();
    SessionReport report{session_, scenario_, scoreText(), solvability_,
                         chart_->toPixmap(900, 520, 1.0).toImage()};
    return writeReportPdf(pdfFile, report);
}

bool ConsoleWindow::exportJournal(const QString& csvFile) {
    return writeSessionCsv(csvFile, session_, scenario_);
}
