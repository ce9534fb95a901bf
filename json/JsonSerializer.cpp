// toString: one line, fixed spacing, strings and keys written unchanged.
#include <charconv>
#include <cmath>
#include <cstdio>

#include "json/Json.h"

namespace qjson {

namespace {

// Writes a double as default stream formatting does ("%g": six significant digits, no trailing
// zeros). Infinities and NaN have no JSON form and are written as null.
void AppendNumber(std::string& out, double number) {
    if (!std::isfinite(number)) {
        out += "null";
        return;
    }
    char buffer[32];
    // Integers below a million print in full under "%g"; -0 keeps its sign there.
    if (number > -1e6 && number < 1e6 && number == static_cast<double>(static_cast<int>(number)) &&
        !(number == 0 && std::signbit(number))) {
        auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<int>(number));
        out.append(buffer, result.ptr);
        return;
    }
    int length = std::snprintf(buffer, sizeof buffer, "%g", number);
    out.append(buffer, static_cast<std::size_t>(length));
}

void AppendQuoted(std::string& out, const std::string& text) {
    out += '"';
    out += text;
    out += '"';
}

}  // namespace

std::string Json::toString() const {
    std::string out;
    AppendTo(out);
    return out;
}

void Json::AppendTo(std::string& out) const {
    switch (kind_) {
        case Number:
            AppendNumber(out, *static_cast<const double*>(payload_));
            break;
        case String:
            AppendQuoted(out, *static_cast<const std::string*>(payload_));
            break;
        case Boolean:
            out += *static_cast<const bool*>(payload_) ? "true" : "false";
            break;
        case Null:
            out += "null";
            break;
        case Object: {
            out += "{ ";
            bool first = true;
            for (const auto& member : *static_cast<const ObjectMap*>(payload_)) {
                out += first ? "\"" : ", \"";
                first = false;
                out += member.first;
                out += "\": ";
                member.second->AppendTo(out);
            }
            out += " }";
            break;
        }
        case Array: {
            out += "[ ";
            bool first = true;
            for (const Json* element : *static_cast<const ArrayVector*>(payload_)) {
                if (!first) {
                    out += ", ";
                }
                first = false;
                element->AppendTo(out);
            }
            out += " ]";
            break;
        }
    }
}

}  // namespace qjson
