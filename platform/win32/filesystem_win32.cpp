#include <windows.h>
// after <windows.h>
#include <shlwapi.h>

#include "platform/filesystem.h"

namespace platform {

bool IsDirectory(const std::string& path) {
    return ::PathIsDirectoryA(path.c_str()) != FALSE;
}

bool MakeDirectory(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

}  // namespace platform
