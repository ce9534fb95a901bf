#include "sdk/dll/VendorLibrary.h"

#include "logging/Qlog.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "sdk/dll/BindingReport.h"
#include "sdk/dll/ExportIndex.h"

namespace dll {

namespace {

const char kDllName[] = "zegoliveroom.dll";
const char kDllVariable[] = "QUORLANE_SDK_DLL";

// UTF-8 whatever the characters of the path: the loader widens it again.
std::string LibraryPath() {
    const std::string named = platform::EnvironmentText(kDllVariable);
    if (!named.empty())
        return named;
    return platform::ExecutableDirectory() + kDllName;
}

}  // namespace

VendorLibrary& VendorLibrary::Instance() {
    static VendorLibrary library;
    return library;
}

platform::ExportedFunction VendorLibrary::Address(Function function) {
    platform::MutexLock hold(lock_);
    if (!attempted_) {
        attempted_ = true;
        Load();
    }
    return addresses_[static_cast<std::size_t>(function)];
}

void VendorLibrary::Load() {
    const std::string path = LibraryPath();
    std::string error;
    library_ = platform::DynamicLibrary::Load(path, &error);
    if (!library_) {
        ReportError("the SDK " + path + " did not load: " + error + "; every SDK call fails");
        return;
    }
    const ExportIndex index(library_->ExportNames());
    int missing = 0;
    for (std::size_t i = 0; i < kFunctionCount; ++i) {
        const Resolution found = index.Resolve(Decoration(static_cast<Function>(i)));
        if (found.kind == Resolution::Kind::kCompatible) {
            QLOG(qlog::LOG_WARN, "SDK %s: %s\r\n", path.c_str(), found.note.c_str());
        } else if (found.kind != Resolution::Kind::kExact) {
            ReportError("SDK " + path + ": " + found.note + "; that call fails");
        }
        if (!found.exportName.empty())
            addresses_[i] = library_->Find(found.exportName);
        if (addresses_[i] == nullptr)
            ++missing;
    }
    QLOG(qlog::LOG_INFO, "SDK %s loaded, %d of %d functions bound\r\n", path.c_str(),
         static_cast<int>(kFunctionCount) - missing, static_cast<int>(kFunctionCount));
}

}  // namespace dll
