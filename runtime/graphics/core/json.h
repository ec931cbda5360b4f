// JSON texts of values, for the answers of scripted sessions.
#pragma once

#include "mxarray.h"

#include <string>
#include <string_view>
#include <vector>

namespace graphics {

// Shortest text that reads back as the same double; null when not finite.
std::string jsonNumber(double x);
std::string jsonString(std::string_view utf8);
// A flat array of numbers.
std::string jsonNumbers(const std::vector<double>& values);
// A 1x1 number as a number, another matrix as an array of rows, the empty
// matrix as [], a text as a string, a list as an array, a structure as an
// object.
std::string jsonValue(const mxArray& value);

}  // namespace graphics
