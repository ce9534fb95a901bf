#include "logging/LogManager.h"

namespace qlog {

namespace {

LogManager& ProcessManager() {
    static LogManager manager(LogManagerOptions::FromEnvironment());
    return manager;
}

}  // namespace

ILogManager* GetLogManager() {
    return &ProcessManager();
}

std::string LoggerFolder(int loggerId) {
    return ProcessManager().LoggerPath(loggerId);
}

}  // namespace qlog
