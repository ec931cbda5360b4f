// The window: the plan to run on the press, then the fit of the measured runs.
#pragma once

#include "calibration.h"
#include "plan.h"

#include <QWidget>

#include <optional>

class QCustomPlot;
class QLabel;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTabWidget;
class QTableWidget;

namespace etalonnage {

class CalibrationWindow : public QWidget {
public:
    explicit CalibrationWindow(int centres, std::uint64_t seed);
    // Reads and fits a sheet; a refusal shows in the window. True when fitted.
    bool loadMeasurements(const QString& path);

private:
    QWidget* createPlanPage();
    QWidget* createFitPage();
    void drawPlan();
    void drawFit();
    void exportPlan();
    void printPlan();
    void importMeasurements();
    void writeReport();
    void saveFit();

    Plan plan_;
    std::optional<Calibration> calibration_;
    QString sheetPath_;

    QTabWidget* pages_ = nullptr;
    QSpinBox* centres_ = nullptr;
    QSpinBox* seed_ = nullptr;
    QLabel* planSummary_ = nullptr;
    QTableWidget* planTable_ = nullptr;
    QLabel* fitStatus_ = nullptr;
    QPushButton* reportButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QStackedWidget* fitArea_ = nullptr;  // what to do until a fit is shown, then the three models
    QWidget* fitGuide_ = nullptr;
    QTabWidget* models_ = nullptr;
    struct ModelPage {
        QLabel* summary;
        QTableWidget* terms;
        QCustomPlot *agreement, *residuals;
    };
    std::array<ModelPage, 3> modelPages_{};
};

}  // namespace etalonnage
