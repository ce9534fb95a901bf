// Where the SDK writes its own logs: the folder named by QUORLANE_SDK_LOG_DIR; without it the
// executable's folder when it can be written; otherwise "sdk" inside logger 0's log folder.
//
//   SdkLogFolder folder = ChooseSdkLogFolder(SdkLogFolderInputs::Current());
//   LIVEROOM::SetLogDir(folder.path.c_str());
#pragma once

#include <string>

namespace quorlane {

struct SdkLogFolderInputs {
    std::string named;             // QUORLANE_SDK_LOG_DIR, empty when not set
    std::string executableFolder;  // with its trailing separator
    bool executableFolderWritable = false;
    std::string logFolder;  // logger 0's folder, absolute, with its trailing separator

    // The values of this process.
    static SdkLogFolderInputs Current();
};

struct SdkLogFolder {
    std::string path;  // ends in a separator
    // Why this folder: for the log.
    const char* reason = "";
};

SdkLogFolder ChooseSdkLogFolder(const SdkLogFolderInputs& inputs);

}  // namespace quorlane
