// The logging service's console: coloured lines on an attached console and plain lines on
// standard output, written without ever blocking the thread that writes them.
//
//   ConsoleOutput console(environment);
//   console.Plain(text, length);   // buffered; written by Flush or when the buffer is full
//   console.Colored(color, text);  // written at once, after the buffered plain lines
//   console.Flush();               // when the writer thread goes idle
//
// A line that the console cannot take at once is dropped from the console only and counted;
// the first write that succeeds afterwards is preceded by one line saying how many were
// dropped. Not synchronised: the owner serialises the calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "logging/LogEnvironment.h"

namespace qlog {

class ConsoleOutput {
  public:
    // Plain lines are gathered up to this many bytes before they are written.
    static constexpr std::size_t kPlainBufferBytes = 64 * 1024;

    explicit ConsoleOutput(LogEnvironment* environment) : environment_(environment) {}
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;

    void Plain(const char* text, std::size_t length);
    void Colored(int color, const char* text);
    // Writes the buffered plain lines.
    void Flush();

    // Lines dropped so far, reported or not.
    std::uint64_t DroppedLines() const { return droppedTotal_; }

  private:
    // Writes the notice of dropped lines if there is one; false when the console still does
    // not take lines.
    bool ReportDrops(bool colored);
    void Drop(std::uint64_t lines);

    LogEnvironment* environment_;
    std::string plain_;
    std::uint64_t plainLines_ = 0;
    std::uint64_t unreported_ = 0;
    std::uint64_t droppedTotal_ = 0;
};

}  // namespace qlog
