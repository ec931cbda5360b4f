// The event-loop host: starts a program from its description record, serves
// its window events (or plays a script of user actions) and ends it.
#pragma once

#include "program.h"

// Runs the initialisers, calls the top-level function with no argument, serves
// events until the last window closes, runs the terminators; returns the exit
// status. Command line: [--script FILE|-] [--show] [--snapshot FILE.png]
// [--help]; `about` describes the program in the help text.
int mclMainhg(int argc, char** argv, mlxFunction topLevel, int reserved, const mclMainInfo& info,
              const char* about = nullptr);

// Qt's own texts (dialog buttons, file dialogs, command-line help) in French,
// like the rest of the programs; once the application object exists.
void mclUseFrenchQtTexts();
