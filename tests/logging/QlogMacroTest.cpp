// The call-site macro on the process-wide manager.
#include <gtest/gtest.h>

#include <string>

#include "logging/Qlog.h"
#include "tests/logging/LogTestSupport.h"

using namespace qlogtest;

namespace {

int evaluations = 0;
int Counted() {
    return ++evaluations;
}

}  // namespace

TEST(QlogMacro, FormatsOnlyAcceptedCallsAndPrintsNullText) {
    qlog::ILogManager* manager = qlog::GetLogManager();
    EXPECT_EQ(manager, qlog::GetLogManager());
    TempDir dir;
    ASSERT_TRUE(manager->SetLoggerPath(0, dir.path().c_str()));
    ASSERT_TRUE(manager->SetLoggerDisplay(0, false));

    QLOG(qlog::LOG_ERROR, "not running %d\r\n", Counted());
    EXPECT_EQ(evaluations, 0);

    ASSERT_TRUE(manager->Start());
    const char* nothing = nullptr;
    char* alsoNothing = nullptr;
    QLOG(qlog::LOG_ERROR, "no args 100%%\r\n");
    const int noArgsLine = __LINE__ - 1;
    QLOG(qlog::LOG_ERROR, "text=[%s] other=[%s] n=%d\r\n", nothing, alsoNothing, Counted());
    QLOG(qlog::LOG_TRACE, "below the level %d\r\n", Counted());
    QLOG(qlog::LOG_ALARM, "%s", std::string(3000, 'x').c_str());
    EXPECT_EQ(evaluations, 1);
    ASSERT_TRUE(manager->Stop());

    auto files = FilesIn(dir.path());
    ASSERT_EQ(files.size(), 1u);
    const std::string content = ReadFile(dir / files[0]);
    EXPECT_NE(content.find(" LOG_ERROR no args 100%\r\n (QlogMacroTest.cpp):" +
                           std::to_string(noArgsLine) + " \r\n"),
              std::string::npos);
    EXPECT_NE(content.find(" LOG_ERROR text=[(null)] other=[(null)] n=1\r\n (QlogMacroTest.cpp):"),
              std::string::npos);
    EXPECT_EQ(content.find("below the level"), std::string::npos);
    // The message buffer holds 2047 characters; the line is cut after them.
    auto lines = SplitLines(content);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().size(), static_cast<std::size_t>(qlog::LOG_LINE_MAX - 3));
}
