// Comparing an image of one build with the same image of another, byte for byte, and which
// of their header fields differ.
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
    ImageComparison result = compareBytes(before.bytes, before.size, after.bytes, after.size);
    result.bothHeaders = before.state == ImageState::Present && after.state == ImageState::Present;
    if (result.bothHeaders) {
        for (int field = 0; field < CheckedFieldCount; ++field)
            result.fieldDiffers[field] = before.stored[field] != after.stored[field];
        result.farEndDiffers = before.farEnd != after.farEnd;
    }
    return result;
}

std::string differingFields(const ImageComparison& comparison) {
    std::string out;
    for (int field = 0; field < CheckedFieldCount; ++field)
        if (comparison.fieldDiffers[field])
            out += std::string(out.empty() ? "" : ", ") + CheckedFieldNames[field];
    if (comparison.farEndDiffers)
        out += std::string(out.empty() ? "" : ", ") + "farEnd";
    return out;
}

ImageComparison compareEndParts(const Inspection& before, const Inspection& after) {
    if (before.hasEndPart && after.hasEndPart)
        return compareBytes(before.endBytes, before.endSize, after.endBytes, after.endSize);
    ImageComparison result;
    result.same = !before.hasEndPart && !after.hasEndPart;
    return result;
}

} // namespace plcinfo
