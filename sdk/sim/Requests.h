// Carries out one control request line (result, emit, frame, source, audio, hang, sync) and writes
// its answer. A malformed request is answered with {"op":"error","message":...}.
#pragma once

#include <string>

namespace sim {

class Simulator;

void ExecuteRequest(Simulator& simulator, const std::string& line);

}  // namespace sim
