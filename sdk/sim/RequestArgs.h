// Typed access to the members of a control request. A missing member reads as 0 or the empty
// text; a member of the wrong type raises RequestError, which the channel answers with an
// error line.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace sim {

using Json = nlohmann::json;

class RequestError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A text argument that may also be a null pointer (JSON null).
class ArgText {
  public:
    ArgText() = default;
    explicit ArgText(std::string text) : text_(std::move(text)), null_(false) {}
    static ArgText Null() {
        ArgText t;
        t.null_ = true;
        return t;
    }
    const char* Pointer() const { return null_ ? nullptr : text_.c_str(); }
    const std::string& Text() const { return text_; }
    bool IsNull() const { return null_; }

  private:
    std::string text_;
    bool null_ = false;
};

bool Has(const Json& object, const char* name);
int IntArg(const Json& object, const char* name);
long long IntArgInRange(const Json& object, const char* name, long long low, long long high,
                        long long fallback);
unsigned int UnsignedArg(const Json& object, const char* name);
std::uint64_t Unsigned64Arg(const Json& object, const char* name);
double DoubleArg(const Json& object, const char* name);
bool BoolArg(const Json& object, const char* name);
// Missing: empty text; null: null pointer.
ArgText TextArg(const Json& object, const char* name);
// Missing: an empty array.
const Json& ArrayArg(const Json& object, const char* name);
// Missing: an empty object.
const Json& ObjectArg(const Json& object, const char* name);

// Copies `text` into a fixed record field, cut to fit with its terminating zero.
void CopyText(char* field, std::size_t size, const std::string& text);

}  // namespace sim
