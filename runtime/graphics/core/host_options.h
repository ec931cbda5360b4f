// The host's command line: [--script FILE|-] [--show] [--snapshot FILE.png] [--help].
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace graphics {

struct HostOptions {
    std::optional<std::string> script;    // "-": standard input
    std::optional<std::string> snapshot;  // a picture of the window, then the end
    bool show = false;                    // a scripted session or a snapshot on the display
    bool help = false;
};

// The arguments after the program name; raises mclError for others.
HostOptions parseHostOptions(const std::vector<std::string>& args);

// The text of --help: the program's usage, its description, the options and
// the script commands.
std::string hostHelp(const std::string& program, const std::string& about);

}  // namespace graphics
