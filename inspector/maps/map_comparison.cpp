// What a new build's symbol map changes against the old one's. Both maps hold every section
// in name order (the reader sorts a section that was not), so each section is compared in one
// merge by name, without a table of names.
//
// A variable present in both maps is retyped when its type column differs (whatever its place
// did), moved when only its selector or address differs. Moved variables are taken in the old
// map's address order: those of one selector next to each other there that all moved by the
// same distance within their selector form a run, which the reports show as one line.
//
// The guard's verdict, the lines of the list of changes and each run's ends are worked out
// here too, once, for every report to format.
#include "map_comparison.h"

#include <algorithm>

namespace plcinfo {

const ChangeClassName ChangeClassNames[ChangeClassCount] = {
    {"variable-added", "variable added", false},
    {"variable-removed", "variable removed", true},
    {"variable-moved", "variable moved", true},
    {"variable-retyped", "variable retyped", true},
    {"variable-room", "room changed", true},
    {"bit-added", "bit added", false},
    {"bit-removed", "bit removed", true},
    {"bit-moved", "bit moved", true},
    {"member-added", "member added", false},
    {"member-removed", "member removed", false},
    {"member-offset", "member offset", true},
    {"constant-added", "constant added", false},
    {"constant-removed", "constant removed", false},
    {"constant-value", "constant value", false},
};

namespace {

// Calls `visit(oldRow, newRow)` for every name of either section, in name order; the side
// without the name gets -1.
template <typename Visit>
void mergeSections(const SymbolMap& before, const SymbolMap& after, MapSection section,
                   Visit visit) {
    const std::vector<MapRow>& a = before.rows[section];
    const std::vector<MapRow>& b = after.rows[section];
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() || j < b.size()) {
        const int order = i == a.size() ? 1
                          : j == b.size()
                              ? -1
                              : compareNames(rowName(before, a[i]), rowName(after, b[j]));
        if (order < 0)
            visit(static_cast<std::int64_t>(i++), std::int64_t{-1});
        else if (order > 0)
            visit(std::int64_t{-1}, static_cast<std::int64_t>(j++));
        else
            visit(static_cast<std::int64_t>(i++), static_cast<std::int64_t>(j++));
    }
}

Change makeChange(ChangeClass kind, std::int64_t oldRow, std::int64_t newRow) {
    return Change{kind, static_cast<std::uint32_t>(oldRow < 0 ? 0 : oldRow),
                  static_cast<std::uint32_t>(newRow < 0 ? 0 : newRow)};
}

// What became of each variable of the old map, for the runs, the room and the renames.
enum class Fate : std::uint8_t { Removed, Retyped, Kept };

struct VariableFate {
    Fate fate = Fate::Removed;
    std::uint32_t newRow = 0; // Retyped, Kept
};

// The position in `order` of the next variable of the same selector at a higher address
// than the one at `at`, or `order.size()` when there is none.
std::size_t nextAbove(const std::vector<MapRow>& rows, const std::vector<std::uint32_t>& order,
                      std::size_t at) {
    const MapRow& row = rows[order[at]];
    std::size_t next = at + 1;
    while (next < order.size() && rows[order[next]].selector == row.selector &&
           rows[order[next]].value == row.value)
        ++next;
    return next < order.size() && rows[order[next]].selector == row.selector ? next : order.size();
}

// The moved variables in the old map's address order, appended to the changes with their
// runs. A run holds variables next to each other there: a variable between them that did
// anything else (stayed, was removed or retyped, moved by another distance or to another
// selector) ends it.
void appendMoves(const SymbolMap& before, const SymbolMap& after,
                 const std::vector<VariableFate>& fates, const std::vector<std::uint32_t>& order,
                 MapComparison& comparison) {
    const std::vector<MapRow>& a = before.rows[SectionSymbols];
    const std::vector<MapRow>& b = after.rows[SectionSymbols];
    MoveRun run;
    const auto closeRun = [&] {
        if (run.count >= 2)
            comparison.runs.push_back(run);
        run = MoveRun{};
    };
    std::uint16_t runSelector = 0;
    for (std::uint32_t oldRow : order) {
        const VariableFate& fate = fates[oldRow];
        const MapRow& old = a[oldRow];
        const MapRow* young = fate.fate == Fate::Kept ? &b[fate.newRow] : nullptr;
        if (young == nullptr || (old.selector == young->selector && old.value == young->value)) {
            closeRun();
            continue;
        }
        const bool within = old.selector == young->selector;
        const std::int64_t distance = std::int64_t{young->value} - std::int64_t{old.value};
        const bool extends =
            within && run.count > 0 && distance == run.distance && runSelector == old.selector;
        if (!extends) {
            closeRun();
            if (within) {
                run.first = comparison.changes.size();
                run.distance = distance;
                run.selector = old.selector;
                run.firstRow = oldRow;
                runSelector = old.selector;
            }
        }
        if (within) {
            ++run.count;
            run.lastRow = oldRow;
        }
        comparison.changes.push_back(Change{VariableMoved, oldRow, fate.newRow});
    }
    closeRun();
}

// Variables that kept their place and type but not the distance to the next variable.
void findRoomChanges(const SymbolMap& before, const SymbolMap& after,
                     const std::vector<VariableFate>& fates,
                     const std::vector<std::uint32_t>& oldOrder,
                     const std::vector<std::uint32_t>& newOrder, std::vector<Change>& changes,
                     std::vector<RoomChange>& rooms) {
    const std::vector<MapRow>& a = before.rows[SectionSymbols];
    const std::vector<MapRow>& b = after.rows[SectionSymbols];
    std::vector<std::uint32_t> newPosition(b.size());
    for (std::size_t i = 0; i < newOrder.size(); ++i)
        newPosition[newOrder[i]] = static_cast<std::uint32_t>(i);
    std::vector<std::pair<Change, RoomChange>> found;
    for (std::size_t i = 0; i < oldOrder.size(); ++i) {
        const VariableFate& fate = fates[oldOrder[i]];
        const MapRow& old = a[oldOrder[i]];
        if (fate.fate != Fate::Kept || b[fate.newRow].selector != old.selector ||
            b[fate.newRow].value != old.value)
            continue;
        const std::size_t oldNext = nextAbove(a, oldOrder, i);
        const std::size_t newNext = nextAbove(b, newOrder, newPosition[fate.newRow]);
        if (oldNext == oldOrder.size() || newNext == newOrder.size())
            continue;
        const MapRow& p = a[oldOrder[oldNext]];
        const MapRow& q = b[newOrder[newNext]];
        if (compareNames(rowName(before, p), rowName(after, q)) != 0 || p.value == q.value)
            continue;
        found.push_back({Change{VariableRoom, oldOrder[i], fate.newRow},
                         RoomChange{p.value - old.value, q.value - old.value, newOrder[newNext]}});
    }
    // Like every class but the moves, in name order.
    std::sort(found.begin(), found.end(),
              [](const auto& x, const auto& y) { return x.first.oldRow < y.first.oldRow; });
    for (const auto& [change, room] : found) {
        changes.push_back(change);
        rooms.push_back(room);
    }
}

// A removed and an added variable of the same selector, address and type.
void findRenames(const SymbolMap& before, const SymbolMap& after,
                 const std::vector<Change>& removed, const std::vector<Change>& added,
                 std::vector<Rename>& renames) {
    const std::vector<MapRow>& a = before.rows[SectionSymbols];
    const std::vector<MapRow>& b = after.rows[SectionSymbols];
    const auto place = [](const MapRow& row) {
        return std::uint64_t{row.selector} << 40 | std::uint64_t{row.value} << 8 |
               static_cast<std::uint64_t>(row.type);
    };
    std::vector<std::pair<std::uint64_t, std::uint32_t>> newcomers;
    for (const Change& change : added)
        newcomers.push_back({place(b[change.newRow]), change.newRow});
    std::sort(newcomers.begin(), newcomers.end());
    for (const Change& change : removed) {
        const std::uint64_t key = place(a[change.oldRow]);
        auto it = std::lower_bound(newcomers.begin(), newcomers.end(),
                                   std::pair<std::uint64_t, std::uint32_t>{key, 0});
        for (; it != newcomers.end() && it->first == key; ++it)
            renames.push_back(Rename{change.oldRow, it->second});
    }
    std::sort(renames.begin(), renames.end(), [&](const Rename& x, const Rename& y) {
        return place(a[x.oldRow]) != place(a[y.oldRow]) ? place(a[x.oldRow]) < place(a[y.oldRow])
                                                        : x.oldRow < y.oldRow;
    });
}

// The list of changes as the reports give it, each run as one line.
void collectLines(MapComparison& comparison) {
    std::size_t nextRun = 0;
    comparison.lines.reserve(comparison.changes.size());
    for (std::size_t i = 0; i < comparison.changes.size(); ++i) {
        if (nextRun < comparison.runs.size() && comparison.runs[nextRun].first == i) {
            comparison.lines.push_back(ChangeLine{i, nextRun});
            i += comparison.runs[nextRun++].count - 1;
        } else {
            comparison.lines.push_back(ChangeLine{i, NoRun});
        }
    }
}

void judgeGuard(MapComparison& comparison, const bool (&failOn)[ChangeClassCount]) {
    bool guarded = comparison.budgeted;
    bool tripped = comparison.overBudget;
    for (int kind = 0; kind < ChangeClassCount; ++kind) {
        comparison.failOn[kind] = failOn[kind];
        comparison.tripped[kind] = failOn[kind] && comparison.counts[kind] > 0;
        guarded = guarded || failOn[kind];
        tripped = tripped || comparison.tripped[kind];
    }
    comparison.verdict = tripped   ? GuardVerdict::Tripped
                         : guarded ? GuardVerdict::Passes
                                   : GuardVerdict::Unset;
}

} // namespace

