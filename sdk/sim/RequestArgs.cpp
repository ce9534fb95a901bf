#include "sdk/sim/RequestArgs.h"

#include <climits>
#include <cmath>
#include <cstring>

namespace sim {
namespace {

const Json& EmptyArray() {
    static const Json* empty = new Json(Json::array());  // never destroyed: used by SDK threads
    return *empty;
}

const Json& EmptyObject() {
    static const Json* empty = new Json(Json::object());
    return *empty;
}

[[noreturn]] void WrongType(const char* name, const char* expected) {
    throw RequestError(std::string("\"") + name + "\" must be " + expected);
}

// The member's integer value; raises when it is not an integral number in range.
long long IntegerOf(const Json& value, const char* name, long long low, long long high) {
    long long result = 0;
    if (value.is_number_unsigned()) {
        std::uint64_t u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(LLONG_MAX))
            WrongType(name, "a number in range");
        result = static_cast<long long>(u);
    } else if (value.is_number_integer()) {
        result = value.get<long long>();
    } else if (value.is_number_float()) {
        double d = value.get<double>();
        if (!std::isfinite(d) || d != std::floor(d) || d < -9.2e18 || d > 9.2e18)
            WrongType(name, "an integer");
        result = static_cast<long long>(d);
    } else {
        WrongType(name, "a number");
    }
    if (result < low || result > high)
        throw RequestError(std::string("\"") + name + "\" is out of range");
    return result;
}

}  // namespace

bool Has(const Json& object, const char* name) {
    return object.is_object() && object.contains(name);
}

int IntArg(const Json& object, const char* name) {
    return static_cast<int>(IntArgInRange(object, name, INT_MIN, INT_MAX, 0));
}

long long IntArgInRange(const Json& object, const char* name, long long low, long long high,
                        long long fallback) {
    if (!Has(object, name))
        return fallback;
    return IntegerOf(object.at(name), name, low, high);
}

unsigned int UnsignedArg(const Json& object, const char* name) {
    return static_cast<unsigned int>(IntArgInRange(object, name, 0, UINT_MAX, 0));
}

std::uint64_t Unsigned64Arg(const Json& object, const char* name) {
    if (!Has(object, name))
        return 0;
    const Json& value = object.at(name);
    if (value.is_number_unsigned())
        return value.get<std::uint64_t>();
    return static_cast<std::uint64_t>(IntegerOf(value, name, 0, LLONG_MAX));
}

double DoubleArg(const Json& object, const char* name) {
    if (!Has(object, name))
        return 0.0;
    const Json& value = object.at(name);
    if (!value.is_number())
        WrongType(name, "a number");
    return value.get<double>();
}

bool BoolArg(const Json& object, const char* name) {
    if (!Has(object, name))
        return false;
    const Json& value = object.at(name);
    if (!value.is_boolean())
        WrongType(name, "true or false");
    return value.get<bool>();
}

ArgText TextArg(const Json& object, const char* name) {
    if (!Has(object, name))
        return ArgText(std::string());
    const Json& value = object.at(name);
    if (value.is_null())
        return ArgText::Null();
    if (!value.is_string())
        WrongType(name, "a string or null");
    return ArgText(value.get<std::string>());
}

const Json& ArrayArg(const Json& object, const char* name) {
    if (!Has(object, name))
        return EmptyArray();
    const Json& value = object.at(name);
    if (!value.is_array())
        WrongType(name, "an array");
    return value;
}

const Json& ObjectArg(const Json& object, const char* name) {
    if (!Has(object, name))
        return EmptyObject();
    const Json& value = object.at(name);
    if (!value.is_object())
        WrongType(name, "an object");
    return value;
}

void CopyText(char* field, std::size_t size, const std::string& text) {
    std::size_t n = text.size() < size ? text.size() : size - 1;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

}  // namespace sim
