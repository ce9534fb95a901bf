#include <windows.h>

#include <chrono>
#include <new>

#include "platform/Sync.h"
#include "platform/win32/UniqueHandleWin32.h"

namespace platform {

// An unnamed auto-reset event object, initially not signalled: set only while a waiter may
// sleep, and left set when the waiter has not reached WaitForSingleObject yet, so that no wake
// is lost.
struct AutoResetEvent::Sleep {
    UniqueHandle event{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};

AutoResetEvent::AutoResetEvent() : sleep_(new Sleep) {
    if (sleep_->event.Get() == nullptr)
        throw std::bad_alloc();
}
AutoResetEvent::~AutoResetEvent() = default;

// A waiter registers in `sleepers_` before it checks the flag, and Signal sets the flag before
// it reads `sleepers_` (both sequentially consistent): either the waiter sees the flag, or
// Signal sees the waiter and sets the event object, which stays set until the waiter's wait.
void AutoResetEvent::Signal() {
    signalled_.store(true);
    if (sleepers_.load() != 0)
        ::SetEvent(sleep_->event.Get());
}

void AutoResetEvent::Wait() {
    ++sleepers_;
    while (!TryTake())
        ::WaitForSingleObject(sleep_->event.Get(), INFINITE);
    --sleepers_;
}

bool AutoResetEvent::WaitFor(int milliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    ++sleepers_;
    bool taken;
    while (!(taken = TryTake())) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 ||
            ::WaitForSingleObject(sleep_->event.Get(), static_cast<DWORD>(left)) == WAIT_TIMEOUT) {
            taken = TryTake();
            break;
        }
    }
    --sleepers_;
    return taken;
}

struct Semaphore::State {
    UniqueHandle semaphore;
};

Semaphore::Semaphore(int maximum) : state_(new State) {
    state_->semaphore = UniqueHandle(::CreateSemaphoreW(nullptr, 0, maximum, nullptr));
    if (state_->semaphore.Get() == nullptr)
        throw std::bad_alloc();
}
Semaphore::~Semaphore() = default;

bool Semaphore::Post() {
    return ::ReleaseSemaphore(state_->semaphore.Get(), 1, nullptr) != 0;
}

bool Semaphore::WaitFor(int milliseconds) {
    const DWORD wait = milliseconds < 0 ? 0 : static_cast<DWORD>(milliseconds);
    return ::WaitForSingleObject(state_->semaphore.Get(), wait) == WAIT_OBJECT_0;
}

}  // namespace platform
