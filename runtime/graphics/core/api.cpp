// The graphics calls of the programs, on the process's object tree.
#include "graphics.h"

#include "errors.h"
#include "plot_style.h"
#include "tree.h"

#include <cmath>

using graphics::Tree;
using graphics::Type;

graphics::Tree& graphics::programTree() {
    static Tree tree;
    return tree;
}

namespace {

Tree& tree() { return graphics::programTree(); }

double handleOf(const mxArray& handle) { return handle.toScalar("Le handle graphique"); }

std::string wordOf(const mxArray& value, const char* call) {
    if (!value.isChar()) throw mclError(std::string(call) + " attend un texte.");
    return graphics::lowerCase(value.toUtf8());
}

bool isVectorOfNumbers(const mxArray& a) { return a.isDouble() && (a.rows() <= 1 || a.cols() <= 1); }

// What a new line does to its axes: with "NextPlot" "replace" (hold off) it
// takes the place of the lines, texts and legend, and the limits follow it.
void prepareForPlot(double axes) {
    if (!tree().object(axes).is("NextPlot", "replace")) return;
    for (double child : std::vector<double>(tree().object(axes).children())) tree().remove(child);
    tree().set(axes, "XLimMode", mxArray::text("auto"));
    tree().set(axes, "YLimMode", mxArray::text("auto"));
}

}  // namespace

mxArray mlfNFigure(mclArgs propertyValuePairs) {
    return mxArray::scalar(tree().create(Type::Figure, 0, propertyValuePairs));
}

mxArray mlfNAxes(mclArgs propertyValuePairs) {
    return mxArray::scalar(tree().create(Type::Axes, tree().gcf(), propertyValuePairs));
}

mxArray mlfNPlot(const mxArray& x, const mxArray& y, const mxArray& style, mclArgs propertyValuePairs) {
    if (!isVectorOfNumbers(x) || !isVectorOfNumbers(y) || x.numel() != y.numel())
        throw mclError("plot : x et y doivent être deux vecteurs de nombres de même longueur.");
    if (!style.isChar()) throw mclError("plot : le style de ligne doit être un texte.");
    graphics::PlotStyle look = graphics::parsePlotStyle(style.toUtf8());
    double axes = tree().gca();
    prepareForPlot(axes);
    mclArgs args = {mxArray::text("XData"),     x,
                    mxArray::text("YData"),     y,
                    mxArray::text("Color"),     mxArray::row({look.color[0], look.color[1], look.color[2]}),
                    mxArray::text("LineStyle"), mxArray::text(look.lineStyle.c_str()),
                    mxArray::text("Marker"),    mxArray::text(look.marker.c_str())};
    args.insert(args.end(), propertyValuePairs.begin(), propertyValuePairs.end());
    return mxArray::scalar(tree().create(Type::Line, axes, args));
}

mxArray mlfNText(mclArgs propertyValuePairs) {
    return mxArray::scalar(tree().create(Type::Text, tree().gca(), propertyValuePairs));
}

mxArray mlfNLegend(mclArgs labelsThenPosition) {
    std::vector<mxArray> labels;
    mclArgs args;
    for (std::size_t k = 0; k < labelsThenPosition.size(); ++k) {
        const mxArray& a = labelsThenPosition[k];
        if (a.isChar()) {
            labels.push_back(a);
        } else if (k + 1 == labelsThenPosition.size() && a.isDouble()) {
            args = {mxArray::text("Position"), a};
        } else {
            throw mclError("legend : des textes sont attendus, puis une position [gauche bas largeur hauteur].");
        }
    }
    args.insert(args.begin(), {mxArray::text("String"), mxArray::cell(labels)});
    double axes = tree().gca();
    for (double child : std::vector<double>(tree().object(axes).children()))  // one legend per axes
        if (tree().object(child).type() == Type::Legend) tree().remove(child);
    return mxArray::scalar(tree().create(Type::Legend, axes, args));
}

mxArray mlfNUicontrol(mclArgs parentThenPropertyValuePairs) {
    const mclArgs& args = parentThenPropertyValuePairs;
    bool parentGiven = !args.empty() && args.front().isDouble();
    double parent = parentGiven ? handleOf(args.front()) : tree().gcf();
    if (tree().object(parent).type() != Type::Figure) throw mclError("Le parent d'un uicontrol doit être une figure.");
    return mxArray::scalar(tree().create(Type::Uicontrol, parent, args, parentGiven ? 1 : 0));
}

mxArray mlfNGet(const mxArray& handle, const mxArray& property) {
    if (!property.isChar()) throw mclError("get : le nom de propriété doit être un texte.");
    return tree().get(handleOf(handle), property.toUtf8());
}

void mlfNSet(const mxArray& handle, const mxArray& property, const mxArray& value) {
    if (!property.isChar()) throw mclError("set : le nom de propriété doit être un texte.");
    tree().set(handleOf(handle), property.toUtf8(), value);
}

mxArray mlfGca() { return mxArray::scalar(tree().gca()); }

mxArray mlfIshandle(const mxArray& handle) {
    mxArray result = mxArray::zeros(handle.rows(), handle.cols());
    if (handle.isDouble())
        for (std::size_t k = 0; k < handle.numel(); ++k) result.set(k, tree().contains(handle.at(k)) ? 1 : 0);
    return result;
}

void mlfHold(const mxArray& onOff) {
    std::string word = wordOf(onOff, "hold");
    if (word != "on" && word != "off") throw mclError("hold attend « on » ou « off ».");
    tree().set(tree().gca(), "NextPlot", mxArray::text(word == "on" ? "add" : "replace"));
}

void mlfDelete(const mxArray& handle) {
    if (!handle.isDouble()) throw mclError("delete attend des handles graphiques.");
    for (double h : handle.real()) tree().object(h);  // all valid, or nothing is deleted
    for (double h : handle.real())
        if (tree().contains(h)) tree().remove(h);  // an earlier one may have taken it along
}

void mlfNClose(const mxArray& which) {
    if (which.isChar()) {
        if (wordOf(which, "close") != "all") throw mclError("close attend « all » ou un numéro de figure.");
        for (double figure : tree().figures()) tree().remove(figure);
        return;
    }
    double figure = handleOf(which);
    if (tree().object(figure).type() != Type::Figure) throw mclError("close attend une figure.");
    tree().remove(figure);
}

void mlfPause(const mxArray& seconds) {
    double s = seconds.toScalar("La durée de pause");
    if (!(s >= 0) || !std::isfinite(s)) throw mclError("pause attend une durée positive en secondes.");
    tree().pause(s);
}

void libgraphInitialize() { tree().clear(); }

void libgraphTerminate() { tree().clear(); }
