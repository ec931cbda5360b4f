// Reading the lines of a scripted session into commands.
//
// One command a line; blank lines and lines starting with '#' hold none.
// Arguments are separated by blanks; one holding blanks is written in double
// quotes (\" and \\ inside stand for " and \); a row of numbers is written in
// brackets, [1 2 3]. Texts are UTF-8.
#pragma once

#include "mxarray.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace graphics {

struct ScriptCommand {
    enum class Kind { Slider, Press, Edit, Callback, Call, Dump, Snapshot, Screenshot, Wait };
    Kind kind = Kind::Dump;
    int index = 0;                 // slider, edit: 1-based control number; call: outputs wanted
    double number = 0;             // slider: the value; wait: seconds
    std::string text;              // press, edit, callback: the text; call: the function; snapshot, screenshot: the file
    std::vector<mxArray> arguments;  // call
};

// A line the reader does not understand; the message says why.
class ScriptSyntaxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Nothing for a blank line or a comment.
std::optional<ScriptCommand> parseScriptLine(std::string_view line);

}  // namespace graphics
