// Writes a consistent linked PLC program for tests, the example and benchmarks: an MZ
// executable whose load module holds chosen segment bytes, the linker map that describes it
// (segment list and public symbols in the 16-bit linker's layout) and a make-file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plcgen {

struct SegmentLayout {
    std::string name;
    std::string className;
    std::uint32_t start = 0;         // offset in the load module
    std::uint32_t length = 0;        // the Length column of the map
    std::vector<std::uint8_t> bytes; // placed from `start`; shorter is zero-filled, longer is cut
};

struct PublicSymbol {
    std::string name;
    std::uint16_t segment = 0;
    std::uint16_t offset = 0;
};

struct ProgramLayout {
    std::uint16_t headerParagraphs = 32;
    std::uint32_t moduleSize = 0; // grown to the end of the last segment when smaller
    std::vector<SegmentLayout> segments;
    std::vector<PublicSymbol> publics;
    std::vector<std::string> makeLines; // the make-file's lines, without line ends
};

// The names of the seventeen code segments, in the order of their image files.
extern const char* const CodeSegmentNames[17];

// The bundled example's layout: CODE4, CODE5, CODE_UNIT03 to CODE_UNIT17, DUSR_CODE and the
// data segments, every segment filled with its own recognisable non-zero bytes, the three
// ??SEC_PROC_ publics, and a make-file with a quoted comment.
ProgramLayout standardProgram();

// Fills a segment's `length` bytes with first, first + step, first + 2 x step ... (mod 256).
void fillRamp(SegmentLayout& segment, std::uint8_t first, std::uint8_t step);
SegmentLayout* findSegment(ProgramLayout& layout, const std::string& name);
PublicSymbol* findPublic(ProgramLayout& layout, const std::string& name);

// The load module: moduleSize bytes, zero where no segment lies, later segments over earlier.
std::vector<std::uint8_t> buildLoadModule(const ProgramLayout& layout);
// The executable: a header of headerParagraphs x 16 bytes (its fixed 28 bytes filled in; with
// fewer than two paragraphs they lie over the front of the load module) and the load module.
std::string buildExecutable(const ProgramLayout& layout);
std::string buildMap(const ProgramLayout& layout);
std::string buildMakeFile(const ProgramLayout& layout);

// Reads a description (see plcgen_main.cpp for its lines) into `layout`, starting from an empty
// program; on false `error` names the line that could not be read.
bool parseDescription(const std::string& text, ProgramLayout& layout, std::string& error);

// Writes the executable, and the map and the make-file when their paths are not empty.
bool writeProgram(const ProgramLayout& layout, const std::string& exePath,
                  const std::string& mapPath, const std::string& makePath, std::string& error);

} // namespace plcgen
