#include "logging/LogManager.h"

namespace qlog {

ILogManager* GetLogManager() {
    static LogManager manager;
    return &manager;
}

}  // namespace qlog
