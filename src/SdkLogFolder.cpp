#include "SdkLogFolder.h"

#include "logging/LogManager.h"
#include "logging/Qlog.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace quorlane {
namespace {

const char kVariable[] = "QUORLANE_SDK_LOG_DIR";

bool EndsInSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

bool IsAbsolute(const std::string& path) {
    if (!path.empty() && (path[0] == '/' || path[0] == '\\'))
        return true;
    return path.size() >= 2 && path[1] == ':';  // a drive letter
}

}  // namespace

SdkLogFolderInputs SdkLogFolderInputs::Current() {
    SdkLogFolderInputs inputs;
    inputs.named = platform::EnvironmentText(kVariable);
    inputs.executableFolder = platform::ExecutableDirectory();
    inputs.executableFolderWritable =
        !inputs.executableFolder.empty() && platform::IsWritableDirectory(inputs.executableFolder);
    std::string logFolder = qlog::LoggerFolder(0);
    if (logFolder.compare(0, 2, "./") == 0 || logFolder.compare(0, 2, ".\\") == 0)
        logFolder.erase(0, 2);
    if (!IsAbsolute(logFolder))
        logFolder = platform::WorkingDirectory() + logFolder;
    if (!EndsInSeparator(logFolder))
        logFolder += '/';
    inputs.logFolder = logFolder;
    return inputs;
}

SdkLogFolder ChooseSdkLogFolder(const SdkLogFolderInputs& inputs) {
    SdkLogFolder folder;
    if (!inputs.named.empty()) {
        folder.path = inputs.named;
        if (!EndsInSeparator(folder.path))
            folder.path += '/';
        folder.reason = "named by QUORLANE_SDK_LOG_DIR";
    } else if (inputs.executableFolderWritable) {
        folder.path = inputs.executableFolder;
        folder.reason = "the executable's folder";
        return folder;
    } else {
        folder.path = inputs.logFolder + "sdk/";
        folder.reason = "the executable's folder cannot be written; inside the log folder";
    }
    qlog::LogManager::EnsureDirectory(folder.path);
    return folder;
}

}  // namespace quorlane
