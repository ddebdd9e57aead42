// What the reports on one symbol map show: rows per section, the variables of each selector
// against the 64 KiB of its segment, and the look-ups of a name (with wildcards) and of an
// address. Every section is in name order by now (the reader sorts what was not).
#include "symbol_map.h"

#include <algorithm>

namespace plcinfo {

namespace {

// The rows of the bit-fields section in order of their locations, so that the bits of one
// variable are found by a binary search.
std::vector<std::size_t> bitsByLocation(const SymbolMap& map) {
    const std::vector<MapRow>& fields = map.rows[SectionBitFields];
    std::vector<std::size_t> order(fields.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return compareNames(rowLocation(map, fields[a]), rowLocation(map, fields[b])) < 0;
    });
    return order;
}

// The bits located in the variable `name`, as rows of the bit-fields section in name order.
std::vector<std::size_t> bitsOf(const SymbolMap& map, const std::vector<std::size_t>& byLocation,
                                std::string_view name) {
    const std::vector<MapRow>& fields = map.rows[SectionBitFields];
    auto it = std::lower_bound(byLocation.begin(), byLocation.end(), name,
                               [&](std::size_t row, std::string_view key) {
                                   return compareNames(rowLocation(map, fields[row]), key) < 0;
                               });
    std::vector<std::size_t> bits;
    for (; it != byLocation.end() && compareNames(rowLocation(map, fields[*it]), name) == 0; ++it)
        bits.push_back(*it);
    return bits;
}

// The row of `name` in a section, by binary search.
bool findRow(const SymbolMap& map, MapSection section, std::string_view name, std::size_t& row) {
    const std::vector<MapRow>& rows = map.rows[section];
    const auto found = std::lower_bound(rows.begin(), rows.end(), name,
                                        [&](const MapRow& r, std::string_view key) {
                                            return compareNames(rowName(map, r), key) < 0;
                                        });
    if (found == rows.end() || compareNames(rowName(map, *found), name) != 0)
        return false;
    row = static_cast<std::size_t>(found - rows.begin());
    return true;
}

} // namespace

std::int64_t bitWeight(const SymbolMap& map, std::size_t fieldRow) {
    const std::vector<MapRow>& weights = map.rows[SectionBitWeights];
    const std::string_view name = rowName(map, map.rows[SectionBitFields][fieldRow]);
    if (fieldRow < weights.size() && rowName(map, weights[fieldRow]) == name)
        return weights[fieldRow].value;
    std::size_t row = 0;
    return findRow(map, SectionBitWeights, name, row) ? weights[row].value : -1;
}

bool matchesPattern(std::string_view pattern, std::string_view name) {
    // Iterative match with one backtracking point: the latest "*".
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || lowerAscii(pattern[p]) == lowerAscii(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool parseLocation(const std::string& text, std::uint16_t& selector, std::uint32_t& address) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    std::uint64_t parts[2] = {};
    const std::string pieces[2] = {text.substr(0, colon), text.substr(colon + 1)};
    for (int i = 0; i < 2; ++i) {
        std::string piece = pieces[i];
        if (!piece.empty() && (piece.back() == 'H' || piece.back() == 'h'))
            piece.pop_back();
        if (piece.empty() || piece.size() > 8)
            return false;
        for (char c : piece) {
            const char l = lowerAscii(c);
            if (!((l >= '0' && l <= '9') || (l >= 'a' && l <= 'f')))
                return false;
            parts[i] = parts[i] << 4 | static_cast<unsigned>(l <= '9' ? l - '0' : l - 'a' + 10);
        }
    }
    if (parts[0] > 0xFFFF)
        return false;
    selector = static_cast<std::uint16_t>(parts[0]);
    address = static_cast<std::uint32_t>(parts[1]);
    return true;
}

std::vector<SelectorSummary> summarizeSelectors(const SymbolMap& map,
                                                const std::vector<std::uint32_t>& order,
                                                std::vector<std::uint32_t>* sizes) {
    const std::vector<MapRow>& rows = map.rows[SectionSymbols];
    std::vector<SelectorSummary> summaries;
    if (sizes != nullptr)
        sizes->assign(rows.size(), 0);
    for (std::size_t i = 0; i < order.size();) {
        summaries.emplace_back();
        SelectorSummary& summary = summaries.back();
        const MapRow& lowest = rows[order[i]];
        summary.selector = lowest.selector;
        summary.first = i;
        summary.lowest = summary.highest = lowest.value;
        std::size_t above = i; // the first variable at a higher address than the i-th
        for (; i < order.size() && rows[order[i]].selector == summary.selector; ++i) {
            const MapRow& row = rows[order[i]];
            while (above < order.size() && rows[order[above]].selector == summary.selector &&
                   rows[order[above]].value == row.value)
                ++above;
            const bool last =
                above == order.size() || rows[order[above]].selector != summary.selector;
            const std::uint64_t width = TypeWidths[static_cast<int>(row.type)];
            const std::uint64_t end =
                sizeFixedByType(row.type) || last
                    ? row.value + width
                    : std::max<std::uint64_t>(rows[order[above]].value, row.value + width);
            summary.highest = row.value;
            summary.end = std::max(summary.end, end);
            if (sizes != nullptr) // at most the 64 KiB of a segment and a QWORD beyond
                (*sizes)[order[i]] = static_cast<std::uint32_t>(end - row.value);
            const std::uint32_t begin =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(row.value, SegmentBytes));
            const std::uint32_t clipped = static_cast<std::uint32_t>(std::min(end, SegmentBytes));
            if (!summary.spans.empty() && begin <= summary.spans.back().end)
                summary.spans.back().end = std::max(summary.spans.back().end, clipped);
            else if (begin < clipped)
                summary.spans.push_back({begin, clipped});
        }
        summary.variables = i - summary.first;
        for (const ByteSpan& span : summary.spans)
            summary.taken += span.end - span.begin;
    }
    return summaries;
}

