// Writes I420 frames of one size into a YUV4MPEG2 file (4:2:0, progressive, square pixels),
// which video players and ffmpeg open directly.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "tools/host/Frame.h"

namespace host {

class Y4mWriter {
  public:
    Y4mWriter() = default;
    Y4mWriter(const Y4mWriter&) = delete;
    Y4mWriter& operator=(const Y4mWriter&) = delete;

    // Creates the file and writes the stream header. False when it cannot be created.
    bool Open(const std::string& path, int width, int height, int fps);
    bool IsOpen() const { return file_ != nullptr; }
    // Appends one frame; false (nothing written) when its size differs from the header's or
    // the write fails.
    bool Write(const Frame& frame);
    // Flushes and closes; false when a write failed at any point.
    bool Close();

    const std::string& Path() const { return path_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    std::uint64_t Frames() const { return frames_; }

  private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::string path_;
    int width_ = 0;
    int height_ = 0;
    std::uint64_t frames_ = 0;
    bool failed_ = false;
};

}  // namespace host
