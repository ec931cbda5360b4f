// The retained tree of graphics objects: the truth that a view mirrors.
//
// Root 0 is the screen. Figures are numbered 1, 2, ... (the smallest free
// number); every other object gets a non-integer handle, never reused, so it
// cannot be taken for a figure number.
#pragma once

#include "properties.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace graphics {

class View;

class Object {
public:
    Object(double handle, Type type, double parent, std::uint64_t serial);

    double handle() const { return handle_; }
    Type type() const { return type_; }
    double parent() const { return parent_; }
    // Creation order across the whole tree.
    std::uint64_t serial() const { return serial_; }
    // In creation order.
    const std::vector<double>& children() const { return children_; }

    // The stored value of a property, named in any letter case. Computed
    // properties (Type, Children, automatic limits) are the tree's: Tree::get.
    const mxArray& value(std::string_view property) const;
    std::string text(std::string_view property) const;  // UTF-8
    double number(std::string_view property) const;
    const std::vector<double>& numbers(std::string_view property) const;
    bool is(std::string_view property, std::string_view word) const;
    // The units in force when "Position" was last set: the stored numbers
    // keep meaning what they meant then, whatever "Units" says later.
    const std::string& positionUnits() const { return positionUnits_; }

private:
    friend class Tree;

    double handle_;
    Type type_;
    double parent_;
    std::uint64_t serial_;
    std::vector<double> children_;
    std::vector<mxArray> values_;  // parallel to propertyRules(type_)
    std::string positionUnits_;
    std::optional<double> currentAxes_;  // figures only
};

class Tree {
public:
    // The root alone.
    Tree();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    // Back to the root alone; handles are numbered afresh. The view stays.
    void clear();
    void setView(View* view) { view_ = view; }
    using CallbackRunner = std::function<void(const std::string& callbackText)>;
    void setCallbackRunner(CallbackRunner runner) { runner_ = std::move(runner); }

    bool contains(double handle) const { return objects_.count(handle) != 0; }
    // Raises for an invalid handle.
    const Object& object(double handle) const;
    std::vector<double> figures() const;
    // The object, then everything under it, in creation order.
    std::vector<const Object*> subtree(double handle) const;

    // Applies args[first..] as property/value pairs, in order.
    double create(Type type, double parent, const std::vector<mxArray>& args, std::size_t first = 0);
    mxArray get(double handle, std::string_view property) const;
    void set(double handle, std::string_view property, const mxArray& value);
    // A change the user made through the view: stored without telling it back.
    void setFromView(double handle, std::string_view property, const mxArray& value);
    // The object with everything under it.
    void remove(double handle);

    std::optional<double> currentFigure() const { return currentFigure_; }
    // The current figure, or axes of the current figure; created when missing.
    double gcf();
    double gca();

    // Runs the object's callback text unless a pause is in progress.
    void fireCallback(double handle);
    void pause(double seconds);

    std::array<double, 4> screenSize() const;

private:
    Object& mutableObject(double handle);
    // Stores a checked value with its side effects.
    const PropertyRule& store(Object& object, std::string_view property, const mxArray& value);
    std::array<double, 2> autoLimits(const Object& axes, const char* data) const;
    double newHandle(Type type) const;
    void forget(double handle);

    std::map<double, Object> objects_;
    std::uint64_t serial_ = 0;
    double nextHandle_ = 0;
    std::optional<double> currentFigure_;
    View* view_ = nullptr;
    CallbackRunner runner_;
    int pauses_ = 0;
};

// The tree that the programs' graphics calls (graphics.h) build. The host
// hands it to the view that shows it; the view reaches it through nothing else.
Tree& programTree();

}  // namespace graphics
