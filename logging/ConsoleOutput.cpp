#include "logging/ConsoleOutput.h"

#include <cstdio>

#include "logging/LogRecord.h"

namespace qlog {

void ConsoleOutput::Plain(const char* text, std::size_t length) {
    if (plain_.size() + length > kPlainBufferBytes)
        Flush();
    if (plain_.capacity() < kPlainBufferBytes)
        plain_.reserve(kPlainBufferBytes);
    plain_.append(text, length);
    ++plainLines_;
}

void ConsoleOutput::Colored(int color, const char* text) {
    Flush();
    if (!ReportDrops(true)) {
        Drop(1);
        return;
    }
    if (environment_->WriteColored(color, text) == platform::ConsoleWrite::kWouldBlock)
        Drop(1);
}

void ConsoleOutput::Flush() {
    if (plain_.empty())
        return;
    const std::uint64_t lines = plainLines_;
    bool taken = ReportDrops(false);
    if (taken)
        taken = environment_->WritePlain(plain_.data(), plain_.size()) !=
                platform::ConsoleWrite::kWouldBlock;
    if (!taken)
        Drop(lines);
    plain_.clear();
    plainLines_ = 0;
}

bool ConsoleOutput::ReportDrops(bool colored) {
    if (unreported_ == 0)
        return true;
    char notice[128];
    const int n = std::snprintf(notice, sizeof notice,
                                "qlog: %llu console lines dropped, the console did not take "
                                "them\r\n",
                                static_cast<unsigned long long>(unreported_));
    const platform::ConsoleWrite result =
        colored ? environment_->WriteColored(DIAGNOSTIC_COLOR, notice)
                : environment_->WritePlain(notice, static_cast<std::size_t>(n));
    if (result == platform::ConsoleWrite::kWouldBlock)
        return false;
    unreported_ = 0;
    return true;
}

void ConsoleOutput::Drop(std::uint64_t lines) {
    unreported_ += lines;
    droppedTotal_ += lines;
}

}  // namespace qlog
