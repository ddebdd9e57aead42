// The inspector's records of a symbol map (.mp2): the rows of its five sections as read, what
// the check found wrong with them, and the report model built from them (the summary and the
// look-ups; the comparison of two builds' maps has a header of its own, map_comparison.h).
// The reports print these models; none walks the map again.
//
// A map of a million variables is compared in one run, so a row is kept small: its name is an
// offset into the file's bytes, which stay mapped for the length of the run.
#pragma once

#include "common/plcinfo_common.h"
#include "common/report_format.h"
#include "layout_fingerprint.h"
#include "segment_fill.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plcinfo {

struct Inspection; // a build's images, shown beside its map (image_set.h)

// The five sections, in the order of the file.
enum MapSection {
    SectionSymbols,
    SectionBitFields,
    SectionMembers,
    SectionBitWeights,
    SectionConstants,
    MapSectionCount
};
// "SYMBOL_TABLE", "BIT_FIELDS", "STRUCTURE_OFFSETS", "BIT_WEIGHTS", "CONSTANTS".
extern const char* const SectionTitles[MapSectionCount];

// The type column of a symbol-table row. Structure and record variables are written with the
// column of a byte, word or double word, so the map cannot tell them from those.
enum class TypeColumn : std::uint8_t { Byte, Word, DWord, QWord, Mech };
inline constexpr int TypeColumnCount = 5;
// The type as the reports name it: "BYTE", "WORD", "DWORD", "QWORD" (written as the
// four-character "BYTE"), "MECH".
extern const char* const TypeNames[TypeColumnCount];
// The data segments whose variables reach the map, with the selectors the map builder gives
// them, in order of selector.
struct DataSegment {
    std::uint16_t selector;
    const char* name;
};
inline constexpr int DataSegmentCount = 4;
extern const DataSegment DataSegments[DataSegmentCount];
// Bytes a variable of the type takes. A MECH variable counts as one byte: the map does not
// say more, and the module block bytes it marks are bytes.
extern const unsigned TypeWidths[TypeColumnCount];
// Whether the type column fixes the bytes a variable takes: not for BYTE, the column of every
// structure variable, nor for MECH.
inline bool sizeFixedByType(TypeColumn type) {
    return type != TypeColumn::Byte && type != TypeColumn::Mech;
}

// One row of a section, read and found to be of its section's row format.
struct MapRow {
    std::uint32_t nameAt = 0;     // where the name begins in the file
    std::uint16_t nameLength = 0; // at most MaxNameLength
    std::uint16_t selector = 0;   // symbol table: the selector; bit fields: the location's length
    std::uint32_t value = 0;      // symbol table: address; bit fields: where the location begins;
                                  // offsets, weights, constants: the number of the row
    TypeColumn type = TypeColumn::Byte; // symbol table only
};

// Longest name a listing gives (longer identifiers are cut to it).
inline constexpr std::size_t MaxNameLength = 128;
// Findings kept with their text; those beyond are only counted.
inline constexpr std::size_t MaxKeptFindings = 1000;

struct MapFinding {
    std::uint32_t line = 0;
    std::string text;
};

// How the file holds the map's text: as the symbol map builder writes it (one byte a
// character), or as an editor saved it.
enum class MapEncoding { None, Bytes, Utf8Mark, Utf16Low, Utf16High };

// The encoding the first bytes of a file show a map in (None: no map), and the length of its
// byte-order mark.
MapEncoding mapEncodingOf(const unsigned char* head, std::size_t size, std::size_t& mark);

// A map read for the length of a run; it stays where it was read (its text may lie in
// `converted`), so it is neither copied nor moved.
struct SymbolMap {
    std::string path;
    LoadedFile file;
    MapEncoding encoding = MapEncoding::Bytes;
    std::string converted;      // a UTF-16 map's text, one byte a character
    const char* text = nullptr; // the map's text: the file's bytes after any byte-order mark
    std::size_t size = 0;
    std::vector<MapRow> rows[MapSectionCount];
    // Rows in the writer's order, each name after the one before; false once two rows are out
    // of order or repeat a name. Look-ups and the comparison then sort copies.
    bool ordered[MapSectionCount] = {true, true, true, true, true};
    std::vector<MapFinding> findings; // the first MaxKeptFindings
    std::size_t findingCount = 0;
};

inline std::string_view rowName(const SymbolMap& map, const MapRow& row) {
    return std::string_view(map.text + row.nameAt, row.nameLength);
}
// The variable that holds a bit, as its bit-fields row names it.
inline std::string_view rowLocation(const SymbolMap& map, const MapRow& row) {
    return std::string_view(map.text + row.value, row.selector);
}
// The weight of the bit of a bit-fields row: from the bit-weights row of the same index when it
// names the same bit (as in a sound map), else from the bit-weights row of that name; -1 when
// there is none.
std::int64_t bitWeight(const SymbolMap& map, std::size_t fieldRow);
// The lines the rows stand on, counted from the file's start in one pass over the file.
std::vector<std::uint32_t> linesOfRows(const SymbolMap& map,
                                       const std::vector<const MapRow*>& rows);

// Row indexes of variables in address order: by selector, address, then the order of the rows.
std::vector<std::uint32_t> addressOrder(const std::vector<MapRow>& rows);

