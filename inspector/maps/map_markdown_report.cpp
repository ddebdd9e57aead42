// The symbol-map reports as a short Markdown summary for a CI job or a comment on a change:
// the verdicts, the findings, per data segment how full it is, and for two maps the guard's
// verdict, the changes per class, the moved runs and the first changes. Long lists are cut
// with a count of the rest.
#include "image_set.h"
#include "map_report_text.h"
#include "markdown_writer.h"

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

} // namespace

std::string formatMapMarkdown(const MapReport& report) {
    const SymbolMap& map = *report.map;
    std::string out = "## Plcinfo: symbol map\n\n";
    appendFormat(out, "%s: %s%s%s\n", markdownText(map.path).c_str(),
                 map.findingCount == 0 ? "" : "**", soundness(map).c_str(),
                 map.findingCount == 0 ? "" : "**");
    const SymbolMap* maps[2] = {&map, nullptr};
    const char* sides[2] = {"", ""};
    appendFindingsSection(out, maps, sides);
    out += "\n### Data segments\n\n";
    static const char* const Titles[] = {"selector", "variables", "lowest", "end", "of 64 KiB"};
    markdownTableHead(out, Titles, 5, 0x1E);
    for (const SelectorSummary& s : report.selectors) {
        const std::string cells[] = {hexDigits(s.selector, 4), number(s.variables),
                                     hexDigits(s.lowest, 4), hexDigits(s.end, 4),
                                     s.end <= SegmentBytes
                                         ? hexDigits(SegmentBytes - s.end, 4) + " left"
                                         : "**" + hexDigits(s.end - SegmentBytes, 4) + " beyond**"};
        markdownRow(out, cells, 5);
    }
    if (report.images != nullptr)
        writeImagesMarkdown(out, *report.images);
    return out;
}

std::string formatComparisonMapMarkdown(const MapComparison& comparison) {
    const SymbolMap& a = *comparison.before;
    const SymbolMap& b = *comparison.after;
    std::string out = "## Plcinfo: symbol maps of two builds\n\n";
    std::string tripped;
    bool guarded = false;
    for (int kind = 0; kind < ChangeClassCount; ++kind) {
        guarded = guarded || comparison.failOn[kind];
        if (comparison.failOn[kind] && comparison.counts[kind] != 0)
            tripped += std::string(tripped.empty() ? "" : ", ") + "`" + ChangeClassKeys[kind] + "`";
    }
    if (!tripped.empty())
        out += "**Stopped by --fail-on: " + tripped + "**\n\n";
    else if (guarded)
        out += "The guard passes: no class that --fail-on names changed.\n\n";
    appendFormat(out, "Old: %s: %s  \nNew: %s: %s\n", markdownText(a.path).c_str(),
                 soundness(a).c_str(), markdownText(b.path).c_str(), soundness(b).c_str());
    const SymbolMap* maps[2] = {&a, &b};
    const char* sides[2] = {"old ", "new "};
    appendFindingsSection(out, maps, sides);

    out += "\n### Changes\n\n";
    static const char* const ClassTitles[] = {"class", "key", "changes"};
    std::size_t total = 0;
    for (int kind = 0; kind < ChangeClassCount; ++kind)
        total += comparison.counts[kind];
    if (total == 0)
        out += "no change\n";
    else
        markdownTableHead(out, ClassTitles, 3, 0x4);
    for (int kind = 0; kind < ChangeClassCount; ++kind) {
        if (comparison.counts[kind] == 0)
            continue;
        const std::string cells[] = {ClassLabels[kind],
                                     std::string("`") + ChangeClassKeys[kind] + "`",
                                     number(comparison.counts[kind])};
        markdownRow(out, cells, 3);
    }

    if (!comparison.runs.empty()) {
        out += "\n### Moved runs\n\n";
        for (std::size_t i = 0; i < comparison.runs.size() && i < MarkdownListRows; ++i)
            out += "- " + markdownText(runText(comparison, comparison.runs[i])) + "\n";
        markdownMore(out,
                     comparison.runs.size() > MarkdownListRows
                         ? comparison.runs.size() - MarkdownListRows
                         : 0,
                     "runs");
    }

    // The changes as the text report lists them, runs as one line each.
    std::string lines;
    std::size_t count = 0;
    std::size_t nextRun = 0;
    for (std::size_t i = 0; i < comparison.changes.size(); ++i) {
        std::string line;
        if (nextRun < comparison.runs.size() && comparison.runs[nextRun].first == i) {
            const MoveRun& run = comparison.runs[nextRun++];
            line = "variables moved: " + runText(comparison, run);
            i = run.first + run.count - 1;
        } else {
            const Change& change = comparison.changes[i];
            line = std::string(ClassLabels[change.kind]) + ": " + changeText(comparison, change);
        }
        if (count++ < MarkdownListRows)
            lines += "- " + markdownText(line) + "\n";
    }
    if (count != 0) {
        out += "\n### First changes\n\n" + lines;
        markdownMore(out, count > MarkdownListRows ? count - MarkdownListRows : 0, "changes");
    }
    if (!comparison.renames.empty()) {
        out += "\n### Possibly renamed\n\n";
        for (std::size_t i = 0; i < comparison.renames.size() && i < MarkdownListRows; ++i) {
            const Rename& rename = comparison.renames[i];
            const MapRow& old = a.rows[SectionSymbols][rename.oldRow];
            out += "- " +
                   markdownText(std::string(rowName(a, old)) + " -> " +
                                std::string(rowName(b, b.rows[SectionSymbols][rename.newRow])) +
                                "  " + place(old) + " " + TypeNames[static_cast<int>(old.type)]) +
                   "\n";
        }
        markdownMore(out,
                     comparison.renames.size() > MarkdownListRows
                         ? comparison.renames.size() - MarkdownListRows
                         : 0,
                     "renames");
    }
    if (comparison.oldImages != nullptr && comparison.newImages != nullptr)
        writeImageComparisonMarkdown(out, *comparison.oldImages, *comparison.newImages);
    return out;
}

} // namespace plcinfo
