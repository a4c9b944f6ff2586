// Sampling key frames at a time: which two keys bracket the time and how far between
// them it lies. Keys are taken as the file stores them, in any order.
#pragma once

#include <cstdint>
#include <vector>

namespace plovant::scene {

// The keys before and after a time and the fraction of the way from `before` to
// `after`. Before the first key both are the first key; after the last, both are the
// last; at a key's own frame `fraction` is 0 and `before` is that key.
template <typename Key>
struct KeyBracket {
    const Key* before = nullptr;
    const Key* after = nullptr;
    double fraction = 0;
};

// Brackets `frame` among `keys` (none when `keys` is empty). The keys need not be
// sorted: the one with the largest frame not after `frame` and the one with the
// smallest frame after it are chosen; of keys sharing a frame, the first in the list.
template <typename Key>
KeyBracket<Key> BracketKeys(const std::vector<Key>& keys, double frame) {
    KeyBracket<Key> bracket;
    for (const Key& key : keys) {
        const double k = key.frame;
        if (k <= frame) {
            if (!bracket.before || k > bracket.before->frame) bracket.before = &key;
        } else if (!bracket.after || k < bracket.after->frame) {
            bracket.after = &key;
        }
    }
    if (!bracket.before) {
        bracket.before = bracket.after;
    } else if (!bracket.after) {
        bracket.after = bracket.before;
    } else {
        // Frames are int32: their difference is taken in double so it cannot overflow.
        const double span = double(bracket.after->frame) - double(bracket.before->frame);
        bracket.fraction = (frame - double(bracket.before->frame)) / span;
    }
    return bracket;
}

}  // namespace plovant::scene
