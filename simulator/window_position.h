// Where the simulator and the coefficient editors put their window.
#pragma once

#include "array.h"

// [left bottom width height] in pixels: two thirds of a reference screen of
// 1024 x 800, centred on the real screen, then moved 40 pixels right and up.
// The vertical centring subtracts two thirds of the reference width, not of
// its height, in every program alike.
mxArray windowPosition();
