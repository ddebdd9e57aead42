// What a new build's symbol map changes against the old one's. Both maps hold every section
// in name order (the reader sorts a section that was not), so each section is compared in one
// merge by name, without a table of names.
//
// A variable present in both maps is retyped when its type column differs (whatever its place
// did), moved when only its selector or address differs. Moved variables are taken in the old
// map's address order: those of one selector next to each other there that all moved by the
// same distance within their selector form a run, which the reports show as one line.
#include "symbol_map.h"

#include <algorithm>

namespace plcinfo {

const char* const ChangeClassKeys[ChangeClassCount] = {
    "variable-added", "variable-removed", "variable-moved", "variable-retyped", "bit-added",
    "bit-removed",    "bit-moved",        "member-added",   "member-removed",   "member-offset",
    "constant-added", "constant-removed", "constant-value",
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

// A variable of both maps with the same type column, for the moves.
struct Kept {
    std::uint32_t oldRow;
    std::uint32_t newRow;
};

// The moved variables in the old map's address order, appended to the changes with their runs.
void appendMoves(const SymbolMap& before, const SymbolMap& after, std::vector<Kept>& kept,
                 MapComparison& comparison) {
    const std::vector<MapRow>& a = before.rows[SectionSymbols];
    const std::vector<MapRow>& b = after.rows[SectionSymbols];
    std::sort(kept.begin(), kept.end(), [&](const Kept& x, const Kept& y) {
        const MapRow& p = a[x.oldRow];
        const MapRow& q = a[y.oldRow];
        if (p.selector != q.selector)
            return p.selector < q.selector;
        if (p.value != q.value)
            return p.value < q.value;
        return x.oldRow < y.oldRow;
    });
    MoveRun run;
    const auto closeRun = [&] {
        if (run.count >= 2)
            comparison.runs.push_back(run);
        run = MoveRun{};
    };
    for (const Kept& k : kept) {
        const MapRow& old = a[k.oldRow];
        const MapRow& young = b[k.newRow];
        if (old.selector == young.selector && old.value == young.value) {
            closeRun();
            continue;
        }
        const bool within = old.selector == young.selector;
        const std::int64_t distance = std::int64_t{young.value} - std::int64_t{old.value};
        const bool extends = within && run.count > 0 && distance == run.distance &&
                             a[comparison.changes[run.first].oldRow].selector == old.selector;
        if (!extends) {
            closeRun();
            if (within) {
                run.first = comparison.changes.size();
                run.distance = distance;
            }
        }
        if (within)
            ++run.count;
        comparison.changes.push_back(Change{VariableMoved, k.oldRow, k.newRow});
    }
    closeRun();
}

} // namespace

MapComparison compareMaps(const SymbolMap& before, const SymbolMap& after, bool listAll) {
    MapComparison comparison;
    comparison.before = &before;
    comparison.after = &after;
    comparison.listAll = listAll;
    std::vector<Change> byClass[ChangeClassCount];
    std::vector<Kept> kept;
    const std::vector<MapRow>& oldVariables = before.rows[SectionSymbols];
    const std::vector<MapRow>& newVariables = after.rows[SectionSymbols];
    kept.reserve(std::min(oldVariables.size(), newVariables.size()));
    mergeSections(before, after, SectionSymbols, [&](std::int64_t i, std::int64_t j) {
        if (j < 0)
            byClass[VariableRemoved].push_back(makeChange(VariableRemoved, i, j));
        else if (i < 0)
            byClass[VariableAdded].push_back(makeChange(VariableAdded, i, j));
        else if (oldVariables[i].type != newVariables[j].type)
            byClass[VariableRetyped].push_back(makeChange(VariableRetyped, i, j));
        else
            kept.push_back(Kept{static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)});
    });
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

    std::size_t total = kept.size();
    for (const std::vector<Change>& changes : byClass)
        total += changes.size();
    comparison.changes.reserve(total);
    for (int kind = 0; kind < ChangeClassCount; ++kind) {
        const std::size_t start = comparison.changes.size();
        if (kind == VariableMoved)
            appendMoves(before, after, kept, comparison);
        else
            comparison.changes.insert(comparison.changes.end(), byClass[kind].begin(),
                                      byClass[kind].end());
        comparison.counts[kind] = comparison.changes.size() - start;
    }
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
        bool known = false;
        for (int kind = 0; kind < ChangeClassCount; ++kind) {
            const std::string key = ChangeClassKeys[kind];
            if (word == key || word == key.substr(key.find('-') + 1)) {
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

} // namespace plcinfo
