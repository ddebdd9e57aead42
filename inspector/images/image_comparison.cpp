// Comparing an image of one build with the same image of another, byte for byte.
#include "image_set.h"

namespace plcinfo {

ImageComparison compareBytes(const unsigned char* a, std::size_t aSize, const unsigned char* b,
                             std::size_t bSize) {
    ImageComparison result;
    result.bothHold = true;
    const std::size_t common = aSize < bSize ? aSize : bSize;
    std::size_t i = 0;
    while (i < common && a[i] == b[i])
        ++i;
    // One image that is the front of the other differs where the shorter one ends.
    result.same = i == common && aSize == bSize;
    result.firstDifference = result.same ? 0 : i;
    return result;
}

ImageComparison compareImages(const ImageRecord& before, const ImageRecord& after) {
    const bool beforeMissing = before.state == ImageState::Missing;
    const bool afterMissing = after.state == ImageState::Missing;
    if (beforeMissing || afterMissing) {
        ImageComparison result;
        result.same = beforeMissing && afterMissing;
        return result;
    }
    return compareBytes(before.bytes, before.size, after.bytes, after.size);
}

ImageComparison compareEndParts(const Inspection& before, const Inspection& after) {
    if (before.hasEndPart && after.hasEndPart)
        return compareBytes(before.endBytes, before.endSize, after.endBytes, after.endSize);
    ImageComparison result;
    result.same = !before.hasEndPart && !after.hasEndPart;
    return result;
}

} // namespace plcinfo
