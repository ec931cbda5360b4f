// The event-loop host: starts a program from its description record, serves
// its window events (or plays a script of user actions) and ends it.
#pragma once

#include "program.h"

#include <string>

class QString;
class QWidget;

// Runs the initialisers, calls the top-level function with no argument, serves
// events until the last window closes, runs the terminators; returns the exit
// status. Command line: [--script FILE|-] [--show] [--snapshot FILE.png]
// [--help]; `about` describes the program in the help text.
int mclMainhg(int argc, char** argv, mlxFunction topLevel, int reserved, const mclMainInfo& info,
              const char* about = nullptr);

// A line of news along the bottom of the program's window, outside its
// figure (what the program does in the background, such as sending its
// trials to the class); an empty text takes it away. From the window's thread.
void mclShowNote(const QString& text);

// The window of the program's figure, for a window of its own to open
// beside it; none while no figure is shown. From the window's thread.
QWidget* mclFigureWindow();

// ---- the command line --------------------------------------------------------------
// A launcher starts its program in the user's working folder; it tells it in
// the environment what the user typed and in which folder.

// The command a usage line names: the launcher as the user typed it
// ("editeur-coefficients A1") when one started the program, else `program`.
std::string mclCommandName(const std::string& program);
// A path typed on the command line, taken in the folder it was typed in.
std::string mclCommandLinePath(const std::string& path);
