// Frame buffers kept for reuse, so that a stream of same-sized frames does not allocate (and
// fault in) fresh memory for each one. Frames hold the pool they came from and give their
// buffer back when released, also after their bridge is gone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Mutex.h"

namespace libquorlane {

class BufferPool {
  public:
    // A buffer of `size` bytes (contents undefined), or null when memory runs out.
    std::unique_ptr<std::uint8_t[]> Take(std::size_t size);
    // Keeps `buffer` (of `size` bytes) for the next Take when there is room; frees it otherwise.
    void Give(std::unique_ptr<std::uint8_t[]> buffer, std::size_t size);

    static constexpr std::size_t kKeep = 4;

  private:
    platform::Mutex mutex_;
    std::vector<std::unique_ptr<std::uint8_t[]>> kept_ GUARDED_BY(mutex_);
    std::size_t size_ GUARDED_BY(mutex_) = 0;  // of every kept buffer
};

}  // namespace libquorlane
