// One line of a scripted session: a command or a syntax error, never anything
// else, and every command within its grammar's bounds.
#include "script_reader.h"

#include <cmath>
#include <climits>
#include <cstdint>
#include <cstdlib>

using graphics::ScriptCommand;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view line(reinterpret_cast<const char*>(data), size);
    std::optional<ScriptCommand> command;
    try {
        command = graphics::parseScriptLine(line);
    } catch (const graphics::ScriptSyntaxError&) {
        return 0;
    }
    if (!command) return 0;
    using Kind = ScriptCommand::Kind;
    switch (command->kind) {
    case Kind::Slider:
        if (command->index < 1 || !std::isfinite(command->number)) std::abort();
        break;
    case Kind::Edit:
        if (command->index < 1) std::abort();
        break;
    case Kind::Call:
        if (command->index < 0 || command->text.empty()) std::abort();
        break;
    case Kind::Wait:
        // within what the event loop's int-millisecond timers hold
        if (!(command->number >= 0) || !(command->number * 1000 <= INT_MAX)) std::abort();
        break;
    default: break;
    }
    return 0;
}
