#include "tree.h"

#include "conversion.h"
#include "errors.h"
#include "view.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace graphics {
namespace {

constexpr double kFirstObjectHandle = 1000.5;
constexpr std::array<double, 4> kDefaultScreen = {1, 1, 1024, 768};

[[noreturn]] void unknownProperty(Type type, std::string_view name) {
    throw mclError("Propriété « " + std::string(name) + " » inconnue pour un objet " + typeName(type) + ".");
}

const PropertyRule& ruleOf(Type type, std::string_view name) {
    const PropertyRule* rule = findProperty(type, name);
    if (!rule) unknownProperty(type, name);
    return *rule;
}

// Data limits widened to round steps, so that the ends fall on ticks.
std::array<double, 2> roundedOutward(double low, double high) {
    if (low == high) return {low - 1, high + 1};
    double raw = (high - low) / 10;
    if (!std::isfinite(raw)) return {low, high};
    double magnitude = std::pow(10, std::floor(std::log10(raw)));
    double fraction = raw / magnitude;
    double step = (fraction <= 1 ? 1 : fraction <= 2 ? 2 : fraction <= 5 ? 5 : 10) * magnitude;
    return {std::floor(low / step) * step, std::ceil(high / step) * step};
}

}  // namespace

// ---- Object -------------------------------------------------------------------

Object::Object(double handle, Type type, double parent, std::uint64_t serial)
    : handle_(handle), type_(type), parent_(parent), serial_(serial) {
    for (const auto& rule : propertyRules(type)) values_.push_back(rule.initial);
    positionUnits_ = value("Units").toUtf8();
}

const mxArray& Object::value(std::string_view property) const {
    return values_[propertyIndex(type_, ruleOf(type_, property))];
}

std::string Object::text(std::string_view property) const { return value(property).toUtf8(); }

double Object::number(std::string_view property) const { return value(property).at(0); }

const std::vector<double>& Object::numbers(std::string_view property) const { return value(property).real(); }

bool Object::is(std::string_view property, std::string_view word) const { return text(property) == word; }

// ---- Tree ---------------------------------------------------------------------

Tree::Tree() { clear(); }

void Tree::clear() {
    if (contains(0))
        for (double figure : figures()) remove(figure);
    objects_.clear();
    objects_.emplace(0.0, Object(0, Type::Root, 0, 0));
    serial_ = 0;
    nextHandle_ = kFirstObjectHandle;
    currentFigure_.reset();
}

const Object& Tree::object(double handle) const {
    auto it = objects_.find(handle);
    if (it == objects_.end()) throw mclError("Handle graphique invalide : " + num2strText(handle) + ".");
    return it->second;
}

Object& Tree::mutableObject(double handle) { return const_cast<Object&>(object(handle)); }

std::vector<double> Tree::figures() const { return objects_.at(0).children(); }

std::vector<const Object*> Tree::subtree(double handle) const {
    std::vector<const Object*> all = {&object(handle)};
    for (std::size_t k = 0; k < all.size(); ++k)
        for (double child : all[k]->children()) all.push_back(&object(child));
    std::sort(all.begin() + 1, all.end(), [](auto* a, auto* b) { return a->serial() < b->serial(); });
    return all;
}

double Tree::newHandle(Type type) const {
    if (type != Type::Figure) return nextHandle_;
    double number = 1;
    while (contains(number)) ++number;
    return number;
}

double Tree::create(Type type, double parent, const std::vector<mxArray>& args, std::size_t first) {
    if ((args.size() - first) % 2 != 0)
        throw mclError("Les propriétés vont par paires : un nom, puis sa valeur.");
    mutableObject(parent);  // raises for an invalid parent
    double handle = newHandle(type);
    Object& object = objects_.emplace(handle, Object(handle, type, parent, ++serial_)).first->second;
    try {
        for (std::size_t k = first; k < args.size(); k += 2) {
            if (!args[k].isChar())
                throw mclError("L'argument " + std::to_string(k + 1) + " devrait être un nom de propriété.");
            store(object, args[k].toUtf8(), args[k + 1]);
        }
    } catch (...) {
        objects_.erase(handle);
        throw;
    }
    if (type != Type::Figure) nextHandle_ += 1;
    mutableObject(parent).children_.push_back(handle);
    if (type == Type::Figure) currentFigure_ = handle;
    if (type == Type::Axes) {
        mutableObject(parent).currentAxes_ = handle;
        currentFigure_ = parent;
    }
    if (view_) view_->objectCreated(object);
    return handle;
}

