// A JSON value of one of six kinds, with an owning pointer to its payload.
//
//   Json command(text);                      // parses; throws Json::UnexpectedTokenException
//   std::string& type = command["type"].AsString();  // throws Json::BadConversionException
//   Json reply("{}");
//   reply["code"] = Json(0.0);
//   std::string bytes = reply.toString();    // { "code": 0 }
#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "json/JsonGrammar.h"

namespace qjson {

class Json {
  public:
    enum Type : std::uint32_t {
        Number = 0,
        String = 1,
        Boolean = 2,
        Null = 3,
        Object = 4,
        Array = 5,
    };

    using ObjectMap = std::map<std::string, Json*>;
    using ArrayVector = std::vector<Json*>;

    struct BadConversionException : std::exception {
        ~BadConversionException() override = default;
        const char* what() const noexcept override;
    };

    struct UnexpectedTokenException : std::exception {
        UnexpectedTokenException(char token, std::int32_t position);
        ~UnexpectedTokenException() override = default;
        const char* what() const noexcept override;

        char token;
        std::int32_t position;
        std::string message;
    };

    // Nesting deeper than this is refused by the parser.
    static const int kMaxDepth = grammar::kMaxDepth;

    Json();                                  // Null
    explicit Json(const char* text);         // parses the whole text
    explicit Json(double number);            // Number
    explicit Json(const std::string& text);  // String, bytes copied unchanged
    Json(const Json& other);                 // deep copy
    Json& operator=(const Json& other);      // deep copy; self-assignment does nothing
    virtual ~Json();

    Type Kind() const { return kind_; }

    // Member of an Object; inserts a Null member when the key is absent.
    Json& operator[](const char* key);

    // Exact typed access: the kind must match, else BadConversionException.
    double& AsNumber();
    std::string& AsString();
    bool& AsBoolean();
    ObjectMap& AsObject();
    ArrayVector& AsArray();
    std::string StringValue() const;  // copy of a String

    // Elements of an Array; 1 for every other kind.
    int size() const;

    // One line, members in key order, strings written unchanged, numbers as "%g" would write
    // them; infinities and NaN, which JSON cannot express, are written as null.
    std::string toString() const;

  private:
    class Parser;

    void Release();
    void CopyFrom(const Json& other);  // this value must be Null
    void AppendTo(std::string& out) const;

    Type kind_;
    void* payload_;
};

}  // namespace qjson
