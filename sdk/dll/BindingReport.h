// Errors of the binding (the DLL, its functions, the credentials): logged, and written to
// standard output as well when no console shows the log's error lines there (a host's pipe),
// so that whoever starts the bridge sees them.
//
//   dll::ReportError("the SDK C:\\app\\zegoliveroom.dll did not load: ...");
#pragma once

#include <string>

namespace dll {

void ReportError(const std::string& text);

}  // namespace dll
