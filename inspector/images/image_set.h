// The PLC image inspector's chief records: one PLC image as found in a folder or in a joined
// file, with its header fields and what the image's own bytes say they should be, and the
// inspection of one path (the seventeen images and, for a joined file, the PLC_ENDP part).
// The stages fill and read these records; only the driver prints.
#pragma once

#include "common/plcinfo_common.h"
#include "common/report_format.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plcinfo {

struct JsonWriter;

inline constexpr int ImageCount = 17;
inline constexpr std::size_t HeaderSize = 32;
// Where the header fields lie; farEnd is at an odd offset.
inline constexpr std::size_t FileLengthAt = 12;
inline constexpr std::size_t HeaderCheckAt = 14;
inline constexpr std::size_t FarEndAt = 21;
inline constexpr std::size_t DataLengthAt = 24;
inline constexpr std::size_t DataCheckAt = 26;
inline constexpr std::size_t DataOffsetAt = 28;
// Plc_main.bin carries the make-file comment right after its header: 31 characters and a
// zero byte.
inline constexpr std::size_t CommentOffset = 32;
inline constexpr std::size_t CommentLength = 31;

// The images under the names the splitter writes, in the order of the joined file.
extern const char* const ImageNames[ImageCount];
// The same names in capitals, as the joiner asks for them.
extern const char* const JoinerNames[ImageCount];

enum class ImageState {
    Missing,  // no such file in the folder, or the joined file ended before it
    CutShort, // fewer bytes than its header (or a header) needs
    Present,
};

// The header fields that the splitter fills in from the image's own bytes.
enum CheckedField {
    FieldFileLength,
    FieldHeaderCheck,
    FieldDataLength,
    FieldDataCheck,
    FieldDataOffset,
    CheckedFieldCount
};
extern const char* const CheckedFieldNames[CheckedFieldCount];

// Which header field a joined image's length was taken from, as field + k x 65536.
enum class LengthBase { FileLength, DataLength };
// Why that length of all that fit was taken.
enum class LengthReason { DataCheckHolds, NextHeaderFollows, ShortestFit };

struct ImageRecord {
    ImageState state = ImageState::Missing;
    const unsigned char* bytes = nullptr; // the image's bytes (those present when cut short)
    std::size_t size = 0;                 // count of those bytes
    std::size_t offset = 0;               // joined file: where the image begins
    std::size_t needed = 0;               // cut short: the bytes it would need
    std::uint16_t stored[CheckedFieldCount] = {};   // the fields as the header holds them
    std::uint16_t expected[CheckedFieldCount] = {}; // the values the image's bytes call for
    std::uint16_t farEnd = 0;
    // The farEnd every image of one build carries: that of most images of the set.
    std::uint16_t expectedFarEnd = 0;
    // Joined file: how the length was taken.
    LengthBase base = LengthBase::FileLength;
    std::uint32_t wraps = 0;
    LengthReason reason = LengthReason::DataCheckHolds;
};

inline bool fieldHolds(const ImageRecord& image, CheckedField field) {
    return image.stored[field] == image.expected[field];
}
inline bool farEndHolds(const ImageRecord& image) {
    return image.farEnd == image.expectedFarEnd;
}
// Present, every checked field holds and its farEnd is that of the set.
bool imageValid(const ImageRecord& image);

struct Inspection {
    std::string path;
    bool joined = false;
    ImageRecord images[ImageCount];
    std::string imagePaths[ImageCount]; // folder: the file each image was read from
    // Joined file: what follows the seventeenth image, when all seventeen are complete.
    bool hasEndPart = false;
    std::size_t endOffset = 0;
    const unsigned char* endBytes = nullptr;
    std::size_t endSize = 0;
    LoadedFile files[ImageCount]; // joined file: files[0] only
    // Folder: temporaries that an interrupted splitter run left (".Plc_*.tmp"), in byte order.
    std::vector<std::string> temporaries;
};

// The make-file comment of the build (the label that says which machine it is for): the 31
// characters Plc_main.bin carries after its header, as written; false when that image is
// missing or too short to hold them.
bool makeFileComment(const Inspection& inspection, std::string_view& comment);

