// A hint to start loading memory that will be read soon; no effect where the compiler has none.
#pragma once

namespace platform {

inline void PrefetchForRead(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address, 0);
#else
    (void)address;
#endif
}

}  // namespace platform
