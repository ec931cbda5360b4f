#include "plot_style.h"

#include "errors.h"

#include <algorithm>
#include <optional>

namespace graphics {

PlotStyle parsePlotStyle(std::string_view text) {
    static constexpr std::string_view kStyles[] = {"--", "-.", "-", ":"};  // two-character ones first
    static constexpr std::string_view kMarkers = "o+*.xsd";
    auto fail = [&] { throw mclError("Style de ligne « " + std::string(text) + " » non reconnu."); };

    std::optional<Rgb> color;
    std::optional<std::string> style, marker;
    for (std::size_t k = 0; k < text.size();) {
        std::string_view rest = text.substr(k);
        auto styleIt = std::find_if(std::begin(kStyles), std::end(kStyles),
                                    [&](std::string_view s) { return rest.substr(0, s.size()) == s; });
        if (styleIt != std::end(kStyles)) {
            if (style) fail();
            style = std::string(*styleIt);
            k += styleIt->size();
        } else if (kMarkers.find(rest[0]) != std::string_view::npos) {
            if (marker) fail();
            marker = std::string(1, rest[0]);
            ++k;
        } else if (auto rgb = colorFromName(rest.substr(0, 1))) {
            if (color) fail();
            color = rgb;
            ++k;
        } else {
            fail();
        }
    }
    PlotStyle look;
    if (color) look.color = *color;
    if (marker) look.marker = *marker;
    look.lineStyle = style ? *style : marker ? "none" : "-";
    return look;
}

}  // namespace graphics
