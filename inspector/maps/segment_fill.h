// How full each data segment of a map is, and the budgets (--max-fill) that stop a build script
// before a segment is full. A PLC program grows over years of machine variants, and its
// retained variables are appended at the end of their segment: what is left above the highest
// end is the room the next variants have.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plcinfo {

struct SelectorSummary;

// A fill or a budget in tenths of a percent of the 64 KiB (500 is 50.0%).
inline constexpr std::uint32_t NoBudget = 0xFFFFFFFF;

struct SegmentFill {
    std::uint16_t selector = 0;
    const char* name = "-"; // the data segment the map builder gives this selector, else "-"
    std::uint64_t end = 0;  // where its highest variable ends, maybe beyond the 64 KiB
    std::uint64_t left = 0; // the bytes of the 64 KiB above that end; 0 beyond it
    std::uint32_t tenths =
        0; // end as a share of 64 KiB, rounded up: never shown under a budget it exceeds
    std::uint32_t budget = NoBudget; // the --max-fill that applies to the segment
    bool over = false;               // end beyond that budget's share of the 64 KiB
};

// The budgets of --max-fill, as given: one for every segment, and one for a single segment
// by its selector (the later wins when a segment is named twice).
struct FillBudget {
    std::uint32_t all = NoBudget;
    std::vector<std::uint16_t> selectors;
    std::vector<std::uint32_t> limits; // the budget of selectors[i]
};

inline bool givenBudget(const FillBudget& budget) {
    return budget.all != NoBudget || !budget.selectors.empty();
}

// Reads one --max-fill value into `budget`: "PERCENT", "SEL=PERCENT" or several of them
// separated by commas; SEL is a hexadecimal selector or a data segment's name (DATA1), PERCENT
// a number from 0 to 100 with at most one decimal. False with `error` naming the item that is
// neither.
bool parseFillBudget(const std::string& text, FillBudget& budget, std::string& error);

// Each selector's fill in the order of `selectors`, and whether it is over its budget.
std::vector<SegmentFill> segmentFills(const std::vector<SelectorSummary>& selectors,
                                      const FillBudget& budget);

// True when any segment is over its budget.
bool anyOverBudget(const std::vector<SegmentFill>& fills);

// "50.1%"; "100.0%" and more for a segment whose variables reach past its 64 KiB.
std::string fillText(std::uint32_t tenths);
// A change of fill: "+0.4%", "-12.0%", "0.0%".
std::string fillChangeText(std::int64_t tenths);

// "0068 DATA1 61.0% > 50.0%, 00A0 DATA_USR ...": the segments over their budget, for the
// verdict line of every report.
std::string overBudgetList(const std::vector<SegmentFill>& fills);

// One segment's fill in an old and a new map (a side where it has no variables: end 0).
struct FillChange {
    std::uint16_t selector = 0;
    const char* name = "-";
    SegmentFill before;
    SegmentFill after;
    std::int64_t bytes = 0;  // after.end - before.end
    std::int64_t tenths = 0; // after.tenths - before.tenths
};

// Both lists in order of selector; a change for every selector of either, in that order.
std::vector<FillChange> compareFills(const std::vector<SegmentFill>& before,
                                     const std::vector<SegmentFill>& after);

} // namespace plcinfo
