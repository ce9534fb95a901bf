// The vendor's zegoliveroom.dll, loaded on the first call that needs it: the file named by
// QUORLANE_SDK_DLL, or zegoliveroom.dll beside the executable. Every function of LiveRoom.h is
// looked up once, by its Microsoft decoration (see ExportIndex). A library that does not load,
// and each function it lacks, is logged once as an error; the calls concerned then fail as a
// failed SDK call does, and the process goes on.
//
//   auto* f = dll::BoundFunction<bool(int)>(dll::Function::kSetBusinessType);
//   bool ok = f != nullptr && f(0);
#pragma once

#include <array>
#include <memory>
#include <string>

#include "platform/DynamicLibrary.h"
#include "platform/Mutex.h"
#include "sdk/dll/FunctionTable.h"

namespace dll {

class VendorLibrary {
  public:
    static VendorLibrary& Instance();

    // The address of `function` in the DLL; null when the DLL or the function is missing.
    platform::ExportedFunction Address(Function function);

  private:
    VendorLibrary() = default;
    void Load() REQUIRES(lock_);

    platform::Mutex lock_;
    bool attempted_ GUARDED_BY(lock_) = false;
    std::unique_ptr<platform::DynamicLibrary> library_ GUARDED_BY(lock_);
    std::array<platform::ExportedFunction, kFunctionCount> addresses_ GUARDED_BY(lock_){};
};

// The DLL's function as a pointer of type `Signature*` (the x64 calling convention of the
// function's declaration); null when it is missing.
template <typename Signature>
Signature* BoundFunction(Function function) {
    return reinterpret_cast<Signature*>(VendorLibrary::Instance().Address(function));
}

}  // namespace dll
