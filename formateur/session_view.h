// One station's session as the console shows it: the score line, the trials
// in a table and their profiles over the target, earlier ones faint behind
// the latest and the selected one.
#pragma once

#include "journal.h"
#include "scenario.h"

#include <QImage>
#include <QPointF>
#include <QVector>
#include <QWidget>

#include <vector>

class QCPCurve;
class QCustomPlot;
class QLabel;
class QTableWidget;

// Keeps one millimetre the same length on both axes of a profile chart.
void keepEqualScale(QCustomPlot* chart);
// A chart of profiles in mm, at equal scale, with its legend at the top left.
QCustomPlot* newProfileChart();
// Draws a profile's points, in their order, as the curve.
void setProfile(QCPCurve* curve, const QVector<QPointF>& points);

class SessionView : public QWidget {
    Q_OBJECT
public:
    explicit SessionView(QWidget* parent = nullptr);

    // Judges the trials shown by these tolerances and budget from now on.
    void setScenario(const Scenario& scenario);
    void showTrials(const std::vector<Trial>& trials);
    void addTrial(const Trial& trial);

    const std::vector<Trial>& trials() const { return trials_; }
    QString scoreText() const;
    // The chart without a selected trial, for a report: laid out at width ×
    // height, drawn with scale pixels for each of those.
    QImage chartImage(int width, int height, double scale);

private:
    void appendRow(const Trial& trial);
    void redrawProfiles();

    Scenario scenario_;
    std::vector<Trial> trials_;
    std::vector<QVector<QPointF>> shapes_;  // the profile of each trial shown
    QLabel* score_ = nullptr;
    QTableWidget* table_ = nullptr;
    QCustomPlot* chart_ = nullptr;
};
