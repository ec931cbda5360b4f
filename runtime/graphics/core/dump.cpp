#include "dump.h"

#include "json.h"

namespace graphics {
namespace {

class JsonObject {
public:
    void add(const char* key, const std::string& json) {
        text_ += (text_.empty() ? "{" : ",") + jsonString(key) + ':' + json;
    }
    std::string done() const { return text_ + '}'; }

private:
    std::string text_;
};

std::string dumpObject(const Tree& tree, const Object& o) {
    JsonObject line;
    auto number = [&](const char* key, const char* property) {
        line.add(key, jsonNumber(tree.get(o.handle(), property).at(0)));
    };
    auto numbers = [&](const char* key, const char* property) {
        line.add(key, jsonNumbers(tree.get(o.handle(), property).real()));
    };
    auto text = [&](const char* key, const char* property) { line.add(key, jsonString(o.text(property))); };

    line.add("handle", jsonNumber(o.handle()));
    line.add("type", jsonString(typeName(o.type())));
    line.add("parent", jsonNumber(o.parent()));
    text("tag", "Tag");
    text("units", "Units");
    if (findProperty(o.type(), "Position")) numbers("position", "Position");
    switch (o.type()) {
    case Type::Uicontrol:
        text("style", "Style");
        text("string", "String");
        number("value", "Value");
        break;
    case Type::Axes:
        numbers("xlim", "XLim");
        numbers("ylim", "YLim");
        text("xlimmode", "XLimMode");
        text("ylimmode", "YLimMode");
        break;
    case Type::Line:
        numbers("xdata", "XData");
        numbers("ydata", "YData");
        numbers("color", "Color");
        text("linestyle", "LineStyle");
        text("marker", "Marker");
        number("linewidth", "LineWidth");
        break;
    case Type::Text: text("string", "String"); break;
    case Type::Legend: line.add("labels", jsonValue(o.value("String"))); break;
    case Type::Figure: text("name", "Name"); break;
    case Type::Root: break;
    }
    return line.done();
}

}  // namespace

std::vector<std::string> dumpWindow(const Tree& tree, double figure) {
    std::vector<std::string> lines;
    for (const Object* o : tree.subtree(figure)) lines.push_back(dumpObject(tree, *o));
    return lines;
}

}  // namespace graphics
