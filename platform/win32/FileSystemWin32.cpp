#include <windows.h>
// after <windows.h>
#include <shlwapi.h>

#include "platform/FileSystem.h"

namespace platform {

bool IsDirectory(const std::string& path) {
    return ::PathIsDirectoryA(path.c_str()) != FALSE;
}

bool IsRegularFile(const std::string& path) {
    // Not a directory, and none of the things a file name can also reach: devices such as
    // "NUL" or "CON", named pipes, or anything else that is not a file on a disk.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        (attributes & FILE_ATTRIBUTE_DEVICE) != 0)
        return false;
    const HANDLE file = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool disk = ::GetFileType(file) == FILE_TYPE_DISK;
    ::CloseHandle(file);
    return disk;
}

bool MakeDirectory(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool MakeFifo(const std::string& path) {
    (void)path;
    return false;  // Windows has no named pipes in the file system
}

}  // namespace platform
