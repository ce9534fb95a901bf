#include <io.h>

#include "platform/redirect.h"

namespace platform {

bool DuplicateOnto(int source, int target) {
    return ::_dup2(source, target) == 0;
}

}  // namespace platform
