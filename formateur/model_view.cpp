#include "model_view.h"

#include "errors.h"
#include "facts.h"
#include "file_safety.h"
#include "solvability.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

double component(const Prediction& p, int model) { return model == 0 ? p.A1 : model == 1 ? p.A2 : p.H; }

}  // namespace

ModelView::ModelView(const QString& polyFolder, const std::optional<Optimum>& best, QWidget* parent)
    : QWidget(parent), polyFolder_(polyFolder) {
    auto* sourcesBox = new QGroupBox("Coefficients utilisés par le simulateur");
    auto* sourcesColumn = new QVBoxLayout(sourcesBox);
    state_ = new QLabel;
    state_->setWordWrap(true);
    state_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    warning_ = new QLabel;
    warning_->setWordWrap(true);
    warning_->setStyleSheet("color: #a00000; font-weight: bold;");
    sourcesColumn->addWidget(state_);
    sourcesColumn->addWidget(warning_);

    auto* versionsBox = new QGroupBox("Versions enregistrées (poly/historique)");
    auto* versionsColumn = new QVBoxLayout(versionsBox);
    auto* choice = new QHBoxLayout;
    model_ = new QComboBox;
    for (const facts::Model& m : facts::kModels) model_->addItem(QStringLiteral("Modèle %1").arg(m.name));
    connect(model_, &QComboBox::currentIndexChanged, this, &ModelView::showVersions);
    choice->addWidget(new QLabel("Modèle :"));
    choice->addWidget(model_);
    bestLabel_ = new QLabel;
    bestLabel_->setWordWrap(true);
    choice->addWidget(bestLabel_, 1);
    versionsColumn->addLayout(choice);

    versions_ = new QTableWidget(0, 4);
    versions_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    versions_->setSelectionBehavior(QAbstractItemView::SelectRows);
    versions_->setSelectionMode(QAbstractItemView::SingleSelection);
    versions_->verticalHeader()->setVisible(false);
    versions_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    versions_->horizontalHeader()->setStretchLastSection(true);
    versionsColumn->addWidget(versions_, 1);

    auto* buttons = new QHBoxLayout;
    restoreVersion_ = new QPushButton("Restaurer cette version");
    auto* builtIn = new QPushButton("Restaurer les coefficients intégrés");
    auto* reread = new QPushButton("Relire");
    buttons->addWidget(restoreVersion_);
    buttons->addWidget(builtIn);
    buttons->addStretch(1);
    buttons->addWidget(reread);
    versionsColumn->addLayout(buttons);
    connect(versions_, &QTableWidget::itemSelectionChanged, this, [this] {
        const auto rows = versions_->selectionModel()->selectedRows();
        restoreVersion_->setEnabled(!rows.isEmpty() && rows.first().row() >= 2);
    });
    connect(restoreVersion_, &QPushButton::clicked, this, [this] {
        confirmAndRun(QStringLiteral("Remettre cette version en place ? Le fichier actuel est gardé dans l'historique."),
                      &ModelView::restoreSelected);
    });
    connect(builtIn, &QPushButton::clicked, this, [this] {
        confirmAndRun(QStringLiteral("Retirer les trois fichiers de coefficients pour que le simulateur utilise ses "
                                     "coefficients intégrés ? Les fichiers sont gardés dans l'historique."),
                      &ModelView::restoreBuiltIn);
    });
    connect(reread, &QPushButton::clicked, this, [this] { refresh(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sourcesBox);
    layout->addWidget(versionsBox, 1);
    refresh(best);
}

void ModelView::refresh(const std::optional<Optimum>& given) {
    sources_ = inspectModelSources(polyFolder_);
    state_->setText(sources_.summary());
    warning_->setText(sources_.partial() ? QStringLiteral("Attention : avec un ou deux fichiers seulement, le "
                                                          "simulateur ignore aussi ceux qui sont là et utilise "
                                                          "les coefficients intégrés pour les trois modèles.")
                                         : QString());
    warning_->setVisible(sources_.partial());
    // The best setting of the models the simulator uses now, else of the built-in rows.
    try {
        const bool current = sources_.filesUsed() && sources_.files[0].row && sources_.files[1].row &&
                             sources_.files[2].row;
        const Optimum best = given ? *given : findOptimum(current ? ModelSnapshot::capture() : builtInModels());
        best_ = best.coded;
        QStringList real;
        for (int i = 0; i < 5; ++i)
            real << QStringLiteral("%1 = %2 %3")
                        .arg(facts::kVariables[i].symbol, fr(best.real[i], 2),
                             facts::kVariables[i].unit);
        bestText_ = real.join(", ");
    } catch (const mclError&) {
        best_ = {};
        bestText_ = QStringLiteral("centre");
    }
    showVersions();
}

void ModelView::setSolutionHidden(bool hidden) {
    solutionHidden_ = hidden;
    showVersions();
}

void ModelView::showVersions() {
    const int m = model_->currentIndex();
    kept_ = keptVersions(polyFolder_, m);
    const QString name = facts::kModels[m].name;
    versions_->setHorizontalHeaderLabels({"Version", name + " au centre", name + " au meilleur réglage", "État"});
    bestLabel_->setText("   Meilleur réglage des modèles utilisés : " +
                        (solutionHidden_ ? QStringLiteral("masqué pendant l'exercice de la classe") : bestText_) + ".");
    versions_->setRowCount(0);
    auto addRow = [this](const QString& label, const std::optional<CoefficientRow>& row, std::optional<Prediction> centre,
                         std::optional<Prediction> best, int model, const QString& state) {
        const int r = versions_->rowCount();
        versions_->insertRow(r);
        QStringList cells{label, "", "", state};
        if (row) {
            cells[1] = fr(evaluateRow(*row, Setting{}), 3);
            cells[2] = fr(evaluateRow(*row, best_), 3);
        } else if (centre && best) {
            cells[1] = fr(component(*centre, model), 3);
            cells[2] = fr(component(*best, model), 3);
        }
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 1 || c == 2) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            versions_->setItem(r, c, item);
        }
    };
    const CoefficientFile& file = sources_.files[m];
    const QString fileState = file.state == CoefficientFile::Usable    ? QStringLiteral("21 coefficients")
                              : file.state == CoefficientFile::Missing ? QStringLiteral("absent")
                                                                       : file.problem;
    addRow(QStringLiteral("Fichier actuel poly/%1").arg(facts::kModels[m].file), file.row, std::nullopt, std::nullopt,
           m, fileState);
    const ModelSnapshot builtIn = builtInModels();
    addRow(QStringLiteral("Coefficients intégrés"), std::nullopt, builtIn.predict(Setting{}), builtIn.predict(best_), m,
           sources_.filesUsed() ? QString() : QStringLiteral("utilisés maintenant"));
    const QLocale french(QLocale::French);
    for (const KeptVersion& v : kept_) {
        const auto read = file_safety::readRegularFile(QFile::encodeName(v.path).toStdString());
        QString problem;
        const auto row = read.status == file_safety::ReadStatus::Read ? parseCoefficients(read.content, &problem)
                                                                      : std::nullopt;
        if (read.status != file_safety::ReadStatus::Read) problem = QString::fromStdString(read.error);
        QString label = french.toString(v.time, "d MMMM yyyy, HH:mm:ss");
        if (v.sequence > 1) label += QStringLiteral(" (%1)").arg(v.sequence);
        addRow(label, row, std::nullopt, std::nullopt, m, row ? QStringLiteral("21 coefficients") : problem);
    }
    restoreVersion_->setEnabled(false);
}

QString ModelView::restoreSelected() {
    const auto rows = versions_->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.first().row() < 2) return QStringLiteral("Choisissez d'abord une version.");
    const KeptVersion version = kept_[std::size_t(rows.first().row() - 2)];
    const QString problem = restoreVersion(polyFolder_, model_->currentIndex(), version.path);
    refresh();
    return problem;
}

QString ModelView::restoreBuiltIn() {
    const QString problem = restoreBuiltInRows(polyFolder_);
    refresh();
    return problem;
}

void ModelView::confirmAndRun(const QString& question, QString (ModelView::*action)()) {
    // Said at once, rather than after the question.
    if (const QString refused = restoreRefusal(polyFolder_); !refused.isEmpty()) {
        QMessageBox::warning(this, "Restaurer", refused);
        return;
    }
    if (QMessageBox::question(this, "Restaurer", question) != QMessageBox::Yes) return;
    const QString problem = (this->*action)();
    emit restored(problem.isEmpty() ? QStringLiteral("Restauration faite ; l'ancien fichier est dans poly/historique.")
                                    : "Restauration impossible : " + problem);
}
