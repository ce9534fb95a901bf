#include "sdk/sim/CallbackRegistry.h"

namespace sim {
namespace {

thread_local int deliveryDepth = 0;

}  // namespace

bool CallbackRegistry::InsideDelivery() {
    return deliveryDepth > 0;
}

void CallbackRegistry::SetObject(Slot slot, void* object) {
    std::unique_lock<std::mutex> lock(mutex_);
    Entry& entry = entries_[static_cast<int>(slot)];
    if (entry.object == object)
        return;
    entry.object = object;
    Replace(lock, entry);
}

void CallbackRegistry::SetAudio(ZEGO::LIVEROOM::AudioPrepCallback callback) {
    std::unique_lock<std::mutex> lock(mutex_);
    Entry& entry = entries_[static_cast<int>(Slot::Audio)];
    if (entry.audio == callback)
        return;
    entry.audio = callback;
    Replace(lock, entry);
}

void CallbackRegistry::Clear() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (Entry& entry : entries_) {
        if (entry.object == nullptr && entry.audio == nullptr)
            continue;
        entry.object = nullptr;
        entry.audio = nullptr;
        Replace(lock, entry);
    }
}

void CallbackRegistry::Replace(std::unique_lock<std::mutex>& lock, Entry& entry) {
    ++entry.generation;
    entry.retired += entry.current;
    entry.current = 0;
    // A notification that calls back into the SDK must not wait, or it could wait for itself
    // (or for a thread that waits for it).
    if (InsideDelivery())
        return;
    idle_.wait(lock, [&entry] { return entry.retired == 0; });
}

CallbackRegistry::Ticket CallbackRegistry::Enter(Slot slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& entry = entries_[static_cast<int>(slot)];
    Ticket ticket{slot, entry.generation, entry.object, entry.audio};
    if (ticket.object != nullptr || ticket.audio != nullptr) {
        ++entry.current;
        ++deliveryDepth;
    }
    return ticket;
}

void CallbackRegistry::Leave(const Ticket& ticket) {
    std::lock_guard<std::mutex> lock(mutex_);
    --deliveryDepth;
    Entry& entry = entries_[static_cast<int>(ticket.slot)];
    if (ticket.generation == entry.generation) {
        --entry.current;
    } else {
        --entry.retired;
        if (entry.retired == 0)
            idle_.notify_all();
    }
}

}  // namespace sim
