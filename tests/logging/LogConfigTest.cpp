// The configuration text and file: sections, keys, values, warnings, reloads, bad input.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/logging/LogTestSupport.h"

using namespace qlog;
using namespace qlogtest;

namespace {

// Applies the queued changes by running the writer once, then describes the logger.
LoggerSettings Applied(LogManager& m, int id) {
    EXPECT_TRUE(m.Start());
    EXPECT_TRUE(m.Stop());
    return m.DescribeLogger(id);
}

// What `action` printed on the manager's console (configuration messages are plain lines).
std::string CaptureConfig(FakeEnvironment& console, const std::function<void()>& action) {
    const std::size_t before = console.Plain().size();
    action();
    return console.Plain().substr(before);
}

}  // namespace

TEST(LogConfig, ExampleSectionsAndDefaults) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    const std::string logs = t.dir / "logs/";
    EXPECT_TRUE(m.ConfigFromText(
        ("[Main]\nlevel=info\npath=" + logs + "\ndisplay=false\nlimitsize=50\n[Net]\nlevel=error\n")
            .c_str()));
    EXPECT_EQ(m.LookupLogger("Net"), 1);
    EXPECT_TRUE(m.IsLoggerEnabled(1));
    LoggerSettings main = Applied(m, 0);
    EXPECT_EQ(main.name, "Main");
    EXPECT_EQ(main.path, logs);
    EXPECT_EQ(main.level, LOG_INFO);
    EXPECT_FALSE(main.display);
    EXPECT_TRUE(main.outfile);
    EXPECT_EQ(main.limitsize, 50u);
    LoggerSettings net = m.DescribeLogger(1);
    EXPECT_EQ(net.key, "Net");
    EXPECT_EQ(net.name, "Net");
    EXPECT_EQ(net.path, t.LogDir());
    EXPECT_EQ(net.level, LOG_ERROR);
    EXPECT_TRUE(net.display && net.outfile && net.fileLine);
    EXPECT_FALSE(net.monthdir);
    EXPECT_EQ(net.limitsize, 100u);
    EXPECT_EQ(FilesIn(logs).size(), 1u);
    EXPECT_EQ(FilesIn(logs)[0].rfind("Main_", 0), 0u);
}

TEST(LogConfig, SectionHeadersCaseBomAndTrimming) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    std::string out = CaptureConfig(t.environment, [&] {
        EXPECT_TRUE(
            m.ConfigFromText("\xEF\xBB\xBF[Main]\nname=First\n[main]\nmonthdir\n"
                             "[MAIN]=ignored\n  [ Main ]  \nfileline=0\n[Main2]\n"
                             "[[Net]]\n\t Key With Blanks \t = \t Value \t\n# [Hidden]\n"
                             "  #comment=1\n=novalue\n"));
    });
    EXPECT_EQ(out,
              "qlog configure warning: duplicate logger key:[Main] at line:3\n"
              "qlog configure warning: duplicate logger key:[Main] at line:5\n"
              "qlog configure warning: duplicate logger key:[Main] at line:6\n");
    EXPECT_EQ(m.LookupLogger("Main2"), 1);
    EXPECT_EQ(m.LookupLogger("Net"), 2);
    EXPECT_EQ(m.LookupLogger("Hidden"), -1);
    EXPECT_EQ(m.GetActiveLoggerCount(), 3u);
    LoggerSettings main = Applied(m, 0);
    EXPECT_EQ(main.name, "First");
    EXPECT_TRUE(main.monthdir);
    EXPECT_FALSE(main.fileLine);
}

