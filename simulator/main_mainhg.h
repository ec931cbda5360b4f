#pragma once

#include "program.h"

// The simulator's description record, handed to the host: its functions,
// its globals and the initialiser/terminator pairs in the order they run.
extern const mclMainInfo _main_info;