// A million variables are put in that order twice in each comparison, so
// it is a stable radix sort on the 48 bits of selector and address, 16 bits a pass; a pass
// whose digit is the same for every variable is left out.
std::vector<std::uint32_t> addressOrder(const std::vector<MapRow>& rows) {
    const auto place = [&](std::uint32_t row) {
        return std::uint64_t{rows[row].selector} << 32 | rows[row].value;
    };
    std::vector<std::uint32_t> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<std::uint32_t>(i);
    // A map of fewer rows than the radix sort has buckets is sorted by comparison, into the
    // same order (place, then row): the buckets would cost more than the rows.
    if (rows.size() < 0x10000) {
        std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
            const std::uint64_t px = place(x);
            const std::uint64_t py = place(y);
            return px != py ? px < py : x < y;
        });
        return order;
    }
    std::vector<std::uint32_t> sorted(rows.size());
    std::vector<std::size_t> starts(0x10001);
    for (int shift = 0; shift < 48; shift += 16) {
        std::fill(starts.begin(), starts.end(), 0);
        for (std::uint32_t row : order)
            ++starts[(place(row) >> shift & 0xFFFF) + 1];
        if (std::find(starts.begin(), starts.end(), rows.size()) != starts.end())
            continue;
        for (std::size_t digit = 1; digit < starts.size(); ++digit)
            starts[digit] += starts[digit - 1];
        for (std::uint32_t row : order)
            sorted[starts[place(row) >> shift & 0xFFFF]++] = row;
        order.swap(sorted);
    }
    return order;
}

