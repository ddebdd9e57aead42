// The history of a series of builds: each build's symbol map read in turn, and of each the few
// figures a trend needs (its variables, each data segment's fill and layout fingerprint, and
// its changes by class against the build before). It is the one model behind the text, JSON,
// HTML and Markdown forms of --history.
//
// The maps are read one at a time and only the map before stays open, for the comparison with
// the next: what the run holds grows with the number of builds only by these small records.
#pragma once

#include "map_comparison.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plcinfo {

struct BuildRecord {
    std::string path;
    std::size_t findingCount = 0;
    std::size_t variables = 0;
    // Each selector that has variables, in order of selector: its fill (with its budget) and
    // its layout fingerprint, in the same order.
    std::vector<SegmentFill> fills;
    std::vector<SegmentFingerprint> fingerprints;
    // Against the build before (not for the first build): the changes of each class, and the
    // selectors whose layout changed (one that appeared or vanished too), in order.
    bool compared = false;
    std::size_t counts[ChangeClassCount] = {};
    std::size_t changed = 0;
    std::vector<std::uint16_t> layoutChanged;
};

struct MapHistory {
    std::vector<BuildRecord> builds; // in the order given, oldest first
    // Every selector that has variables in any build, in order: the segments the trend draws.
    std::vector<std::uint16_t> selectors;
    bool budgeted = false;   // --max-fill given; it applies to every build
    bool overBudget = false; // the newest build has a segment over its budget
    std::size_t unsound = 0; // builds whose map has findings
};

// A selector's fill in a build, or null when the build has no variables there.
const SegmentFill* fillOf(const BuildRecord& build, std::uint16_t selector);
// Whether the build's layout of the selector changed against the build before.
bool layoutChangedIn(const BuildRecord& build, std::uint16_t selector);

// The order a folder's maps are taken in: runs of digits compared as numbers ("b2" before
// "b10"), everything else byte by byte with ASCII letter case folded; names equal so are
// ordered by their bytes.
bool naturalLess(const std::string& a, const std::string& b);

// Reads the maps at `paths` in that order. False (with `error`) when one cannot be read, as
// readSymbolMap says; a map with findings is read and counted.
bool readHistory(const std::vector<std::string>& paths, const FillBudget& budget,
                 MapHistory& history, std::string& error);

std::string formatHistoryText(const MapHistory& history);
// False when the document was refused (see JsonWriter).
bool formatHistoryJson(const MapHistory& history, std::string& out);
std::string formatHistoryHtml(const MapHistory& history);
std::string formatHistoryMarkdown(const MapHistory& history);

} // namespace plcinfo
