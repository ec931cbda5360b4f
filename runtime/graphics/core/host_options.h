// The host's command line: [--script FILE|-] [--show].
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace graphics {

struct HostOptions {
    std::optional<std::string> script;  // "-": standard input
    bool show = false;                  // a scripted session on the display
};

// The arguments after the program name; raises mclError for others.
HostOptions parseHostOptions(const std::vector<std::string>& args);

}  // namespace graphics
