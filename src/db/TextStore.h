#pragma once
// Private to src/db: the query object's results keep their texts here.

#include <QStringView>
#include <QtGlobal>

#include <memory>
#include <vector>

// The texts of one column, one after another in large blocks: appending never moves what is held, and
// closing the result frees a few blocks, not a string per cell.
class TextStore final {
public:
    static constexpr int lengthBits = 22;
    static constexpr int offsetBits = 22;
    static constexpr qsizetype longest = (qsizetype(1) << lengthBits) - 1;

    // Where the text is held, packed in 64 bits: block, offset in the block, length. At most `longest`.
    quint64 add(QStringView text);

    QStringView at(quint64 place) const {
        const std::size_t block = std::size_t(place >> (offsetBits + lengthBits));
        const qsizetype offset = qsizetype((place >> lengthBits) & ((quint64(1) << offsetBits) - 1));
        const qsizetype length = qsizetype(place & ((quint64(1) << lengthBits) - 1));
        return QStringView(blocks[block].get() + offset, length);
    }

private:
    static constexpr qsizetype blockSize = qsizetype(1) << 17;
    std::vector<std::unique_ptr<char16_t[]>> blocks;
    qsizetype used = 0;
};
