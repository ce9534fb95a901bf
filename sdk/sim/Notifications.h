// The `emit` request: builds a notification's arguments from JSON and delivers it to the
// registered callback object.
#pragma once

#include <string>

#include "sdk/sim/CallbackRegistry.h"
#include "sdk/sim/RequestArgs.h"

namespace sim {

// Delivers notification `name` (OnLoginRoom, OnPlayStateUpdate, ...) with `args` on the
// calling thread. Returns false when no matching object is registered. Raises RequestError for
// an unknown name or arguments of the wrong type.
bool EmitNotification(CallbackRegistry& registry, const std::string& name, const Json& args);

}  // namespace sim
