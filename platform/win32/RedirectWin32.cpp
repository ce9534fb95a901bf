#include <io.h>

#include "platform/Redirect.h"

namespace platform {

bool DuplicateOnto(int source, int target) {
    return ::_dup2(source, target) == 0;
}

}  // namespace platform
