// The text reports on symbol maps: the check's findings and the summary, the look-ups, and
// what a new build changes. Each prints a report model built before; none reads the map's
// rows in any other way than the model points to them.
#include "map_report_text.h"

#include <algorithm>

namespace plcinfo {

namespace {

// A class's label, or a run's, padded to one column.
constexpr int LabelWidth = 18;
const char RunLabel[] = "variables moved";
const char Indent[] = "                  ";

std::string text(std::string_view view) {
    return std::string(view);
}

} // namespace

std::string place(const MapRow& row) {
    return hexDigits(row.selector, 4) + ":" + hexDigits(row.value, 4);
}

namespace {

std::string variableText(const SymbolMap& map, const MapRow& row) {
    return text(rowName(map, row)) + "  " + place(row) + " " +
           TypeNames[static_cast<int>(row.type)];
}

} // namespace

std::string signedHex(std::int64_t value) {
    // The sign is appended to, not put in front of, the digits: g++ 12 takes the insert at
    // the front of "-" + string for an overlapping copy (a false -Wrestrict in Release builds).
    std::string out(1, value < 0 ? '-' : '+');
    out += hexDigits(static_cast<std::uint64_t>(value < 0 ? -value : value), 4);
    return out;
}

namespace {

void appendPaths(std::string& out, const char* side, const SymbolMap& map) {
    appendFormat(out, "%s: %s\n", side, map.path.c_str());
}

} // namespace

const char TakenNote[] =
    "Taken: a BYTE or MECH variable (maybe a structure) up to the next one, the last as 1 byte; "
    "others by type.";

namespace {

const char NumbersNote[] =
    "Selectors, addresses and constant values are hexadecimal; offsets and weights decimal.\n\n";

} // namespace

std::string soundness(const SymbolMap& map) {
    return soundness(map.findingCount);
}

std::string soundness(std::size_t findingCount) {
    if (findingCount == 0)
        return "symbol map sound";
    return number(findingCount) + (findingCount == 1 ? " finding" : " findings");
}

std::string classCounts(const std::size_t (&counts)[ChangeClassCount]) {
    std::string text;
    for (int kind = 0; kind < ChangeClassCount; ++kind) {
        if (counts[kind] == 0)
            continue;
        text += text.empty() ? "" : ", ";
        text += std::string(ChangeClassNames[kind].label) + " " + number(counts[kind]);
    }
    return text;
}

namespace {

// The map's findings, each line after `side` ("new " for the new map of two).
void appendFindings(std::string& out, const SymbolMap& map, const char* side) {
    for (const MapFinding& finding : map.findings) {
        out += side;
        out += "line ";
        out += number(finding.line);
        out += ": ";
        out += finding.text;
        out += '\n';
    }
    if (map.findingCount > map.findings.size())
        appendFormat(out, "%s... and %s findings more\n", side,
                     number(map.findingCount - map.findings.size()).c_str());
    if (!map.findings.empty())
        out += '\n';
}

void appendSummary(std::string& out, const MapReport& report) {
    out += "Section              Rows\n";
    for (int section = 0; section < MapSectionCount; ++section)
        appendFormat(out, "%-18s  %5s\n", SectionTitles[section],
                     number(report.sectionRows[section]).c_str());
    out += "\nSelector  Variables  Lowest    Highest   End       Taken  Of 64 KiB    Fill\n";
    for (std::size_t i = 0; i < report.selectors.size(); ++i) {
        const SelectorSummary& s = report.selectors[i];
        appendFormat(out, "%04X      %9s  %s  %s  %s  %5s  %-11s  %s%s\n", s.selector,
                     number(s.variables).c_str(), hex8(s.lowest).c_str(), hex8(s.highest).c_str(),
                     hex8(s.end).c_str(), number(s.taken).c_str(), roomText(s.end).c_str(),
                     fillWithBudget(report.fills[i]).c_str(), report.fills[i].over ? "  OVER" : "");
    }
    if (report.selectors.empty())
        out += "(no variables)\n";
    else
        out += std::string(TakenNote) + "\n";
    if (!report.fingerprints.empty())
        out += "\nLayout fingerprints\n";
    for (const SegmentFingerprint& f : report.fingerprints)
        appendFormat(out, "%04X %-9s %s\n", f.selector, f.name, f.digits.c_str());
}

// " weight NN" of a bit-fields row, "" when the bit has no weight row.
std::string weightText(const SymbolMap& map, std::size_t fieldRow) {
    const std::int64_t weight = bitWeight(map, fieldRow);
    std::string out;
    if (weight >= 0)
        appendFormat(out, " weight %02u", static_cast<unsigned>(weight));
    return out;
}

void appendBitLines(std::string& out, const SymbolMap& map, const std::vector<std::size_t>& bits) {
    for (std::size_t bit : bits)
        out += std::string(Indent) + "bit " + text(rowName(map, map.rows[SectionBitFields][bit])) +
               weightText(map, bit) + "\n";
}

void appendHit(std::string& out, const SymbolMap& map, const FindHit& hit) {
    const MapRow& row = map.rows[hit.section][hit.row];
    const unsigned line = hit.line;
    switch (hit.section) {
    case SectionSymbols:
        appendFormat(out, "%-*s%s  (line %u)\n", LabelWidth, "variable",
                     variableText(map, row).c_str(), line);
        appendBitLines(out, map, hit.bits);
        break;
    case SectionBitFields:
        appendFormat(out, "%-*s%s in %s%s  (line %u)\n", LabelWidth, "bit",
                     text(rowName(map, row)).c_str(), text(rowLocation(map, row)).c_str(),
                     weightText(map, hit.row).c_str(), line);
        out += Indent;
        if (hit.hasVariable)
            out +=
                "variable " + variableText(map, map.rows[SectionSymbols][hit.variableRow]) + "\n";
        else
            out += "no variable " + text(rowLocation(map, row)) + " in the symbol table\n";
        break;
    case SectionBitWeights:
        appendFormat(out, "%-*s%s weight %02u  (line %u, no bit-fields row)\n", LabelWidth, "bit",
                     text(rowName(map, row)).c_str(), static_cast<unsigned>(row.value), line);
        break;
    case SectionMembers:
        appendFormat(out, "%-*s%s offset %04d  (line %u)\n", LabelWidth, "member",
                     text(rowName(map, row)).c_str(), static_cast<int>(row.value), line);
        break;
    default:
        appendFormat(out, "%-*s%s = %08X  (line %u)\n", LabelWidth, "constant",
                     text(rowName(map, row)).c_str(), static_cast<unsigned>(row.value), line);
        break;
    }
}

void appendAt(std::string& out, const MapReport& report) {
    const SymbolMap& map = *report.map;
    const std::string at = hexDigits(report.atSelector, 4) + ":" + hexDigits(report.atAddress, 4);
    if (!report.atRows.empty()) {
        for (std::size_t row : report.atRows)
            appendFormat(out, "%-*s%s\n", LabelWidth, "variable",
                         variableText(map, map.rows[SectionSymbols][row]).c_str());
        return;
    }
    appendFormat(out, "No variable begins at %s.\n", at.c_str());
    if (report.hasBefore) {
        const MapRow& row = map.rows[SectionSymbols][report.beforeRow];
        appendFormat(out, "Not a match: %s begins %s bytes before it.\n",
                     variableText(map, row).c_str(),
                     hexDigits(report.atAddress - row.value, 4).c_str());
    }
}

} // namespace

std::string changeText(const MapComparison& comparison, const Change& change) {
    const SymbolMap& a = *comparison.before;
    const SymbolMap& b = *comparison.after;
    const auto row = [&](MapSection section, bool young) -> const MapRow& {
        return young ? b.rows[section][change.newRow] : a.rows[section][change.oldRow];
    };
    const auto bitText = [&](bool young) {
        const SymbolMap& map = young ? b : a;
        const MapRow& field = row(SectionBitFields, young);
        return "in " + text(rowLocation(map, field)) +
               weightText(map, young ? change.newRow : change.oldRow);
    };
    switch (change.kind) {
    case VariableAdded:
        return variableText(b, row(SectionSymbols, true));
    case VariableRemoved:
        return variableText(a, row(SectionSymbols, false));
    case VariableMoved:
        return text(rowName(b, row(SectionSymbols, true))) + "  " +
               place(row(SectionSymbols, false)) + " -> " + place(row(SectionSymbols, true));
    case VariableRetyped:
        return text(rowName(b, row(SectionSymbols, true))) + "  " +
               TypeNames[static_cast<int>(row(SectionSymbols, false).type)] + " " +
               place(row(SectionSymbols, false)) + " -> " +
               TypeNames[static_cast<int>(row(SectionSymbols, true).type)] + " " +
               place(row(SectionSymbols, true));
    case VariableRoom: {
        const RoomChange& room = roomOf(comparison, change);
        return variableText(b, row(SectionSymbols, true)) + "  " + hexDigits(room.oldRoom, 4) +
               " -> " + hexDigits(room.newRoom, 4) + " bytes to " +
               text(rowName(b, b.rows[SectionSymbols][room.nextRow]));
    }
    case BitAdded:
        return text(rowName(b, row(SectionBitFields, true))) + " " + bitText(true);
    case BitRemoved:
        return text(rowName(a, row(SectionBitFields, false))) + " " + bitText(false);
    case BitMoved:
        return text(rowName(b, row(SectionBitFields, true))) + " " + bitText(false) + " -> " +
               bitText(true);
    case MemberAdded:
    case MemberRemoved:
    case MemberOffset:
    case ConstantAdded:
    case ConstantRemoved:
    case ConstantValue:
    default: {
        const bool member = change.kind <= MemberOffset;
        const MapSection section = member ? SectionMembers : SectionConstants;
        const auto value = [&](const MapRow& r) {
            std::string out;
            if (member)
                appendFormat(out, "%04d", static_cast<int>(r.value));
            else
                appendFormat(out, "%08X", static_cast<unsigned>(r.value));
            return out;
        };
        const bool young = change.kind != MemberRemoved && change.kind != ConstantRemoved;
        std::string out = text(rowName(young ? b : a, row(section, young))) + "  ";
        if (change.kind == MemberOffset || change.kind == ConstantValue)
            return out + value(row(section, false)) + " -> " + value(row(section, true));
        return out + value(row(section, young));
    }
    }
}

std::string runText(const MapComparison& comparison, const MoveRun& run) {
    const SymbolMap& a = *comparison.before;
    return text(rowName(a, a.rows[SectionSymbols][run.firstRow])) + " ... " +
           text(rowName(a, a.rows[SectionSymbols][run.lastRow])) + ": " + number(run.count) +
           " variables of " + hexDigits(run.selector, 4) + " by " + signedHex(run.distance);
}

std::string renameText(const MapComparison& comparison, const Rename& rename) {
    const SymbolMap& a = *comparison.before;
    const SymbolMap& b = *comparison.after;
    const MapRow& old = a.rows[SectionSymbols][rename.oldRow];
    return text(rowName(a, old)) + " -> " +
           text(rowName(b, b.rows[SectionSymbols][rename.newRow])) + "  " + place(old) + " " +
           TypeNames[static_cast<int>(old.type)];
}

std::string stopReasons(const MapComparison& comparison, const char* quote) {
    std::string keys;
    for (int kind = 0; kind < ChangeClassCount; ++kind) {
        if (!comparison.tripped[kind])
            continue;
        keys += keys.empty() ? "--fail-on: " : ", ";
        keys += std::string(quote) + ChangeClassNames[kind].key + quote;
    }
    if (comparison.overBudget) {
        std::vector<SegmentFill> fills;
        for (const FillChange& change : comparison.fills)
            fills.push_back(change.after);
        keys += (keys.empty() ? "" : "; ") + std::string("--max-fill: ") + overBudgetList(fills);
    }
    return keys;
}

std::string passReasons(const MapComparison& comparison) {
    bool guarded = false;
    for (bool named : comparison.failOn)
        guarded = guarded || named;
    const char* classes = "no class that --fail-on names changed";
    const char* fill = "no segment over --max-fill";
    return !comparison.budgeted ? classes : guarded ? std::string(classes) + " and " + fill : fill;
}

std::string roomText(std::uint64_t end) {
    return end <= SegmentBytes ? hexDigits(SegmentBytes - end, 4) + " left"
                               : hexDigits(end - SegmentBytes, 4) + " beyond";
}

std::string fillChange(const FillChange& fill) {
    return signedHex(fill.bytes) + " (" + fillChangeText(fill.tenths) + ")";
}

std::string fillWithBudget(const SegmentFill& fill) {
    return fill.budget == NoBudget ? fillText(fill.tenths)
                                   : fillText(fill.tenths) + " of " + fillText(fill.budget);
}

namespace {

void appendChange(std::string& out, const char* label, const std::string& values) {
    appendFormat(out, "%-*s%s\n", LabelWidth, label, values.c_str());
}

// What the map cannot show, when structure variables may be among the variables.
const char StructureNote[] =
    "Not seen: the map records no structure type, so a change of a structure variable's\n"
    "structure or of a member's type that keeps every address shows nowhere above, nor does\n"
    "a change in the size of the last variable of a selector.\n";

void appendRenames(std::string& out, const MapComparison& comparison) {
    for (const Rename& rename : comparison.renames)
        out += "possibly renamed " + renameText(comparison, rename) + "\n";
    if (!comparison.renames.empty())
        out += '\n';
}

void appendClosing(std::string& out, const MapComparison& comparison) {
    const std::string counts = classCounts(comparison.counts);
    out += counts.empty() ? "no change\n" : "changes: " + counts + "\n";
}

} // namespace

std::string formatMapText(const MapReport& report) {
    const SymbolMap& map = *report.map;
    std::string out = "\n";
    appendPaths(out, "Symbol map", map);
    out += NumbersNote;
    if (report.finding) {
        appendFormat(out, "Rows named %s:\n", report.pattern.c_str());
        for (const FindHit& hit : report.hits)
            appendHit(out, map, hit);
        if (report.hits.empty())
            out += "none\n";
        out += '\n';
    }
    if (report.locating) {
        appendFormat(out, "Variables at %s:%s:\n", hexDigits(report.atSelector, 4).c_str(),
                     hexDigits(report.atAddress, 4).c_str());
        appendAt(out, report);
        out += '\n';
    }
    if (!report.finding && !report.locating) {
        appendFindings(out, map, "");
        appendSummary(out, report);
        out += '\n';
    }
    out += soundness(map) + "\n";
    if (map.findingCount == 0 && report.overBudget)
        out += "Stopped by --max-fill: " + overBudgetList(report.fills) + "\n";
    return out;
}

std::string formatComparisonMapText(const MapComparison& comparison) {
    std::string out = "\n";
    appendPaths(out, "Old symbol map", *comparison.before);
    appendPaths(out, "New symbol map", *comparison.after);
    out += NumbersNote;
    appendFindings(out, *comparison.before, "old ");
    appendFindings(out, *comparison.after, "new ");
    const std::vector<Change>& changes = comparison.changes;
    for (const ChangeLine& line : comparison.lines) {
        const Change& change = changes[line.change];
        if (line.run == NoRun) {
            appendChange(out, ChangeClassNames[change.kind].label, changeText(comparison, change));
            continue;
        }
        const MoveRun& run = comparison.runs[line.run];
        appendChange(out, RunLabel, runText(comparison, run));
        if (comparison.listAll) {
            for (std::size_t k = run.first; k < run.first + run.count; ++k)
                appendChange(out, "", changeText(comparison, changes[k]));
        }
    }
    if (!changes.empty())
        out += '\n';
    appendRenames(out, comparison);
    for (const LayoutVerdict& verdict : comparison.layouts)
        out += layoutLine(verdict);
    if (!comparison.layouts.empty())
        out += '\n';
    for (const FillChange& fill : comparison.fills)
        appendFormat(out, "%04X %-9s fill %6s -> %-15s %s  %s%s\n", fill.selector, fill.name,
                     fillText(fill.before.tenths).c_str(), fillWithBudget(fill.after).c_str(),
                     fillChange(fill).c_str(), roomText(fill.after.end).c_str(),
                     fill.after.over ? "  OVER" : "");
    if (!comparison.fills.empty())
        out += '\n';
    if (comparison.structures)
        out += StructureNote;
    appendClosing(out, comparison);
    out += "Old: " + soundness(*comparison.before) + "\n";
    out += "New: " + soundness(*comparison.after) + "\n";
    if (comparison.verdict == GuardVerdict::Tripped)
        out += "Stopped by " + stopReasons(comparison, "") + "\n";
    return out;
}

// ---- A history of builds ----

std::string segmentLabel(std::uint16_t selector) {
    return hexDigits(selector, 4) + " " + dataSegmentName(selector);
}

std::string historyChangeText(const BuildRecord& build) {
    if (!build.compared)
        return "first build";
    std::string text = classCounts(build.counts);
    for (std::size_t i = 0; i < build.layoutChanged.size(); ++i)
        text += (i != 0         ? ", "
                 : text.empty() ? "layout changed: "
                                : "; layout changed: ") +
                segmentLabel(build.layoutChanged[i]);
    return text.empty() ? "no change" : text;
}

std::string historySoundness(const MapHistory& history) {
    const std::string builds = number(history.builds.size());
    if (history.unsound == 0)
        return builds + (history.builds.size() == 1 ? " symbol map sound" : " symbol maps sound");
    return number(history.unsound) + " of " + builds + " symbol maps with findings";
}

std::string historyBudgetText(const MapHistory& history) {
    if (!history.budgeted)
        return "";
    if (history.unsound == 0 && history.overBudget)
        return "Stopped by --max-fill in the newest build: " +
               overBudgetList(history.builds.back().fills);
    return history.overBudget ? "newest build over --max-fill" : "newest build within --max-fill";
}

std::string historyBudgets(const MapHistory& history) {
    std::string text;
    for (std::uint16_t selector : history.selectors) {
        for (const BuildRecord& build : history.builds) {
            const SegmentFill* fill = fillOf(build, selector);
            if (fill == nullptr)
                continue;
            if (fill->budget != NoBudget)
                text += (text.empty() ? "" : ", ") + segmentLabel(selector) + " " +
                        fillText(fill->budget);
            break;
        }
    }
    return text;
}

std::string historyTitle(const MapHistory& history) {
    const std::size_t builds = history.builds.size();
    return builds == 1 ? "symbol map of 1 build" : "symbol maps of " + number(builds) + " builds";
}

std::string formatHistoryText(const MapHistory& history) {
    std::string title = historyTitle(history);
    title[0] = 'S';
    std::string out = "\n" + title + ", oldest first\n";
    out += "Fill: where a data segment's highest variable ends, as a share of its 64 KiB.\n\n";
    // Each segment's column as wide as its head or its widest fill.
    std::vector<std::string> heads;
    std::vector<std::size_t> widths;
    for (std::uint16_t selector : history.selectors) {
        heads.push_back(segmentLabel(selector));
        widths.push_back(heads.back().size());
    }
    const auto cell = [&](const BuildRecord& build, std::size_t column) {
        const SegmentFill* fill = fillOf(build, history.selectors[column]);
        return fill == nullptr ? std::string("-")
                               : fillText(fill->tenths) + (fill->over ? " OVER" : "");
    };
    for (const BuildRecord& build : history.builds)
        for (std::size_t c = 0; c < widths.size(); ++c)
            widths[c] = std::max(widths[c], cell(build, c).size());
    out += "Build  Variables";
    for (std::size_t c = 0; c < heads.size(); ++c)
        appendFormat(out, "  %*s", static_cast<int>(widths[c]), heads[c].c_str());
    out += "  Symbol map\n";
    for (std::size_t i = 0; i < history.builds.size(); ++i) {
        const BuildRecord& build = history.builds[i];
        appendFormat(out, "%5s  %9s", number(i + 1).c_str(), number(build.variables).c_str());
        for (std::size_t c = 0; c < heads.size(); ++c)
            appendFormat(out, "  %*s", static_cast<int>(widths[c]), cell(build, c).c_str());
        out += "  " + build.path;
        if (build.findingCount != 0)
            out += "  (" + soundness(build.findingCount) + ")";
        out += '\n';
    }
    out += "\nBuild  Changes against the build before\n";
    for (std::size_t i = 0; i < history.builds.size(); ++i)
        appendFormat(out, "%5s  %s\n", number(i + 1).c_str(),
                     historyChangeText(history.builds[i]).c_str());
    if (history.budgeted)
        out += "\nBudgets (--max-fill): " + historyBudgets(history) + "\n";
    out += "\n" + historySoundness(history) + "\n";
    const std::string budget = historyBudgetText(history);
    if (!budget.empty())
        out += budget + "\n";
    return out;
}

} // namespace plcinfo