TEST(LogConfig, KeysAndValues) {
    struct Case {
        const char* text;
        int level;
        bool display;
        std::uint32_t limit;
    } cases[] = {
        {"level=INFO", LOG_INFO, true, 100},
        {"LEVEL=info", LOG_INFO, true, 100},
        {"Level = Info", LOG_INFO, true, 100},
        {"level=all", LOG_TRACE, true, 100},
        {"level=trace", LOG_TRACE, true, 100},
        {"level=Warning", LOG_WARN, true, 100},
        {"level=warn", LOG_WARN, true, 100},
        {"level=alarm", LOG_ALARM, true, 100},
        {"level=FATAL", LOG_FATAL, true, 100},
        {"level=error\nlevel=nonsense", LOG_ERROR, true, 100},  // unknown keeps the value
        {"display", LOG_DEBUG, true, 100},
        {"display=no", LOG_DEBUG, true, 100},
        {"display=0", LOG_DEBUG, false, 100},
        {"display=FALSE\ndisplay=true", LOG_DEBUG, true, 100},  // the last one wins
        {"limitsize=abc", LOG_DEBUG, true, 0xFFFFFFFFu},
        {"limitsize= 12mb", LOG_DEBUG, true, 12},
        {"limitsize=-1", LOG_DEBUG, true, 0xFFFFFFFFu},
        {"limitsize=99999999999999999999", LOG_DEBUG, true, 2147483647u},
        {"unknown=1", LOG_DEBUG, true, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ManagerUnderTest t;
        ASSERT_TRUE(t.manager->ConfigFromText((std::string("[Main]\n") + c.text).c_str()));
        LoggerSettings main = Applied(*t.manager, 0);
        EXPECT_EQ(main.level, c.level);
        EXPECT_EQ(main.display, c.display);
        EXPECT_EQ(main.limitsize, c.limit);
    }
    ManagerUnderTest t;
    ASSERT_TRUE(t.manager->ConfigFromText(
        "[A]\nName=Mixed Case\nPATH=Some/Dir\noutfile=0\nmonthdir=1\nfileline=false\n"
        "enable=0\n"));
    EXPECT_TRUE(t.manager->IsLoggerEnabled(1));  // disabling waits for the writer
    LoggerSettings a = Applied(*t.manager, 1);
    EXPECT_EQ(a.name, "Mixed Case");
    EXPECT_EQ(a.path, "Some/Dir/");
    EXPECT_FALSE(a.outfile);
    EXPECT_TRUE(a.monthdir);
    EXPECT_FALSE(a.fileLine);
}

TEST(LogConfig, WarningsAndPieceNumbersWithCrLf) {
    ManagerUnderTest t;
    std::string out = CaptureConfig(t.environment, [&] {
        t.manager->ConfigFromText("level=info\r\n#c\r\n early = x \r\n[Net]\r\n[Net]\r\n");
    });
    EXPECT_EQ(out,
              "qlog configure warning: not found current logger name:[] at line:1, key=level, "
              "value=info\n"
              "qlog configure warning: not found current logger name:[] at line:5, key=early, "
              "value=x\n"
              "qlog configure warning: duplicate logger key:[Net] at line:9\n");
}

TEST(LogConfig, ConfigFileOnceLoadErrorsAndEmptyFile) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    const std::string missing = t.dir / "missing.cfg";
    std::string out =
        CaptureConfig(t.environment, [&] { EXPECT_FALSE(m.Config(missing.c_str())); });
    EXPECT_EQ(out, " !!! !!! !!! !!!\n !!! !!! qlog load config file error. filename=" + missing +
                       " !!! !!! \n !!! !!! !!! !!!\n");
    out = CaptureConfig(t.environment, [&] { EXPECT_FALSE(m.Config("other.cfg")); });
    EXPECT_EQ(out,
              " !!! !!! !!! !!!\n !!! !!! qlog configure error: too many calls to Config. "
              "the old config file=" +
                  missing + ", the new config file=other.cfg !!! !!! \n !!! !!! !!! !!!\n");
    EXPECT_FALSE(m.ReloadConfig());

    ManagerUnderTest u;
    const std::string empty = u.dir / "empty.cfg";
    WriteFile(empty, "");
    EXPECT_TRUE(u.manager->Config(empty.c_str()));
    EXPECT_TRUE(u.manager->ReloadConfig());
    EXPECT_EQ(u.manager->GetActiveLoggerCount(), 1u);

    ManagerUnderTest d;  // a directory opens but cannot be read
    out = CaptureConfig(d.environment,
                        [&] { EXPECT_FALSE(d.manager->Config(d.dir.path().c_str())); });
    EXPECT_NE(out.find("qlog load config file error. filename=" + d.dir.path()), std::string::npos);

    ManagerUnderTest z;  // the text ends at the first zero byte
    const std::string zero = z.dir / "zero.cfg";
    WriteFile(zero, std::string("[Main]\n[A]\0[B]\n", 14));
    EXPECT_TRUE(z.manager->Config(zero.c_str()));
    EXPECT_EQ(z.manager->LookupLogger("A"), 1);
    EXPECT_EQ(z.manager->LookupLogger("B"), -1);
}

