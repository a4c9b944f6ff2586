// The DES round is built from the published DES tables (initial permutation, expansion,
// S-boxes, P permutation) with every subkey zero, so the round function is f(R) = P(S(E(R))).
// Unlike a full DES round the halves are not swapped afterwards: the left half is XORed
// with f(right), which makes the block transform its own inverse.
#include "archive/grf_cipher.h"

#include <array>
#include <bit>
#include <cstring>

namespace plovant {
namespace {

constexpr size_t kBlock = 8;
constexpr size_t kLeadingDesBlocks = 20;
constexpr uint32_t kShuffleCycle = 7;

// clang-format off
// Bit n (1-based, 1 = most significant bit of the first byte) of the output takes bit
// table[n - 1] of the input.
constexpr uint8_t kInitialPermutation[64] = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

constexpr uint8_t kRoundPermutation[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23,
                                           26, 5, 18, 31, 10, 2,  8,  24, 14, 32, 27,
                                           3,  9, 19, 13, 30, 6,  22, 11, 4,  25};

// S-box b, row r (outer bits of the 6-bit input), column c (inner four bits).
constexpr uint8_t kSBoxes[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
     {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
     {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
     {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
     {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
     {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
     {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
     {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
     {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
     {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
     {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
     {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
     {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
     {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
     {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
     {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
     {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}}};
// clang-format on

// A 64-bit permutation as eight lookups, one per input byte.
using BytePermutation = std::array<std::array<uint64_t, 256>, 8>;

BytePermutation MakeBytePermutation(const uint8_t (&table)[64]) {
    BytePermutation lookup{};
    for (int out = 0; out < 64; ++out) {
        const int in = table[out] - 1;
        const int byte = in / 8;
        const uint8_t mask = uint8_t(0x80u >> (in % 8));
        for (int v = 0; v < 256; ++v) {
            if (v & mask) lookup[byte][v] |= uint64_t{1} << (63 - out);
        }
    }
    return lookup;
}

struct Tables {
    BytePermutation initial;
    BytePermutation final;  // the inverse of the initial permutation
    // For S-box b and a 6-bit input, the box's output already moved by the P permutation.
    std::array<std::array<uint32_t, 64>, 8> sp{};

    Tables() {
        initial = MakeBytePermutation(kInitialPermutation);
        uint8_t inverse[64];
        for (int i = 0; i < 64; ++i) inverse[kInitialPermutation[i] - 1] = uint8_t(i + 1);
        final = MakeBytePermutation(inverse);
        for (int b = 0; b < 8; ++b) {
            for (int x = 0; x < 64; ++x) {
                const int row = ((x >> 4) & 2) | (x & 1);
                const int column = (x >> 1) & 15;
                const uint32_t s = uint32_t(kSBoxes[b][row][column]) << (28 - 4 * b);
                uint32_t p = 0;
                for (int out = 0; out < 32; ++out) {
                    if (s & (0x80000000u >> (kRoundPermutation[out] - 1))) p |= 0x80000000u >> out;
                }
                sp[b][x] = p;
            }
        }
    }
};

const Tables& DesTables() {
    static const Tables tables;
    return tables;
}

uint64_t Permute(const BytePermutation& lookup, uint64_t v) {
    uint64_t out = 0;
    for (int byte = 0; byte < 8; ++byte) out |= lookup[byte][(v >> (56 - 8 * byte)) & 0xFF];
    return out;
}

// The byte shuffle: stored byte kShuffleSource[i] becomes byte i; the last byte also goes
// through a substitution that swaps seven pairs of values.
constexpr uint8_t kShuffleSource[7] = {3, 4, 6, 0, 1, 2, 5};

uint8_t Substitute(uint8_t v) {
    static constexpr uint8_t kPairs[7][2] = {{0x00, 0x2B}, {0x6C, 0x80}, {0x01, 0x68}, {0x48, 0x77},
                                             {0x60, 0xFF}, {0xB9, 0xC0}, {0xFE, 0xEB}};
    for (const auto& pair : kPairs) {
        if (v == pair[0]) return pair[1];
        if (v == pair[1]) return pair[0];
    }
    return v;
}

void Unshuffle(uint8_t* block) {
    uint8_t out[kBlock];
    for (int i = 0; i < 7; ++i) out[i] = block[kShuffleSource[i]];
    out[7] = Substitute(block[7]);
    std::memcpy(block, out, kBlock);
}

void Shuffle(uint8_t* block) {
    uint8_t out[kBlock];
    for (int i = 0; i < 7; ++i) out[kShuffleSource[i]] = block[i];
    out[7] = Substitute(block[7]);
    std::memcpy(block, out, kBlock);
}

// Walks the blocks as the archive format picks them; `shuffle` is Unshuffle or Shuffle.
void Transform(std::span<uint8_t> data, EntryCipher cipher, uint64_t compressed_size,
               void (*shuffle)(uint8_t*)) {
    if (cipher == EntryCipher::kNone) return;
    const size_t blocks = data.size() / kBlock;
    uint8_t* p = data.data();
    const size_t leading = blocks < kLeadingDesBlocks ? blocks : kLeadingDesBlocks;
    for (size_t i = 0; i < leading; ++i) DesRound(p + i * kBlock);
    if (cipher != EntryCipher::kMixed) return;
    const uint32_t cycle = MixedCycle(compressed_size);
    uint64_t plain = 0;  // blocks after the first 20 that are not DES blocks
    for (size_t i = kLeadingDesBlocks; i < blocks; ++i) {
        if (i % cycle == 0) {
            DesRound(p + i * kBlock);
            continue;
        }
        if (plain != 0 && plain % kShuffleCycle == 0) shuffle(p + i * kBlock);
        ++plain;
    }
}

}  // namespace

void DesRound(uint8_t* block) {
    const Tables& t = DesTables();
    uint64_t v = 0;
    for (size_t i = 0; i < kBlock; ++i) v = (v << 8) | block[i];
    v = Permute(t.initial, v);
    const uint32_t right = uint32_t(v);
    uint32_t f = 0;
    for (int b = 0; b < 8; ++b) {
        // The expansion gives S-box b the input bits 4b .. 4b+5 (1-based, wrapping 0 to 32).
        const uint32_t chunk = std::rotl(right, 4 * b - 1) >> 26;
        f ^= t.sp[b][chunk];
    }
    v ^= uint64_t(f) << 32;
    v = Permute(t.final, v);
    for (size_t i = kBlock; i-- > 0;) {
        block[i] = uint8_t(v);
        v >>= 8;
    }
}

uint32_t MixedCycle(uint64_t compressed_size) {
    uint32_t digits = 1;
    for (uint64_t limit = 10; limit <= compressed_size && digits < 20; limit *= 10) ++digits;
    if (digits < 3) return 1;
    if (digits < 5) return digits + 1;
    if (digits < 7) return digits + 9;
    return digits + 15;
}

void UnscrambleEntry(std::span<uint8_t> data, EntryCipher cipher, uint64_t compressed_size) {
    Transform(data, cipher, compressed_size, &Unshuffle);
}

void ScrambleEntry(std::span<uint8_t> data, EntryCipher cipher, uint64_t compressed_size) {
    Transform(data, cipher, compressed_size, &Shuffle);
}

void UnscrambleName(std::span<uint8_t> name) {
    for (size_t i = 0; i + kBlock <= name.size(); i += kBlock) {
        for (size_t j = 0; j < kBlock; ++j) name[i + j] = std::rotl(name[i + j], 4);
        DesRound(name.data() + i);
    }
}

void ScrambleName(std::span<uint8_t> name) {
    for (size_t i = 0; i + kBlock <= name.size(); i += kBlock) {
        DesRound(name.data() + i);
        for (size_t j = 0; j < kBlock; ++j) name[i + j] = std::rotl(name[i + j], 4);
    }
}

}  // namespace plovant
