// Writes the seventeen PLC image files, each a 32-byte header and bytes copied straight from
// the read-only view of the executable.
#include "splitter.h"

#include <cstring>

namespace tessan {

namespace {

constexpr std::uint32_t HeaderBytes = 32;
// Plc_main.bin carries the comment block in place of CODE4's bytes 32 to 63.
constexpr std::uint32_t MainMinimum = 64;
// The last 6144 bytes of CODE5 are never written; what stays begins after its header.
constexpr std::uint32_t FarDropped = 6144;
constexpr std::uint32_t FarMinimum = FarDropped + HeaderBytes;
// The DUSR block reaches this many bytes beyond ??SEC_PROC_DUSR_END.
constexpr std::uint32_t DusrTail = 16;

void putWord(unsigned char* bytes, std::size_t offset, std::uint32_t value) {
    bytes[offset] = static_cast<unsigned char>(value & 0xFF);
    bytes[offset + 1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

std::uint32_t addBytes(std::uint32_t sum, const unsigned char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return sum;
}

// One piece of an image file after its header, with the error printed when its write fails.
struct Piece {
    const unsigned char* bytes;
    std::size_t count;
    const char* failure;
};

const char SegmentWriteError[] = "\nError: 17, File write error: %s\n";

bool segmentFails(const SegmentEntry& entry, std::uint32_t minimum, std::uint64_t readLength,
                  const ImageView& image) {
    if (entry.mapLength < 4 || entry.length < minimum)
        return true;
    return image.moduleBase + entry.start + readLength > image.view.size;
}

// Writes one image to its output's temporary and closes it. Prints the failure with the
// image's name.
bool writeImageFile(const std::string& name, platform::OutputFile& output,
                    const unsigned char* segment, std::uint32_t fileLength, std::uint16_t farEnd,
                    const Piece* pieces, int pieceCount) {
    unsigned char header[HeaderBytes];
    std::memcpy(header, segment, HeaderBytes);
    putWord(header, 12, fileLength);
    putWord(header, 21, farEnd);
    putWord(header, 24, fileLength - HeaderBytes);
    putWord(header, 28, HeaderBytes);
    putWord(header, 14, addBytes(0, header + 8, 6));
    std::uint32_t dataCheck = 0;
    for (int i = 0; i < pieceCount; ++i)
        dataCheck = addBytes(dataCheck, pieces[i].bytes, pieces[i].count);
    putWord(header, 26, dataCheck);

    const char* failure = nullptr;
    if (!platform::writeAll(output.file, header, HeaderBytes))
        failure = "\nError: 16, Header write error: %s\n";
    for (int i = 0; i < pieceCount && failure == nullptr; ++i)
        if (pieces[i].count > 0 &&
            !platform::writeAll(output.file, pieces[i].bytes, pieces[i].count))
            failure = pieces[i].failure;
    // A file the system could not close cleanly may not hold what was written.
    if (!platform::closeOutput(output) && failure == nullptr)
        failure = SegmentWriteError;
    if (failure != nullptr) {
        printMessage(failure, name.c_str());
        return false;
    }
    return true;
}

// The seventeen images of one run, each written to a temporary until all are complete; a
// temporary not committed goes with its output.
struct ImageSet {
    std::string names[CodeSegmentCount];
    platform::OutputFile outputs[CodeSegmentCount];
};

// Opens every image's output before any is written, so that a name that cannot take an image
// (a folder there) stops the run before anything is written.
bool beginImages(const std::string& outputPath, const SegmentTable& table, ImageSet& set) {
    for (int i = 0; i < CodeSegmentCount; ++i) {
        set.names[i] = outputPath + table.entries[i].fileName;
        if (!platform::beginOutput(set.names[i].c_str(), set.outputs[i])) {
            printMessage("\nError: 15, File create error: %s\n", set.names[i].c_str());
            return false;
        }
    }
    return true;
}

bool writeImages(const SegmentTable& table, const ImageView& image, const CommentBlock& comment,
                 ImageSet& set) {
    const unsigned char* module = image.view.data + image.moduleBase;
    const std::uint16_t farEnd = static_cast<std::uint16_t>(table.farEnd() & 0xFFFF);

    for (int i = 0; i < CodeSegmentCount; ++i) {
        const SegmentEntry& entry = table.entries[i];
        const unsigned char* segment = module + entry.start;
        const std::uint32_t L = entry.length;
        const std::string& name = set.names[i];
        platform::OutputFile& output = set.outputs[i];
        bool written = false;
        if (i == EntryCODE4) {
            const Piece pieces[] = {
                {comment.bytes, sizeof comment.bytes, "\nError: 18, Comment write error: %s\n"},
                {segment + MainMinimum, L - MainMinimum, SegmentWriteError}};
            written = writeImageFile(name, output, segment, L, farEnd, pieces, 2);
        } else if (i == EntryCODE5) {
            const std::uint32_t dusrCount = table.dusrEnd() - table.dusrLoad() + DusrTail;
            const Piece pieces[] = {
                {segment + HeaderBytes, L - FarMinimum, SegmentWriteError},
                {module + table.dusrLoad(), dusrCount, "\nError: 18, Pointer write error: %s\n"}};
            written = writeImageFile(name, output, segment,
                                     L - FarMinimum + HeaderBytes + dusrCount, farEnd, pieces, 2);
        } else {
            const Piece pieces[] = {{segment + HeaderBytes, L - HeaderBytes, SegmentWriteError}};
            written = writeImageFile(name, output, segment, L, farEnd, pieces, 1);
        }
        if (!written)
            return false;
    }
    return true;
}

// Renames the seventeen complete images into place as one set; a refused rename puts every
// earlier image back. An earlier image that cannot be put back is named with where it is.
bool commitImages(ImageSet& set) {
    std::size_t failed = 0;
    if (platform::commitOutputs(set.outputs, CodeSegmentCount, failed))
        return true;
    printMessage(SegmentWriteError, set.names[failed].c_str());
    for (int i = 0; i < CodeSegmentCount; ++i)
        if (!set.outputs[i].kept.empty())
            printMessage(
                "\nEarlier file not put back: %s holds the new one, the earlier one is %s\n",
                set.names[i].c_str(), set.outputs[i].kept.c_str());
    return false;
}

} // namespace

bool checkSegmentRanges(const SegmentTable& table, const ImageView& image) {
    for (int i = 0; i < CodeSegmentCount; ++i) {
        const SegmentEntry& entry = table.entries[i];
        bool fails = false;
        if (i == EntryCODE4)
            fails = segmentFails(entry, MainMinimum, entry.length, image);
        else if (i == EntryCODE5)
            fails =
                segmentFails(entry, FarMinimum, std::uint64_t{entry.length} - FarDropped, image);
        else
            fails = segmentFails(entry, HeaderBytes, entry.length, image);
        if (fails) {
            printMessage("\nError: 21, Segment out of range: %s\n", entry.name);
            return false;
        }
    }
    if (table.dusrLoad() > table.dusrEnd() ||
        image.moduleBase + table.dusrEnd() + DusrTail > image.view.size) {
        printMessage("\nError: 21, Segment out of range: %s\n", "DUSR");
        return false;
    }
    return true;
}

bool checkImageNames(const std::string& outputPath, const SegmentTable& table,
                     const ImageView& image, const std::vector<std::string>& inputPaths) {
    std::vector<platform::FileIdentity> inputs;
    platform::FileIdentity id;
    if (platform::identifyOpenFile(image.file, id))
        inputs.push_back(id);
    for (const std::string& path : inputPaths)
        if (!path.empty() && platform::identifyFile(path.c_str(), id))
            inputs.push_back(id);
    for (int i = 0; i < CodeSegmentCount; ++i) {
        const std::string name = outputPath + table.entries[i].fileName;
        if (!platform::identifyFile(name.c_str(), id))
            continue; // nothing there yet
        for (const platform::FileIdentity& input : inputs) {
            if (platform::sameFile(id, input)) {
                printMessage("\nError: 23, Output file is an input file: %s\n", name.c_str());
                return false;
            }
        }
    }
    return true;
}

bool writePlcFiles(const std::string& outputPath, const SegmentTable& table, const ImageView& image,
                   const CommentBlock& comment, const std::vector<std::string>& inputPaths) {
    if (!checkSegmentRanges(table, image) || !checkImageNames(outputPath, table, image, inputPaths))
        return false;
    // On any failure every temporary goes with its output: the images stay as they were.
    ImageSet set;
    return beginImages(outputPath, table, set) && writeImages(table, image, comment, set) &&
           commitImages(set);
}

} // namespace tessan
