// Plays a scripted session through the real widgets, one line an event-loop
// turn, and ends the event loop with the session's exit status.
#pragma once

#include "program.h"
#include "qt_view.h"
#include "script_reader.h"

#include <functional>
#include <istream>
#include <ostream>

namespace graphics {

class ScriptPlayer {
public:
    using CallbackRunner = std::function<void(const std::string&)>;
    ScriptPlayer(const mclMainInfo& info, const QtView& view, CallbackRunner runCallback, std::ostream& out,
                 std::ostream& err);

    // Starts playing once the event loop runs; the loop then ends with 0
    // after the last line, or 2 at a line the player does not understand.
    void start(std::istream& script);

private:
    void step();
    // Raises for a command that cannot be done (no such control, ...).
    void run(const ScriptCommand& command);
    double currentWindow() const;
    // The n-th control of the style in the current window, in creation order.
    Control* nthControl(const char* style, int n) const;
    Control* buttonLabelled(const std::string& text) const;

    const mclMainInfo& info_;
    const QtView& view_;
    CallbackRunner runCallback_;
    std::ostream& out_;
    std::ostream& err_;
    std::istream* script_ = nullptr;
    int lineNumber_ = 0;
};

}  // namespace graphics
