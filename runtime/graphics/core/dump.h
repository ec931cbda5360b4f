// The objects of a window as JSON lines, for scripted sessions.
#pragma once

#include "tree.h"

#include <string>
#include <vector>

namespace graphics {

// One line an object: the window first, then everything in it in creation
// order. Keys are lower-case property names.
std::vector<std::string> dumpWindow(const Tree& tree, double figure);

}  // namespace graphics
