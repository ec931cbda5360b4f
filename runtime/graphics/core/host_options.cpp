#include "host_options.h"

#include "errors.h"

namespace graphics {

HostOptions parseHostOptions(const std::vector<std::string>& args) {
    HostOptions options;
    for (std::size_t k = 0; k < args.size(); ++k) {
        if (args[k] == "--script" && k + 1 < args.size() && !options.script) {
            options.script = args[++k];
        } else if (args[k] == "--show") {
            options.show = true;
        } else {
            throw mclError("Argument « " + args[k] + " » non reconnu. Usage : [--script FICHIER|-] [--show]");
        }
    }
    if (options.show && !options.script) throw mclError("--show ne va qu'avec --script.");
    return options;
}

}  // namespace graphics
