// The symbol-map reports as one HTML page: for one map its findings, each data segment's 64 KiB
// with the bytes its variables take and a strip of its variables, and tables of the variables,
// bits, structure members and constants; for two maps the guard's verdict, the changes by
// class, the moved runs drawn on each segment (old above new), the removed and retyped
// variables on their own and a table of the changes, sorted by the size of the move. A build's
// images (--images) come with their map. The page prints the report models; the rows are read
// only where the models point to them.
#include "common/html_writer.h"
#include "images/image_set.h"
#include "map_history.h"
#include "map_report_text.h"

#include <algorithm>

namespace plcinfo {

namespace {

// Past this many variables a segment's strip shows how full each 256 bytes are instead of one
// mark per variable, and past this many spans of taken bytes its bar does the same: a page of
// a million variables must not place a million elements.
constexpr std::size_t StripVariables = 2048;
constexpr std::size_t BarSpans = 2048;
constexpr std::uint32_t BucketBytes = 256;
constexpr std::uint32_t BucketCount = SegmentBytes / BucketBytes;

std::string segmentName(std::uint16_t selector) {
    for (const DataSegment& segment : DataSegments)
        if (segment.selector == selector)
            return std::string(segment.name) + " " + hexDigits(selector, 4);
    return "selector " + hexDigits(selector, 4);
}

// One selector's variables in address order and the bytes they take, as the map's summary
// of the selector gives them.
struct SegmentLayout {
    std::uint16_t selector = 0;
    std::size_t first = 0; // into the address order
    std::size_t count = 0;
    std::vector<ByteSpan> spans; // taken bytes, merged, within the 64 KiB
    std::uint64_t taken = 0;     // bytes within the 64 KiB
    std::uint64_t end = 0;       // where the furthest variable ends, may lie beyond the 64 KiB
    std::uint32_t buckets[BucketCount] = {}; // taken bytes of each 256
    SegmentFill fill;                        // zero for a segment without variables
};

std::uint32_t widthOf(const MapRow& row) {
    return TypeWidths[static_cast<int>(row.type)];
}

// The selectors of the map in order, the four data segments always among them.
std::vector<SegmentLayout> layOut(const std::vector<SelectorSummary>& summaries,
                                  const std::vector<SegmentFill>& fills) {
    std::vector<SegmentLayout> layouts;
    std::size_t next = 0;
    const auto addNamedBefore = [&](std::uint32_t selector) {
        for (; next < std::size(DataSegments) && DataSegments[next].selector <= selector; ++next) {
            if (DataSegments[next].selector == selector)
                continue;
            layouts.emplace_back();
            layouts.back().selector = DataSegments[next].selector;
        }
    };
    for (std::size_t i = 0; i < summaries.size(); ++i) {
        const SelectorSummary& summary = summaries[i];
        addNamedBefore(summary.selector);
        layouts.emplace_back();
        SegmentLayout& layout = layouts.back();
        if (i < fills.size())
            layout.fill = fills[i];
        layout.selector = summary.selector;
        layout.first = summary.first;
        layout.count = summary.variables;
        layout.spans = summary.spans;
        layout.taken = summary.taken;
        layout.end = summary.end;
        for (const ByteSpan& span : layout.spans) {
            for (std::uint32_t at = span.begin; at < span.end;) {
                const std::uint32_t bucketEnd = (at / BucketBytes + 1) * BucketBytes;
                const std::uint32_t upTo = std::min(bucketEnd, span.end);
                layout.buckets[at / BucketBytes] += upTo - at;
                at = upTo;
            }
        }
    }
    addNamedBefore(0x10000);
    return layouts;
}

const SegmentLayout* layoutOf(const std::vector<SegmentLayout>& layouts, std::uint16_t selector) {
    for (const SegmentLayout& layout : layouts)
        if (layout.selector == selector)
            return &layout;
    return nullptr;
}

// The taken bytes of a segment as marks between y and y + height of a picture whose width is
// bytes; a span is drawn at least `least` bytes wide, so that four bytes of 64 KiB still show.
void appendTaken(std::string& out, const SegmentLayout& layout, int y, int height,
                 std::uint32_t least) {
    if (layout.spans.size() <= BarSpans) {
        for (const ByteSpan& span : layout.spans)
            appendFormat(out, "<rect class=\"used\" x=\"%u\" y=\"%d\" width=\"%u\" height=\"%d\"/>",
                         static_cast<unsigned>(span.begin), y,
                         static_cast<unsigned>(std::max(span.end - span.begin, least)), height);
        return;
    }
    for (std::uint32_t b = 0; b < BucketCount; ++b) {
        if (layout.buckets[b] == 0)
            continue;
        appendFormat(out,
                     "<rect class=\"used\" x=\"%u\" y=\"%d\" width=\"%u\" height=\"%d\" "
                     "fill-opacity=\"%.2f\"/>",
                     static_cast<unsigned>(b * BucketBytes), y, static_cast<unsigned>(BucketBytes),
                     height, 0.2 + 0.8 * layout.buckets[b] / BucketBytes);
    }
}

std::string variableDetail(const SymbolMap& map, const MapRow& row, std::uint32_t size) {
    return std::string(rowName(map, row)) + "  " + place(row) + " " +
           TypeNames[static_cast<int>(row.type)] + ", " + number(size) +
           (size == 1 ? " byte" : " bytes");
}

// The line of a segment's budget (--max-fill) across a bar whose width stands for its 64 KiB.
void appendBudgetMark(std::string& out, const SegmentFill& fill, std::uint64_t width, int height) {
    if (fill.budget == NoBudget)
        return;
    const std::uint64_t at = std::min<std::uint64_t>(fill.budget, 1000) * width / 1000;
    appendFormat(out,
                 "<rect class=\"budget\" x=\"%llu\" width=\"%llu\" height=\"%d\"><title>"
                 "--max-fill %s</title></rect>",
                 static_cast<unsigned long long>(at >= width / 200 ? at - width / 200 : 0),
                 static_cast<unsigned long long>(width / 100), height,
                 fillText(fill.budget).c_str());
}

// A segment's fill as a bar of its 64 KiB up to its highest end, with its budget's line.
void appendFillBar(std::string& out, const SegmentFill& fill) {
    appendFormat(out,
                 "<svg class=\"bar\" viewBox=\"0 0 1000 10\" preserveAspectRatio=\"none\" "
                 "aria-hidden=\"true\"><rect class=\"track\" width=\"1000\" height=\"10\"/>"
                 "<rect class=\"%s\" width=\"%u\" height=\"10\"/>",
                 fill.over ? "grown" : "used",
                 static_cast<unsigned>(std::min<std::uint32_t>(fill.tenths, 1000)));
    appendBudgetMark(out, fill, 1000, 10);
    out += "</svg>";
}

// A segment's fill as a cell's text: "34.2%", with its budget, and "over" when beyond it.
std::string fillCellText(const SegmentFill& fill) {
    return fillWithBudget(fill) + (fill.over ? " over" : "");
}

// A segment's bar of its 64 KiB and the strip of its variables, with the line that shows the
// variable hovered or focused.
void appendSegment(std::string& out, const SymbolMap& map, const std::vector<std::uint32_t>& order,
                   const std::vector<std::uint32_t>& sizes, const SegmentLayout& layout) {
    const std::string selector = hexDigits(layout.selector, 4);
    appendFormat(out, "<h3 id=\"segment-%s\">%s</h3>\n", selector.c_str(),
                 segmentName(layout.selector).c_str());
    if (layout.count == 0) {
        out += "<p>no variables</p>\n";
        return;
    }
    appendFormat(out,
                 "<p%s>%s variables take %s of 65536 bytes; the highest ends at %s (%s), %s "
                 "full%s.</p>\n",
                 layout.fill.over ? " class=\"bad\"" : "", number(layout.count).c_str(),
                 number(layout.taken).c_str(), hexDigits(layout.end, 4).c_str(),
                 roomText(layout.end).c_str(), fillText(layout.fill.tenths).c_str(),
                 layout.fill.budget == NoBudget ? ""
                 : layout.fill.over             ? ", over its budget (--max-fill)"
                                                : ", within its budget (--max-fill)");
    appendFormat(out,
                 "<svg class=\"segment\" viewBox=\"0 0 65536 10\" preserveAspectRatio=\"none\" "
                 "role=\"img\" aria-label=\"%s of 65536 bytes taken\"><rect class=\"track\" "
                 "width=\"65536\" height=\"10\"/>",
                 number(layout.taken).c_str());
    appendTaken(out, layout, 0, 10, 64);
    appendBudgetMark(out, layout.fill, SegmentBytes, 10);
    out += "</svg>\n";
    const std::vector<MapRow>& rows = map.rows[SectionSymbols];
    if (layout.count <= StripVariables) {
        appendFormat(out,
                     "<svg class=\"strip\" viewBox=\"0 0 %s 10\" preserveAspectRatio=\"none\" "
                     "data-detail=\"detail-%s\" aria-label=\"variables in address order\">",
                     number(layout.count).c_str(), selector.c_str());
        for (std::size_t i = 0; i < layout.count; ++i) {
            const MapRow& row = rows[order[layout.first + i]];
            appendFormat(out,
                         "<rect class=\"v%d\" x=\"%s\" width=\"0.92\" height=\"10\" "
                         "tabindex=\"0\"><title>",
                         static_cast<int>(row.type), number(i).c_str());
            htmlText(out, variableDetail(map, row, sizes[order[layout.first + i]]));
            out += "</title></rect>";
        }
    } else {
        appendFormat(out,
                     "<svg class=\"strip\" viewBox=\"0 0 65536 10\" preserveAspectRatio=\"none\" "
                     "data-detail=\"detail-%s\" aria-label=\"bytes taken per 256\">",
                     selector.c_str());
        for (std::uint32_t b = 0; b < BucketCount; ++b) {
            if (layout.buckets[b] == 0)
                continue;
            appendFormat(out,
                         "<rect class=\"v0\" x=\"%u\" width=\"%u\" height=\"10\" "
                         "fill-opacity=\"%.2f\" tabindex=\"0\"><title>%s:%s to %s: %u of 256 "
                         "bytes taken</title></rect>",
                         static_cast<unsigned>(b * BucketBytes), static_cast<unsigned>(BucketBytes),
                         0.2 + 0.8 * layout.buckets[b] / BucketBytes, selector.c_str(),
                         hexDigits(b * BucketBytes, 4).c_str(),
                         hexDigits(b * BucketBytes + BucketBytes - 1, 4).c_str(),
                         static_cast<unsigned>(layout.buckets[b]));
        }
    }
    appendFormat(out, "</svg>\n<p class=\"detail\" id=\"detail-%s\" aria-live=\"polite\">%s</p>\n",
                 selector.c_str(),
                 layout.count <= StripVariables
                     ? "Hover over or focus a variable to see it."
                     : "One mark per 256 bytes; hover over or focus one to see how full it is.");
}

void appendSegmentSummary(std::string& out, const std::vector<SegmentLayout>& layouts) {
    out += "<table class=\"segments\">\n<thead><tr><th>Segment</th><th class=\"n\">Variables"
           "</th><th class=\"n\">Bytes taken</th><th class=\"n\">End</th><th class=\"n\">Of 64 "
           "KiB</th><th>Taken</th><th class=\"n\">Fill</th><th>Up to the end</th></tr></thead>\n"
           "<tbody>\n";
    for (const SegmentLayout& layout : layouts) {
        appendFormat(out,
                     "<tr><td><a href=\"#segment-%s\">%s</a></td><td class=\"n\">%s</td><td "
                     "class=\"n\">%s</td><td class=\"n\">%s</td><td class=\"n%s\">%s</td><td>",
                     hexDigits(layout.selector, 4).c_str(), segmentName(layout.selector).c_str(),
                     number(layout.count).c_str(), number(layout.taken).c_str(),
                     hexDigits(layout.end, 4).c_str(), layout.end > SegmentBytes ? " bad" : "",
                     roomText(layout.end).c_str());
        htmlBar(out, layout.taken, SegmentBytes, "used");
        appendFormat(out, "</td><td class=\"n%s\">%s</td><td>", layout.fill.over ? " bad" : "",
                     fillCellText(layout.fill).c_str());
        appendFillBar(out, layout.fill);
        out += "</td></tr>\n";
    }
    out += "</tbody></table>\n";
}

void appendFindingItems(std::string& out, const SymbolMap& map, const char* side) {
    for (const MapFinding& finding : map.findings) {
        out += "<li>";
        out += side;
        out += "line ";
        out += number(finding.line);
        out += ": ";
        htmlText(out, finding.text);
        out += "</li>\n";
    }
    if (map.findingCount > map.findings.size())
        appendFormat(out, "<li>%s... and %s findings more</li>\n", side,
                     number(map.findingCount - map.findings.size()).c_str());
}

void appendFindingsSection(std::string& out, const std::string& items) {
    if (items.empty())
        return;
    out += "<section id=\"findings\" class=\"findings\">\n<h2>Findings</h2>\n<ul>\n" + items +
           "</ul>\n</section>\n";
}

void appendPath(std::string& out, const char* label, const std::string& path) {
    appendFormat(out, "<p>%s: <code>", label);
    htmlText(out, path);
    out += "</code></p>\n";
}

const char* const VariableTitles[] = {"Name", "Address", "Type", "Size"};
const HtmlColumn VariableColumns[] = {HtmlColumn::Text, HtmlColumn::Place, HtmlColumn::Type,
                                      HtmlColumn::Number};

// Each variable with the bytes the segment figures count it with (`sizes`): a BYTE or MECH
// row, maybe a structure, up to the next variable.
void appendVariableTable(std::string& out, const SymbolMap& map,
                         const std::vector<std::uint32_t>& sizes) {
    const std::vector<MapRow>& rows = map.rows[SectionSymbols];
    out += "<section id=\"variables\">\n<h2>Variables</h2>\n";
    HtmlTableWriter t{out,
                      {"variables", VariableTitles, VariableColumns, 4, 0, -1, false, rows.size(),
                       TypeNames, TypeColumnCount}};
    htmlTableBegin(t);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MapRow& row = rows[i];
        const HtmlCell cells[] = {
            {false, 0, rowName(map, row)},
            {false, row.selector, {}, row.value},
            {false, static_cast<int>(row.type), TypeNames[static_cast<int>(row.type)]},
            {false, sizes[i], {}}};
        htmlTableRow(t, cells);
    }
    htmlTableEnd(t);
    out += "</section>\n";
}

const char* const BitTitles[] = {"Name", "Variable", "Weight"};
const char* const MemberTitles[] = {"Name", "Offset"};
const char* const ConstantTitles[] = {"Name", "Value"};
// Tables of text alone, up to four columns.
const HtmlColumn TextColumns[] = {HtmlColumn::Text, HtmlColumn::Text, HtmlColumn::Text,
                                  HtmlColumn::Text};

// The rows of one of the sections after the symbol table as a table searched by name:
// `values(row, texts)` gives the texts of the cells after the name, as the text report writes
// them ("" for none).
template <typename Values>
void appendNamedTable(std::string& out, const SymbolMap& map, MapSection section, const char* id,
                      const char* title, const char* const* titles, int columns, Values values) {
    const std::vector<MapRow>& rows = map.rows[section];
    appendFormat(out, "<section id=\"%s\">\n<h2>%s</h2>\n", id, title);
    if (rows.empty()) {
        out += "<p>none</p>\n</section>\n";
        return;
    }
    HtmlTableWriter t{out, {id, titles, TextColumns, columns, 0, -1, false, rows.size()}};
    htmlTableBegin(t);
    std::string texts[2];
    for (std::size_t i = 0; i < rows.size(); ++i) {
        texts[0].clear();
        texts[1].clear();
        values(i, texts);
        const HtmlCell cells[] = {{false, 0, rowName(map, rows[i])},
                                  {texts[0].empty(), 0, texts[0]},
                                  {texts[1].empty(), 0, texts[1]}};
        htmlTableRow(t, cells);
    }
    htmlTableEnd(t);
    out += "</section>\n";
}

// The bits with the variable that holds each and its weight, the structure members with their
// offsets, the constants with their values.
void appendNamedTables(std::string& out, const SymbolMap& map) {
    appendNamedTable(out, map, SectionBitFields, "bits", "Bits", BitTitles, 3,
                     [&](std::size_t i, std::string* texts) {
                         texts[0] = rowLocation(map, map.rows[SectionBitFields][i]);
                         const std::int64_t weight = bitWeight(map, i);
                         if (weight >= 0)
                             appendFormat(texts[1], "%02u", static_cast<unsigned>(weight));
                     });
    appendNamedTable(out, map, SectionMembers, "members", "Structure members", MemberTitles, 2,
                     [&](std::size_t i, std::string* texts) {
                         appendFormat(texts[0], "%04d",
                                      static_cast<int>(map.rows[SectionMembers][i].value));
                     });
    appendNamedTable(out, map, SectionConstants, "constants", "Constants", ConstantTitles, 2,
                     [&](std::size_t i, std::string* texts) {
                         appendFormat(texts[0], "%08X",
                                      static_cast<unsigned>(map.rows[SectionConstants][i].value));
                     });
}

// ---- Two maps ----

std::string guardVerdict(const MapComparison& comparison) {
    switch (comparison.verdict) {
    case GuardVerdict::Tripped:
        return "Stopped by " + stopReasons(comparison, "");
    case GuardVerdict::Passes:
        return "The guard passes: " + passReasons(comparison);
    case GuardVerdict::Unset:
    default:
        return "No guard set (--fail-on): the changes are shown, none stops the build";
    }
}

// One side of a change as the table shows it: a variable's place and type, a bit's variable and
// weight, a member's offset, a constant's value; "" on the side where the name is not.
std::string sideText(const MapComparison& comparison, const Change& change, bool young) {
    const SymbolMap& map = young ? *comparison.after : *comparison.before;
    const std::uint32_t index = young ? change.newRow : change.oldRow;
    if (young ? !inNewMap(change.kind) : !inOldMap(change.kind))
        return "";
    if (change.kind <= VariableRoom) {
        const MapRow& row = map.rows[SectionSymbols][index];
        return place(row) + " " + TypeNames[static_cast<int>(row.type)];
    }
    if (change.kind <= BitMoved) {
        std::string out = "in " + std::string(rowLocation(map, map.rows[SectionBitFields][index]));
        const std::int64_t weight = bitWeight(map, index);
        if (weight >= 0)
            appendFormat(out, " weight %02u", static_cast<unsigned>(weight));
        return out;
    }
    std::string out;
    if (change.kind <= MemberOffset)
        appendFormat(out, "%04d", static_cast<int>(map.rows[SectionMembers][index].value));
    else
        appendFormat(out, "%08X", static_cast<unsigned>(map.rows[SectionConstants][index].value));
    return out;
}

// A row of the table of changes: one change, or a run of moves (`run` set).
struct TableLine {
    std::size_t change = 0;
    const MoveRun* run = nullptr;
    bool moved = false; // within its selector, by `distance`
    std::int64_t distance = 0;
};

// The size of a line's move, -1 for none: the table's order.
std::int64_t moveSize(const TableLine& line) {
    return !line.moved ? -1 : line.distance < 0 ? -line.distance : line.distance;
}

// The lines of the list of changes, a run as one unless --all lists each of its variables,
// the largest moves first.
std::vector<TableLine> tableLines(const MapComparison& comparison) {
    std::vector<TableLine> lines;
    for (const ChangeLine& line : comparison.lines) {
        const MoveRun* run = line.run == NoRun ? nullptr : &comparison.runs[line.run];
        if (run != nullptr && !comparison.listAll) {
            lines.push_back({line.change, run, true, run->distance});
            continue;
        }
        const std::size_t count = run != nullptr ? run->count : 1;
        for (std::size_t k = line.change; k < line.change + count; ++k) {
            TableLine one{k, nullptr, false, 0};
            one.moved = movedWithin(comparison, comparison.changes[k], one.distance);
            lines.push_back(one);
        }
    }
    std::stable_sort(lines.begin(), lines.end(), [](const TableLine& x, const TableLine& y) {
        return moveSize(x) > moveSize(y);
    });
    return lines;
}

const char* const ChangeTitles[] = {"Class", "Name", "Old", "New", "Move", "Detail"};
const HtmlColumn ChangeColumns[] = {HtmlColumn::Text, HtmlColumn::Text,  HtmlColumn::Text,
                                    HtmlColumn::Text, HtmlColumn::Delta, HtmlColumn::Text};

void appendChangeTable(std::string& out, const MapComparison& comparison) {
    const std::vector<TableLine> lines = tableLines(comparison);
    out += "<section id=\"changes\">\n<h2>Changes</h2>\n";
    HtmlTableWriter t{out, {"changes", ChangeTitles, ChangeColumns, 6, 1, 4, true, lines.size()}};
    htmlTableBegin(t);
    const SymbolMap& a = *comparison.before;
    const SymbolMap& b = *comparison.after;
    for (const TableLine& line : lines) {
        const Change& change = comparison.changes[line.change];
        std::string name, oldText, newText, detail;
        const char* label = ChangeClassNames[change.kind].label;
        if (line.run != nullptr) {
            const Change& last = comparison.changes[line.run->first + line.run->count - 1];
            const MapRow& first = a.rows[SectionSymbols][line.run->firstRow];
            const MapRow& lastOld = a.rows[SectionSymbols][line.run->lastRow];
            const MapRow& lastNew = b.rows[SectionSymbols][last.newRow];
            const MapRow& firstNew = b.rows[SectionSymbols][change.newRow];
            label = "variables moved";
            name = std::string(rowName(a, first)) + " ... " + std::string(rowName(a, lastOld)) +
                   " (" + number(line.run->count) + " variables)";
            oldText = place(first) + " to " + hexDigits(lastOld.value, 4);
            newText = place(firstNew) + " to " + hexDigits(lastNew.value, 4);
        } else {
            name = std::string(changeName(comparison, change));
            oldText = sideText(comparison, change, false);
            newText = sideText(comparison, change, true);
            if (change.kind == VariableRoom) {
                const RoomChange& room = roomOf(comparison, change);
                detail = hexDigits(room.oldRoom, 4) + " -> " + hexDigits(room.newRoom, 4) +
                         " bytes to " +
                         std::string(rowName(b, b.rows[SectionSymbols][room.nextRow]));
            }
        }
        const HtmlCell cells[] = {{false, 0, label},
                                  {false, 0, name},
                                  {oldText.empty(), 0, oldText},
                                  {newText.empty(), 0, newText},
                                  {!line.moved, line.distance, {}},
                                  {detail.empty(), 0, detail}};
        htmlTableRow(t, cells);
    }
    htmlTableEnd(t);
    out += "</section>\n";
}

const char* const LostTitles[] = {"Class", "Name", "Old", "New"};
static_assert(std::size(LostTitles) <= std::size(TextColumns));

// The removed and the retyped variables on their own: the variables whose retained data the
// new build loses or reads as another type.
void appendLostTable(std::string& out, const MapComparison& comparison) {
    out += "<section id=\"lost\">\n<h2>Removed and retyped variables</h2>\n";
    const std::size_t count =
        comparison.counts[VariableRemoved] + comparison.counts[VariableRetyped];
    if (count == 0) {
        out += "<p>no variable removed or retyped</p>\n</section>\n";
        return;
    }
    out += "<p>Their retained data is lost, or read as another type, by the new build.</p>\n";
    HtmlTableWriter t{out, {"lost", LostTitles, TextColumns, 4, 1, -1, false, count}};
    htmlTableBegin(t);
    for (const Change& change : comparison.changes) {
        if (change.kind != VariableRemoved && change.kind != VariableRetyped)
            continue;
        const std::string oldText = sideText(comparison, change, false);
        const std::string newText = sideText(comparison, change, true);
        const HtmlCell cells[] = {{false, 0, ChangeClassNames[change.kind].label},
                                  {false, 0, changeName(comparison, change)},
                                  {false, 0, oldText},
                                  {newText.empty(), 0, newText}};
        htmlTableRow(t, cells);
    }
    htmlTableEnd(t);
    out += "</section>\n";
}

void appendClassTable(std::string& out, const MapComparison& comparison) {
    out += "<section id=\"classes\">\n<h2>Changes by class</h2>\n";
    std::string rows;
    for (int kind = 0; kind < ChangeClassCount; ++kind) {
        if (comparison.counts[kind] == 0)
            continue;
        appendFormat(rows,
                     "<tr><td>%s</td><td><code>%s</code></td><td class=\"n\">%s</td><td>%s</td>"
                     "</tr>\n",
                     ChangeClassNames[kind].label, ChangeClassNames[kind].key,
                     number(comparison.counts[kind]).c_str(),
                     comparison.failOn[kind] ? "<span class=\"bad\">stops the build</span>" : "");
    }
    if (comparison.changed == 0) {
        out += "<p>no change</p>\n</section>\n";
        return;
    }
    out += "<table class=\"classes\">\n<thead><tr><th>Class</th><th>Key</th><th "
           "class=\"n\">Changes</th><th>--fail-on</th></tr></thead>\n<tbody>\n" +
           rows + "</tbody></table>\n";
    if (!comparison.renames.empty()) {
        out += "<p>Possibly renamed (still counted as removed and added):</p>\n<ul>\n";
        for (const Rename& rename : comparison.renames) {
            const MapRow& old = comparison.before->rows[SectionSymbols][rename.oldRow];
            out += "<li><code>";
            htmlText(out, rowName(*comparison.before, old));
            out += "</code> -&gt; <code>";
            htmlText(out, rowName(*comparison.after,
                                  comparison.after->rows[SectionSymbols][rename.newRow]));
            appendFormat(out, "</code> %s %s</li>\n", place(old).c_str(),
                         TypeNames[static_cast<int>(old.type)]);
        }
        out += "</ul>\n";
    }
    if (comparison.structures)
        out += "<p>Not seen: the map records no structure type, so a change of a structure "
               "variable's structure or of a member's type that keeps every address shows "
               "nowhere here, nor does a change in the size of the last variable of a "
               "selector.</p>\n";
    out += "</section>\n";
}

// The bands of the moves within one selector, from where each stood in the old map (y 10) to
// where it stands in the new (y 30), at most StripVariables of them (`drawn`).
std::string moveBands(const MapComparison& comparison, const std::vector<TableLine>& lines,
                      std::uint16_t selector, std::size_t& drawn) {
    const SymbolMap& a = *comparison.before;
    const SymbolMap& b = *comparison.after;
    std::string bands;
    for (const TableLine& line : lines) {
        const Change& change = comparison.changes[line.change];
        if (!line.moved)
            continue;
        const MapRow& first = a.rows[SectionSymbols][change.oldRow];
        if (first.selector != selector || drawn == StripVariables)
            continue;
        const MapRow& last =
            a.rows[SectionSymbols][line.run != nullptr ? line.run->lastRow : change.oldRow];
        const std::int64_t from = first.value;
        const std::int64_t to = std::int64_t{last.value} + widthOf(last);
        const std::int64_t by = line.distance;
        appendFormat(bands,
                     "<polygon class=\"run\" tabindex=\"0\" points=\"%s,10 %s,10 %s,30 "
                     "%s,30\"><title>",
                     std::to_string(from).c_str(), std::to_string(to).c_str(),
                     std::to_string(to + by).c_str(), std::to_string(from + by).c_str());
        htmlText(bands, line.run != nullptr
                            ? runText(comparison, *line.run)
                            : std::string(rowName(a, first)) + "  " + place(first) + " -> " +
                                  place(b.rows[SectionSymbols][change.newRow]));
        bands += "</title></polygon>";
        ++drawn;
    }
    return bands;
}

// Each segment's bytes in the old map above those in the new, and the moved runs between them:
// a band from where a run stood to where it stands.
void appendMovedSegments(std::string& out, const MapComparison& comparison) {
    const std::vector<SegmentLayout> oldLayouts = layOut(comparison.oldSelectors, {});
    const std::vector<SegmentLayout> newLayouts = layOut(comparison.newSelectors, {});
    std::vector<std::uint16_t> selectors;
    for (const SegmentLayout& layout : oldLayouts)
        selectors.push_back(layout.selector);
    for (const SegmentLayout& layout : newLayouts)
        selectors.push_back(layout.selector);
    std::sort(selectors.begin(), selectors.end());
    selectors.erase(std::unique(selectors.begin(), selectors.end()), selectors.end());

    const std::vector<TableLine> lines = tableLines(comparison);
    out += "<section id=\"segments\">\n<h2>Data segments, old above new</h2>\n";
    appendFormat(out, "<p>%s</p>\n", TakenNote);
    for (std::uint16_t selector : selectors) {
        const SegmentLayout* old = layoutOf(oldLayouts, selector);
        const SegmentLayout* young = layoutOf(newLayouts, selector);
        const std::string digits = hexDigits(selector, 4);
        std::size_t drawn = 0;
        const std::string bands = moveBands(comparison, lines, selector, drawn);
        // The picture spans the bytes either map uses, not the whole 64 KiB: moves of a few
        // bytes must show.
        std::uint64_t extent =
            std::max(old != nullptr ? old->end : 0, young != nullptr ? young->end : 0);
        extent = std::min<std::uint64_t>(std::max<std::uint64_t>((extent + 15) / 16 * 16, 16),
                                         SegmentBytes);
        appendFormat(out,
                     "<h3 id=\"segment-%s\">%s</h3>\n<p>old: %s variables, %s bytes taken; "
                     "new: %s variables, %s bytes taken; %s moves drawn; bytes 0000 to %s "
                     "shown.</p>\n",
                     digits.c_str(), segmentName(selector).c_str(),
                     number(old != nullptr ? old->count : 0).c_str(),
                     number(old != nullptr ? old->taken : 0).c_str(),
                     number(young != nullptr ? young->count : 0).c_str(),
                     number(young != nullptr ? young->taken : 0).c_str(), number(drawn).c_str(),
                     hexDigits(extent - 1, 4).c_str());
        const std::string width = number(extent);
        appendFormat(out,
                     "<svg class=\"moves\" viewBox=\"0 0 %s 40\" preserveAspectRatio=\"none\" "
                     "data-detail=\"detail-%s\" role=\"img\" aria-label=\"old bytes above new "
                     "bytes, moved runs between\"><rect class=\"track\" width=\"%s\" "
                     "height=\"10\"/><rect class=\"track\" y=\"30\" width=\"%s\" height=\"10\"/>",
                     width.c_str(), digits.c_str(), width.c_str(), width.c_str());
        if (old != nullptr)
            appendTaken(out, *old, 0, 10, 0);
        if (young != nullptr)
            appendTaken(out, *young, 30, 10, 0);
        out += bands;
        appendFormat(out,
                     "</svg>\n<p class=\"detail\" id=\"detail-%s\" aria-live=\"polite\">%s"
                     "</p>\n",
                     digits.c_str(),
                     drawn == 0 ? "" : "Hover over or focus a band to see the run it moved.");
    }
    out += "</section>\n";
}

// Each segment's fill in both maps, the change, and the new map's against its budget.
void appendFills(std::string& out, const std::vector<FillChange>& fills) {
    if (fills.empty())
        return;
    out += "<section id=\"fills\">\n<h2>Fill</h2>\n<table class=\"fills\">\n<thead><tr><th>"
           "Segment</th><th class=\"n\">Old</th><th class=\"n\">New</th><th class=\"n\">Change"
           "</th><th class=\"n\">Headroom</th><th>New, up to the end</th></tr></thead>\n<tbody>\n";
    for (const FillChange& fill : fills) {
        appendFormat(out,
                     "<tr><td>%04X %s</td><td class=\"n\">%s</td><td class=\"n%s\">%s</td><td "
                     "class=\"n\">%s</td><td class=\"n\">%s</td><td>",
                     fill.selector, fill.name, fillText(fill.before.tenths).c_str(),
                     fill.after.over ? " bad" : "", fillCellText(fill.after).c_str(),
                     fillChange(fill).c_str(), roomText(fill.after.end).c_str());
        appendFillBar(out, fill.after);
        out += "</td></tr>\n";
    }
    out += "</tbody></table>\n</section>\n";
}

// Each segment's layout fingerprint (one map) or its verdict beside the two (two maps).
void appendLayouts(std::string& out, const std::vector<SegmentFingerprint>& fingerprints,
                   const std::vector<LayoutVerdict>& verdicts) {
    if (fingerprints.empty() && verdicts.empty())
        return;
    out += "<section id=\"layouts\">\n<h2>Retained layout</h2>\n<table class=\"layouts\">\n"
           "<thead><tr><th>Segment</th>";
    out += verdicts.empty() ? "" : "<th>Layout</th>";
    out += "<th>Fingerprint</th></tr></thead>\n<tbody>\n";
    for (const SegmentFingerprint& f : fingerprints)
        appendFormat(out, "<tr><td>%04X %s</td><td><code>%s</code></td></tr>\n", f.selector, f.name,
                     f.digits.c_str());
    for (const LayoutVerdict& v : verdicts)
        appendFormat(out, "<tr><td>%04X %s</td><td%s>%s</td><td><code>%s</code></td></tr>\n",
                     v.selector, v.name, v.changed ? " class=\"bad\"" : "", layoutWord(v),
                     htmlEscape(layoutValues(v)).c_str());
    out += "</tbody></table>\n</section>\n";
}

} // namespace

