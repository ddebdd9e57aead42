// The PLC image splitter's chief records: the argument slots, the segment table read from the
// linker map, the read-only view of the linked executable and the comment block, and the
// phases that fill and use them. Each exists once per run, held by the driver; the phases take
// them as arguments and keep nothing of their own, so that a test can drive any phase alone.
#pragma once

#include "platform.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessan {

// The four argument slots and the warnings mode flag.
struct RunArguments {
    std::string outputPath; // slot 0: put in front of every image file name
    std::string exePath;    // slot 1: the linked executable
    std::string mapPath;    // slot 2: the linker map
    std::string makePath;   // slot 3: the make-file
    int warningsMode = 0;   // set by "-w" or "/w"; nothing depends on it
    int positionalCount = 0;
    std::string commandFile; // the command file the slots came from, "" for the command line
};

// One entry of the segment table: a code segment that becomes an image file, or one of the
// three ??SEC_PROC_ public symbols.
struct SegmentEntry {
    std::uint32_t start = 0;     // segment: offset in the load module; symbol: its value
    std::uint32_t length = 0;    // segment: the map's Length minus 4 (modulo 2^32)
    std::uint32_t mapLength = 0; // segment: the map's Length as read
    bool found = false;
    const char* key = "";      // searched for in each map line, blanks included
    std::size_t keyLength = 0; // characters of the key
    const char* name = "";     // the segment's name as in the map ("DUSR" for the block)
    const char* fileName = ""; // the image file written from a segment; "" for a symbol
};

constexpr int SegmentEntryCount = 20;
constexpr int CodeSegmentCount = 17;
constexpr int EntryCODE4 = 0;
constexpr int EntryCODE5 = 1;
constexpr int EntryDusrLoad = 17;
constexpr int EntryDusrEnd = 18;
constexpr int EntryFarEnd = 19;

struct SegmentTable {
    SegmentEntry entries[SegmentEntryCount];
    std::uint32_t dusrLoad() const { return entries[EntryDusrLoad].start; }
    std::uint32_t dusrEnd() const { return entries[EntryDusrEnd].start; }
    std::uint32_t farEnd() const { return entries[EntryFarEnd].start; }
};

// The linked executable, mapped read-only by the loader. The record owns the opening and the
// view: the driver holds it for the whole run and both are released when it goes out of
// scope (the view first), whatever stage ended the run.
struct ImageView {
    platform::File file;
    platform::MappedView view;
    std::uint64_t moduleBase = 0; // file offset of the load module: header paragraphs x 16
};

// The 32 bytes that follow the header of Plc_main.bin: the make-file's comment text filled
// with blanks to 31 characters and a zero byte, or 32 zero bytes without a comment line.
struct CommentBlock {
    unsigned char bytes[32] = {};
};

// Prints one message to standard output and flushes it, so that the order holds in a pipe.
void printMessage(const char* format, ...) PLATFORM_PRINTF_FORMAT(1, 2);

// Driver and argument readers.
int runTessan(int argc, char** argv);
bool readCommandLine(int argc, char** argv, RunArguments& arguments);
bool readCommandFile(const char* path, RunArguments& arguments);

// Fills the table with its keys and names and clears every value and `found` flag.
void initSegmentTable(SegmentTable& table);
// Tests the keys on one line as read and takes the selected entry's fields; returns the
// entry's index, or -1 when no key occurs in the line.
int takeMapLine(SegmentTable& table, const char* line, std::size_t length);
bool scanMapSegments(const char* mapPath, SegmentTable& table);

bool loadImage(const char* exePath, ImageView& image);

// Turns one line as read into the comment block; returns false when the line holds none of
// the comment keywords (the block is then left as it is).
bool takeCommentLine(const char* line, std::size_t length, CommentBlock& comment);
bool scanMakeComment(const char* makePath, CommentBlock& comment);

// Checks that every range the writer will read lies inside the executable; prints error 21
// for the first that does not.
bool checkSegmentRanges(const SegmentTable& table, const ImageView& image);
// Checks that no image file would replace one of the run's inputs: the executable held by the
// image view or a file of `inputPaths` ("" entries are skipped), whatever path leads to it;
// prints error 23 with the first such image's name.
bool checkImageNames(const std::string& outputPath, const SegmentTable& table,
                     const ImageView& image, const std::vector<std::string>& inputPaths);
// Writes the seventeen images after both checks, as one set: each to a temporary beside it,
// and only when all are written and closed are they renamed onto their names. On any failure
// every image name keeps what it held before. `inputPaths` are the files the run reads
// besides the executable (map, make-file, command file).
bool writePlcFiles(const std::string& outputPath, const SegmentTable& table, const ImageView& image,
                   const CommentBlock& comment, const std::vector<std::string>& inputPaths = {});

} // namespace tessan
