// Raised errors and warnings. A raised error is an exception carrying the
// message; the host catches it where a callback or a call ends.
#pragma once

#include <stdexcept>
#include <string>

class mclError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An action the program refuses by rule, not by fault (a save while an exam
// holds the files): shown as any error, and a scripted session that met one
// ends with status 1.
class mclRefusal : public mclError {
public:
    using mclError::mclError;
};

class mxArray;

// Raises an error with the given text; never returns.
[[noreturn]] void mlfError(const std::string& text);
[[noreturn]] void mlfError(const mxArray& text);

// Prints a warning on standard error and returns.
void mlfNWarning(const std::string& text);
void mlfNWarning(const mxArray& text);
