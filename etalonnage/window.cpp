#include "window.h"

#include "charts.h"
#include "documents.h"
#include "factors.h"
#include "host.h"
#include "model_files.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <qcustomplot.h>

namespace etalonnage {

namespace {

QTableWidget* table(const QStringList& titles) {
    auto* t = new QTableWidget(0, int(titles.size()));
    t->setHorizontalHeaderLabels(titles);
    t->verticalHeader()->setVisible(false);
    t->verticalHeader()->setDefaultSectionSize(21);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    return t;
}

void setRow(QTableWidget* t, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
        t->setItem(row, c, item);
    }
}

}  // namespace

CalibrationWindow::CalibrationWindow(int centres, std::uint64_t seed) {
    setWindowTitle("Étalonnage du modèle");
    resize(1100, 720);
    pages_ = new QTabWidget;
    pages_->addTab(createPlanPage(), "Plan d'essais");
    pages_->addTab(createFitPage(), "Ajustement");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    centres_->setValue(centres);
    seed_->setValue(int(seed % 1000000));
    drawPlan();
}

QWidget* CalibrationWindow::createPlanPage() {
    auto* page = new QWidget;
    centres_ = new QSpinBox;
    centres_->setRange(0, kMaxCentres);
    seed_ = new QSpinBox;
    seed_->setRange(0, 999999);
    auto* draw = new QPushButton("Nouveau tirage");
    auto* exportCsv = new QPushButton("Exporter la feuille (CSV)…");
    auto* print = new QPushButton("Imprimer (PDF)…");
    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel("Essais au centre :"));
    controls->addWidget(centres_);
    controls->addWidget(new QLabel("Graine de l'ordre :"));
    controls->addWidget(seed_);
    controls->addWidget(draw);
    controls->addStretch();
    controls->addWidget(exportCsv);
    controls->addWidget(print);
    planSummary_ = new QLabel;
    planSummary_->setWordWrap(true);
    QStringList titles{"Essai", "Type"};
    for (const Variable& v : kVariables) titles << QStringLiteral("%1 (%2)").arg(v.symbol, v.unit);
    planTable_ = table(titles);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(controls);
    layout->addWidget(planSummary_);
    layout->addWidget(planTable_);

    connect(centres_, &QSpinBox::valueChanged, this, &CalibrationWindow::drawPlan);
    connect(seed_, &QSpinBox::valueChanged, this, &CalibrationWindow::drawPlan);
    connect(draw, &QPushButton::clicked, this, [this] { seed_->setValue(QRandomGenerator::global()->bounded(1000000)); });
    connect(exportCsv, &QPushButton::clicked, this, &CalibrationWindow::exportPlan);
    connect(print, &QPushButton::clicked, this, &CalibrationWindow::printPlan);
    return page;
}

QWidget* CalibrationWindow::createFitPage() {
    auto* page = new QWidget;
    auto* import = new QPushButton("Importer les mesures (CSV)…");
    reportButton_ = new QPushButton("Rapport (PDF)…");
    reportButton_->setEnabled(false);
    saveButton_ = new QPushButton("Enregistrer");
    saveButton_->setToolTip("Écrit les trois modèles dans poly/ ; les fichiers remplacés sont gardés dans poly/historique/.");
    saveButton_->setEnabled(false);
    auto* controls = new QHBoxLayout;
    controls->addWidget(import);
    controls->addStretch();
    controls->addWidget(reportButton_);
    controls->addWidget(saveButton_);
    fitStatus_ = new QLabel("Importez la feuille remplie sur la presse : colonnes A, R, L, C, F, A1, A2 et H.");
    fitStatus_->setWordWrap(true);
    fitStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    models_ = new QTabWidget;
    for (int m = 0; m < 3; ++m) {
        ModelPage& p = modelPages_[m];
        p.summary = new QLabel;
        p.terms = table({"Terme", "Coefficient", "Erreur type", "t", "p", "Modèle actuel"});
        p.agreement = new QCustomPlot;
        p.residuals = new QCustomPlot;
        auto* charts = new QVBoxLayout;
        charts->addWidget(p.agreement);
        charts->addWidget(p.residuals);
        auto* body = new QHBoxLayout;
        body->addWidget(p.terms, 1);
        body->addLayout(charts, 1);
        auto* tab = new QWidget;
        auto* layout = new QVBoxLayout(tab);
        layout->addWidget(p.summary);
        layout->addLayout(body);
        models_->addTab(tab, QStringLiteral("Modèle %1").arg(kResults[m].symbol));
    }
    // Until measures are fitted, what to do instead of empty charts.
    auto* guide = new QLabel(
        QStringLiteral("<h3>Aucune mesure ajustée</h3><ol>"
                       "<li>Dans l'onglet «&nbsp;Plan d'essais&nbsp;», exportez la feuille du plan (CSV) ou imprimez-la.</li>"
                       "<li>Faites les essais sur la presse dans l'ordre de la feuille et notez A1, A2 et H.</li>"
                       "<li>Cliquez «&nbsp;Importer les mesures (CSV)…&nbsp;» et choisissez la feuille remplie, "
                       "ou lancez <code>%1 --ajuster MESURES.csv</code>.</li></ol>"
                       "<p>Les trois modèles ajustés s'affichent alors ici ; «&nbsp;Enregistrer&nbsp;» les donne au "
                       "simulateur.</p>")
            .arg(QString::fromStdString(mclCommandName("etalonnage")).toHtmlEscaped()));
    guide->setObjectName("fitGuide");
    guide->setWordWrap(true);
    guide->setMaximumWidth(640);
    fitGuide_ = new QWidget;
    auto* centred = new QHBoxLayout(fitGuide_);
    centred->addWidget(guide, 0, Qt::AlignCenter);
    fitArea_ = new QStackedWidget;
    fitArea_->setObjectName("fitArea");
    fitArea_->addWidget(fitGuide_);
    fitArea_->addWidget(models_);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(controls);
    layout->addWidget(fitStatus_);
    layout->addWidget(fitArea_, 1);
    connect(import, &QPushButton::clicked, this, &CalibrationWindow::importMeasurements);
    connect(reportButton_, &QPushButton::clicked, this, &CalibrationWindow::writeReport);
    connect(saveButton_, &QPushButton::clicked, this, &CalibrationWindow::saveFit);
    return page;
}

