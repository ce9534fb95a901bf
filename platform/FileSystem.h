// Directories and files by path (bytes, UTF-8 on POSIX).
#pragma once

#include <string>

namespace platform {

bool IsDirectory(const std::string& path);

// True when `path` names a regular file (following symbolic links).
bool IsRegularFile(const std::string& path);

// Creates one directory; true on success.
bool MakeDirectory(const std::string& path);

// Creates a FIFO (a named pipe), for tests of readers that must not wait on one; false where
// the system has none.
bool MakeFifo(const std::string& path);

}  // namespace platform
