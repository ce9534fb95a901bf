// The folder of the SDK's own logs: named by the host, else the executable's folder when it can
// be written, else "sdk" inside the log folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/Process.h"
#include "src/SdkLogFolder.h"

namespace quorlane {
namespace {

namespace fs = std::filesystem;

TEST(SdkLogFolder, NamedThenTheExecutablesFolderThenInsideTheLogFolder) {
    const fs::path temp = fs::temp_directory_path() /
                          ("quorlane-sdk-folder-" + std::to_string(platform::ProcessId()));
    fs::remove_all(temp);
    SdkLogFolderInputs inputs;
    inputs.named = (temp / "named").generic_string();
    inputs.executableFolder = "/opt/app/";
    inputs.executableFolderWritable = true;
    inputs.logFolder = (temp / "log").generic_string() + "/";

    SdkLogFolder folder = ChooseSdkLogFolder(inputs);
    EXPECT_EQ(folder.path, inputs.named + "/");
    EXPECT_TRUE(fs::is_directory(temp / "named"));
    EXPECT_NE(std::string(folder.reason).find("QUORLANE_SDK_LOG_DIR"), std::string::npos);

    inputs.named.clear();
    folder = ChooseSdkLogFolder(inputs);
    EXPECT_EQ(folder.path, "/opt/app/");
    EXPECT_FALSE(fs::exists(temp / "log"));

    inputs.executableFolderWritable = false;
    folder = ChooseSdkLogFolder(inputs);
    EXPECT_EQ(folder.path, inputs.logFolder + "sdk/");
    EXPECT_TRUE(fs::is_directory(temp / "log/sdk"));
    EXPECT_NE(std::string(folder.reason).find("cannot be written"), std::string::npos);
#ifndef _WIN32
    EXPECT_EQ(fs::status(temp / "log/sdk").permissions(), fs::perms::owner_all);
#endif
    fs::remove_all(temp);
}

}  // namespace
}  // namespace quorlane
