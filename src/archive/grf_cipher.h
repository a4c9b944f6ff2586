// The game's scrambling of GRF archives: a single DES round with an all-zero key applied
// to 8-byte blocks (the round is its own inverse), a byte shuffle of some blocks, and a
// nibble swap for the names of old tables. Only the blocks the archive format picks are
// touched; the rest of the data stays as stored.
#pragma once

#include <cstdint>
#include <span>

namespace plovant {

// How an entry's stored bytes are scrambled.
enum class EntryCipher : uint8_t {
    kNone,         // stored as the zlib stream itself
    kFirstBlocks,  // the first 20 blocks went through the DES round
    kMixed,        // the first 20 blocks, then every cycle-th block (the cycle follows the
                   // compressed size) and a shuffle of every 7th of the others
};

// Applies the DES round to one 8-byte block in place. Applying it twice restores the block.
void DesRound(uint8_t* block);

// The gap between two DES blocks after the first 20 in mixed mode, for an entry whose
// compressed size is `compressed_size`: from its number of decimal digits d,
// 1 for d < 3, d + 1 for d < 5, d + 9 for d < 7, d + 15 otherwise.
uint32_t MixedCycle(uint64_t compressed_size);

// Turns stored entry bytes back into the zlib stream, in place. Only whole 8-byte blocks
// of `data` are touched. `compressed_size` chooses the cycle of mixed mode.
void UnscrambleEntry(std::span<uint8_t> data, EntryCipher cipher, uint64_t compressed_size);

// The inverse of UnscrambleEntry: what an archive writer stores for a zlib stream.
void ScrambleEntry(std::span<uint8_t> data, EntryCipher cipher, uint64_t compressed_size);

// Names of 0x1xx tables: each whole 8-byte block has its nibbles swapped and then goes
// through the DES round. UnscrambleName undoes ScrambleName.
void UnscrambleName(std::span<uint8_t> name);
void ScrambleName(std::span<uint8_t> name);

}  // namespace plovant
