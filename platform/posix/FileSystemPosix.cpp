#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/FileSystem.h"

namespace platform {

namespace {

constexpr mode_t kUserOnlyDirectory = 0700;
constexpr mode_t kUserOnlyFile = 0600;

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool MakeDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), kUserOnlyDirectory) == 0;
}

bool RemoveEmptyDirectory(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

bool MakeFifo(const std::string& path) {
    return ::mkfifo(path.c_str(), kUserOnlyFile) == 0;
}

std::FILE* OpenFileForAppend(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kUserOnlyFile);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return nullptr;
    std::FILE* file = ::fdopen(fd, "ab");
    if (file == nullptr)
        ::close(fd);
    return file;
}

std::FILE* OpenFileForRead(const std::string& path) {
    return std::fopen(path.c_str(), "rb");
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

std::vector<DirectoryEntry> ListDirectory(const std::string& path) {
    std::vector<DirectoryEntry> entries;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
    if (!dir)
        return entries;
    std::string prefix = path;
    if (!prefix.empty() && prefix.back() != '/')
        prefix += '/';
    while (const dirent* item = ::readdir(dir.get())) {
        const std::string name = item->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info {};
        if (::stat((prefix + name).c_str(), &info) != 0)
            continue;
        DirectoryEntry entry;
        entry.name = name;
        entry.isDirectory = S_ISDIR(info.st_mode);
        entry.isRegularFile = S_ISREG(info.st_mode);
        entry.modified = static_cast<std::int64_t>(info.st_mtime);
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool IsWritableDirectory(const std::string& path) {
    return IsDirectory(path) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string WorkingDirectory() {
    std::unique_ptr<char, decltype(&std::free)> path(::getcwd(nullptr, 0), &std::free);
    if (!path)
        return std::string();
    std::string text = path.get();
    if (text.empty() || text.back() != '/')
        text += '/';
    return text;
}

}  // namespace platform