void CalibrationWindow::drawPlan() {
    plan_ = makePlan(centres_->value(), std::uint64_t(seed_->value()));
    planSummary_->setText(planSummary(plan_));
    planTable_->setRowCount(int(plan_.runs.size()));
    for (int i = 0; i < planTable_->rowCount(); ++i) {
        const PlanRun& run = plan_.runs[std::size_t(i)];
        QStringList cells{QString::number(run.number), run.kind};
        for (int v = 0; v < 5; ++v) cells << fr(realValue(kVariables[v], run.coded[v]), 0);
        setRow(planTable_, i, cells);
    }
}

void CalibrationWindow::exportPlan() {
    const QString file = QFileDialog::getSaveFileName(this, "Feuille du plan", "plan.csv", "CSV (*.csv)");
    if (file.isEmpty()) return;
    const QString problem = writePlanCsv(plan_, file);
    if (!problem.isEmpty()) QMessageBox::warning(this, windowTitle(), problem);
}

void CalibrationWindow::printPlan() {
    const QString file = QFileDialog::getSaveFileName(this, "Plan à imprimer", "plan.pdf", "PDF (*.pdf)");
    if (file.isEmpty()) return;
    const QString problem = writePlanPdf(plan_, file);
    if (!problem.isEmpty()) QMessageBox::warning(this, windowTitle(), problem);
}

void CalibrationWindow::importMeasurements() {
    const QString file = QFileDialog::getOpenFileName(this, "Feuille des mesures", {}, "CSV (*.csv *.txt);;Tous (*)");
    if (!file.isEmpty()) loadMeasurements(file);
}

bool CalibrationWindow::loadMeasurements(const QString& path) {
    pages_->setCurrentIndex(1);
    try {
        calibration_ = calibrate(readSheet(path));
        sheetPath_ = path;
    } catch (const std::exception& e) {
        calibration_.reset();
        fitStatus_->setText(QStringLiteral("<b style=\"color:#b00000\">%1</b>")
                                .arg(QString::fromUtf8(e.what()).toHtmlEscaped().replace('\n', "<br>")));
        fitArea_->setCurrentWidget(fitGuide_);
        reportButton_->setEnabled(false);
        saveButton_->setEnabled(false);
        return false;
    }
    drawFit();
    return true;
}

void CalibrationWindow::drawFit() {
    const Calibration& c = *calibration_;
    QString status = QStringLiteral("%1 : %2 essais ajustés.").arg(QFileInfo(sheetPath_).fileName()).arg(c.sheet.runs.size());
    for (const QString& w : c.sheet.warnings) status += "\nAttention : " + w;
    if (!c.current) status += "\nModèle actuel illisible : " + c.currentError;
    fitStatus_->setText(status);
    fitArea_->setCurrentWidget(models_);
    reportButton_->setEnabled(true);
    saveButton_->setEnabled(true);
    for (int m = 0; m < 3; ++m) {
        const ModelFit& f = c.fits[m];
        ModelPage& p = modelPages_[m];
        QString summary = fitSummary(f);
        const QString atypical = c.outlierRunsText(m);
        if (!atypical.isEmpty()) summary += "\nEssais atypiques (|résidu studentisé| > 3) : " + atypical;
        p.summary->setText(summary);
        p.terms->setRowCount(kTermCount);
        for (int k = 0; k < kTermCount; ++k)
            setRow(p.terms, k, {QString::fromStdString(termNames()[k]), fr(f.coefficients[k], 6), fr(f.standardErrors[k], 6),
                                fr(f.t[k], 2), fr(f.p[k], 4), c.current ? fr((*c.current)[m][k], 6) : QString("—")});
        drawAgreement(p.agreement, c, m);
        drawResiduals(p.residuals, c, m);
    }
}

void CalibrationWindow::writeReport() {
    const QString file = QFileDialog::getSaveFileName(this, "Rapport d'ajustement", "rapport.pdf", "PDF (*.pdf)");
    if (file.isEmpty()) return;
    const QString problem = writeReportPdf(*calibration_, QFileInfo(sheetPath_).fileName(), file);
    if (!problem.isEmpty()) QMessageBox::warning(this, windowTitle(), problem);
}

void CalibrationWindow::saveFit() {
    const auto answer = QMessageBox::question(
        this, windowTitle(),
        "Remplacer les trois modèles du simulateur (poly/A1.poly, poly/A2.poly, poly/H.poly) par les modèles "
        "ajustés ? Les fichiers actuels sont gardés dans poly/historique/.");
    if (answer != QMessageBox::Yes) return;
    const QString problem = saveModels(calibration_->fittedRows());
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), problem);
        return;
    }
    saveButton_->setEnabled(false);
    fitStatus_->setText(fitStatus_->text() + "\nLes trois modèles sont enregistrés : le simulateur les prend à son prochain essai.");
}

}  // namespace etalonnage
