#include "properties.h"

#include "errors.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace graphics {
namespace {

PropertyRule text(const char* name, const char* initial = "") {
    return {name, ValueKind::Text, {}, mxArray::text(initial)};
}

PropertyRule choice(const char* name, std::vector<const char*> words) {
    mxArray initial = mxArray::text(words.front());  // the first word is the default
    return {name, ValueKind::Choice, std::move(words), std::move(initial)};
}

PropertyRule of(const char* name, ValueKind kind, mxArray initial) {
    return {name, kind, {}, std::move(initial)};
}

PropertyRule computed(const char* name) { return {name, ValueKind::Computed, {}, {}}; }

// Type, Parent, Children, Tag and Units, which every kind has, then its own.
std::vector<PropertyRule> withCommon(std::vector<const char*> units, std::vector<PropertyRule> own) {
    std::vector<PropertyRule> rules = {computed("Type"), computed("Parent"), computed("Children"),
                                       text("Tag"), choice("Units", std::move(units))};
    for (auto& rule : own) rules.push_back(std::move(rule));
    return rules;
}

const mxArray kGrey = mxArray::row({0.94, 0.94, 0.94});

std::vector<PropertyRule> makeRules(Type type) {
    switch (type) {
    case Type::Root:
        return withCommon({"pixels"}, {computed("ScreenSize")});
    case Type::Figure:
        return withCommon({"pixels", "normalized"},
                          {text("Name"), of("Position", ValueKind::Rect, mxArray::row({100, 100, 560, 420})),
                           choice("NumberTitle", {"on", "off"}), choice("MenuBar", {"figure", "none"}),
                           choice("ToolBar", {"auto", "figure", "none"}), of("Color", ValueKind::Color, kGrey)});
    case Type::Axes:
        return withCommon(
            {"normalized", "pixels"},
            {of("Position", ValueKind::Rect, mxArray::row({0.13, 0.11, 0.775, 0.815})),
             choice("Box", {"off", "on"}), of("XLim", ValueKind::Limits, mxArray::row({0, 1})),
             of("YLim", ValueKind::Limits, mxArray::row({0, 1})), choice("XLimMode", {"auto", "manual"}),
             choice("YLimMode", {"auto", "manual"}), choice("NextPlot", {"replace", "add"})});
    case Type::Line:
        return withCommon({"data"},
                          {of("XData", ValueKind::Vector, mxArray::row({0, 1})),
                           of("YData", ValueKind::Vector, mxArray::row({0, 1})),
                           of("Color", ValueKind::Color, mxArray::row({0, 0, 1})),
                           choice("LineStyle", {"-", "--", ":", "-.", "none"}),
                           choice("Marker", {"none", "o", "+", "*", ".", "x", "s", "d"}),
                           of("LineWidth", ValueKind::Positive, mxArray::scalar(0.5))});
    case Type::Text:
        return withCommon({"data"}, {of("Position", ValueKind::Point, mxArray::row({0, 0})), text("String")});
    case Type::Legend:
        return withCommon({"pixels", "normalized"},
                          {of("String", ValueKind::Labels, mxArray::cell({})),
                           of("Position", ValueKind::Rect, mxArray::row({0, 0, 0, 0}))});
    case Type::Uicontrol:
        return withCommon(
            {"pixels", "normalized"},
            {choice("Style", {"pushbutton", "frame", "text", "slider", "edit"}), text("String"),
             of("Position", ValueKind::Rect, mxArray::row({20, 20, 60, 20})),
             of("Value", ValueKind::Number, mxArray::scalar(0)), of("Min", ValueKind::Number, mxArray::scalar(0)),
             of("Max", ValueKind::Number, mxArray::scalar(1)), text("Callback"),
             choice("HorizontalAlignment", {"center", "left", "right"}), choice("FontWeight", {"normal", "bold"}),
             // Points of the fixed-size window, not of the screen: see the view.
             of("FontSize", ValueKind::Positive, mxArray::scalar(7.5)),
             of("ForegroundColor", ValueKind::Color, mxArray::row({0, 0, 0})),
             of("BackgroundColor", ValueKind::Color, kGrey)});
    }
    return {};
}

[[noreturn]] void reject(const PropertyRule& rule, const std::string& expected) {
    throw mclError("La valeur de « " + std::string(rule.name) + " » doit être " + expected + ".");
}

bool isText(const mxArray& v) { return v.isChar() && v.rows() <= 1; }
bool isNumbers(const mxArray& v) { return v.isDouble() && !v.isComplex(); }
bool isVector(const mxArray& v) { return v.rows() <= 1 || v.cols() <= 1; }
bool allFinite(const mxArray& v) {
    return std::all_of(v.real().begin(), v.real().end(), [](double x) { return std::isfinite(x); });
}

mxArray finiteRow(const PropertyRule& rule, const mxArray& v, std::size_t n1, std::size_t n2,
                  const char* expected) {
    if (!isNumbers(v) || !isVector(v) || (v.numel() != n1 && v.numel() != n2) || !allFinite(v))
        reject(rule, expected);
    return mxArray::row(v.real());
}

mxArray checkedChoice(const PropertyRule& rule, const mxArray& value) {
    if (isText(value)) {
        std::string word = lowerCase(value.toUtf8());
        for (const char* c : rule.choices)
            if (word == c) return mxArray::text(c);
    }
    std::string list;
    for (const char* c : rule.choices) list += (list.empty() ? "" : ", ") + std::string(c);
    reject(rule, "l'un de : " + list);
}

mxArray checkedColor(const PropertyRule& rule, const mxArray& value) {
    if (isText(value))
        if (auto rgb = colorFromName(value.toUtf8())) return mxArray::row({(*rgb)[0], (*rgb)[1], (*rgb)[2]});
    if (isNumbers(value) && value.numel() == 3 &&
        std::all_of(value.real().begin(), value.real().end(), [](double x) { return x >= 0 && x <= 1; }))
        return mxArray::row(value.real());
    reject(rule, "une couleur [r v b] aux composantes entre 0 et 1, ou un nom de couleur");
}

}  // namespace