MapComparison compareMaps(const SymbolMap& before, const SymbolMap& after, bool listAll,
                          const bool (&failOn)[ChangeClassCount], const FillBudget& budget) {
    MapComparison comparison;
    comparison.before = &before;
    comparison.after = &after;
    comparison.listAll = listAll;
    std::vector<Change> byClass[ChangeClassCount];
    const std::vector<MapRow>& oldVariables = before.rows[SectionSymbols];
    const std::vector<MapRow>& newVariables = after.rows[SectionSymbols];
    std::vector<VariableFate> fates(oldVariables.size());
    std::size_t kept = 0;
    mergeSections(before, after, SectionSymbols, [&](std::int64_t i, std::int64_t j) {
        if (j < 0) {
            byClass[VariableRemoved].push_back(makeChange(VariableRemoved, i, j));
        } else if (i < 0) {
            byClass[VariableAdded].push_back(makeChange(VariableAdded, i, j));
        } else {
            const bool retyped = oldVariables[i].type != newVariables[j].type;
            if (retyped)
                byClass[VariableRetyped].push_back(makeChange(VariableRetyped, i, j));
            fates[i] =
                VariableFate{retyped ? Fate::Retyped : Fate::Kept, static_cast<std::uint32_t>(j)};
            kept += retyped ? 0 : 1;
        }
    });
    const std::vector<std::uint32_t> oldOrder = addressOrder(oldVariables);
    const std::vector<std::uint32_t> newOrder = addressOrder(newVariables);
    comparison.oldSelectors = summarizeSelectors(before, oldOrder);
    comparison.newSelectors = summarizeSelectors(after, newOrder);
    findRoomChanges(before, after, fates, oldOrder, newOrder, byClass[VariableRoom],
                    comparison.rooms);
    findRenames(before, after, byClass[VariableRemoved], byClass[VariableAdded],
                comparison.renames);
    comparison.structures =
        !before.rows[SectionMembers].empty() || !after.rows[SectionMembers].empty();
    comparison.layouts = compareLayouts(fingerprintLayouts(before), fingerprintLayouts(after));
    const std::vector<SegmentFill> newFills = segmentFills(comparison.newSelectors, budget);
    comparison.fills = compareFills(segmentFills(comparison.oldSelectors, {}), newFills);
    comparison.budgeted = givenBudget(budget);
    comparison.overBudget = anyOverBudget(newFills);
    mergeSections(before, after, SectionBitFields, [&](std::int64_t i, std::int64_t j) {
        if (j < 0)
            byClass[BitRemoved].push_back(makeChange(BitRemoved, i, j));
        else if (i < 0)
            byClass[BitAdded].push_back(makeChange(BitAdded, i, j));
        else if (compareNames(rowLocation(before, before.rows[SectionBitFields][i]),
                              rowLocation(after, after.rows[SectionBitFields][j])) != 0 ||
                 bitWeight(before, static_cast<std::size_t>(i)) !=
                     bitWeight(after, static_cast<std::size_t>(j)))
            byClass[BitMoved].push_back(makeChange(BitMoved, i, j));
    });
    const struct {
        MapSection section;
        ChangeClass added;
        ChangeClass removed;
        ChangeClass changed;
    } valued[] = {{SectionMembers, MemberAdded, MemberRemoved, MemberOffset},
                  {SectionConstants, ConstantAdded, ConstantRemoved, ConstantValue}};
    for (const auto& kind : valued) {
        mergeSections(before, after, kind.section, [&](std::int64_t i, std::int64_t j) {
            if (j < 0)
                byClass[kind.removed].push_back(makeChange(kind.removed, i, j));
            else if (i < 0)
                byClass[kind.added].push_back(makeChange(kind.added, i, j));
            else if (before.rows[kind.section][i].value != after.rows[kind.section][j].value)
                byClass[kind.changed].push_back(makeChange(kind.changed, i, j));
        });
    }

    std::size_t total = kept;
    for (const std::vector<Change>& changes : byClass)
        total += changes.size();
    comparison.changes.reserve(total);
    for (int kind = 0; kind < ChangeClassCount; ++kind) {
        const std::size_t start = comparison.changes.size();
        if (kind == VariableMoved)
            appendMoves(before, after, fates, oldOrder, comparison);
        else
            comparison.changes.insert(comparison.changes.end(), byClass[kind].begin(),
                                      byClass[kind].end());
        comparison.counts[kind] = comparison.changes.size() - start;
    }
    comparison.changed = comparison.changes.size();
    collectLines(comparison);
    judgeGuard(comparison, failOn);
    return comparison;
}

