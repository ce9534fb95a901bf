#include "sdk/sim/SimControl.h"

#include "sdk/sim/Simulator.h"

namespace sim {

bool StartControlChannel(int in, int out) {
    return Simulator::Get().StartControl(in, out);
}

void StopControlChannel() {
    Simulator::Get().StopControl();
}

}  // namespace sim
