#include "archive/grf_cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "archive/grf_test_files.h"

namespace plovant {
namespace {

using Block = std::array<uint8_t, 8>;

Block Des(Block b) {
    DesRound(b.data());
    return b;
}

// Reference values: the one-round, zero-key DES that archive readers of the game use.
TEST(GrfCipher, DesRoundGivesTheReferenceBlocks) {
    EXPECT_EQ(Des({0, 0, 0, 0, 0, 0, 0, 0}),
              (Block{0x04, 0x04, 0x01, 0x55, 0x55, 0x01, 0x54, 0x55}));
    EXPECT_EQ(Des({'d', 'a', 't', 'a', '\\', 't', 'e', 'x'}),
              (Block{0x30, 0x65, 0x35, 0x25, 0x0c, 0x31, 0x20, 0x2c}));
    EXPECT_EQ(Des({0xFF, 0x80, 0x7F, 0x01, 0xFE, 0x00, 0x55, 0xAA}),
              (Block{0xbe, 0xd0, 0x3b, 0x40, 0xee, 0x44, 0x51, 0xfe}));
}

TEST(GrfCipher, DesRoundIsItsOwnInverse) {
    const std::vector<uint8_t> bytes = testing::RandomBytes(8 * 256, 7);
    for (size_t i = 0; i < bytes.size(); i += 8) {
        Block b;
        std::memcpy(b.data(), bytes.data() + i, 8);
        EXPECT_EQ(Des(Des(b)), b);
    }
}

// The cycle for each number of decimal digits, at both ends of each digit count.
TEST(GrfCipher, MixedCycleFollowsTheDigitsOfTheCompressedSize) {
    EXPECT_EQ(MixedCycle(0), 1u);
    EXPECT_EQ(MixedCycle(99), 1u);
    EXPECT_EQ(MixedCycle(100), 4u);
    EXPECT_EQ(MixedCycle(999), 4u);
    EXPECT_EQ(MixedCycle(1000), 5u);
    EXPECT_EQ(MixedCycle(9999), 5u);
    EXPECT_EQ(MixedCycle(10000), 14u);
    EXPECT_EQ(MixedCycle(999999), 15u);
    EXPECT_EQ(MixedCycle(1000000), 22u);
    EXPECT_EQ(MixedCycle(9999999), 22u);
    EXPECT_EQ(MixedCycle(10000000), 23u);
    EXPECT_EQ(MixedCycle(0xFFFFFFFFu), 25u);
}

// Which blocks change: the first 20 always; in mixed mode with cycle 4 (3 digits), blocks
// 20, 24, 28 ... by DES, and of the others (21, 22, 23, 25, ...) the 8th and the 15th by
// the shuffle: blocks 30 and 39.
TEST(GrfCipher, MixedModeTouchesTheBlocksTheFormatPicks) {
    const size_t blocks = 48;
    std::vector<uint8_t> data(blocks * 8);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7 + 1);
    std::vector<uint8_t> scrambled = data;
    UnscrambleEntry(scrambled, EntryCipher::kMixed, 384);
    std::vector<size_t> changed;
    for (size_t b = 0; b < blocks; ++b) {
        if (std::memcmp(&data[b * 8], &scrambled[b * 8], 8) != 0) changed.push_back(b);
    }
    std::vector<size_t> expected;
    for (size_t b = 0; b < 20; ++b) expected.push_back(b);
    for (size_t b : {20, 24, 28, 30, 32, 36, 39, 40, 44}) expected.push_back(b);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(changed, expected);
}

// The shuffle of the stored bytes 0..7: byte i of the result is stored byte 3, 4, 6, 0,
// 1, 2, 5 and the substituted byte 7 (0x00 <-> 0x2B, 0xFF <-> 0x60, ...).
TEST(GrfCipher, ShuffledBlockIsRearrangedAndItsLastByteSubstituted) {
    // Cycle 22 (7 digits): blocks 20..21 plain, 22 DES, then plain ones; the 8th plain
    // block after the first 20 (index 28) is shuffled.
    std::vector<uint8_t> data(30 * 8, 0x11);
    const uint8_t stored[8] = {10, 11, 12, 13, 14, 15, 16, 0xFF};
    std::memcpy(&data[28 * 8], stored, 8);
    UnscrambleEntry(data, EntryCipher::kMixed, 1000000);
    const uint8_t expected[8] = {13, 14, 16, 10, 11, 12, 15, 0x60};
    EXPECT_EQ(0, std::memcmp(&data[28 * 8], expected, 8));
    for (size_t b = 23; b < 30; ++b) {
        if (b == 28) continue;
        EXPECT_EQ(data[b * 8], 0x11) << "block " << b;
    }
}

TEST(GrfCipher, ScrambleIsUndoneForEveryModeAndCycle) {
    for (const EntryCipher cipher : {EntryCipher::kFirstBlocks, EntryCipher::kMixed}) {
        for (uint64_t compressed : {50u, 500u, 5000u, 50000u, 500000u, 5000000u}) {
            // A length that is not a whole number of blocks: the tail stays as it is.
            std::vector<uint8_t> data = testing::RandomBytes(8 * 300 + 5, uint32_t(compressed));
            const std::vector<uint8_t> original = data;
            ScrambleEntry(data, cipher, compressed);
            EXPECT_NE(data, original);
            EXPECT_TRUE(std::equal(data.end() - 5, data.end(), original.end() - 5));
            UnscrambleEntry(data, cipher, compressed);
            EXPECT_EQ(data, original) << int(cipher) << " " << compressed;
        }
    }
}

TEST(GrfCipher, FirstBlocksModeLeavesEverythingAfterBlock20) {
    std::vector<uint8_t> data = testing::RandomBytes(8 * 40, 3);
    const std::vector<uint8_t> original = data;
    UnscrambleEntry(data, EntryCipher::kFirstBlocks, 1000000);
    EXPECT_TRUE(std::equal(data.begin() + 160, data.end(), original.begin() + 160));
    EXPECT_FALSE(std::equal(data.begin(), data.begin() + 8, original.begin()));
}

TEST(GrfCipher, NameScramblingSwapsNibblesAndIsUndone) {
    std::vector<uint8_t> name = testing::Text("data\\texture\\\xB0\xA1.bmp");
    name.resize(24, 0);
    const std::vector<uint8_t> original = name;
    ScrambleName(name);
    // Scrambling is DES then a nibble swap: swapping back gives the DES block.
    Block first;
    for (int i = 0; i < 8; ++i) first[i] = uint8_t((name[i] << 4) | (name[i] >> 4));
    Block plain;
    std::memcpy(plain.data(), original.data(), 8);
    EXPECT_EQ(first, Des(plain));
    UnscrambleName(name);
    EXPECT_EQ(name, original);
}

}  // namespace
}  // namespace plovant
