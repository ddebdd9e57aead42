// Each segment's fill from its selector's summary, the budgets of --max-fill and the fill of
// two builds side by side.
#include "segment_fill.h"
#include "layout_fingerprint.h"
#include "symbol_map.h"

#include <cstdio>

namespace plcinfo {

namespace {

// "50", "50.5", "100", "0": tenths of a percent, at most 1000.
bool parsePercent(std::string_view text, std::uint32_t& tenths) {
    std::uint32_t whole = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && i < 4; ++i)
        whole = whole * 10 + static_cast<std::uint32_t>(text[i] - '0');
    if (i == 0)
        return false;
    std::uint32_t tenth = 0;
    if (i < text.size() && text[i] == '.') {
        if (i + 2 != text.size() || text[i + 1] < '0' || text[i + 1] > '9')
            return false;
        tenth = static_cast<std::uint32_t>(text[i + 1] - '0');
        i = text.size();
    }
    if (i != text.size())
        return false;
    tenths = whole * 10 + tenth;
    return tenths <= 1000;
}

// A hexadecimal selector (an optional trailing "H") or a data segment's name.
bool parseSegment(std::string_view text, std::uint16_t& selector) {
    for (const DataSegment& segment : DataSegments) {
        if (text.size() != std::char_traits<char>::length(segment.name))
            continue;
        bool same = true;
        for (std::size_t i = 0; i < text.size(); ++i)
            same = same && lowerAscii(text[i]) == lowerAscii(segment.name[i]);
        if (same) {
            selector = segment.selector;
            return true;
        }
    }
    if (!text.empty() && (text.back() == 'h' || text.back() == 'H'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 4)
        return false;
    std::uint32_t value = 0;
    for (char c : text) {
        const char d = lowerAscii(c);
        if (d >= '0' && d <= '9')
            value = value * 16 + static_cast<std::uint32_t>(d - '0');
        else if (d >= 'a' && d <= 'f')
            value = value * 16 + static_cast<std::uint32_t>(d - 'a' + 10);
        else
            return false;
    }
    selector = static_cast<std::uint16_t>(value);
    return true;
}

SegmentFill fillOf(const SelectorSummary& summary, const FillBudget& budget) {
    SegmentFill fill;
    fill.selector = summary.selector;
    fill.name = dataSegmentName(summary.selector);
    fill.end = summary.end;
    fill.left = summary.end < SegmentBytes ? SegmentBytes - summary.end : 0;
    // Rounded up, so that a fill shown at a budget's figure is within it.
    const std::uint64_t tenths = (summary.end * 1000 + SegmentBytes - 1) / SegmentBytes;
    fill.tenths = tenths < NoBudget ? static_cast<std::uint32_t>(tenths) : NoBudget - 1;
    fill.budget = budget.all;
    for (std::size_t i = 0; i < budget.selectors.size(); ++i)
        if (budget.selectors[i] == summary.selector)
            fill.budget = budget.limits[i];
    fill.over = fill.budget != NoBudget &&
                summary.end * 1000 > static_cast<std::uint64_t>(fill.budget) * SegmentBytes;
    return fill;
}

} // namespace

bool parseFillBudget(const std::string& text, FillBudget& budget, std::string& error) {
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string_view item = std::string_view(text).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::size_t equals = item.find('=');
        std::uint32_t tenths = 0;
        std::uint16_t selector = 0;
        const bool read = equals == std::string_view::npos
                              ? parsePercent(item, tenths)
                              : parseSegment(item.substr(0, equals), selector) &&
                                    parsePercent(item.substr(equals + 1), tenths);
        if (!read) {
            error = "Not a fill budget (PERCENT or SEL=PERCENT, 0 to 100): " +
                    (item.empty() ? text : std::string(item));
            return false;
        }
        if (equals == std::string_view::npos) {
            budget.all = tenths;
        } else {
            budget.selectors.push_back(selector);
            budget.limits.push_back(tenths);
        }
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

std::vector<SegmentFill> segmentFills(const std::vector<SelectorSummary>& selectors,
                                      const FillBudget& budget) {
    std::vector<SegmentFill> fills;
    fills.reserve(selectors.size());
    for (const SelectorSummary& summary : selectors)
        fills.push_back(fillOf(summary, budget));
    return fills;
}

bool anyOverBudget(const std::vector<SegmentFill>& fills) {
    for (const SegmentFill& fill : fills)
        if (fill.over)
            return true;
    return false;
}

std::string fillText(std::uint32_t tenths) {
    char text[24];
    std::snprintf(text, sizeof text, "%u.%u%%", static_cast<unsigned>(tenths / 10),
                  static_cast<unsigned>(tenths % 10));
    return text;
}

std::string fillChangeText(std::int64_t tenths) {
    const std::uint64_t size =
        tenths < 0 ? static_cast<std::uint64_t>(-tenths) : static_cast<std::uint64_t>(tenths);
    char text[32];
    std::snprintf(text, sizeof text, "%s%llu.%u%%",
                  tenths < 0   ? "-"
                  : tenths > 0 ? "+"
                               : "",
                  static_cast<unsigned long long>(size / 10), static_cast<unsigned>(size % 10));
    return text;
}

std::string overBudgetList(const std::vector<SegmentFill>& fills) {
    std::string list;
    char line[64];
    for (const SegmentFill& fill : fills) {
        if (!fill.over)
            continue;
        std::snprintf(line, sizeof line, "%s%04X %s %s > %s", list.empty() ? "" : ", ",
                      static_cast<unsigned>(fill.selector), fill.name,
                      fillText(fill.tenths).c_str(), fillText(fill.budget).c_str());
        list += line;
    }
    return list;
}

std::vector<FillChange> compareFills(const std::vector<SegmentFill>& before,
                                     const std::vector<SegmentFill>& after) {
    std::vector<FillChange> changes;
    pairBySelector(before, after, [&](const SegmentFill* old, const SegmentFill* fresh) {
        FillChange change;
        change.selector = old != nullptr ? old->selector : fresh->selector;
        change.name = dataSegmentName(change.selector);
        // A side without the segment: no variables, nothing taken, all 64 KiB left.
        change.before.selector = change.after.selector = change.selector;
        change.before.name = change.after.name = change.name;
        change.before.left = change.after.left = SegmentBytes;
        if (old != nullptr)
            change.before = *old;
        if (fresh != nullptr)
            change.after = *fresh;
        change.bytes = static_cast<std::int64_t>(change.after.end) -
                       static_cast<std::int64_t>(change.before.end);
        change.tenths = static_cast<std::int64_t>(change.after.tenths) -
                        static_cast<std::int64_t>(change.before.tenths);
        changes.push_back(change);
    });
    return changes;
}

} // namespace plcinfo
