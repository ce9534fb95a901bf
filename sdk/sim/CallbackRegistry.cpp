#include "sdk/sim/CallbackRegistry.h"

namespace sim {
namespace {

thread_local int deliveryDepth = 0;

}  // namespace

bool CallbackRegistry::InsideDelivery() {
    return deliveryDepth > 0;
}

void CallbackRegistry::SetObject(Slot slot, void* object) {
    platform::MutexLock hold(mutex_);
    Entry& entry = entries_[static_cast<int>(slot)];
    if (entry.object == object)
        return;
    entry.object = object;
    Replace(entry);
}

void CallbackRegistry::SetAudio(ZEGO::LIVEROOM::AudioPrepCallback callback) {
    platform::MutexLock hold(mutex_);
    Entry& entry = entries_[static_cast<int>(Slot::Audio)];
    if (entry.audio == callback)
        return;
    entry.audio = callback;
    Replace(entry);
}

void CallbackRegistry::Clear() {
    platform::MutexLock hold(mutex_);
    for (Entry& entry : entries_) {
        if (entry.object == nullptr && entry.audio == nullptr)
            continue;
        entry.object = nullptr;
        entry.audio = nullptr;
        Replace(entry);
    }
}

void CallbackRegistry::Replace(Entry& entry) {
    ++entry.generation;
    entry.retired += entry.current;
    entry.current = 0;
    // A notification that calls back into the SDK must not wait, or it could wait for itself
    // (or for a thread that waits for it).
    if (InsideDelivery())
        return;
    while (entry.retired != 0)
        idle_.Wait();
}

CallbackRegistry::Ticket CallbackRegistry::Enter(Slot slot) {
    platform::MutexLock hold(mutex_);
    Entry& entry = entries_[static_cast<int>(slot)];
    Ticket ticket{slot, entry.generation, entry.object, entry.audio};
    if (ticket.object != nullptr || ticket.audio != nullptr) {
        ++entry.current;
        ++deliveryDepth;
    }
    return ticket;
}

void CallbackRegistry::Leave(const Ticket& ticket) {
    platform::MutexLock hold(mutex_);
    --deliveryDepth;
    Entry& entry = entries_[static_cast<int>(ticket.slot)];
    if (ticket.generation == entry.generation) {
        --entry.current;
    } else {
        --entry.retired;
        if (entry.retired == 0)
            idle_.SignalAll();
    }
}

}  // namespace sim
