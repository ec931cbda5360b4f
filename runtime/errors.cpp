#include "errors.h"

#include "mxarray.h"

#include <iostream>

void mlfError(const std::string& text) { throw mclError(text); }

void mlfError(const mxArray& text) { throw mclError(text.toUtf8()); }

void mlfNWarning(const std::string& text) { std::cerr << "Attention : " << text << '\n'; }

void mlfNWarning(const mxArray& text) { mlfNWarning(text.toUtf8()); }
