// The PLC file header of one image and the values its bytes call for.
//
// The splitter fills six fields of the 32-byte header: fileLength at 12, headerCheck at 14
// (the sum of bytes 8 to 13), farEnd at 21 (an odd offset), dataLength at 24, dataCheck at
// 26 (the sum of every byte after the header) and dataOffset at 28. All are 16 bits wide,
// little-endian, and the lengths and sums are kept modulo 65536. Five of them follow from
// the image's bytes and are checked here; farEnd comes from the linker map, the same for every
// image of one build, and is checked against the other images of the set.
#include "image_set.h"

namespace plcinfo {

const char* const ImageNames[ImageCount] = {
    "Plc_main.bin", "Plc_far0.bin", "Plc_e003.bin", "Plc_e004.bin", "Plc_e005.bin", "Plc_e006.bin",
    "Plc_e007.bin", "Plc_e008.bin", "Plc_e009.bin", "Plc_e010.bin", "Plc_e011.bin", "Plc_e012.bin",
    "Plc_e013.bin", "Plc_e014.bin", "Plc_e015.bin", "Plc_e016.bin", "Plc_e017.bin",
};

const char* const JoinerNames[ImageCount] = {
    "PLC_MAIN.BIN", "PLC_FAR0.BIN", "PLC_E003.BIN", "PLC_E004.BIN", "PLC_E005.BIN", "PLC_E006.BIN",
    "PLC_E007.BIN", "PLC_E008.BIN", "PLC_E009.BIN", "PLC_E010.BIN", "PLC_E011.BIN", "PLC_E012.BIN",
    "PLC_E013.BIN", "PLC_E014.BIN", "PLC_E015.BIN", "PLC_E016.BIN", "PLC_E017.BIN",
};

const char* const CheckedFieldNames[CheckedFieldCount] = {
    "fileLength", "headerCheck", "dataLength", "dataCheck", "dataOffset",
};

namespace {

// headerCheck covers bytes 8 to 13: four copied bytes and the two of fileLength.
constexpr std::size_t HeaderCheckFrom = 8;
constexpr std::size_t HeaderCheckCount = 6;

} // namespace

std::uint16_t readWord(const unsigned char* bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::uint16_t byteSum(const unsigned char* bytes, std::size_t size) {
    // Unsigned arithmetic wraps modulo 2^32, a multiple of 65536, so the low 16 bits of the
    // running sum are the check whatever the length.
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < size; ++i)
        sum += bytes[i];
    return static_cast<std::uint16_t>(sum);
}

void checkImage(const unsigned char* bytes, std::size_t size, ImageRecord& image) {
    image.bytes = bytes;
    image.size = size;
    if (size < HeaderSize) {
        image.state = ImageState::CutShort;
        image.needed = HeaderSize;
        return;
    }
    image.state = ImageState::Present;
    image.stored[FieldFileLength] = readWord(bytes, FileLengthAt);
    image.stored[FieldHeaderCheck] = readWord(bytes, HeaderCheckAt);
    image.stored[FieldDataLength] = readWord(bytes, DataLengthAt);
    image.stored[FieldDataCheck] = readWord(bytes, DataCheckAt);
    image.stored[FieldDataOffset] = readWord(bytes, DataOffsetAt);
    image.farEnd = readWord(bytes, FarEndAt);
    image.expectedFarEnd = image.farEnd;

    image.expected[FieldFileLength] = static_cast<std::uint16_t>(size);
    image.expected[FieldHeaderCheck] = byteSum(bytes + HeaderCheckFrom, HeaderCheckCount);
    image.expected[FieldDataLength] = static_cast<std::uint16_t>(size - HeaderSize);
    image.expected[FieldDataCheck] = byteSum(bytes + HeaderSize, size - HeaderSize);
    image.expected[FieldDataOffset] = static_cast<std::uint16_t>(HeaderSize);
}

bool headerSound(const unsigned char* header) {
    const std::uint16_t fileLength = readWord(header, FileLengthAt);
    return readWord(header, HeaderCheckAt) == byteSum(header + HeaderCheckFrom, HeaderCheckCount) &&
           readWord(header, DataOffsetAt) == HeaderSize &&
           readWord(header, DataLengthAt) == static_cast<std::uint16_t>(fileLength - HeaderSize);
}

bool imageValid(const ImageRecord& image) {
    if (image.state != ImageState::Present)
        return false;
    for (int field = 0; field < CheckedFieldCount; ++field) {
        if (!fieldHolds(image, static_cast<CheckedField>(field)))
            return false;
    }
    return farEndHolds(image);
}

void checkFarEnds(Inspection& inspection) {
    int bestCount = 0;
    std::uint16_t best = 0;
    for (const ImageRecord& image : inspection.images) {
        if (image.state != ImageState::Present)
            continue;
        int count = 0;
        for (const ImageRecord& other : inspection.images)
            count += other.state == ImageState::Present && other.farEnd == image.farEnd ? 1 : 0;
        if (count > bestCount) {
            bestCount = count;
            best = image.farEnd;
        }
    }
    for (ImageRecord& image : inspection.images) {
        if (image.state == ImageState::Present)
            image.expectedFarEnd = best;
    }
}

bool makeFileComment(const Inspection& inspection, std::string_view& comment) {
    const ImageRecord& main = inspection.images[0];
    if (main.state == ImageState::Missing || main.size < CommentOffset + CommentLength)
        return false;
    comment =
        std::string_view(reinterpret_cast<const char*>(main.bytes + CommentOffset), CommentLength);
    return true;
}

int badImageCount(const Inspection& inspection) {
    int bad = 0;
    for (const ImageRecord& image : inspection.images)
        bad += imageValid(image) ? 0 : 1;
    return bad;
}

bool imagesValid(const Inspection& inspection) {
    return badImageCount(inspection) == 0 && inspection.temporaries.empty();
}

} // namespace plcinfo
