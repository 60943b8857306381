#include "TextStore.h"

#include <algorithm>
#include <cstring>

quint64 TextStore::add(QStringView text) {
    const qsizetype length = text.size();
    if (blocks.empty() || used + length > blockSize) {
        blocks.push_back(std::unique_ptr<char16_t[]>(new char16_t[std::size_t(std::max(blockSize, length))]));
        used = 0;
    }
    std::memcpy(blocks.back().get() + used, text.utf16(), std::size_t(length) * sizeof(char16_t));
    const quint64 place = (quint64(blocks.size() - 1) << (offsetBits + lengthBits)) |
                          (quint64(used) << lengthBits) | quint64(length);
    // A text longer than a block fills its own, and the next one starts a new block.
    used = length > blockSize ? blockSize : used + length;
    return place;
}
