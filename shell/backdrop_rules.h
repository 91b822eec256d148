// The backdrop's pixel work that needs no window: the size of the captured
// picture in device-independent form, the checkerboard that dims it on
// displays of more than 8 bits per pixel, and the palette entries taken from
// its colour table on displays of 8 bits or less.
#pragma once

#include <cstdint>

constexpr unsigned BACKDROP_COLOURS = 256;
constexpr uint8_t BACKDROP_PALETTE_FLAGS = 4;  // PC_NOCOLLAPSE

// The size of a bottom-up picture of nWidth x nHeight pixels at wBitCount
// bits per pixel, each row rounded up to whole 32-bit words; 0 when the
// dimensions are not positive or the size does not fit in 32 bits.
uint32_t DibImageSize(int32_t nWidth, int32_t nHeight, uint16_t wBitCount);

// The image size the backdrop's pixel buffer is made for: the one the system
// reported, or the computed one when the system reported none (0, which
// BI_RGB pictures are allowed to leave). 0 when neither is usable.
uint32_t BackdropImageSize(uint32_t dwReported, int32_t nWidth, int32_t nHeight, uint16_t wBitCount);

// Blackens, in a buffer of dwSizeImage bytes of bottom-up 24-bit rows, every
// pixel whose column plus buffer row is even: a checkerboard whose first
// pixel (the bottom-left of the screen) is black. The row stride is
// dwSizeImage / nHeight; row padding and the other pixels stay as they are,
// and no pixel is touched that would reach past its row's stride.
void DimBackdropPixels(uint8_t* pBits, uint32_t dwSizeImage, int32_t nWidth, int32_t nHeight);

// Fills BACKDROP_COLOURS palette entries (red, green, blue, flags) from as
// many colour-table entries (blue, green, red, reserved): the same colour,
// and the flags BACKDROP_PALETTE_FLAGS so that no entry is merged with
// another when the palette is realised.
void FillBackdropPalette(uint8_t* pEntries, const uint8_t* pColourTable);
