#include "shell/backdrop_rules.h"

#include <cstddef>

namespace {

// Sizes stay below 2 GiB so that the buffer's few extra bytes cannot wrap a
// 32-bit size_t.
constexpr uint64_t MAX_IMAGE_SIZE = 0x7FFFFFFF;

}  // namespace

uint32_t DibImageSize(int32_t nWidth, int32_t nHeight, uint16_t wBitCount)
{
    if (nWidth <= 0 || nHeight <= 0 || wBitCount == 0)
        return 0;
    uint64_t cbRow = (uint64_t{wBitCount} * static_cast<uint64_t>(nWidth) + 31) / 32 * 4;
    uint64_t cbImage = cbRow * static_cast<uint64_t>(nHeight);
    return cbImage <= MAX_IMAGE_SIZE ? static_cast<uint32_t>(cbImage) : 0;
}

uint32_t BackdropImageSize(uint32_t dwReported, int32_t nWidth, int32_t nHeight, uint16_t wBitCount)
{
    // A reported size below the computed one could not hold the rows that
    // GetDIBits writes from the dimensions alone.
    uint32_t dwComputed = DibImageSize(nWidth, nHeight, wBitCount);
    if (dwComputed == 0)
        return 0;
    return dwReported >= dwComputed && dwReported <= MAX_IMAGE_SIZE ? dwReported : dwComputed;
}

void DimBackdropPixels(uint8_t* pBits, uint32_t dwSizeImage, int32_t nWidth, int32_t nHeight)
{
    if (!pBits || nWidth <= 0 || nHeight <= 0)
        return;
    size_t cbStride = dwSizeImage / static_cast<uint32_t>(nHeight);
    size_t nColumns = cbStride / 3 < static_cast<size_t>(nWidth) ? cbStride / 3 : static_cast<size_t>(nWidth);
    size_t nRows = static_cast<size_t>(nHeight);
    for (size_t nRow = 0; nRow < nRows; ++nRow) {
        uint8_t* pRow = pBits + nRow * cbStride;
        for (size_t nColumn = nRow % 2; nColumn < nColumns; nColumn += 2) {
            uint8_t* pPixel = pRow + nColumn * 3;
            pPixel[0] = 0;
            pPixel[1] = 0;
            pPixel[2] = 0;
        }
    }
}

void FillBackdropPalette(uint8_t* pEntries, const uint8_t* pColourTable)
{
    for (unsigned i = 0; i < BACKDROP_COLOURS; ++i) {
        const uint8_t* pQuad = pColourTable + 4 * i;
        uint8_t* pEntry = pEntries + 4 * i;
        pEntry[0] = pQuad[2];
        pEntry[1] = pQuad[1];
        pEntry[2] = pQuad[0];
        pEntry[3] = BACKDROP_PALETTE_FLAGS;
    }
}
