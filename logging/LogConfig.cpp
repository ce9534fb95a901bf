// The configuration text: sections of key=value lines that set up loggers.
#include <climits>
#include <cstdio>
#include <cstring>

#include "logging/LogManager.h"
#include "platform/FileSystem.h"

namespace qlog {

struct LogManager::SectionSettings {
    std::string key;
    std::string name;
    std::string path;
    int level = LOG_DEBUG;
    bool display = true;
    bool outfile = true;
    bool monthdir = false;
    std::uint32_t limitsize = DEFAULT_LIMIT_MEGABYTES;
    bool enable = true;
    bool fileLine = true;
    std::uint32_t keepFiles = DEFAULT_KEEP_FILES;
    std::uint32_t keepDays = DEFAULT_KEEP_DAYS;
};

namespace {

constexpr std::size_t kReadBlock = 512;

std::string LowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool IsAtoiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads a number the way atoi does, but saturates at the int range instead of overflowing.
int ReadInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsAtoiSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value <= static_cast<long long>(INT_MAX) + 1)
            value = value * 10 + (text[i] - '0');
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// A count of files or days; 0 (no bound) for a negative number.
std::uint32_t ReadBound(const std::string& value) {
    const int number = ReadInteger(value);
    return number < 0 ? 0u : static_cast<std::uint32_t>(number);
}

bool ReadFlag(const std::string& value) {
    return !(value == "false" || value == "0");
}

// Sets `level` from a level name; other values leave it unchanged.
void ReadLevel(const std::string& value, int& level) {
    static const struct {
        const char* name;
        int level;
    } kNames[] = {{"trace", LOG_TRACE}, {"all", LOG_TRACE},   {"debug", LOG_DEBUG},
                  {"info", LOG_INFO},   {"warn", LOG_WARN},   {"warning", LOG_WARN},
                  {"error", LOG_ERROR}, {"alarm", LOG_ALARM}, {"fatal", LOG_FATAL}};
    for (const auto& entry : kNames) {
        if (value == entry.name) {
            level = entry.level;
            return;
        }
    }
}

// A configuration error as printed on standard output: framed by lines of exclamation marks.
std::string Framed(const std::string& middle) {
    return " !!! !!! !!! !!!\n" + middle + " !!! !!! \n" + " !!! !!! !!! !!!\n";
}

}  // namespace

LogManager::SectionSettings LogManager::NewSection(const std::string& key) const {
    SectionSettings section;
    section.key = key;
    section.name = key;
    section.path = defaultPath_;
    return section;
}

bool LogManager::Config(const char* path) {
    const std::string newPath = path != nullptr ? path : "";
    platform::MutexLock hold(configLock_);
    if (!configFile_.empty()) {
        PrintPlain(
            Framed(" !!! !!! qlog configure error: too many calls to Config. the old config file=" +
                   configFile_ + ", the new config file=" + newPath));
        return false;
    }
    configFile_ = newPath;
    std::string text;
    if (!ReadConfigFile(newPath, text))
        return false;
    return ApplyConfigText(text, false);
}

bool LogManager::ConfigFromText(const char* text) {
    platform::MutexLock hold(configLock_);
    return ApplyConfigText(text != nullptr ? text : "", false);
}

bool LogManager::ReloadConfig() {
    platform::MutexLock hold(configLock_);
    if (configFile_.empty())
        return false;
    std::string text;
    if (!ReadConfigFile(configFile_, text))
        return false;
    return ApplyConfigText(text, true);
}

bool LogManager::ReadConfigFile(const std::string& path, std::string& text) {
    // Only a regular file: opening a FIFO without a writer would wait forever, and a device
    // or a directory is no configuration.
    FilePtr file(platform::IsRegularFile(path) ? platform::OpenFileForRead(path) : nullptr);
    bool readable = file != nullptr;
    if (readable) {
        char block[kReadBlock];
        for (;;) {
            const std::size_t n = std::fread(block, 1, sizeof block, file.get());
            const void* zero = std::memchr(block, '\0', n);
            if (zero != nullptr) {
                text.append(block, static_cast<const char*>(zero) - block);
                break;
            }
            text.append(block, n);
            if (n < sizeof block)
                break;
        }
        // A directory opens but cannot be read; that is no configuration either.
        readable = !std::ferror(file.get());
    }
    if (!readable) {
        text.clear();
        PrintPlain(Framed(" !!! !!! qlog load config file error. filename=" + path));
        return false;
    }
    return true;
}

