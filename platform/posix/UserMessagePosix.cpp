#include <unistd.h>

#include <cstring>

#include "platform/Descriptors.h"
#include "platform/UserMessage.h"

namespace platform {

void TellUser(const char* text) {
    WriteAll(STDERR_FILENO, text, std::strlen(text));
}

}  // namespace platform
