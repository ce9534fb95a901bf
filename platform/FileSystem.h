// Directories and files by UTF-8 path (on Windows through the wide-character calls).
// What the bridge creates is its user's alone: on POSIX, folders 0700 and files 0600; on
// Windows they inherit the rights of the per-user folder they are made in.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

bool IsDirectory(const std::string& path);

// True when `path` names a regular file (following symbolic links).
bool IsRegularFile(const std::string& path);

// Creates one directory, readable by its user only; true on success.
bool MakeDirectory(const std::string& path);

// Removes an empty directory; false when it is not empty or cannot be removed.
bool RemoveEmptyDirectory(const std::string& path);

// Creates a FIFO (a named pipe), for tests of readers that must not wait on one; false where
// the system has none.
bool MakeFifo(const std::string& path);

// Opens a file for appending without text translation, creating it readable and writable by
// its user only; null on failure. The descriptor is not inherited by child processes.
std::FILE* OpenFileForAppend(const std::string& path);

// Opens an existing file for reading without text translation; null on failure.
std::FILE* OpenFileForRead(const std::string& path);

// Deletes a file; false when it cannot be deleted.
bool RemoveFile(const std::string& path);

struct DirectoryEntry {
    std::string name;  // UTF-8, without the directory
    bool isDirectory = false;
    bool isRegularFile = false;
    std::int64_t modified = 0;  // seconds since 1970
};

// The entries of a directory except "." and ".."; empty when it cannot be read.
std::vector<DirectoryEntry> ListDirectory(const std::string& path);

// True when this process can create files in the directory `path`.
bool IsWritableDirectory(const std::string& path);

// The current working directory with a trailing separator; empty when it cannot be read.
std::string WorkingDirectory();

}  // namespace platform