std::string formatMapHtml(const MapReport& report) {
    const SymbolMap& map = *report.map;
    std::string out;
    htmlBeginPage(out, "Plcinfo: symbol map " + map.path);
    out += "<h1>Symbol map</h1>\n";
    appendPath(out, "Symbol map", map.path);
    const bool imagesBad = report.images != nullptr && !imagesValid(*report.images);
    const bool overBudget = map.findingCount == 0 && report.overBudget;
    const bool bad = map.findingCount != 0 || imagesBad || overBudget;
    appendFormat(out, "<p class=\"verdict%s\">%s", bad ? " bad" : "", soundness(map).c_str());
    if (report.images != nullptr)
        out += imagesBad ? "; images: BAD" : "; images: all seventeen valid";
    if (overBudget)
        out += "<br>Stopped by --max-fill: " + htmlEscape(overBudgetList(report.fills));
    out += "</p>\n";
    std::string items;
    appendFindingItems(items, map, "");
    if (report.images != nullptr)
        writeImageFailuresHtml(items, *report.images, "images: ");
    appendFindingsSection(out, items);
    if (report.images != nullptr)
        writeImagesHtml(out, *report.images);
    const std::vector<std::uint32_t>& order = report.order;
    const std::vector<SegmentLayout> layouts = layOut(report.selectors, report.fills);
    out += "<section id=\"segments\">\n<h2>Data segments</h2>\n";
    appendSegmentSummary(out, layouts);
    appendFormat(out, "<p>%s</p>\n", TakenNote);
    out += "<p>Each segment: its 64 KiB with the bytes its variables take, then its variables in "
           "address order, one mark each, by type:";
    for (int type = 0; type < TypeColumnCount; ++type)
        appendFormat(out,
                     "<svg class=\"key\" viewBox=\"0 0 10 10\" aria-hidden=\"true\"><rect "
                     "class=\"v%d\" width=\"10\" height=\"10\"/></svg>%s",
                     type, TypeNames[type]);
    out += "</p>\n";
    for (const SegmentLayout& layout : layouts)
        appendSegment(out, map, order, report.sizes, layout);
    out += "</section>\n";
    out += "<p>Selectors, addresses and constant values are hexadecimal; offsets and weights "
           "decimal; sizes decimal bytes.</p>\n";
    appendLayouts(out, report.fingerprints, {});
    appendVariableTable(out, map, report.sizes);
    appendNamedTables(out, map);
    htmlEndPage(out);
    return out;
}