// An ASCII capital as its small letter, any other byte as it is: names in a map, patterns and
// hexadecimal digits are read so.
inline char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The writer's order of names: byte by byte, ASCII capitals taken as small letters.
int compareNames(std::string_view a, std::string_view b);

// True when the file at `path` begins with "$MP2 ", the mark of a symbol map (also after a
// UTF-8 byte-order mark, or in UTF-16). A path that is
// a folder, or a file that cannot be opened or read, is none.
bool looksLikeSymbolMap(const std::string& path);

// Reads the map at `path` and checks it against the format the symbol map builder writes,
// keeping every row that is of its section's format. False (with `error`) only when the file
// cannot be opened, read or is too large to be a map; a map with findings is read.
// The map's file is closed and unmapped when `map` goes out of scope.
bool readSymbolMap(const std::string& path, SymbolMap& map, std::string& error);

// Two lists of one record a selector, each in order of selector, walked side by side:
// `visit(old, fresh)` once for every selector of either, in order, with null for the side
// that does not have it.
template <typename Record, typename Visit>
void pairBySelector(const std::vector<Record>& before, const std::vector<Record>& after,
                    Visit visit) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < before.size() || j < after.size()) {
        const bool old =
            j == after.size() || (i < before.size() && before[i].selector <= after[j].selector);
        const bool fresh =
            i == before.size() || (j < after.size() && after[j].selector <= before[i].selector);
        visit(old ? &before[i++] : nullptr, fresh ? &after[j++] : nullptr);
    }
}

// ---- Reports on one map ----

// Bytes [begin, end) of a segment.
struct ByteSpan {
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
};

// One selector's variables and the bytes they take. A variable whose type fixes its size takes
// its type's width; any other (a structure variable among them) takes its room, up to the next
// variable of its selector, or its type's width when it is the last: the figures never count a
// structure as one byte.
struct SelectorSummary {
    std::uint16_t selector = 0;
    std::size_t variables = 0;
    std::size_t first = 0; // its first variable, in the map's address order
    std::uint32_t lowest = 0;
    std::uint32_t highest = 0;
    std::uint64_t end = 0;       // where the furthest variable ends, maybe beyond the 64 KiB
    std::vector<ByteSpan> spans; // the bytes taken within the 64 KiB, merged, in order
    std::uint64_t taken = 0;     // their count
};

// Bytes of one selector's segment.
inline constexpr std::uint64_t SegmentBytes = 0x10000;

// The variables of each selector, in order of selector; `order` is the address order of the
// map's variables. With `sizes`, also the bytes each variable is counted with, by its row of
// the symbol table.
std::vector<SelectorSummary> summarizeSelectors(const SymbolMap& map,
                                                const std::vector<std::uint32_t>& order,
                                                std::vector<std::uint32_t>* sizes = nullptr);

// A variable row as the look-ups show it, with the bits that it holds.
struct VariableHit {
    std::size_t row = 0;           // in the symbol table
    std::vector<std::size_t> bits; // rows of the bit-fields section located in it
};

struct FindHit {
    MapSection section = SectionSymbols; // never SectionBitWeights: a bit is shown once
    std::size_t row = 0;
    std::uint32_t line = 0;
    std::vector<std::size_t> bits; // a variable: the bits located in it
    bool hasVariable = false;      // a bit: its location is a variable of the symbol table
    std::size_t variableRow = 0;
};

struct MapReport {
    const SymbolMap* map = nullptr;
    std::size_t sectionRows[MapSectionCount] = {};
    std::vector<std::uint32_t> order;             // the variables' rows in address order
    std::vector<SelectorSummary> selectors;       // in order of selector
    std::vector<std::uint32_t> sizes;             // each variable's bytes as the figures count them
    std::vector<SegmentFingerprint> fingerprints; // each selector's retained layout, in that order
    std::vector<SegmentFill> fills;               // each selector's fill, in that order
    bool budgeted = false;                        // --max-fill given
    bool overBudget = false;                      // a segment is over its budget
    // --find
    bool finding = false;
    std::string pattern;
    std::vector<FindHit> hits;
    // --at
    bool locating = false;
    std::uint16_t atSelector = 0;
    std::uint32_t atAddress = 0;
    std::vector<std::size_t> atRows; // variables that begin there
    std::vector<std::uint32_t> atLines;
    bool hasBefore = false; // when none does: the nearest variable before it
    std::size_t beforeRow = 0;
    std::uint32_t beforeLine = 0;
    // --images: the build's images, reported with the map.
    const Inspection* images = nullptr;
};

// Reads "SEL:ADDR" (hexadecimal, an optional trailing "H" on each part).
bool parseLocation(const std::string& text, std::uint16_t& selector, std::uint32_t& address);
// NAME against a pattern with "*" and "?", ignoring letter case.
bool matchesPattern(std::string_view pattern, std::string_view name);

MapReport buildMapReport(const SymbolMap& map, const FillBudget& budget = {});
void findRows(const SymbolMap& map, const std::string& pattern, MapReport& report);
void locateAddress(const SymbolMap& map, std::uint16_t selector, std::uint32_t address,
                   MapReport& report);

std::string formatMapText(const MapReport& report);
// False when the document was refused (see JsonWriter).
bool formatMapJson(const MapReport& report, std::string& out);
std::string formatMapHtml(const MapReport& report);
std::string formatMapMarkdown(const MapReport& report);

} // namespace plcinfo
