// The command vocabulary: reads "type" and the arguments of a parsed command object and runs the
// matching Manager operation or SDK call. Conversion errors of required arguments propagate to
// the caller as Json::BadConversionException.
#pragma once

#include <cstdint>

namespace qjson {
class Json;
}  // namespace qjson

namespace quorlane {

class Manager;

// Converts a command's number to a signed 32-bit integer by truncation toward zero; NaN and
// values whose truncation lies outside the 32-bit range give -2147483648.
std::int32_t NumberToInt32(double value);

void Dispatch(qjson::Json& command, Manager* manager);

}  // namespace quorlane