const PropertyRule& Tree::store(Object& object, std::string_view property, const mxArray& value) {
    const PropertyRule& rule = ruleOf(object.type(), property);
    mxArray checked = checkedValue(rule, value);
    auto slot = [&](std::string_view name) -> mxArray& {
        return object.values_[propertyIndex(object.type(), ruleOf(object.type(), name))];
    };
    std::string name = lowerCase(rule.name);
    if (name == "xlim" || name == "ylim") {
        slot(name + "mode") = mxArray::text("manual");
    } else if (name == "xlimmode" || name == "ylimmode") {
        // Manual from now on: the limits stay where the automatic ones were.
        if (checked.toUtf8() == "manual" && slot(name).toUtf8() == "auto") {
            auto limits = autoLimits(object, name == "xlimmode" ? "XData" : "YData");
            slot(name.substr(0, 4)) = mxArray::row({limits[0], limits[1]});
        }
    } else if (name == "position") {
        object.positionUnits_ = slot("Units").toUtf8();
    }
    slot(name) = std::move(checked);
    return rule;
}

mxArray Tree::get(double handle, std::string_view property) const {
    const Object& o = object(handle);
    const PropertyRule& rule = ruleOf(o.type(), property);
    std::string name = lowerCase(rule.name);
    if (name == "type") return mxArray::text(typeName(o.type()));
    if (name == "parent") return o.type() == Type::Root ? mxArray() : mxArray::scalar(o.parent());
    if (name == "children")  // newest first
        return mxArray::column(std::vector<double>(o.children().rbegin(), o.children().rend()));
    if (name == "screensize") {
        auto s = screenSize();
        return mxArray::row({s[0], s[1], s[2], s[3]});
    }
    if ((name == "xlim" || name == "ylim") && o.is(name == "xlim" ? "XLimMode" : "YLimMode", "auto")) {
        auto limits = autoLimits(o, name == "xlim" ? "XData" : "YData");
        return mxArray::row({limits[0], limits[1]});
    }
    return o.value(rule.name);
}

void Tree::set(double handle, std::string_view property, const mxArray& value) {
    Object& o = mutableObject(handle);
    const PropertyRule& rule = store(o, property, value);
    if (view_) view_->propertyChanged(o, rule);
}

void Tree::setFromView(double handle, std::string_view property, const mxArray& value) {
    store(mutableObject(handle), property, value);
}

std::array<double, 2> Tree::autoLimits(const Object& axes, const char* data) const {
    double low = INFINITY, high = -INFINITY;
    for (double child : axes.children()) {
        const Object& line = object(child);
        if (line.type() != Type::Line) continue;
        for (double v : line.numbers(data))
            if (std::isfinite(v)) low = std::min(low, v), high = std::max(high, v);
    }
    if (low > high) return {0, 1};
    return roundedOutward(low, high);
}

void Tree::remove(double handle) {
    if (handle == 0) throw mclError("La racine 0 ne peut pas être supprimée.");
    Object removed = object(handle);
    forget(handle);
    Object& parent = mutableObject(removed.parent());
    auto& siblings = parent.children_;
    siblings.erase(std::find(siblings.begin(), siblings.end(), handle));
    auto last = [&](Type type) -> std::optional<double> {
        for (auto it = siblings.rbegin(); it != siblings.rend(); ++it)
            if (object(*it).type() == type) return *it;
        return std::nullopt;
    };
    if (currentFigure_ == handle) currentFigure_ = last(Type::Figure);
    if (parent.currentAxes_ == handle) parent.currentAxes_ = last(Type::Axes);
    if (view_) view_->objectRemoved(removed);
}

void Tree::forget(double handle) {
    for (double child : object(handle).children()) forget(child);
    objects_.erase(handle);
}

double Tree::gcf() {
    if (!currentFigure_) create(Type::Figure, 0, {});
    return *currentFigure_;
}

double Tree::gca() {
    double figure = gcf();
    if (!object(figure).currentAxes_) create(Type::Axes, figure, {});
    return *object(figure).currentAxes_;
}

void Tree::fireCallback(double handle) {
    if (pauses_ > 0 || !runner_ || !contains(handle)) return;
    std::string text = object(handle).text("Callback");  // a copy: the callback may delete the object
    if (!text.empty()) runner_(text);
}

void Tree::pause(double seconds) {
    struct Guard {
        int& count;
        explicit Guard(int& c) : count(c) { ++count; }
        ~Guard() { --count; }
    } guard(pauses_);
    if (view_)
        view_->pause(seconds);
    else
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::array<double, 4> Tree::screenSize() const { return view_ ? view_->screenSize() : kDefaultScreen; }

}  // namespace graphics
