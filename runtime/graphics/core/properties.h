// The kinds of graphics objects and the properties each kind knows: names,
// defaults and the values each accepts.
#pragma once

#include "mxarray.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace graphics {

enum class Type { Root, Figure, Axes, Line, Text, Legend, Uicontrol };

// "figure", "axes", ...: the value of the "Type" property.
const char* typeName(Type type);

enum class ValueKind {
    Text,      // a row of characters
    Choice,    // one word of a fixed list, any letter case
    Color,     // [r g b] in [0, 1], or a colour letter or name
    Rect,      // [left bottom width height]
    Point,     // [x y] or [x y z]
    Limits,    // [low high] with low < high
    Number,    // a finite number
    Positive,  // a finite number > 0
    Vector,    // numbers in a row or a column (data: non-finite allowed)
    Labels,    // a text or a list of texts, kept as a list
    Computed,  // read-only, answered by the tree
};

struct PropertyRule {
    const char* name;         // as written in messages: "LineWidth"
    ValueKind kind;
    std::vector<const char*> choices;  // Choice: the accepted words, lower case
    mxArray initial;          // the default value, in stored form
};

// The properties of a kind, in a fixed order.
const std::vector<PropertyRule>& propertyRules(Type type);
// A property by name, any letter case; nullptr when the kind has none.
const PropertyRule* findProperty(Type type, std::string_view name);
// The position of a rule in propertyRules(type).
std::size_t propertyIndex(Type type, const PropertyRule& rule);

// The value as stored (choices in lower case, colours as [r g b], vectors as
// rows); raises a French message naming the property when it does not fit.
mxArray checkedValue(const PropertyRule& rule, const mxArray& value);

using Rgb = std::array<double, 3>;
// "r", "red", ... ; nothing for other words.
std::optional<Rgb> colorFromName(std::string_view name);

bool equalsIgnoringCase(std::string_view a, std::string_view b);
std::string lowerCase(std::string_view text);

}  // namespace graphics