bool LogManager::ApplyConfigText(const std::string& text, bool update) {
    std::uint32_t sum = 0;
    for (char c : text)
        sum += static_cast<unsigned char>(c);
    if (sum == configChecksum_)
        return true;
    configChecksum_ = sum;

    SectionMap sections;
    ParseConfigText(text, sections);
    for (const auto& item : sections) {
        const SectionSettings& section = item.second;
        int id = LookupLogger(item.first.c_str());
        if (id == -1) {
            if (update)
                continue;
            id = CreateLogger(item.first.c_str());
            if (id == -1)
                continue;
        }
        SetLoggerEnabled(id, section.enable);
        SetLoggerName(id, section.name.c_str());
        SetLoggerPath(id, section.path.c_str());
        SetLoggerLevel(id, section.level);
        SetLoggerFileLine(id, section.fileLine);
        SetLoggerDisplay(id, section.display);
        SetLoggerOutFile(id, section.outfile);
        SetLoggerLimitSize(id, section.limitsize);
        SetLoggerMonthDir(id, section.monthdir);
        SetLoggerKeepFiles(id, section.keepFiles);
        SetLoggerKeepDays(id, section.keepDays);
    }
    return true;
}

void LogManager::ParseConfigText(const std::string& text, SectionMap& sections) {
    std::string currentKey;
    unsigned pieceNumber = 1;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = text.find_first_of("\r\n", begin);
        const std::size_t stop = end == std::string::npos ? text.size() : end;
        ParseConfigLine(text.substr(begin, stop - begin), pieceNumber, currentKey, sections);
        if (end == std::string::npos)
            break;
        begin = end + 1;
        ++pieceNumber;
    }
}

void LogManager::ParseConfigLine(const std::string& piece, unsigned pieceNumber,
                                 std::string& currentKey, SectionMap& sections) {
    const std::size_t equals = piece.find('=');
    std::string key = piece.substr(0, equals);
    std::string value = equals == std::string::npos ? std::string() : piece.substr(equals + 1);
    if (key.empty())
        return;
    TrimConfigText(key, nullptr);
    TrimConfigText(value, nullptr);
    if (key.empty() || key[0] == '#')
        return;

    if (key[0] == '[') {
        TrimConfigText(key, "[]");
        if (LowerCase(key) == "main")
            key = "Main";
        currentKey = key;
        if (sections.find(key) == sections.end()) {
            sections.emplace(key, NewSection(key));
        } else {
            PrintPlain("qlog configure warning: duplicate logger key:[" + key +
                       "] at line:" + std::to_string(pieceNumber) + "\n");
        }
        return;
    }

    auto found = sections.find(currentKey);
    if (found == sections.end()) {
        PrintPlain("qlog configure warning: not found current logger name:[" + currentKey +
                   "] at line:" + std::to_string(pieceNumber) + ", key=" + key +
                   ", value=" + value + "\n");
        return;
    }
    SectionSettings& section = found->second;
    key = LowerCase(key);
    if (key == "path") {
        section.path = value;
        return;
    }
    if (key == "name") {
        section.name = value;
        return;
    }
    value = LowerCase(value);
    if (key == "level")
        ReadLevel(value, section.level);
    else if (key == "display")
        section.display = ReadFlag(value);
    else if (key == "outfile")
        section.outfile = ReadFlag(value);
    else if (key == "monthdir")
        section.monthdir = ReadFlag(value);
    else if (key == "fileline")
        section.fileLine = ReadFlag(value);
    else if (key == "enable")
        section.enable = ReadFlag(value);
    else if (key == "limitsize")
        section.limitsize = static_cast<std::uint32_t>(ReadInteger(value));
    else if (key == "keepfiles")
        section.keepFiles = ReadBound(value);
    else if (key == "keepdays")
        section.keepDays = ReadBound(value);
}

}  // namespace qlog
