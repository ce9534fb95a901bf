#include "tools/host/Frame.h"

namespace host {

bool FrameGeometry::Compute(int width, int height, FrameGeometry* out) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    out->width = width;
    out->height = height;
    out->chromaWidth = (width + 1) / 2;
    out->chromaHeight = (height + 1) / 2;
    out->ySize = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    out->chromaSize =
        static_cast<std::size_t>(out->chromaWidth) * static_cast<std::size_t>(out->chromaHeight);
    return true;
}

}  // namespace host
