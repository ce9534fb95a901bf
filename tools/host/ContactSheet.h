// One picture of all channels side by side, each scaled to the same height under a label.
#pragma once

#include <string>
#include <vector>

#include "tools/host/Image.h"

namespace host {

struct SheetTile {
    std::string label;   // e.g. "CH1 DEMO-1"
    std::string detail;  // e.g. "640x360, 75 FRAMES"
    RgbImage picture;
};

// Lays the tiles out left to right, each scaled to `tileHeight` rows keeping its aspect ratio.
RgbImage MakeContactSheet(const std::vector<SheetTile>& tiles, int tileHeight);

}  // namespace host
