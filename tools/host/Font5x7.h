// A 5x7 bitmap font: digits, upper-case letters, 'x' and a few signs.
#pragma once

#include <cstdint>

namespace host {

// Seven rows of the glyph for `c`, bit 4 the leftmost column; null when there is none.
const std::uint8_t* GlyphRows(char c);

}  // namespace host
