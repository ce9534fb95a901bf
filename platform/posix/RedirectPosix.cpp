#include "platform/Redirect.h"

#include <unistd.h>
#include <cerrno>

namespace platform {

bool DuplicateOnto(int source, int target) {
    int result;
    do {
        result = dup2(source, target);
    } while (result < 0 && errno == EINTR);
    return result == target;
}

}  // namespace platform
