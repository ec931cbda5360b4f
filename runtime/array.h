// The array runtime: everything the program functions compute with.
#pragma once

#include "arithmetic.h"
#include "comparison.h"
#include "conversion.h"
#include "errors.h"
#include "files.h"
#include "globals.h"
#include "indexing.h"
#include "mxarray.h"
#include "program.h"
