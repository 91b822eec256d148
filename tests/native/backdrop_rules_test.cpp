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
        {3, 7, 8, 4 * 7}, {3840, 2160, 24, 3840 * 3 * 2160},
        {0, 768, 24, 0}, {-5, 2, 24, 0}, {1024, 768, 0, 0}, {100000, 100000, 24, 0},  // over 2 GiB
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
    // Widths odd and even, with and without row padding, in buffers with the
    // 3 bytes more that the backdrop allocates; then a stride from a larger
    // reported size (the extra bytes stay), and one too short for its row (no
    // pixel reaches past it; the sanitizers watch the buffer's end).
    struct Case { int32_t nWidth, nHeight; uint32_t dwSize; };
    std::vector<Case> cases = {{3, 2, 2 * 16}, {4, 3, 3 * 8}};
    for (int32_t nWidth : {1, 2, 3, 4, 5, 8, 13})
        for (int32_t nHeight : {1, 2, 3, 7})
            cases.push_back({nWidth, nHeight, DibImageSize(nWidth, nHeight, 24)});
    for (const Case& c : cases) {
        size_t cbStride = c.dwSize / static_cast<uint32_t>(c.nHeight);
        size_t cbPixels = 3 * std::min(static_cast<size_t>(c.nWidth), cbStride / 3);
        std::vector<uint8_t> bits(c.dwSize + 3);
        for (size_t i = 0; i < bits.size(); ++i)
            bits[i] = static_cast<uint8_t>(i % 251 + 1);  // no byte starts black
        std::vector<uint8_t> before = bits;
        DimBackdropPixels(bits.data(), c.dwSize, c.nWidth, c.nHeight);

        ASSERT_EQ(bits[0] | bits[1] | bits[2], 0) << "bottom-left pixel, width " << c.nWidth;
        for (size_t i = 0; i < bits.size(); ++i) {
            size_t nRow = i / cbStride, nOffset = i % cbStride;
            bool bBlack = i < c.dwSize && nOffset < cbPixels && (nOffset / 3 + nRow) % 2 == 0;
            ASSERT_EQ(bits[i], bBlack ? 0 : before[i])
                << c.nWidth << "x" << c.nHeight << " in " << c.dwSize << ": byte " << i << " (row " << nRow << ")";
        }
    }
}

TEST(BackdropRules, PaletteTakesEachTableColourAndNeverCollapses)
{
    std::vector<uint8_t> table(4 * BACKDROP_COLOURS), entries(4 * BACKDROP_COLOURS, 0xCC);
    for (unsigned i = 0; i < table.size(); ++i)
        table[i] = static_cast<uint8_t>(i * 7 + 3);  // blue, green, red, reserved: all different
    FillBackdropPalette(entries.data(), table.data());
    for (unsigned i = 0; i < BACKDROP_COLOURS; ++i) {
        const uint8_t *q = &table[4 * i], *e = &entries[4 * i];
        ASSERT_TRUE(e[0] == q[2] && e[1] == q[1] && e[2] == q[0] && e[3] == BACKDROP_PALETTE_FLAGS) << "entry " << i;
    }
}

}  // namespace
