#include "tools/artwork/image.h"

#include <cstdio>

namespace art {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// Rows of a device-independent bitmap are padded to whole 32-bit words.
uint32_t RowBytes(int width, int bitsPerPixel)
{
    return (static_cast<uint32_t>(width) * static_cast<uint32_t>(bitsPerPixel) + 31) / 32 * 4;
}

void PutInfoHeader(std::vector<uint8_t>& out, int width, int height, int bitsPerPixel, uint32_t cbImage,
                   uint32_t cColours)
{
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(bitsPerPixel));
    Put32(out, 0);  // BI_RGB
    Put32(out, cbImage);
    Put32(out, 2835);  // 72 dots per inch
    Put32(out, 2835);
    Put32(out, cColours);
    Put32(out, 0);
}

void PutPalette(std::vector<uint8_t>& out, const std::vector<Rgb>& palette, size_t cEntries)
{
    for (size_t i = 0; i < cEntries; ++i) {
        Rgb c = i < palette.size() ? palette[i] : Rgb{0, 0, 0};
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
}

}  // namespace

std::vector<uint8_t> EncodeBmp8(const IndexedImage& image)
{
    uint32_t cbRow = RowBytes(image.width, 8);
    uint32_t cbImage = cbRow * static_cast<uint32_t>(image.height);
    uint32_t cbOffBits = 14 + 40 + 256 * 4;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, cbOffBits + cbImage);
    Put32(out, 0);
    Put32(out, cbOffBits);
    PutInfoHeader(out, image.width, image.height, 8, cbImage, 256);
    PutPalette(out, image.palette, 256);
    // Bottom-up rows.
    for (int y = image.height - 1; y >= 0; --y) {
        size_t row = static_cast<size_t>(y) * static_cast<size_t>(image.width);
        out.insert(out.end(), image.pixels.begin() + static_cast<long>(row),
                   image.pixels.begin() + static_cast<long>(row + static_cast<size_t>(image.width)));
        out.resize(out.size() + (cbRow - static_cast<uint32_t>(image.width)), 0);
    }
    return out;
}

std::vector<uint8_t> EncodeIco4(const IconImage& icon)
{
    uint32_t cbXorRow = RowBytes(icon.width, 4), cbAndRow = RowBytes(icon.width, 1);
    uint32_t height = static_cast<uint32_t>(icon.height);
    uint32_t cbImage = 40 + 16 * 4 + (cbXorRow + cbAndRow) * height;
    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);  // an icon, not a cursor
    Put16(out, 1);
    out.push_back(static_cast<uint8_t>(icon.width));
    out.push_back(static_cast<uint8_t>(icon.height));
    out.push_back(16);  // colours
    out.push_back(0);
    Put16(out, 1);  // planes
    Put16(out, 4);  // bits per pixel
    Put32(out, cbImage);
    Put32(out, 6 + 16);
    // The image's header counts the colour and the mask rows together.
    PutInfoHeader(out, icon.width, icon.height * 2, 4, (cbXorRow + cbAndRow) * height, 0);
    PutPalette(out, icon.palette, 16);
    auto at = [&](int x, int y) { return static_cast<size_t>(y) * static_cast<size_t>(icon.width) + static_cast<size_t>(x); };
    for (int y = icon.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(cbXorRow, 0);
        for (int x = 0; x < icon.width; ++x) {
            uint8_t index = icon.clear[at(x, y)] ? 0 : static_cast<uint8_t>(icon.pixels[at(x, y)] & 0x0F);
            row[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = icon.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(cbAndRow, 0);
        for (int x = 0; x < icon.width; ++x)
            if (icon.clear[at(x, y)])
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& data)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool bOk = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && bOk;
}

}  // namespace art