std::string formatComparisonMapHtml(const MapComparison& comparison) {
    const SymbolMap& a = *comparison.before;
    const SymbolMap& b = *comparison.after;
    std::string out;
    htmlBeginPage(out, "Plcinfo: symbol maps " + a.path + " against " + b.path);
    out += "<h1>Symbol maps of two builds</h1>\n";
    appendPath(out, "Old symbol map", a.path);
    appendPath(out, "New symbol map", b.path);
    const bool bad =
        comparison.verdict == GuardVerdict::Tripped || a.findingCount != 0 || b.findingCount != 0;
    appendFormat(out, "<p class=\"verdict%s\" id=\"verdict\">", bad ? " bad" : "");
    htmlText(out, guardVerdict(comparison));
    out += "<br>Old: " + soundness(a) + "; new: " + soundness(b) + "</p>\n";
    std::string items;
    appendFindingItems(items, a, "old: ");
    appendFindingItems(items, b, "new: ");
    const bool images = comparison.oldImages != nullptr && comparison.newImages != nullptr;
    if (images) {
        writeImageFailuresHtml(items, *comparison.oldImages, "old images: ");
        writeImageFailuresHtml(items, *comparison.newImages, "new images: ");
    }
    appendFindingsSection(out, items);
    appendClassTable(out, comparison);
    appendLayouts(out, {}, comparison.layouts);
    appendFills(out, comparison.fills);
    if (images)
        writeImageComparisonHtml(out, *comparison.oldImages, *comparison.newImages);
    appendMovedSegments(out, comparison);
    appendLostTable(out, comparison);
    appendChangeTable(out, comparison);
    htmlEndPage(out);
    return out;
}

