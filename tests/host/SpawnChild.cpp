// A child for the spawn tests: does one thing named by its first argument and reports on
// descriptor 4.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/Console.h"
#include "platform/Descriptors.h"
#include "platform/Process.h"

namespace {

void Report(const std::string& text) {
    platform::WriteAll(4, text.data(), text.size());
}

}  // namespace

int main(int argc, char** argv) {
    platform::IgnoreBrokenPipe();
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "echo") {  // one line from 3 back on 4, then exit code 3
        std::string line;
        char c;
        while (platform::ReadSome(3, &c, 1) == 1 && c != '\n')
            line += c;
        Report("got " + line + "\n");
        return 3;
    }
    if (mode == "open") {  // which of the descriptors 0 to 15 are open, as 0/1 digits
        std::string digits;
        for (int fd = 0; fd < 16; ++fd)
            digits += platform::IsDescriptorOpen(fd) ? '1' : '0';
        Report(digits);
        return 0;
    }
    if (mode == "env") {  // the value of variable argv[2]
        const char* value = argc > 2 ? platform::GetEnvironment(argv[2]) : nullptr;
        Report(value != nullptr ? value : "(unset)");
        return 0;
    }
    if (mode == "cwd") {
        Report(std::filesystem::current_path().filename().string());
        return 0;
    }
    if (mode == "args") {  // every argument after the mode, one per line
        for (int i = 2; i < argc; ++i)
            Report(std::string(argv[i]) + "\n");
        return 0;
    }
    if (mode == "fault") {  // a fault ends the process quietly with its code
        volatile int* nowhere = nullptr;
        *nowhere = 1;
        return 0;
    }
    if (mode == "newline") {  // a line end on 4, as the runtime hands it over
        Report("a\nb");
        return 0;
    }
    if (mode == "binary-newline") {  // the same after the bridge's start-up treatment of 4
        platform::ReserveDescriptor(4);
        Report("a\nb");
        return 0;
    }
    if (mode == "console") {  // whether a console is attached, and a coloured line on it
        const bool attached = platform::ConsoleAttached();
        const bool written =
            platform::WriteColored(2, "coloured line\r\n") == platform::ConsoleWrite::kDone;
        Report(std::string(attached ? "1" : "0") + (written ? "1" : "0"));
        return 0;
    }
    if (mode == "flood") {  // numbered 1 KiB lines to standard output; which ones were taken
        std::string taken;
        for (int i = 0; i < 2000; ++i) {
            std::string line = "line " + std::to_string(i) + " ";
            line.resize(1023, '.');
            line += '\n';
            const platform::ConsoleWrite result =
                platform::WriteStandardOutput(line.data(), line.size());
            taken += result == platform::ConsoleWrite::kDone         ? 'd'
                     : result == platform::ConsoleWrite::kWouldBlock ? 'w'
                                                                     : 'u';
        }
        platform::SleepMilliseconds(300);  // time for the output to fill the pipe
        Report(taken);
        return 0;
    }
    if (mode == "idle")
        platform::IdleForever();
    return 100;
}
