// The simulator's window and its three panels of controls: the process
// setting, the part's dimensions and the cost of the trials. The controls the
// callbacks use are kept in vh.hui.
#pragma once

#include "array.h"
#include "facts.h"

#include <array>

// The figure, kept in h_fig.
void openWindow();
// The three panels' controls, each kept in its slot of vh.hui when it has one.
void createControls();

// The five sliders' positions in coded units, in the order A, R, L, C, F.
std::array<mxArray, 5> sliderPositions();
// Slider i's label shows its real value.
void showSliderValue(int i, const mxArray& real);
void showResults(const mxArray& A1, const mxArray& A2, const mxArray& H);
void showAccount(const facts::Account& account);

// Called by the main module's initialiser and terminator.
void initializeMainWindow();
void terminateMainWindow();