namespace {

// The picture of a fill trend: builds from left to right, 0 to 100% of the 64 KiB from the
// bottom up (a fill beyond the 64 KiB drawn at the top).
constexpr int TrendLeft = 48;
constexpr int TrendWidth = 576;
constexpr int TrendTop = 12;
constexpr int TrendHeight = 180;

double trendX(std::size_t build, std::size_t builds) {
    return builds < 2 ? TrendLeft + TrendWidth / 2.0
                      : TrendLeft + static_cast<double>(build) * TrendWidth / (builds - 1);
}

double trendY(std::uint32_t tenths) {
    return TrendTop + TrendHeight - std::min<std::uint32_t>(tenths, 1000) * TrendHeight / 1000.0;
}

// One segment's fill across the builds: a line through one point per build (a build without
// variables there at 0%), each point a link to the build's changes with its figures as its
// title, and the segment's budget (--max-fill) as a dashed line.
void appendTrend(std::string& out, const MapHistory& history, std::uint16_t selector) {
    const std::string label = segmentLabel(selector);
    appendFormat(out, "<h3 id=\"trend-%s\">%s</h3>\n", hexDigits(selector, 4).c_str(),
                 segmentName(selector).c_str());
    appendFormat(out,
                 "<svg class=\"trend\" data-selector=\"%s\" viewBox=\"0 0 640 220\" "
                 "role=\"img\" aria-label=\"fill of %s in each of %s builds\">",
                 hexDigits(selector, 4).c_str(), label.c_str(),
                 number(history.builds.size()).c_str());
    for (std::uint32_t tenths : {0u, 500u, 1000u})
        appendFormat(out,
                     "<line class=\"grid\" x1=\"%d\" y1=\"%.1f\" x2=\"%d\" y2=\"%.1f\"/>"
                     "<text x=\"%d\" y=\"%.1f\" text-anchor=\"end\">%s</text>",
                     TrendLeft, trendY(tenths), TrendLeft + TrendWidth, trendY(tenths),
                     TrendLeft - 6, trendY(tenths) + 4, fillText(tenths).c_str());
    const std::size_t builds = history.builds.size();
    std::uint32_t budget = NoBudget;
    std::string points;
    std::string marks;
    for (std::size_t i = 0; i < builds; ++i) {
        const BuildRecord& build = history.builds[i];
        const SegmentFill* fill = fillOf(build, selector);
        const std::uint32_t tenths = fill == nullptr ? 0 : fill->tenths;
        if (fill != nullptr)
            budget = fill->budget;
        appendFormat(points, "%s%.1f,%.1f", i == 0 ? "" : " ", trendX(i, builds), trendY(tenths));
        appendFormat(marks,
                     "<a href=\"#build-%s\"><circle%s cx=\"%.1f\" cy=\"%.1f\" r=\"4\"><title>",
                     number(i + 1).c_str(), fill != nullptr && fill->over ? " class=\"over\"" : "",
                     trendX(i, builds), trendY(tenths));
        htmlText(marks, "build " + number(i + 1) + ", " + build.path + ": " +
                            (fill == nullptr ? "no variables" : fillCellText(*fill)));
        marks += "</title></circle></a>";
    }
    if (budget != NoBudget)
        appendFormat(out,
                     "<line class=\"limit\" x1=\"%d\" y1=\"%.1f\" x2=\"%d\" y2=\"%.1f\">"
                     "<title>--max-fill %s</title></line>",
                     TrendLeft, trendY(budget), TrendLeft + TrendWidth, trendY(budget),
                     fillText(budget).c_str());
    out += "<polyline points=\"" + points + "\"/>" + marks + "</svg>\n";
}

// The table of builds: each links to its changes.
void appendBuildTable(std::string& out, const MapHistory& history) {
    out += "<h2>Builds</h2>\n<table id=\"builds-table\">\n<thead><tr><th class=\"n\">Build</th>"
           "<th>Symbol map</th><th class=\"n\">Variables</th>";
    for (std::uint16_t selector : history.selectors)
        out += "<th class=\"n\">" + segmentLabel(selector) + "</th>";
    out += "<th>Changes against the build before</th></tr></thead>\n<tbody>\n";
    for (std::size_t i = 0; i < history.builds.size(); ++i) {
        const BuildRecord& build = history.builds[i];
        appendFormat(out, "<tr><td class=\"n\"><a href=\"#build-%s\">%s</a></td><td><code>",
                     number(i + 1).c_str(), number(i + 1).c_str());
        htmlText(out, build.path);
        out += "</code>";
        if (build.findingCount != 0)
            out += " <span class=\"bad\">" + soundness(build.findingCount) + "</span>";
        out += "</td><td class=\"n\">" + number(build.variables) + "</td>";
        for (std::uint16_t selector : history.selectors) {
            const SegmentFill* fill = fillOf(build, selector);
            out += fill == nullptr ? "<td class=\"n\">-</td>"
                   : fill->over    ? "<td class=\"n bad\">" + fillCellText(*fill) + "</td>"
                                   : "<td class=\"n\">" + fillText(fill->tenths) + "</td>";
        }
        out += "<td>";
        htmlText(out, historyChangeText(build));
        out += "</td></tr>\n";
    }
    out += "</tbody>\n</table>\n";
}

// Each build's changes by class and the segments whose layout changed, under its anchor.
void appendBuildChanges(std::string& out, const MapHistory& history) {
    out += "<h2>Changes by build</h2>\n";
    for (std::size_t i = 0; i < history.builds.size(); ++i) {
        const BuildRecord& build = history.builds[i];
        appendFormat(out, "<h3 id=\"build-%s\">Build %s: <code>", number(i + 1).c_str(),
                     number(i + 1).c_str());
        htmlText(out, build.path);
        out += "</code></h3>\n";
        if (!build.compared || build.changed == 0) {
            out += "<p>" + historyChangeText(build) + "</p>\n";
            continue;
        }
        out += "<ul>\n";
        for (int kind = 0; kind < ChangeClassCount; ++kind)
            if (build.counts[kind] != 0)
                appendFormat(out, "<li>%s: %s</li>\n", ChangeClassNames[kind].label,
                             number(build.counts[kind]).c_str());
        for (std::uint16_t selector : build.layoutChanged)
            out += "<li class=\"bad\">layout changed: " + segmentLabel(selector) + "</li>\n";
        out += "</ul>\n";
    }
}

} // namespace

std::string formatHistoryHtml(const MapHistory& history) {
    std::string out;
    std::string title = historyTitle(history);
    htmlBeginPage(out, "Plcinfo: " + title);
    title[0] = 'S';
    out += "<h1>" + title + "</h1>\n";
    const bool bad = history.unsound != 0 || history.overBudget;
    appendFormat(out, "<p class=\"verdict%s\" id=\"verdict\">", bad ? " bad" : "");
    htmlText(out, historySoundness(history));
    const std::string budget = historyBudgetText(history);
    if (!budget.empty()) {
        out += "<br>";
        htmlText(out, budget);
    }
    out += "</p>\n<h2>Fill across the builds</h2>\n<p>Where each data segment's highest "
           "variable ends, as a share of its 64 KiB, oldest build on the left";
    out += history.budgeted ? "; the dashed line is its budget (--max-fill).</p>\n" : ".</p>\n";
    for (std::uint16_t selector : history.selectors)
        appendTrend(out, history, selector);
    appendBuildTable(out, history);
    appendBuildChanges(out, history);
    htmlEndPage(out);
    return out;
}

} // namespace plcinfo
