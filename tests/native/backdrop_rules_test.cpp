// The backdrop's pixel rules: the picture's size, the checkerboard and the
// palette taken from the colour table.
#include "shell/backdrop_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

TEST(BackdropRules, ImageSizeRoundsRowsToWordsAndFallsBackWhenNoneIsReported)
{
    struct Case { int32_t nWidth, nHeight; uint16_t wBits; uint32_t dwSize; } cases[] = {
        {1024, 768, 24, 1024 * 3 * 768}, {1366, 768, 24, 4100 * 768}, {5, 2, 24, 16 * 2}, {1, 1, 24, 4},
        {3, 7, 8, 4 * 7}, {1920, 1080, 8, 1920 * 1080}, {3840, 2160, 24, 3840 * 3 * 2160},
        {0, 768, 24, 0}, {1024, 0, 24, 0}, {-5, 2, 24, 0}, {1024, 768, 0, 0},
        {100000, 100000, 24, 0},  // over 2 GiB: refused
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DibImageSize(c.nWidth, c.nHeight, c.wBits), c.dwSize) << c.nWidth << "x" << c.nHeight;
        // A system that reports no size (0) gets the computed one.
        EXPECT_EQ(BackdropImageSize(0, c.nWidth, c.nHeight, c.wBits), c.dwSize);
    }
    EXPECT_EQ(BackdropImageSize(40, 5, 2, 24), 40u);  // a larger report stands
    EXPECT_EQ(BackdropImageSize(20, 5, 2, 24), 32u);  // a smaller one could not hold the rows
}

TEST(BackdropRules, CheckerboardBlackensExactlyThePixelsWithEvenColumnPlusRow)
{
    // Widths odd and even, with and without row padding; the buffer has the
    // 3 bytes beyond the image that the backdrop allocates.
    for (int32_t nWidth : {1, 2, 3, 4, 5, 8, 13}) {
        for (int32_t nHeight : {1, 2, 3, 7}) {
            uint32_t dwSize = DibImageSize(nWidth, nHeight, 24);
            size_t cbStride = dwSize / static_cast<uint32_t>(nHeight);
            std::vector<uint8_t> bits(dwSize + 3);
            for (size_t i = 0; i < bits.size(); ++i)
                bits[i] = static_cast<uint8_t>(i % 251 + 1);  // no byte starts black
            std::vector<uint8_t> before = bits;
            DimBackdropPixels(bits.data(), dwSize, nWidth, nHeight);

            ASSERT_EQ(bits[0] | bits[1] | bits[2], 0) << "bottom-left pixel, width " << nWidth;
            for (size_t i = 0; i < bits.size(); ++i) {
                size_t nRow = i / cbStride, nOffset = i % cbStride;
                bool bPixel = nRow < static_cast<size_t>(nHeight) && nOffset < 3 * static_cast<size_t>(nWidth);
                bool bBlack = bPixel && (nOffset / 3 + nRow) % 2 == 0;
                ASSERT_EQ(bits[i], bBlack ? 0 : before[i])
                    << nWidth << "x" << nHeight << ": byte " << i << " (row " << nRow << ", offset " << nOffset << ")";
            }
        }
    }
}

TEST(BackdropRules, CheckerboardKeepsToTheStrideItIsGiven)
{
    // A stride from a larger reported size: rows start where it says, and
    // the extra bytes stay. A stride too short for the row: no pixel reaches
    // past it (the sanitizers watch the buffer's end).
    struct Case { int32_t nWidth, nHeight; uint32_t dwSize; } cases[] = {{3, 2, 2 * 16}, {4, 3, 3 * 8}};
    for (const Case& c : cases) {
        std::vector<uint8_t> bits(c.dwSize, 0xEE);
        DimBackdropPixels(bits.data(), c.dwSize, c.nWidth, c.nHeight);
        size_t cbStride = c.dwSize / static_cast<uint32_t>(c.nHeight);
        size_t nColumns = std::min<size_t>(static_cast<size_t>(c.nWidth), cbStride / 3);
        for (size_t i = 0; i < bits.size(); ++i) {
            size_t nRow = i / cbStride, nOffset = i % cbStride;
            bool bBlack = nOffset < 3 * nColumns && (nOffset / 3 + nRow) % 2 == 0;
            ASSERT_EQ(bits[i], bBlack ? 0 : 0xEE) << c.nWidth << "x" << c.nHeight << ": byte " << i;
        }
    }
}

TEST(BackdropRules, PaletteTakesEachTableColourAndNeverCollapses)
{
    std::vector<uint8_t> table(4 * BACKDROP_COLOURS), entries(4 * BACKDROP_COLOURS, 0xCC);
    for (unsigned i = 0; i < BACKDROP_COLOURS; ++i) {
        table[4 * i + 0] = static_cast<uint8_t>(i);          // blue
        table[4 * i + 1] = static_cast<uint8_t>(255 - i);    // green
        table[4 * i + 2] = static_cast<uint8_t>(i * 7 + 3);  // red
        table[4 * i + 3] = 0x5A;                             // reserved: not a flag
    }
    FillBackdropPalette(entries.data(), table.data());
    for (unsigned i = 0; i < BACKDROP_COLOURS; ++i) {
        const uint8_t* e = &entries[4 * i];
        ASSERT_EQ(e[0], static_cast<uint8_t>(i * 7 + 3)) << "red of " << i;
        ASSERT_EQ(e[1], static_cast<uint8_t>(255 - i)) << "green of " << i;
        ASSERT_EQ(e[2], static_cast<uint8_t>(i)) << "blue of " << i;
        ASSERT_EQ(e[3], BACKDROP_PALETTE_FLAGS) << "flags of " << i;
    }
}

}  // namespace
