// The history of a series of builds' symbol maps, read one map at a time.
#include "map_history.h"

#include <algorithm>
#include <memory>

namespace plcinfo {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// -1, 0 or 1 as `a` sorts before, with or after `b` in natural order, bytes left aside.
int compareNatural(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // Two numbers: without their leading zeros, the longer is the larger, else the
            // first digit that differs decides.
            while (i < a.size() && a[i] == '0')
                ++i;
            while (j < b.size() && b[j] == '0')
                ++j;
            std::size_t x = i;
            std::size_t y = j;
            while (x < a.size() && isDigit(a[x]))
                ++x;
            while (y < b.size() && isDigit(b[y]))
                ++y;
            if (x - i != y - j)
                return x - i < y - j ? -1 : 1;
            for (; i < x; ++i, ++j)
                if (a[i] != b[j])
                    return a[i] < b[j] ? -1 : 1;
            continue;
        }
        const unsigned char p = static_cast<unsigned char>(lowerAscii(a[i]));
        const unsigned char q = static_cast<unsigned char>(lowerAscii(b[j]));
        if (p != q)
            return p < q ? -1 : 1;
        ++i;
        ++j;
    }
    const bool aLeft = i < a.size();
    const bool bLeft = j < b.size();
    return aLeft == bLeft ? 0 : aLeft ? 1 : -1;
}

// The record of the first build, which has no build before it.
void recordAlone(const SymbolMap& map, const FillBudget& budget, BuildRecord& build) {
    const std::vector<std::uint32_t> order = addressOrder(map.rows[SectionSymbols]);
    build.fills = segmentFills(summarizeSelectors(map, order), budget);
    build.fingerprints = fingerprintLayouts(map);
}

// The record of a later build, from its comparison with the build before: the comparison
// summarizes and fingerprints both maps, so the new map's figures are taken from it.
void recordAgainst(const SymbolMap& before, const SymbolMap& map, const FillBudget& budget,
                   BuildRecord& build) {
    static const bool NoGuard[ChangeClassCount] = {};
    const MapComparison comparison = compareMaps(before, map, false, NoGuard, budget);
    build.fills = segmentFills(comparison.newSelectors, budget);
    for (const LayoutVerdict& verdict : comparison.layouts) {
        if (!verdict.after.empty())
            build.fingerprints.push_back({verdict.selector, verdict.name, verdict.after});
        if (verdict.changed)
            build.layoutChanged.push_back(verdict.selector);
    }
    build.compared = true;
    std::copy(std::begin(comparison.counts), std::end(comparison.counts), build.counts);
    build.changed = comparison.changed;
}

} // namespace

const SegmentFill* fillOf(const BuildRecord& build, std::uint16_t selector) {
    for (const SegmentFill& fill : build.fills)
        if (fill.selector == selector)
            return &fill;
    return nullptr;
}

bool layoutChangedIn(const BuildRecord& build, std::uint16_t selector) {
    return std::find(build.layoutChanged.begin(), build.layoutChanged.end(), selector) !=
           build.layoutChanged.end();
}

bool naturalLess(const std::string& a, const std::string& b) {
    const int order = compareNatural(a, b);
    return order != 0 ? order < 0 : a < b;
}

bool readHistory(const std::vector<std::string>& paths, const FillBudget& budget,
                 MapHistory& history, std::string& error) {
    history.budgeted = givenBudget(budget);
    // A map stays where it was read, so the two open ones are swapped by their owners.
    std::unique_ptr<SymbolMap> before;
    for (const std::string& path : paths) {
        auto map = std::make_unique<SymbolMap>();
        if (!readSymbolMap(path, *map, error))
            return false;
        BuildRecord build;
        build.path = path;
        build.findingCount = map->findingCount;
        build.variables = map->rows[SectionSymbols].size();
        if (before)
            recordAgainst(*before, *map, budget, build);
        else
            recordAlone(*map, budget, build);
        history.unsound += build.findingCount != 0 ? 1 : 0;
        for (const SegmentFill& fill : build.fills)
            history.selectors.push_back(fill.selector);
        history.builds.push_back(std::move(build));
        before = std::move(map);
    }
    std::sort(history.selectors.begin(), history.selectors.end());
    history.selectors.erase(std::unique(history.selectors.begin(), history.selectors.end()),
                            history.selectors.end());
    history.overBudget = !history.builds.empty() && anyOverBudget(history.builds.back().fills);
    return true;
}

} // namespace plcinfo
