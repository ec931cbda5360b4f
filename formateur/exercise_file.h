// An exercise file, as the trainer writes it to start an exercise for the
// class: the layout of scenario.ini, one name=value a line —
//   nom=Pliage à 135°
//   tolerance_A1=1   tolerance_A2=1   tolerance_H=0.5   budget=10000
//   duree_minutes=30 (may be left out)   essais_max=12 (may be left out)
//   mode=examen (or entrainement)
// Tolerances and budget left out are the console's scenario's.
#pragma once

#include "class_exercise.h"
#include "scenario.h"

#include <optional>
#include <string>

// The exercise the text describes, with `defaults` for what it leaves out;
// none, with the reason in French, when a line cannot be taken.
std::optional<ClassExercise> exerciseFromText(const QString& text, const Scenario& defaults, QString* error);
// The file's exercise, with the model polyFolder holds as the simulator
// would evaluate it (or the built-in coefficients).
std::optional<ClassExercise> exerciseFromFile(const QString& path, const Scenario& defaults,
                                              const std::string& polyFolder, QString* error);

// Gives the exercise the model polyFolder holds as the simulator would
// evaluate it (or the built-in coefficients); false with why when it cannot.
bool giveFolderModel(ClassExercise& exercise, const std::string& polyFolder, QString* error);
// Starts the exercise for the class on that server; its number.
std::optional<int> startClassExercise(const QString& conninfo, const ClassExercise& exercise, QString* error);

// formateur --exercice FILE --demarrer: starts the file's exercise for the
// class, with this folder's scenario and model, and prints its number.
int runStartExerciseCommand(const QString& conninfo, const QString& file);
// The exercise's number a command line gives; none, with why, when it is not one.
std::optional<int> exerciseNumber(const QString& text, QString* error);
// formateur --arreter N.
int runStopExerciseCommand(const QString& conninfo, const QString& number);
