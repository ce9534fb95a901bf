#include "sdk/dll/BindingReport.h"

#include "logging/Qlog.h"
#include "platform/Console.h"

namespace dll {

void ReportError(const std::string& text) {
    QLOG(qlog::LOG_ERROR, "%s\r\n", text.c_str());
    if (!platform::ConsoleAttached()) {
        const std::string line = "Quorlane: " + text + "\r\n";
        platform::WriteStandardOutput(line.data(), line.size());
    }
}

}  // namespace dll
