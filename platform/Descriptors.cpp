// The parts of the descriptor calls that are the same on every system.
#include "platform/Descriptors.h"

namespace platform {

int WriteAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    std::size_t left = size;
    while (left > 0) {
        int n = WriteSome(fd, p, left);
        if (n <= 0)
            return -1;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return static_cast<int>(size);
}

}  // namespace platform
