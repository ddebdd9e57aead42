// Finding the seventeen images in a joined file.
//
// The joiner adds nothing between the images, so each one is found from the header of the
// one before: it begins where that image ends. Its length is in fileLength, modulo 65536.
// Only the far image can be longer than that (CODE5 followed by a DUSR block that may reach
// across the real-mode megabyte), so for it every length fileLength + k x 65536 that fits is
// a candidate. A damaged fileLength need not lose the images behind it either: dataLength +
// 32 says the same length, and is tried as well.
//
// Of the candidates, the shortest for which the image's dataCheck holds is taken; else the
// shortest behind which a sound header begins (the next image's); else the shortest from
// fileLength. What follows the seventeenth image is the PLC_ENDP part.
#include "image_set.h"

namespace plcinfo {

namespace {

constexpr std::size_t Wrap = 65536;
constexpr int FarImage = 1;
// 17 x 65536 bytes hold CODE5 (at most 64 KiB) and a DUSR block of up to one megabyte.
constexpr std::uint32_t FarWraps = 16;
constexpr int MaxCandidates = 2 * (FarWraps + 1);

struct Candidate {
    std::size_t length = 0;
    LengthBase base = LengthBase::FileLength;
    std::uint32_t wraps = 0;
};

struct CandidateList {
    Candidate items[MaxCandidates];
    int count = 0;
};

// Adds base + k x 65536 for every k up to `maxWraps` whose length holds a header and fits
// in `remaining`, keeping the list sorted by length.
void addCandidates(CandidateList& list, std::size_t base, LengthBase from, std::uint32_t maxWraps,
                   std::size_t remaining) {
    for (std::uint32_t k = 0; k <= maxWraps; ++k) {
        const std::size_t length = base + k * Wrap;
        if (length > remaining)
            break;
        if (length < HeaderSize)
            continue;
        int at = list.count++;
        while (at > 0 && list.items[at - 1].length > length) {
            list.items[at] = list.items[at - 1];
            --at;
        }
        list.items[at] = Candidate{length, from, k};
    }
}

// The shortest candidate for which the check sum over its bytes after the header equals
// dataCheck; -1 when there is none. One pass over the bytes serves every candidate.
int firstHoldingDataCheck(const CandidateList& list, const unsigned char* image) {
    const std::uint16_t stored = readWord(image, DataCheckAt);
    std::uint16_t sum = 0;
    std::size_t summed = HeaderSize;
    for (int i = 0; i < list.count; ++i) {
        const std::size_t length = list.items[i].length;
        sum = static_cast<std::uint16_t>(sum + byteSum(image + summed, length - summed));
        summed = length;
        if (sum == stored)
            return i;
    }
    return -1;
}

int firstBeforeSoundHeader(const CandidateList& list, const unsigned char* image,
                           std::size_t remaining) {
    for (int i = 0; i < list.count; ++i) {
        const std::size_t length = list.items[i].length;
        if (remaining - length >= HeaderSize && headerSound(image + length))
            return i;
    }
    return -1;
}

int firstFromFileLength(const CandidateList& list) {
    for (int i = 0; i < list.count; ++i) {
        if (list.items[i].base == LengthBase::FileLength)
            return i;
    }
    return list.count > 0 ? 0 : -1;
}

// Takes the image that begins at `offset`; false when the file ends inside it.
bool takeImage(const unsigned char* data, std::size_t size, std::size_t offset, int index,
               ImageRecord& image) {
    const unsigned char* bytes = data + offset;
    const std::size_t remaining = size - offset;
    image.offset = offset;
    if (remaining < HeaderSize) {
        checkImage(bytes, remaining, image);
        return false;
    }
    const std::uint32_t maxWraps = index == FarImage ? FarWraps : 0;
    const std::size_t fileLength = readWord(bytes, FileLengthAt);
    const std::size_t fromDataLength = (readWord(bytes, DataLengthAt) + HeaderSize) % Wrap;
    CandidateList list;
    addCandidates(list, fileLength, LengthBase::FileLength, maxWraps, remaining);
    if (fromDataLength != fileLength)
        addCandidates(list, fromDataLength, LengthBase::DataLength, maxWraps, remaining);

    LengthReason reason = LengthReason::DataCheckHolds;
    int chosen = firstHoldingDataCheck(list, bytes);
    if (chosen < 0 && index + 1 < ImageCount) {
        reason = LengthReason::NextHeaderFollows;
        chosen = firstBeforeSoundHeader(list, bytes, remaining);
    }
    if (chosen < 0) {
        reason = LengthReason::ShortestFit;
        chosen = firstFromFileLength(list);
    }
    if (chosen < 0) {
        image.state = ImageState::CutShort;
        image.bytes = bytes;
        image.size = remaining;
        image.needed = fileLength >= HeaderSize ? fileLength : fileLength + Wrap;
        return false;
    }
    const Candidate& taken = list.items[chosen];
    checkImage(bytes, taken.length, image);
    image.base = taken.base;
    image.wraps = taken.wraps;
    image.reason = reason;
    return true;
}

} // namespace

void splitJoinedFile(const unsigned char* data, std::size_t size, Inspection& inspection) {
    inspection.joined = true;
    std::size_t offset = 0;
    for (int i = 0; i < ImageCount; ++i) {
        ImageRecord& image = inspection.images[i];
        if (offset == size)
            return; // this image and those after it are missing
        if (!takeImage(data, size, offset, i, image))
            return;
        offset += image.size;
    }
    inspection.hasEndPart = true;
    inspection.endOffset = offset;
    inspection.endBytes = data + offset;
    inspection.endSize = size - offset;
}

} // namespace plcinfo
