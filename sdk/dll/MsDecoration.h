// Reads Microsoft-decorated names of free functions, such as
// "?LoginRoom@LIVEROOM@ZEGO@@YA_NPEBDH0@Z": the qualified name before the "@@" and, after it, the
// types, each reduced to how the x64 calling convention passes it.
//
//   dll::QualifiedName(decoration)      // "?LoginRoom@LIVEROOM@ZEGO"
//   dll::ReadableName(decoration)       // "ZEGO::LIVEROOM::LoginRoom"
//   dll::ReadPassingClasses(decoration, &classes)  // {"b", "p", "i4", "p"}
#pragma once

#include <string>
#include <vector>

namespace dll {

// The decoration up to its first "@@"; empty when it has none.
std::string QualifiedName(const std::string& decoration);

// The qualified name as C++ writes it (outermost scope first); the decoration itself when it is
// not of the plain "?name@scope@...@@" form.
std::string ReadableName(const std::string& decoration);

// How the return value and each parameter of a free function (x64) are passed, return value
// first: "v" void, "b" bool, "i1" "i2" "i4" "i8" integers and enumerations of that many bytes
// (signedness aside), "f4" "f8" floating point, "p" any pointer or reference (whatever it points
// to or its qualifiers), and "U" followed by the decoration of a class passed by value. False
// when the decoration is not one of a free function whose types this reader knows.
bool ReadPassingClasses(const std::string& decoration, std::vector<std::string>* classes);

}  // namespace dll
