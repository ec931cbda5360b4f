// Conversions between numbers and texts. Independent of the process locale:
// numbers always use the decimal point.
#pragma once

#include "mxarray.h"

#include <optional>
#include <string>
#include <string_view>

mxArray mlfScalar(double value);
// The default text of a number: integers in full, other finite numbers with
// max(floor(log10|x|), 0) + 5 significant digits; "NaN", "Inf", "-Inf".
mxArray mlfNum2str(const mxArray& a);
std::string num2strText(double x);
// Exactly one number, blanks around it allowed; the empty value otherwise.
mxArray mlfStr2num(const mxArray& text);
std::optional<double> parseOneNumber(std::string_view text);
// The number at the start of the text (a sign, digits, point, exponent, "Inf",
// "NaN"); how many characters it took, 0 when none. Beyond the range of
// doubles it is zero or infinity, as its magnitude says.
std::size_t readNumberPrefix(std::string_view text, double& value);
