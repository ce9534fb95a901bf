#include "tools/host/Y4mWriter.h"

namespace host {

bool Y4mWriter::Open(const std::string& path, int width, int height, int fps) {
    Close();
    file_.reset(std::fopen(path.c_str(), "wb"));
    if (!file_)
        return false;
    path_ = path;
    width_ = width;
    height_ = height;
    frames_ = 0;
    failed_ = false;
    // The bridge converts with a 2x2 box filter: chroma sits between the luma samples (jpeg
    // siting), in limited range (BT.601).
    if (std::fprintf(file_.get(), "YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C420jpeg XCOLORRANGE=LIMITED\n",
                     width, height, fps > 0 ? fps : 15) < 0)
        failed_ = true;
    return !failed_;
}

bool Y4mWriter::Write(const Frame& frame) {
    if (!file_ || frame.geometry.width != width_ || frame.geometry.height != height_)
        return false;
    if (std::fputs("FRAME\n", file_.get()) < 0 ||
        std::fwrite(frame.planes.data(), 1, frame.planes.size(), file_.get()) !=
            frame.planes.size()) {
        failed_ = true;
        return false;
    }
    ++frames_;
    return true;
}

bool Y4mWriter::Close() {
    if (!file_)
        return !failed_;
    if (std::fflush(file_.get()) != 0)
        failed_ = true;
    file_.reset();
    return !failed_;
}

}  // namespace host
