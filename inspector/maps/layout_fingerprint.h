// The fingerprint of a data segment's retained layout: a short value that stands for the name,
// place and type of every variable of the segment and the offset of every structure member, so
// that a release record can say "this build's retained layout" and a later build can be
// checked against it without the old map. The bytes it hashes are given at the top of
// layout_fingerprint.cpp, and in the user's guide, for other tools to compute it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plcinfo {

struct SymbolMap;

// Sixteen lower-case hexadecimal digits.
inline constexpr std::size_t FingerprintDigits = 16;

struct SegmentFingerprint {
    std::uint16_t selector = 0;
    const char* name = "-"; // the data segment the map builder gives this selector, else "-"
    std::string digits;     // FingerprintDigits characters
};

// One fingerprint for each selector that has variables, in order of selector.
std::vector<SegmentFingerprint> fingerprintLayouts(const SymbolMap& map);

// The data segment the map builder gives the selector ("DATA_COM" for 0030 ...), "-" for a
// selector it never writes.
const char* dataSegmentName(std::uint16_t selector);

// A release record: the lines --fingerprint prints, "SSSS NAME DIGITS", one a segment.
std::string formatFingerprintRecord(const std::vector<SegmentFingerprint>& fingerprints);

// Reads a release record; false with `error` naming the first line that is not of its form
// (or repeats a selector). Empty lines and a CR before the line feed are allowed.
bool parseFingerprintRecord(std::string_view text, std::vector<SegmentFingerprint>& record,
                            std::string& error);

// Reads the release record at `path`; false with `error` when it cannot be read or is not a
// record ("Not a layout record: PATH: line N ...").
bool readFingerprintRecord(const std::string& path, std::vector<SegmentFingerprint>& record,
                           std::string& error);

// A segment's layout in a record or an earlier build against the map's: present on each side,
// and whether it differs (a segment on one side only differs).
struct LayoutVerdict {
    std::uint16_t selector = 0;
    const char* name = "-";
    std::string before; // empty: the segment has no variables on that side
    std::string after;
    bool changed = false;
};

// Both lists in order of selector; the verdicts of every selector of either, in that order.
std::vector<LayoutVerdict> compareLayouts(const std::vector<SegmentFingerprint>& before,
                                          const std::vector<SegmentFingerprint>& after);

// "layout unchanged" or "layout changed", as every report words a verdict.
const char* layoutWord(const LayoutVerdict& verdict);
// A verdict's values: "DIGITS" when unchanged, "OLD -> NEW" ("(none)" for a side without the
// segment) when changed.
std::string layoutValues(const LayoutVerdict& verdict);

// "0030 DATA_COM  layout changed    OLD -> NEW": the line of a verdict in the text reports.
std::string layoutLine(const LayoutVerdict& verdict);

// --expect: the map against the record, one line a segment, and the segments that differ.
std::string formatLayoutCheck(const SymbolMap& map, const std::string& recordPath,
                              const std::vector<LayoutVerdict>& verdicts);

} // namespace plcinfo
