// The class view with its connection: the console's "Classe" tab and the
// window of `formateur --classe`. It reads the class database named by a libpq
// connection string (by default serveur in data/classe.ini).
#pragma once

#include "scenario.h"

#include <QWidget>

class ClassFeed;
class ClassView;
class ExercisePanel;
struct Standing;

class ClassPanel : public QWidget {
    Q_OBJECT
public:
    explicit ClassPanel(const QString& conninfo, QWidget* parent = nullptr);

    // Null when there is no usable connection string.
    ClassFeed* feed() const { return feed_; }
    ClassView* view() const { return view_; }
    ExercisePanel* exercises() const { return exercises_; }
    void setScenario(const Scenario& scenario);
    // Why the class cannot be read: no usable connection string, or what
    // the feed last found; empty when it can.
    const QString& problem() const;

private:
    // Asks the trainer for the stations expected and keeps them in the class database.
    void editRoster();
    // The debrief of the station's latest session, in a window of its own.
    void openReplay(const Standing& standing);

    QString conninfo_;
    QString problem_;
    Scenario scenario_;
    ClassFeed* feed_ = nullptr;
    ClassView* view_ = nullptr;
    ExercisePanel* exercises_ = nullptr;
};

// The server the console reads when none is given: serveur in data/classe.ini.
QString defaultClassServer();

// `formateur --classe`: exports when a file is given, else the window.
struct ClassCommand {
    QString conninfo, reportPdf, csv, csvFrench, snapshotPng;
};
int runClassCommand(const ClassCommand& command);
// `formateur --postes FILE`: the roster from a text file, one name a line.
int runRosterCommand(const QString& conninfo, const QString& file);
