// The symbol-map reports as a short Markdown summary for a CI job or a comment on a change:
// the verdicts, the findings, per data segment how full it is, and for two maps the guard's
// verdict, the changes per class, the moved runs and the first changes. Long lists are cut
// with a count of the rest.
#include "common/markdown_writer.h"
#include "images/image_set.h"
#include "map_report_text.h"

#include <vector>

namespace plcinfo {

namespace {

void appendFindings(std::string& out, const SymbolMap& map, const char* side, std::size_t& shown) {
    for (const MapFinding& finding : map.findings) {
        if (shown++ >= MarkdownListRows)
            continue;
        appendFormat(out, "- %sline %u: %s\n", side, static_cast<unsigned>(finding.line),
                     markdownText(finding.text).c_str());
    }
    shown += map.findingCount - map.findings.size();
}

void appendFindingsSection(std::string& out, const SymbolMap* maps[2], const char* sides[2]) {
    std::size_t shown = 0;
    std::string items;
    for (int i = 0; i < 2; ++i)
        if (maps[i] != nullptr)
            appendFindings(items, *maps[i], sides[i], shown);
    if (shown == 0)
        return;
    out += "\n### Findings\n\n" + items;
    markdownMore(out, shown > MarkdownListRows ? shown - MarkdownListRows : 0, "findings");
}

// The room above a segment's highest end, in bold when there is none.
std::string headroomCell(std::uint64_t end) {
    return end <= SegmentBytes ? roomText(end) : "**" + roomText(end) + "**";
}

// A segment's fill, in bold with "over" when it is over its budget.
std::string fillCell(const SegmentFill& fill) {
    return fill.over ? "**" + fillWithBudget(fill) + " over**" : fillWithBudget(fill);
}

} // namespace

std::string formatMapMarkdown(const MapReport& report) {
    const SymbolMap& map = *report.map;
    std::string out = "## Plcinfo: symbol map\n\n";
    if (map.findingCount == 0 && report.overBudget)
        out += "**Stopped by --max-fill: " + overBudgetList(report.fills) + "**\n\n";
    appendFormat(out, "%s: %s%s%s\n", markdownText(map.path).c_str(),
                 map.findingCount == 0 ? "" : "**", soundness(map).c_str(),
                 map.findingCount == 0 ? "" : "**");
    const SymbolMap* maps[2] = {&map, nullptr};
    const char* sides[2] = {"", ""};
    appendFindingsSection(out, maps, sides);
    out += "\n### Data segments\n\n";
    static const char* const Titles[] = {"selector", "variables", "lowest",
                                         "end",      "headroom",  "fill"};
    markdownTableHead(out, Titles, 6, 0x3E);
    for (std::size_t i = 0; i < report.selectors.size(); ++i) {
        const SelectorSummary& s = report.selectors[i];
        const std::string cells[] = {hexDigits(s.selector, 4), number(s.variables),
                                     hexDigits(s.lowest, 4),   hexDigits(s.end, 4),
                                     headroomCell(s.end),      fillCell(report.fills[i])};
        markdownRow(out, cells, 6);
    }
    if (!report.fingerprints.empty()) {
        out += "\n### Layout fingerprints\n\n";
        static const char* const LayoutTitles[] = {"segment", "fingerprint"};
        markdownTableHead(out, LayoutTitles, 2, 0);
    }
    for (const SegmentFingerprint& f : report.fingerprints) {
        const std::string cells[] = {hexDigits(f.selector, 4) + " " + f.name, "`" + f.digits + "`"};
        markdownRow(out, cells, 2);
    }
    if (report.images != nullptr)
        writeImagesMarkdown(out, *report.images);
    return out;
}

namespace {

// A section of at most MarkdownListRows items, `item(i)` the text of the i-th, and the count of
// the rest; nothing when there are none.
template <typename Item>
void appendList(std::string& out, const char* title, std::size_t count, const char* what,
                Item item) {
    if (count == 0)
        return;
    appendFormat(out, "\n### %s\n\n", title);
    for (std::size_t i = 0; i < count && i < MarkdownListRows; ++i)
        out += "- " + markdownText(item(i)) + "\n";
    markdownMore(out, count > MarkdownListRows ? count - MarkdownListRows : 0, what);
}

void appendClassTable(std::string& out, const MapComparison& comparison) {
    out += "\n### Changes\n\n";
    if (comparison.changed == 0) {
        out += "no change\n";
        return;
    }
    static const char* const ClassTitles[] = {"class", "key", "changes"};
    markdownTableHead(out, ClassTitles, 3, 0x4);
    for (int kind = 0; kind < ChangeClassCount; ++kind) {
        if (comparison.counts[kind] == 0)
            continue;
        const std::string cells[] = {ChangeClassNames[kind].label,
                                     std::string("`") + ChangeClassNames[kind].key + "`",
                                     number(comparison.counts[kind])};
        markdownRow(out, cells, 3);
    }
}

} // namespace

std::string formatComparisonMapMarkdown(const MapComparison& comparison) {
    const SymbolMap& a = *comparison.before;
    const SymbolMap& b = *comparison.after;
    std::string out = "## Plcinfo: symbol maps of two builds\n\n";
    if (comparison.verdict == GuardVerdict::Tripped)
        out += "**Stopped by " + stopReasons(comparison, "`") + "**\n\n";
    else if (comparison.verdict == GuardVerdict::Passes)
        out += "The guard passes: " + passReasons(comparison) + ".\n\n";
    appendFormat(out, "Old: %s: %s  \nNew: %s: %s\n", markdownText(a.path).c_str(),
                 soundness(a).c_str(), markdownText(b.path).c_str(), soundness(b).c_str());
    const SymbolMap* maps[2] = {&a, &b};
    const char* sides[2] = {"old ", "new "};
    appendFindingsSection(out, maps, sides);
    appendClassTable(out, comparison);
    if (!comparison.layouts.empty()) {
        out += "\n### Layouts\n\n";
        static const char* const LayoutTitles[] = {"segment", "layout", "fingerprint"};
        markdownTableHead(out, LayoutTitles, 3, 0);
    }
    for (const LayoutVerdict& v : comparison.layouts) {
        const std::string word = layoutWord(v);
        const std::string cells[] = {hexDigits(v.selector, 4) + " " + v.name,
                                     v.changed ? "**" + word + "**" : word,
                                     "`" + layoutValues(v) + "`"};
        markdownRow(out, cells, 3);
    }
    if (!comparison.fills.empty()) {
        out += "\n### Fill\n\n";
        static const char* const FillTitles[] = {"segment", "old", "new", "change", "headroom"};
        markdownTableHead(out, FillTitles, 5, 0x1E);
    }
    for (const FillChange& fill : comparison.fills) {
        const std::string cells[] = {hexDigits(fill.selector, 4) + " " + fill.name,
                                     fillText(fill.before.tenths), fillCell(fill.after),
                                     fillChange(fill), headroomCell(fill.after.end)};
        markdownRow(out, cells, 5);
    }
    appendList(out, "Moved runs", comparison.runs.size(), "runs",
               [&](std::size_t i) { return runText(comparison, comparison.runs[i]); });
    // The changes as the text report lists them, runs as one line each.
    appendList(out, "First changes", comparison.lines.size(), "changes", [&](std::size_t i) {
        const ChangeLine& line = comparison.lines[i];
        if (line.run != NoRun)
            return "variables moved: " + runText(comparison, comparison.runs[line.run]);
        const Change& change = comparison.changes[line.change];
        return std::string(ChangeClassNames[change.kind].label) + ": " +
               changeText(comparison, change);
    });
    appendList(out, "Possibly renamed", comparison.renames.size(), "renames",
               [&](std::size_t i) { return renameText(comparison, comparison.renames[i]); });
    if (comparison.oldImages != nullptr && comparison.newImages != nullptr)
        writeImageComparisonMarkdown(out, *comparison.oldImages, *comparison.newImages);
    return out;
}

// Every build, since a history is read for its newest rows as much as its first.
std::string formatHistoryMarkdown(const MapHistory& history) {
    std::string out = "## Plcinfo: " + historyTitle(history) + "\n\n";
    const std::string budget = historyBudgetText(history);
    if (!budget.empty())
        out += (history.overBudget ? "**" + budget + "**" : budget) + "\n\n";
    out += (history.unsound == 0 ? historySoundness(history)
                                 : "**" + historySoundness(history) + "**") +
           "\n";
    if (history.budgeted)
        out += "\nBudgets (`--max-fill`): " + historyBudgets(history) + "\n";
    out += "\n### Builds\n\n";
    std::vector<std::string> titles = {"build", "map", "variables"};
    for (std::uint16_t selector : history.selectors)
        titles.push_back(segmentLabel(selector));
    titles.push_back("changes against the build before");
    std::vector<const char*> heads;
    std::vector<bool> right; // build, variables and each segment's fill
    for (std::size_t c = 0; c < titles.size(); ++c) {
        heads.push_back(titles[c].c_str());
        right.push_back(c == 0 || c == 2 || (c >= 3 && c + 1 < titles.size()));
    }
    const int columns = static_cast<int>(heads.size());
    markdownTableHead(out, heads.data(), columns, right);
    std::vector<std::string> cells(heads.size());
    for (std::size_t i = 0; i < history.builds.size(); ++i) {
        const BuildRecord& build = history.builds[i];
        cells[0] = number(i + 1);
        cells[1] = markdownText(build.path) +
                   (build.findingCount == 0 ? "" : " **" + soundness(build.findingCount) + "**");
        cells[2] = number(build.variables);
        for (std::size_t c = 0; c < history.selectors.size(); ++c) {
            const SegmentFill* fill = fillOf(build, history.selectors[c]);
            cells[3 + c] = fill == nullptr ? "-"
                           : fill->over    ? "**" + fillText(fill->tenths) + " over**"
                                           : fillText(fill->tenths);
        }
        cells.back() = markdownText(historyChangeText(build));
        markdownRow(out, cells.data(), columns);
    }
    return out;
}

} // namespace plcinfo
