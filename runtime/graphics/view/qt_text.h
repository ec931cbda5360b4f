// Values shown by Qt: texts (held as Windows-1252 codes, mapped to Unicode by
// charset.h alone), colours and rectangles measured from the bottom left.
#pragma once

#include "mxarray.h"

#include <QColor>
#include <QRect>
#include <QString>

#include <string>
#include <vector>

namespace graphics {

inline QString qtText(const std::string& utf8) { return QString::fromStdString(utf8); }
// What the user typed, as a value's text; characters outside Windows-1252 become '?'.
inline mxArray valueText(const QString& text) { return mxArray::text(std::string_view(text.toStdString())); }

inline QColor qtColor(const std::vector<double>& rgb) { return QColor::fromRgbF(rgb[0], rgb[1], rgb[2]); }

// [left bottom width height] inside an area of the given size: fractions of
// it when normalized, else pixels counted from 1 at the bottom left.
inline QRect qtRect(const std::vector<double>& position, bool normalized, QSize area) {
    double sx = normalized ? area.width() : 1, sy = normalized ? area.height() : 1;
    double origin = normalized ? 0 : 1;
    int left = qRound((position[0] - origin) * sx);
    int right = qRound((position[0] - origin + position[2]) * sx);
    int top = qRound(area.height() - (position[1] - origin + position[3]) * sy);
    int bottom = qRound(area.height() - (position[1] - origin) * sy);
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace graphics
