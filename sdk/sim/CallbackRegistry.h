// The objects that the host registered with the simulated SDK, and delivery to them.
// Deliver() calls a registered object outside any lock; Set() and Clear() return only once no
// other thread is still inside a delivery to an object they replaced, so a host may release
// an object as soon as it has unregistered it.
#pragma once

#include <cstdint>

#include "LiveRoom.h"
#include "platform/CondVar.h"
#include "platform/Mutex.h"
#include "platform/ThreadAnnotations.h"

namespace sim {

enum class Slot { Publisher, Player, Room, IM, DeviceState, Render, Audio, Count };

class CallbackRegistry {
  public:
    CallbackRegistry() = default;
    CallbackRegistry(const CallbackRegistry&) = delete;
    CallbackRegistry& operator=(const CallbackRegistry&) = delete;

    void SetObject(Slot slot, void* object) EXCLUDES(mutex_);
    void SetAudio(ZEGO::LIVEROOM::AudioPrepCallback callback) EXCLUDES(mutex_);
    // Unregisters everything.
    void Clear() EXCLUDES(mutex_);

    // Calls `call(object)` with the object registered in `slot`, cast to `Interface*`.
    // Returns false (calling nothing) when the slot is empty.
    template <class Interface, class Call>
    bool Deliver(Slot slot, Call&& call) {
        Ticket ticket = Enter(slot);
        if (ticket.object == nullptr)
            return false;
        Exit exit{this, ticket};
        call(static_cast<Interface*>(ticket.object));
        return true;
    }

    // Calls `call(callback)` with the registered audio callback; false when there is none.
    template <class Call>
    bool DeliverAudio(Call&& call) {
        Ticket ticket = Enter(Slot::Audio);
        if (ticket.audio == nullptr)
            return false;
        Exit exit{this, ticket};
        call(ticket.audio);
        return true;
    }

    // True on a thread that is inside a delivery (a notification calling back into the SDK).
    static bool InsideDelivery();

  private:
    struct Entry {
        void* object = nullptr;
        ZEGO::LIVEROOM::AudioPrepCallback audio = nullptr;
        std::uint64_t generation = 0;
        int current = 0;  // deliveries running to the registered object
        int retired = 0;  // deliveries running to objects replaced since
    };
    struct Ticket {
        Slot slot;
        std::uint64_t generation;
        void* object;
        ZEGO::LIVEROOM::AudioPrepCallback audio;
    };
    struct Exit {
        CallbackRegistry* registry;
        Ticket ticket;
        ~Exit() { registry->Leave(ticket); }
    };

    Ticket Enter(Slot slot) EXCLUDES(mutex_);
    void Leave(const Ticket& ticket) EXCLUDES(mutex_);
    // After the entry's target was replaced: retires the deliveries to the old target and waits
    // for them to end (unless called from inside a delivery).
    void Replace(Entry& entry) REQUIRES(mutex_);

    platform::Mutex mutex_;
    platform::CondVar idle_{&mutex_};
    Entry entries_[static_cast<int>(Slot::Count)] GUARDED_BY(mutex_);
};

}  // namespace sim
