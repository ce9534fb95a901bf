#include "tools/host/ContactSheet.h"

#include <algorithm>

namespace host {

namespace {
const Rgb kBackground{24, 24, 28};
const Rgb kLabel{240, 240, 240};
const Rgb kDetail{160, 200, 160};
constexpr int kMargin = 8;
constexpr int kTextScale = 2;
}  // namespace

RgbImage MakeContactSheet(const std::vector<SheetTile>& tiles, int tileHeight) {
    tileHeight = std::max(16, tileHeight);
    const int lineHeight = (kGlyphHeight + 2) * kTextScale;
    const int header = 2 * lineHeight + kMargin;
    std::vector<RgbImage> scaled;
    int width = kMargin;
    for (const SheetTile& tile : tiles) {
        int w = tileHeight;
        if (tile.picture.height > 0)
            w = std::max(1, (tile.picture.width * tileHeight + tile.picture.height / 2) /
                                tile.picture.height);
        scaled.push_back(tile.picture.height > 0 ? Scale(tile.picture, w, tileHeight)
                                                 : RgbImage(w, tileHeight, Rgb{64, 64, 64}));
        int textWidth =
            std::max(TextWidth(tile.label, kTextScale), TextWidth(tile.detail, kTextScale));
        width += std::max(w, textWidth) + kMargin;
    }
    RgbImage sheet(std::max(width, 2 * kMargin), header + tileHeight + 2 * kMargin, kBackground);
    int x = kMargin;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        DrawText(sheet, x, kMargin, tiles[i].label, kLabel, kTextScale);
        DrawText(sheet, x, kMargin + lineHeight, tiles[i].detail, kDetail, kTextScale);
        Paste(sheet, scaled[i], x, header + kMargin);
        int textWidth =
            std::max(TextWidth(tiles[i].label, kTextScale), TextWidth(tiles[i].detail, kTextScale));
        x += std::max(scaled[i].width, textWidth) + kMargin;
    }
    return sheet;
}

}  // namespace host
