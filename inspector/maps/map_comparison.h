// The comparison of two builds' symbol maps: every change in its class, the runs of moved
// variables, the room changes and possible renames, and what --fail-on makes of them. It is
// the one model behind the text, JSON, HTML and Markdown reports of a comparison: each fact is
// worked out here once and the reports only format it, so that no two of them can disagree.
#pragma once

#include "symbol_map.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plcinfo {

// The classes of change; one change belongs to exactly one.
enum ChangeClass {
    VariableAdded,
    VariableRemoved,
    VariableMoved,   // selector or address, same type column
    VariableRetyped, // type column, whatever its place did
    VariableRoom,    // same place and type, another distance to the next variable
    BitAdded,
    BitRemoved,
    BitMoved, // other variable or other weight
    MemberAdded,
    MemberRemoved,
    MemberOffset,
    ConstantAdded,
    ConstantRemoved,
    ConstantValue,
    ChangeClassCount
};
// The names of a class: its key ("variable-added"), as --fail-on and the JSON call it, and its
// label ("variable added"), as the text, the Markdown and the page show it; and whether it is
// one of --fail-on's "layout" classes, by which retained data would be read from another place
// than it was written to.
struct ChangeClassName {
    const char* key;
    const char* label;
    bool layout;
};
extern const ChangeClassName ChangeClassNames[ChangeClassCount];

// The section whose rows a change of the class compares.
MapSection sectionOf(ChangeClass kind);
// A change of the class has a row in the old map (all but the added), in the new map (all but
// the removed).
bool inOldMap(ChangeClass kind);
bool inNewMap(ChangeClass kind);

// Rows of the old and the new map; a row index is unused on the side where the name is not.
struct Change {
    ChangeClass kind = VariableAdded;
    std::uint32_t oldRow = 0;
    std::uint32_t newRow = 0;
};

// Variables of one selector, next to each other in the old map's address order with no other
// variable between them, that all moved by the same distance within that selector: changes
// [first, first + count).
struct MoveRun {
    std::size_t first = 0;
    std::size_t count = 0;
    std::int64_t distance = 0;
    std::uint16_t selector = 0;
    std::uint32_t firstRow = 0; // the run's first and last variable, rows of the old map
    std::uint32_t lastRow = 0;
};

inline constexpr std::size_t NoRun = static_cast<std::size_t>(-1);

// One line of the list of changes as every report gives it: a change on its own, or a run of
// moves as one line (`run` indexes the runs; its changes begin at `change`).
struct ChangeLine {
    std::size_t change = 0;
    std::size_t run = NoRun;
};

// A variable that kept its selector, address and type while the distance to the next
// variable of its selector (the same variable in both maps) changed: its size, or the padding
// after it, changed.
struct RoomChange {
    std::uint32_t oldRoom = 0;
    std::uint32_t newRoom = 0;
    std::uint32_t nextRow = 0; // the next variable, in the new map
};

// A variable removed and one added at the same selector, address and type: maybe one
// variable under a new name. Both stay counted as removed and added.
struct Rename {
    std::uint32_t oldRow = 0;
    std::uint32_t newRow = 0;
};

// What --fail-on makes of the comparison: no class named, none of those named changed, or
// some did and the build script stops.
enum class GuardVerdict { Unset, Passes, Tripped };

struct MapComparison {
    const SymbolMap* before = nullptr;
    const SymbolMap* after = nullptr;
    bool listAll = false; // --all: each variable of a run listed too
    // In class order; within a class in name order, moves in the old map's address order.
    std::vector<Change> changes;
    std::vector<MoveRun> runs;     // over the VariableMoved changes, two or more each
    std::vector<ChangeLine> lines; // every change once, a run as one line, in their order
    std::vector<RoomChange> rooms; // one for each VariableRoom change, in their order
    std::vector<Rename> renames;   // in the old map's address order
    std::size_t counts[ChangeClassCount] = {};
    std::size_t changed = 0; // the changes of all classes
    // Each map's variables per selector and the bytes they take, in order of selector.
    std::vector<SelectorSummary> oldSelectors;
    std::vector<SelectorSummary> newSelectors;
    // Either map has structure members: a change of a structure's layout or of a member's
    // type that keeps every address cannot be seen, the map recording no structure type.
    bool structures = false;
    // Each selector's retained layout in the old and the new map, and whether it changed.
    std::vector<LayoutVerdict> layouts;
    // Each selector's fill in the old and the new map; --max-fill applies to the new map.
    std::vector<FillChange> fills;
    bool budgeted = false;   // --max-fill given
    bool overBudget = false; // a segment of the new map is over its budget
    // --fail-on: the classes that stop a build script and those of them that changed; the
    // verdict of both guards, --fail-on and --max-fill.
    bool failOn[ChangeClassCount] = {};
    bool tripped[ChangeClassCount] = {};
    GuardVerdict verdict = GuardVerdict::Unset;
    // --images twice: the two builds' images, compared beside their maps.
    const Inspection* oldImages = nullptr;
    const Inspection* newImages = nullptr;
};

// The room of a VariableRoom change of `comparison.changes`.
const RoomChange& roomOf(const MapComparison& comparison, const Change& change);

// The name a change is known by: the new map's row, or the old map's when it was removed.
std::string_view changeName(const MapComparison& comparison, const Change& change);

// A moved variable that kept its selector, and how far it moved; false for any other change.
bool movedWithin(const MapComparison& comparison, const Change& change, std::int64_t& distance);

// The comparison of two maps; `listAll` keeps --all for the reports, `failOn` the classes
// that trip the guard, `budget` the fill that the new map's segments must keep within.
MapComparison compareMaps(const SymbolMap& before, const SymbolMap& after, bool listAll,
                          const bool (&failOn)[ChangeClassCount], const FillBudget& budget = {});

// Reads "moved,removed" into a set of classes: a word stands for every class of that word
// ("moved": variable-moved and bit-moved), a key for its class alone, "layout" for every
// class that misplaces retained data (variables moved, removed, retyped or of another room,
// members at another offset, bits moved or removed). False (with the word in
// `error`, empty for an empty word) on a word that names no class.
bool parseClassList(const std::string& text, bool (&classes)[ChangeClassCount], std::string& error);

std::string formatComparisonMapText(const MapComparison& comparison);
// False when the document was refused (see JsonWriter).
bool formatComparisonMapJson(const MapComparison& comparison, std::string& out);
std::string formatComparisonMapHtml(const MapComparison& comparison);
std::string formatComparisonMapMarkdown(const MapComparison& comparison);

} // namespace plcinfo
