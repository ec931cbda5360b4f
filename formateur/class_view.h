// The class at a glance, for a projector at the back of the room: one tile a
// station with its trainee, trials, cost, best deviation and latest profile
// over the target, in the order of the class's ranking. Clicking a tile opens
// that station's session as the console shows one station. While the class
// runs an exercise, the tiles are its: its tolerances and budget, its rows
// that count, the flags of those that do not, and its time left on top.
#pragma once

#include "class_feed.h"
#include "class_standing.h"
#include "scenario.h"

#include <QFrame>
#include <QPointer>
#include <QWidget>

#include <map>

class QCustomPlot;
class QGridLayout;
class QLabel;
class QTimer;
class SessionView;

class StationTile : public QFrame {
    Q_OBJECT
public:
    explicit StationTile(QWidget* parent = nullptr);
    // Draws the whole tile from the standing: no text or colour of an earlier one stays.
    // contact: what the server last heard of the station, null when nothing;
    // leftOut: its older rows on the server that the view does not hold;
    // inExercise: the standing is the class's exercise's, not a session's.
    void show(const Standing& standing, int rank, const StationContact* contact, qint64 leftOut = 0,
              bool inExercise = false);
    const QString& key() const { return key_; }
    // The texts shown, top to bottom, then the flags of rows that do not count when there are.
    QStringList texts() const;

signals:
    void clicked(const QString& key);
    void replayRequested(const QString& key);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString key_;
    QLabel *rank_, *name_, *trainee_, *figures_, *totals_, *best_, *flags_, *presence_, *verdict_;
    QCustomPlot* chart_;
    QWidget* replay_;
};

class ClassView : public QWidget {
    Q_OBJECT
public:
    // feed: the class database's rows, owned by the caller; source: where
    // they come from, for the header.
    ClassView(ClassFeed* feed, const QString& source, QWidget* parent = nullptr);

    void setScenario(const Scenario& scenario);
    const std::vector<Standing>& ranking() const { return ranking_; }
    // The tiles in the order shown.
    std::vector<StationTile*> tiles() const;
    // The session of a station (its standing's key) in its own window; it follows new rows.
    SessionView* openStation(const QString& key);

signals:
    // The trainer asks for the debrief of a station's latest session.
    void replayRequested(const Standing& standing);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void layoutTiles();
    void showProblem(const QString& message);
    void scheduleRefresh();
    // The tolerances and budget the tiles are judged by: the exercise's while one runs.
    Scenario judgedBy() const;
    void showClock();

    ClassFeed* feed_;
    Scenario scenario_;
    std::vector<Standing> ranking_;
    std::map<QString, StationTile*> tiles_;
    std::map<QString, QPointer<SessionView>> opened_;
    QLabel *header_, *source_, *clock_;
    QTimer* clockTimer_;
    QLabel *problem_, *warning_;
    QGridLayout* grid_;
    QWidget* gridHolder_;
    bool refreshDue_ = false;
    int columns_ = 0;
};
