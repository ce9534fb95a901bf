#include <windows.h>

#include <stdio.h>
#include <cstdlib>
#include <cwchar>

#include "platform/FileSystem.h"
#include "platform/win32/TextWin32.h"

namespace platform {

namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochDifferenceSeconds = 11644473600LL;
constexpr std::int64_t kFileTimeUnitsPerSecond = 10000000LL;

std::int64_t UnixSeconds(const FILETIME& time) {
    const std::int64_t units =
        (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return units / kFileTimeUnitsPerSecond - kEpochDifferenceSeconds;
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
    while (path.size() > 1 && (path.back() == L'/' || path.back() == L'\\') &&
           path[path.size() - 2] != L':')
        path.pop_back();
    return path;
}

}  // namespace

bool IsDirectory(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(WithoutTrailingSeparator(Widen(path)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsRegularFile(const std::string& path) {
    // Not a directory, and none of the things a file name can also reach: devices such as
    // "NUL" or "CON", named pipes, or anything else that is not a file on a disk.
    const std::wstring wide = Widen(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        (attributes & FILE_ATTRIBUTE_DEVICE) != 0)
        return false;
    const HANDLE file = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool disk = ::GetFileType(file) == FILE_TYPE_DISK;
    ::CloseHandle(file);
    return disk;
}

bool MakeDirectory(const std::string& path) {
    return ::CreateDirectoryW(WithoutTrailingSeparator(Widen(path)).c_str(), nullptr) != 0;
}

bool RemoveEmptyDirectory(const std::string& path) {
    return ::RemoveDirectoryW(WithoutTrailingSeparator(Widen(path)).c_str()) != 0;
}

bool MakeFifo(const std::string& path) {
    (void)path;
    return false;  // Windows has no named pipes in the file system
}

std::FILE* OpenFileForAppend(const std::string& path) {
    // "N": the descriptor is not inherited by child processes.
    return ::_wfopen(Widen(path).c_str(), L"abN");
}

std::FILE* OpenFileForRead(const std::string& path) {
    return ::_wfopen(Widen(path).c_str(), L"rbN");
}

bool RemoveFile(const std::string& path) {
    return ::DeleteFileW(Widen(path).c_str()) != 0;
}

std::vector<DirectoryEntry> ListDirectory(const std::string& path) {
    std::vector<DirectoryEntry> entries;
    std::wstring pattern = Widen(path);
    if (!pattern.empty() && pattern.back() != L'/' && pattern.back() != L'\\')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        DirectoryEntry entry;
        entry.name = Narrow(name);
        entry.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.isRegularFile =
            !entry.isDirectory && (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
        entry.modified = UnixSeconds(found.ftLastWriteTime);
        entries.push_back(std::move(entry));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return entries;
}

bool IsWritableDirectory(const std::string& path) {
    if (!IsDirectory(path))
        return false;
    // The rights of a folder are best learnt by trying: a probe file that is gone on close.
    std::wstring probe = Widen(path);
    if (!probe.empty() && probe.back() != L'/' && probe.back() != L'\\')
        probe += L'\\';
    probe += L".quorlane-write-probe-" + std::to_wstring(::GetCurrentProcessId());
    const HANDLE file =
        ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

std::string WorkingDirectory() {
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    if (size == 0)
        return std::string();
    std::wstring path(size, L'\0');
    const DWORD length = ::GetCurrentDirectoryW(size, &path[0]);
    if (length == 0 || length >= size)
        return std::string();
    path.resize(length);
    std::string text = Narrow(path);
    if (!text.empty() && text.back() != '\\' && text.back() != '/')
        text += '\\';
    return text;
}

}  // namespace platform