TEST(LogConfig, ReloadChecksumAndUnknownSections) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    const std::string file = t.dir / "config.cfg";
    WriteFile(file, "[Main]\nlevel=info\ndisplay=0\n");
    ASSERT_TRUE(m.Config(file.c_str()));
    ASSERT_EQ(Applied(m, 0).level, LOG_INFO);

    // Same bytes in another order: same sum, nothing applied.
    WriteFile(file, "[Main]\ndisplay=0\nlevel=info\n");
    ASSERT_TRUE(m.SetLoggerLevel(0, LOG_TRACE));
    ASSERT_TRUE(m.SetLoggerEnabled(0, true));
    EXPECT_TRUE(m.ReloadConfig());
    EXPECT_EQ(Applied(m, 0).level, LOG_TRACE);

    // A new text applies to existing loggers only.
    WriteFile(file, "[Main]\nlevel=error\n[New]\nlevel=info\n");
    EXPECT_TRUE(m.ReloadConfig());
    EXPECT_EQ(m.LookupLogger("New"), -1);
    EXPECT_EQ(Applied(m, 0).level, LOG_ERROR);

    // The same text from memory has the same sum too.
    ManagerUnderTest u;
    ASSERT_TRUE(u.manager->ConfigFromText("[A]\n"));
    ASSERT_TRUE(u.manager->ConfigFromText("\n[A]"));
    EXPECT_EQ(u.manager->GetActiveLoggerCount(), 2u);
}

TEST(LogConfig, PeriodicReloadOnTheWriterThread) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    const std::string file = t.dir / "config.cfg";
    WriteFile(file, "[Main]\ndisplay=0\n");
    ASSERT_TRUE(m.Config(file.c_str()));
    m.SetReloadInterval(1);
    ASSERT_TRUE(m.Start());
    WriteFile(file, "[Main]\ndisplay=0\nlevel=error\n");
    std::int64_t now = 1625097598;
    ASSERT_TRUE(WaitFor([&] {
        t.environment.Set(now += 2, 0);  // the interval passes on every poll
        return !m.AcceptsLog(0, LOG_WARN);
    }));
    EXPECT_TRUE(m.AcceptsLog(0, LOG_ERROR));
    ASSERT_TRUE(m.Stop());
}

TEST(LogConfig, BadInputNeverCrashes) {
    std::mt19937 random(20211231);
    for (int round = 0; round < 50; ++round) {
        ManagerUnderTest t;
        std::string text(4096, '\0');
        for (char& c : text)
            c = static_cast<char>(1 + random() % 255);
        // Sprinkle the characters the parser reacts to.
        for (int i = 0; i < 200; ++i)
            text[random() % text.size()] = "[]=#\r\n \t"[random() % 8];
        testing::internal::CaptureStdout();
        EXPECT_TRUE(t.manager->ConfigFromText(text.c_str()));
        testing::internal::GetCapturedStdout();
        EXPECT_LE(t.manager->GetActiveLoggerCount(), static_cast<std::uint32_t>(LOGGER_MAX));
    }

    ManagerUnderTest big;
    const std::string file = big.dir / "big.cfg";
    std::string text;
    text.reserve(10u << 20);
    while (text.size() < (10u << 20))
        text += "[Main]\nlevel=warn\n#" + std::string(100, 'x') + "\r\n";
    WriteFile(file, text);
    std::string out =
        CaptureConfig(big.environment, [&] { EXPECT_TRUE(big.manager->Config(file.c_str())); });
    EXPECT_NE(out.find("duplicate logger key:[Main]"), std::string::npos);
    EXPECT_EQ(Applied(*big.manager, 0).level, LOG_WARN);
}
