// The icons, drawn pixel by pixel in the 16 standard colours: the product's
// emblem (the fortress against the afterglow, in a round frame) and the
// browsers' list images.
#include "tools/artwork/image.h"

#include <cmath>
#include <cstring>

namespace art {

namespace {

// The 16 colours every display shows the same.
const Rgb kStandard16[16] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};

// Letters of the pixel grids below; '.' is see-through.
constexpr char kLetters[] = "kmgonpts" "GRLYBMCW";  // index = palette entry
// k black, m maroon, g dark green, o olive, n navy, p purple, t teal, s silver,
// G grey, R red, L lime, Y yellow, B blue, M magenta, C cyan, W white.

int Colour(char letter)
{
    const char* p = std::strchr(kLetters, letter);
    return p && letter != '\0' ? static_cast<int>(p - kLetters) : -1;
}

IconImage Blank(int size)
{
    IconImage icon;
    icon.width = icon.height = size;
    icon.palette.assign(kStandard16, kStandard16 + 16);
    icon.pixels.assign(static_cast<size_t>(size * size), 0);
    icon.clear.assign(static_cast<size_t>(size * size), true);
    return icon;
}

void Put(IconImage& icon, int x, int y, int colour)
{
    if (x < 0 || y < 0 || x >= icon.width || y >= icon.height)
        return;
    size_t i = static_cast<size_t>(y * icon.width + x);
    icon.pixels[i] = static_cast<uint8_t>(colour);
    icon.clear[i] = false;
}

// Paints a grid of letters with its top-left corner at (left, top).
void Paint(IconImage& icon, int left, int top, const char* const* rows, int cRows)
{
    for (int y = 0; y < cRows; ++y)
        for (int x = 0; rows[y][x] != '\0'; ++x) {
            int colour = Colour(rows[y][x]);
            if (colour >= 0)
                Put(icon, left + x, top + y, colour);
        }
}

const char* const kFolder[] = {
    "................",
    "................",
    "..kkkkk.........",
    ".kYWYYYk........",
    "kYWYYYYYkkkkkkk.",
    "kWYYYYYYYYYYYYok",
    "kYYYYYYYYYYYYYok",
    "kYYYYYYYYYYYYYok",
    "kYYYYYYYYYYYYYok",
    "kYYYYYYYYYYYYYok",
    "kYYYYYYYYYYYYYok",
    "kYYYYYYYYYYYYYok",
    "kYYYYYYYYYYYYYok",
    "kooooooooooooook",
    ".kkkkkkkkkkkkkkk",
    "................",
};

const char* const kUp[] = {
    "................",
    ".......kk.......",
    "......kkkk......",
    ".....kkkkkk.....",
    "....kkkkkkkk....",
    "...kkkkkkkkkk...",
    "..kkkkkkkkkkkk..",
    ".kkkkkkkkkkkkkk.",
    "......kkkk......",
    "......kkkk......",
    "......kkkk......",
    "......kkkk......",
    "......kkkk......",
    "......kkkk......",
    "......kkkk......",
    "................",
};

// The fortress of the emblem: a keep with a pennant between two towers.
const char* const kFort[] = {
    "........k.........",
    "........kRR.......",
    "........kRRR......",
    "........k.........",
    ".......kkk........",
    "......kkkkk.......",
    "..k...kkkkk....k..",
    ".kkk..kYkYk...kkk.",
    "kkkkk.kkkkk..kkkkk",
    ".kYk..kkkkk...kYk.",
    ".kkk..kkYkk...kkk.",
    ".kkkk.kkkkkk.kkkk.",
    ".kkkkkkkkkkkkkkkk.",
    ".kkkkkkkkkkkkkkkk.",
    ".kkYkkkkkkkkkkYkk.",
    ".kkkkkkkkkkkkkkkk.",
    "kkkkkkkkkkkkkkkkkk",
};

}  // namespace

IconImage DrawFolderIcon()
{
    IconImage icon = Blank(16);
    Paint(icon, 0, 0, kFolder, 16);
    return icon;
}

IconImage DrawNewFolderIcon()
{
    // The same folder in green: the one that setup is about to make.
    IconImage icon = DrawFolderIcon();
    for (size_t i = 0; i < icon.pixels.size(); ++i) {
        if (icon.pixels[i] == Colour('Y'))
            icon.pixels[i] = static_cast<uint8_t>(Colour('L'));
        else if (icon.pixels[i] == Colour('o'))
            icon.pixels[i] = static_cast<uint8_t>(Colour('g'));
    }
    return icon;
}

IconImage DrawUpIcon()
{
    IconImage icon = Blank(16);
    Paint(icon, 0, 0, kUp, 16);
    return icon;
}

IconImage DrawProductIcon()
{
    IconImage icon = Blank(32);
    auto inside = [](int x, int y) { return std::hypot(x - 15.5, y - 15.5) < 15.6; };
    // Night sky going down to the afterglow, bands meeting in a checkerboard.
    const char kSky[] = "nnnnnnnnnnppppppmmmRRRYYYYYYYYYY";
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            if (!inside(x, y))
                continue;
            char band = kSky[y];
            if (y > 0 && kSky[y - 1] != band && (x + y) % 2 == 0)
                band = kSky[y - 1];
            Put(icon, x, y, Colour(band));
        }
    const int kStars[][2] = {{18, 3}, {23, 6}, {27, 12}, {14, 5}, {4, 14}, {6, 18}, {26, 17}};
    for (const auto& s : kStars)
        Put(icon, s[0], s[1], Colour('W'));
    for (int y = 4; y < 14; ++y)
        for (int x = 5; x < 15; ++x)
            if (std::hypot(x - 10.0, y - 9.0) < 3.5 && std::hypot(x - 11.6, y - 7.9) >= 3.0)
                Put(icon, x, y, Colour('Y'));
    // The hill, then the fortress on it.
    for (int x = 0; x < 32; ++x) {
        int top = static_cast<int>(std::lround(26.5 - 3.0 * std::exp(-(x - 16.0) * (x - 16.0) / 60.0)));
        for (int y = top; y < 32; ++y)
            if (inside(x, y))
                Put(icon, x, y, Colour('k'));
    }
    Paint(icon, 7, 7, kFort, 17);
    // The frame: a dark ring with a light edge at the top left.
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            double d = std::hypot(x - 15.5, y - 15.5);
            if (d >= 14.4 && d < 15.6)
                Put(icon, x, y, (x + y < 28 && d < 15.0) ? Colour('s') : Colour('k'));
        }
    return icon;
}

}  // namespace art