MapReport buildMapReport(const SymbolMap& map, const FillBudget& budget) {
    MapReport report;
    report.map = &map;
    for (int section = 0; section < MapSectionCount; ++section)
        report.sectionRows[section] = map.rows[section].size();
    report.order = addressOrder(map.rows[SectionSymbols]);
    report.selectors = summarizeSelectors(map, report.order, &report.sizes);
    report.fingerprints = fingerprintLayouts(map);
    report.fills = segmentFills(report.selectors, budget);
    report.budgeted = givenBudget(budget);
    report.overBudget = anyOverBudget(report.fills);
    return report;
}

void findRows(const SymbolMap& map, const std::string& pattern, MapReport& report) {
    report.finding = true;
    report.pattern = pattern;
    const MapSection shown[] = {SectionSymbols, SectionBitFields, SectionMembers, SectionConstants};
    const std::vector<std::size_t> byLocation = bitsByLocation(map);
    for (MapSection section : shown) {
        const std::vector<MapRow>& rows = map.rows[section];
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (!matchesPattern(pattern, rowName(map, rows[i])))
                continue;
            FindHit hit;
            hit.section = section;
            hit.row = i;
            if (section == SectionSymbols)
                hit.bits = bitsOf(map, byLocation, rowName(map, rows[i]));
            if (section == SectionBitFields) {
                hit.hasVariable =
                    findRow(map, SectionSymbols, rowLocation(map, rows[i]), hit.variableRow);
            }
            report.hits.push_back(std::move(hit));
        }
    }
    // A bit whose bit-fields row is missing still has its weight shown.
    const std::vector<MapRow>& weights = map.rows[SectionBitWeights];
    for (std::size_t i = 0; i < weights.size(); ++i) {
        std::size_t field = 0;
        if (matchesPattern(pattern, rowName(map, weights[i])) &&
            !findRow(map, SectionBitFields, rowName(map, weights[i]), field)) {
            FindHit hit;
            hit.section = SectionBitWeights;
            hit.row = i;
            report.hits.push_back(hit);
        }
    }
    std::vector<const MapRow*> rows;
    for (const FindHit& hit : report.hits)
        rows.push_back(&map.rows[hit.section][hit.row]);
    const std::vector<std::uint32_t> lines = linesOfRows(map, rows);
    for (std::size_t i = 0; i < lines.size(); ++i)
        report.hits[i].line = lines[i];
}

void locateAddress(const SymbolMap& map, std::uint16_t selector, std::uint32_t address,
                   MapReport& report) {
    report.locating = true;
    report.atSelector = selector;
    report.atAddress = address;
    const std::vector<MapRow>& rows = map.rows[SectionSymbols];
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MapRow& row = rows[i];
        if (row.selector != selector)
            continue;
        if (row.value == address) {
            report.atRows.push_back(i);
        } else if (row.value < address &&
                   (!report.hasBefore || row.value > rows[report.beforeRow].value)) {
            report.hasBefore = true;
            report.beforeRow = i;
        }
    }
    if (!report.atRows.empty())
        report.hasBefore = false;
    std::vector<const MapRow*> lineRows;
    for (std::size_t row : report.atRows)
        lineRows.push_back(&rows[row]);
    if (report.hasBefore)
        lineRows.push_back(&rows[report.beforeRow]);
    std::vector<std::uint32_t> lines = linesOfRows(map, lineRows);
    if (report.hasBefore) {
        report.beforeLine = lines.back();
        lines.pop_back();
    }
    report.atLines = lines;
}

} // namespace plcinfo
