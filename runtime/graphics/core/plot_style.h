// Line style strings of plotting calls: "r", "b", "m-", "r:", "bo-", ...
#pragma once

#include "properties.h"

#include <string>
#include <string_view>

namespace graphics {

struct PlotStyle {
    Rgb color = {0, 0, 1};
    std::string lineStyle = "-";  // "-", "--", ":", "-." or "none"
    std::string marker = "none";  // "none", "o", "+", "*", ".", "x", "s", "d"
};

// Any order of at most one colour letter, one line style and one marker; a
// marker without a line style draws markers alone. Raises for anything else.
PlotStyle parsePlotStyle(std::string_view text);

}  // namespace graphics
