#include "tools/host/PngFile.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace host {

bool WritePng(const std::string& path, const RgbImage& image, std::string* error) {
    auto fail = [&](const std::string& text) {
        if (error != nullptr)
            *error = path + ": " + text;
        return false;
    };
    if (image.width <= 0 || image.height <= 0)
        return fail("empty picture");
    // The simplified API needs no longjmp handling and reports its own errors.
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), image.width * 3,
                                 nullptr)) {
        std::string message = png.message;
        png_image_free(&png);
        return fail(message);
    }
    return true;
}

}  // namespace host
