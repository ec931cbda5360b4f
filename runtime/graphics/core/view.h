// What the object tree tells a view of it, and asks of it. The tree calls
// these hooks after each change; without a view it works alone.
#pragma once

#include "properties.h"

#include <array>

namespace graphics {

class Object;

class View {
public:
    virtual ~View() = default;
    // An object with all the properties of its creation call.
    virtual void objectCreated(const Object& object) = 0;
    virtual void propertyChanged(const Object& object, const PropertyRule& property) = 0;
    // The top of a removed subtree, already out of the tree.
    virtual void objectRemoved(const Object& object) = 0;
    // [left bottom width height] of the primary screen, in pixels.
    virtual std::array<double, 4> screenSize() const = 0;
    // Waits while the windows keep painting; the tree keeps callbacks out.
    virtual void pause(double seconds) = 0;
};

}  // namespace graphics
