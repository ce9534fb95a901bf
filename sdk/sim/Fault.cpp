#include "sdk/sim/Fault.h"

#include <cstdlib>

namespace sim {

namespace {

// Volatile, so that the compiler can neither see the null nor drop the write.
int* volatile nowhere = nullptr;

}  // namespace

void WriteThroughNull() {
    *static_cast<volatile int*>(nowhere) = 0x5a;
    std::abort();  // not reached
}

}  // namespace sim
