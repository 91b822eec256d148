// Pictures made by qart and the Windows file formats they are written in:
// 8-bit palette bitmaps (BMP) and 16-colour icons (ICO).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace art {

struct Rgb {
    uint8_t r, g, b;
};

// A picture in palette indices, rows from the top.
struct IndexedImage {
    int width = 0, height = 0;
    std::vector<Rgb> palette;
    std::vector<uint8_t> pixels;  // width * height indices
};

// An icon image: 16 palette colours, and a mask whose set bits are see-through.
struct IconImage {
    int width = 0, height = 0;
    std::vector<Rgb> palette;     // 16 entries
    std::vector<uint8_t> pixels;  // width * height indices, 0 where see-through
    std::vector<bool> clear;      // width * height
};

// An uncompressed 8-bit BMP with a full 256-entry colour table.
std::vector<uint8_t> EncodeBmp8(const IndexedImage& image);
// An icon file holding the one 4-bit image.
std::vector<uint8_t> EncodeIco4(const IconImage& icon);

bool WriteFile(const std::string& path, const std::vector<uint8_t>& data);

// The page artwork: a dusk landscape, 556 x 384 pixels.
IndexedImage DrawKorven();

// The product's 32 x 32 icon and the browsers' 16 x 16 list images.
IconImage DrawProductIcon();
IconImage DrawFolderIcon();
IconImage DrawUpIcon();
IconImage DrawNewFolderIcon();

}  // namespace art