int badImageCount(const Inspection& inspection);
// Every image valid, and for a folder no temporaries of an interrupted run beside them: a set
// that a kill interrupted may mix two builds even when they share their farEnd.
bool imagesValid(const Inspection& inspection);

// Little-endian 16-bit field and the 16-bit additive check over a range.
std::uint16_t readWord(const unsigned char* bytes, std::size_t offset);
std::uint16_t byteSum(const unsigned char* bytes, std::size_t size);

// Takes `size` bytes as one whole image: decodes its header and what its bytes call for.
// Fewer than 32 bytes make it cut short.
void checkImage(const unsigned char* bytes, std::size_t size, ImageRecord& image);
// What a 32-byte header tells of itself without its image: headerCheck holds, dataOffset is
// 32 and dataLength is fileLength - 32.
bool headerSound(const unsigned char* header);

// All images of one build carry the same farEnd: takes the value most present images carry
// (of equally many, the one met first) as what each should carry.
void checkFarEnds(Inspection& inspection);

// Finds the seventeen images one after the other in a joined file's bytes, and the PLC_ENDP
// part behind them.
void splitJoinedFile(const unsigned char* data, std::size_t size, Inspection& inspection);

// Reads a folder of images or a joined file. On false `error` says what could not be read,
// naming the file; what was loaded is released. The loaded files are closed and unmapped
// when the inspection goes out of scope.
bool inspectPath(const std::string& path, Inspection& inspection, std::string& error);

// True when reading `path` as an input (a folder of images, or one file) would read the file
// of identity `id`: the path itself or, for a folder, an image the reading would find in it.
bool readsFile(const std::string& path, const platform::FileIdentity& id);

// Two builds' images side by side.
struct ImageComparison {
    bool same = true;
    bool bothHold = false; // both sides have bytes to compare
    std::size_t firstDifference = 0;
    // Both sides have a whole header: the header fields (lengths and checks) whose stored
    // values differ, farEnd among them.
    bool bothHeaders = false;
    bool fieldDiffers[CheckedFieldCount] = {};
    bool farEndDiffers = false;
};
// The header fields that differ, by name: "fileLength, dataCheck, farEnd"; "" when none does.
std::string differingFields(const ImageComparison& comparison);
ImageComparison compareBytes(const unsigned char* a, std::size_t aSize, const unsigned char* b,
                             std::size_t bSize);
ImageComparison compareImages(const ImageRecord& before, const ImageRecord& after);
// The PLC_ENDP parts of two joined files.
ImageComparison compareEndParts(const Inspection& before, const Inspection& after);

// Reports, as the bytes the driver prints. The JSON ones are false when the document was
// refused (see JsonWriter).
std::string formatTable(const Inspection& inspection);
bool formatJson(const Inspection& inspection, std::string& out);
std::string formatComparisonTable(const Inspection& before, const Inspection& after);
bool formatComparisonJson(const Inspection& before, const Inspection& after, std::string& out);
std::string formatHtml(const Inspection& inspection);
std::string formatComparisonHtml(const Inspection& before, const Inspection& after);
std::string formatMarkdown(const Inspection& inspection);
std::string formatComparisonMarkdown(const Inspection& before, const Inspection& after);

// The same reports as parts of a map's report (--images): the JSON members after a document's
// head, the HTML list items of what failed (under `side`, "" for one build), the HTML section
// of the images, the Markdown section.
void writeImagesJson(JsonWriter& w, const Inspection& inspection);
void writeImageComparisonJson(JsonWriter& w, const Inspection& before, const Inspection& after);
void writeImageFailuresHtml(std::string& out, const Inspection& inspection, const char* side);
void writeImagesHtml(std::string& out, const Inspection& inspection);
void writeImageComparisonHtml(std::string& out, const Inspection& before, const Inspection& after);
void writeImagesMarkdown(std::string& out, const Inspection& inspection);
void writeImageComparisonMarkdown(std::string& out, const Inspection& before,
                                  const Inspection& after);

} // namespace plcinfo