bool parseClassList(const std::string& text, bool (&classes)[ChangeClassCount],
                    std::string& error) {
    for (bool& chosen : classes)
        chosen = false;
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t comma = text.find(',', from);
        if (comma == std::string::npos)
            comma = text.size();
        const std::string word = text.substr(from, comma - from);
        if (word.empty()) {
            error = word;
            return false;
        }
        bool known = false;
        for (int kind = 0; kind < ChangeClassCount; ++kind) {
            const std::string key = ChangeClassNames[kind].key;
            if (word == key || word == key.substr(key.find('-') + 1) ||
                (word == "layout" && ChangeClassNames[kind].layout)) {
                classes[kind] = true;
                known = true;
            }
        }
        if (!known) {
            error = word;
            return false;
        }
        from = comma + 1;
    }
    return true;
}

const RoomChange& roomOf(const MapComparison& comparison, const Change& change) {
    std::size_t start = 0;
    for (int kind = 0; kind < VariableRoom; ++kind)
        start += comparison.counts[kind];
    return comparison.rooms[static_cast<std::size_t>(&change - comparison.changes.data()) - start];
}

MapSection sectionOf(ChangeClass kind) {
    return kind <= VariableRoom   ? SectionSymbols
           : kind <= BitMoved     ? SectionBitFields
           : kind <= MemberOffset ? SectionMembers
                                  : SectionConstants;
}

bool inOldMap(ChangeClass kind) {
    return kind != VariableAdded && kind != BitAdded && kind != MemberAdded &&
           kind != ConstantAdded;
}

bool inNewMap(ChangeClass kind) {
    return kind != VariableRemoved && kind != BitRemoved && kind != MemberRemoved &&
           kind != ConstantRemoved;
}

std::string_view changeName(const MapComparison& comparison, const Change& change) {
    const bool young = inNewMap(change.kind);
    const SymbolMap& map = young ? *comparison.after : *comparison.before;
    return rowName(map, map.rows[sectionOf(change.kind)][young ? change.newRow : change.oldRow]);
}

bool movedWithin(const MapComparison& comparison, const Change& change, std::int64_t& distance) {
    if (change.kind != VariableMoved)
        return false;
    const MapRow& old = comparison.before->rows[SectionSymbols][change.oldRow];
    const MapRow& young = comparison.after->rows[SectionSymbols][change.newRow];
    distance = std::int64_t{young.value} - std::int64_t{old.value};
    return old.selector == young.selector;
}

} // namespace plcinfo