const char* typeName(Type type) {
    switch (type) {
    case Type::Root: return "root";
    case Type::Figure: return "figure";
    case Type::Axes: return "axes";
    case Type::Line: return "line";
    case Type::Text: return "text";
    case Type::Legend: return "legend";
    case Type::Uicontrol: return "uicontrol";
    }
    return "";
}

const std::vector<PropertyRule>& propertyRules(Type type) {
    static const std::array<std::vector<PropertyRule>, 7> all = {
        makeRules(Type::Root), makeRules(Type::Figure), makeRules(Type::Axes),     makeRules(Type::Line),
        makeRules(Type::Text), makeRules(Type::Legend), makeRules(Type::Uicontrol)};
    return all[static_cast<std::size_t>(type)];
}

const PropertyRule* findProperty(Type type, std::string_view name) {
    for (const auto& rule : propertyRules(type))
        if (equalsIgnoringCase(rule.name, name)) return &rule;
    return nullptr;
}

std::size_t propertyIndex(Type type, const PropertyRule& rule) {
    return static_cast<std::size_t>(&rule - propertyRules(type).data());
}

mxArray checkedValue(const PropertyRule& rule, const mxArray& value) {
    switch (rule.kind) {
    case ValueKind::Text:
        if (isText(value)) return value;
        if (value.isDouble() && value.isEmpty()) return mxArray::text(u"");
        reject(rule, "un texte");
    case ValueKind::Choice: return checkedChoice(rule, value);
    case ValueKind::Color: return checkedColor(rule, value);
    case ValueKind::Rect:
        return finiteRow(rule, value, 4, 4, "[gauche bas largeur hauteur], quatre nombres finis");
    case ValueKind::Point: return finiteRow(rule, value, 2, 3, "[x y] ou [x y z], des nombres finis");
    case ValueKind::Limits: {
        mxArray limits = finiteRow(rule, value, 2, 2, "[min max], deux nombres finis avec min < max");
        if (!(limits.at(0) < limits.at(1))) reject(rule, "[min max], deux nombres finis avec min < max");
        return limits;
    }
    case ValueKind::Number:
        if (isNumbers(value) && value.numel() == 1 && std::isfinite(value.at(0))) return value;
        reject(rule, "un nombre fini");
    case ValueKind::Positive:
        if (isNumbers(value) && value.numel() == 1 && std::isfinite(value.at(0)) && value.at(0) > 0) return value;
        reject(rule, "un nombre positif");
    case ValueKind::Vector:
        if (value.isDouble() && isVector(value)) return mxArray::row(value.real());
        reject(rule, "un vecteur de nombres");
    case ValueKind::Labels:
        if (isText(value)) return mxArray::cell({value});
        if (value.isCell() && std::all_of(value.elements().begin(), value.elements().end(), isText))
            return mxArray::cell(value.elements());
        reject(rule, "un texte ou une liste de textes");
    case ValueKind::Computed: break;
    }
    throw mclError("La propriété « " + std::string(rule.name) + " » ne peut pas être modifiée.");
}

std::optional<Rgb> colorFromName(std::string_view name) {
    struct Named {
        const char* letter;
        const char* word;
        Rgb rgb;
    };
    static const Named colors[] = {
        {"r", "red", {1, 0, 0}},    {"g", "green", {0, 1, 0}},  {"b", "blue", {0, 0, 1}},
        {"c", "cyan", {0, 1, 1}},   {"m", "magenta", {1, 0, 1}}, {"y", "yellow", {1, 1, 0}},
        {"k", "black", {0, 0, 0}},  {"w", "white", {1, 1, 1}},
    };
    for (const auto& c : colors)
        if (equalsIgnoringCase(name, c.letter) || equalsIgnoringCase(name, c.word)) return c.rgb;
    return std::nullopt;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace graphics
