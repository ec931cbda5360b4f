#include "json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace graphics {

std::string jsonNumber(double x) {
    if (!std::isfinite(x)) return "null";
    char buffer[32];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, x).ptr;
    return std::string(buffer, end);
}

std::string jsonString(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + '"';
}

std::string jsonNumbers(const std::vector<double>& values) {
    std::string out = "[";
    for (std::size_t k = 0; k < values.size(); ++k) out += (k ? "," : "") + jsonNumber(values[k]);
    return out + ']';
}

std::string jsonValue(const mxArray& value) {
    switch (value.kind()) {
    case mxArray::Kind::Char: return jsonString(value.toUtf8());
    case mxArray::Kind::Cell: {
        std::string out = "[";
        for (std::size_t k = 0; k < value.elements().size(); ++k)
            out += (k ? "," : "") + jsonValue(value.elements()[k]);
        return out + ']';
    }
    case mxArray::Kind::Struct: {
        std::string out = "{";
        for (std::size_t k = 0; k < value.fieldNames().size(); ++k) {
            const std::string& name = value.fieldNames()[k];
            out += (k ? "," : "") + jsonString(name) + ':' + jsonValue(value.field(name));
        }
        return out + '}';
    }
    case mxArray::Kind::Double: break;
    }
    if (value.isEmpty()) return "[]";
    if (value.isScalar()) return jsonNumber(value.at(0));
    std::string out = "[";
    for (std::size_t r = 0; r < value.rows(); ++r) {
        std::vector<double> row;
        for (std::size_t c = 0; c < value.cols(); ++c) row.push_back(value.at(r, c));
        out += (r ? "," : "") + jsonNumbers(row);
    }
    return out + ']';
}

}  // namespace graphics
