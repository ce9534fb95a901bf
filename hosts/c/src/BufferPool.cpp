#include "hosts/c/src/BufferPool.h"

#include <new>
#include <utility>

namespace libquorlane {

std::unique_ptr<std::uint8_t[]> BufferPool::Take(std::size_t size) {
    {
        platform::MutexLock lock(mutex_);
        if (size == size_ && !kept_.empty()) {
            std::unique_ptr<std::uint8_t[]> buffer = std::move(kept_.back());
            kept_.pop_back();
            return buffer;
        }
    }
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

void BufferPool::Give(std::unique_ptr<std::uint8_t[]> buffer, std::size_t size) {
    std::unique_ptr<std::uint8_t[]> unused;  // freed after the lock is released
    platform::MutexLock lock(mutex_);
    if (size != size_) {
        kept_.clear();  // the stream changed size: the old buffers are of no use
        size_ = size;
    }
    if (kept_.size() < kKeep)
        kept_.push_back(std::move(buffer));
    else
        unused = std::move(buffer);
}

}  // namespace libquorlane
