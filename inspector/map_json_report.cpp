// The reports on symbol maps as JSON documents, from the same models as the text: names as
// strings, numbers as numbers (selectors, addresses and values too), one finding, row or
// change per line.
#include "symbol_map.h"

namespace plcinfo {

namespace {

std::string name(std::string_view view) {
    return jsonString(std::string(view));
}

std::string typeWord(const MapRow& row) {
    return std::string("\"") + TypeNames[static_cast<int>(row.type)] + "\"";
}

// {"selector": 48, "address": 420, "type": "WORD"}
std::string variableObject(const MapRow& row) {
    std::string out;
    appendFormat(out, "{\"selector\": %u, \"address\": %s, \"type\": %s}",
                 static_cast<unsigned>(row.selector), number(row.value).c_str(),
                 typeWord(row).c_str());
    return out;
}

std::string variableHit(const SymbolMap& map, const MapRow& row, std::uint32_t line) {
    std::string out = "{\"section\": \"SYMBOL_TABLE\", \"name\": " + name(rowName(map, row));
    appendFormat(out, ", \"line\": %u, \"selector\": %u, \"address\": %s, \"type\": %s",
                 static_cast<unsigned>(line), static_cast<unsigned>(row.selector),
                 number(row.value).c_str(), typeWord(row).c_str());
    return out;
}

// {"variable": "IO1", "weight": 3}; a missing weight is null.
std::string bitObject(const SymbolMap& map, std::size_t fieldRow) {
    const MapRow& row = map.rows[SectionBitFields][fieldRow];
    const std::int64_t weight = bitWeight(map, fieldRow);
    return "{\"variable\": " + name(rowLocation(map, row)) +
           ", \"weight\": " + (weight < 0 ? std::string("null") : number(weight)) + "}";
}

std::string bitsArray(const SymbolMap& map, const std::vector<std::size_t>& bits) {
    std::string out = "[";
    for (std::size_t i = 0; i < bits.size(); ++i) {
        const MapRow& row = map.rows[SectionBitFields][bits[i]];
        const std::int64_t weight = bitWeight(map, bits[i]);
        out += (i ? ", " : "") + std::string("{\"name\": ") + name(rowName(map, row)) +
               ", \"weight\": " + (weight < 0 ? std::string("null") : number(weight)) + "}";
    }
    return out + "]";
}

std::string hitObject(const SymbolMap& map, const FindHit& hit) {
    const MapRow& row = map.rows[hit.section][hit.row];
    const unsigned line = hit.line;
    std::string out;
    switch (hit.section) {
    case SectionSymbols:
        return variableHit(map, row, hit.line) + ", \"bits\": " + bitsArray(map, hit.bits) + "}";
    case SectionBitFields: {
        const std::int64_t weight = bitWeight(map, hit.row);
        out = "{\"section\": \"BIT_FIELDS\", \"name\": " + name(rowName(map, row));
        appendFormat(out, ", \"line\": %u, \"location\": %s, \"weight\": %s, \"variable\": ", line,
                     name(rowLocation(map, row)).c_str(),
                     weight < 0 ? "null" : number(weight).c_str());
        if (hit.hasVariable)
            out += variableObject(map.rows[SectionSymbols][hit.variableRow]);
        else
            out += "null";
        return out + "}";
    }
    default:
        out = std::string("{\"section\": \"") + SectionTitles[hit.section] +
              "\", \"name\": " + name(rowName(map, row));
        appendFormat(out, ", \"line\": %u, \"%s\": %s}", line,
                     hit.section == SectionMembers      ? "offset"
                     : hit.section == SectionBitWeights ? "weight"
                                                        : "value",
                     hit.section == SectionMembers
                         ? std::to_string(static_cast<std::int32_t>(row.value)).c_str()
                         : number(row.value).c_str());
        return out;
    }
}

void appendMapSide(std::string& out, const char* key, const SymbolMap& map, bool last) {
    appendFormat(out,
                 "  \"%s\": {\"path\": %s, \"kind\": \"symbol map\", \"findings\": %s, "
                 "\"sound\": %s}%s\n",
                 key, jsonString(map.path).c_str(), number(map.findingCount).c_str(),
                 boolWord(map.findingCount == 0), last ? "" : ",");
}

// The values of one side of a change, as an object.
std::string sideObject(const SymbolMap& map, MapSection section, std::size_t row) {
    const MapRow& r = map.rows[section][row];
    switch (section) {
    case SectionSymbols:
        return variableObject(r);
    case SectionBitFields:
        return bitObject(map, row);
    case SectionMembers:
        return "{\"offset\": " + std::to_string(static_cast<std::int32_t>(r.value)) + "}";
    default:
        return "{\"value\": " + number(r.value) + "}";
    }
}

MapSection sectionOf(ChangeClass kind) {
    return kind <= VariableRetyped ? SectionSymbols
           : kind <= BitMoved      ? SectionBitFields
           : kind <= MemberOffset  ? SectionMembers
                                   : SectionConstants;
}

bool hasOld(ChangeClass kind) {
    return kind != VariableAdded && kind != BitAdded && kind != MemberAdded &&
           kind != ConstantAdded;
}

bool hasNew(ChangeClass kind) {
    return kind != VariableRemoved && kind != BitRemoved && kind != MemberRemoved &&
           kind != ConstantRemoved;
}

std::string changeObject(const MapComparison& comparison, const Change& change) {
    const MapSection section = sectionOf(change.kind);
    const SymbolMap& named = hasNew(change.kind) ? *comparison.after : *comparison.before;
    const std::size_t namedRow = hasNew(change.kind) ? change.newRow : change.oldRow;
    std::string out = std::string("{\"class\": \"") + ChangeClassKeys[change.kind] +
                      "\", \"name\": " + name(rowName(named, named.rows[section][namedRow]));
    out += ", \"old\": " +
           (hasOld(change.kind) ? sideObject(*comparison.before, section, change.oldRow) : "null");
    out += ", \"new\": " +
           (hasNew(change.kind) ? sideObject(*comparison.after, section, change.newRow) : "null");
    return out + "}";
}

} // namespace

std::string formatMapJson(const MapReport& report) {
    const SymbolMap& map = *report.map;
    std::string out;
    appendJsonHead(out);
    appendFormat(out, "  \"path\": %s,\n  \"kind\": \"symbol map\",\n",
                 jsonString(map.path).c_str());
    if (report.finding) {
        out += "  \"find\": {\"pattern\": " + jsonString(report.pattern) + ", \"rows\": [\n";
        for (std::size_t i = 0; i < report.hits.size(); ++i)
            out += "    " + hitObject(map, report.hits[i]) +
                   (i + 1 < report.hits.size() ? ",\n" : "\n");
        out += "  ]},\n";
    }
    if (report.locating) {
        appendFormat(out, "  \"at\": {\"selector\": %u, \"address\": %s, \"variables\": [",
                     static_cast<unsigned>(report.atSelector), number(report.atAddress).c_str());
        for (std::size_t i = 0; i < report.atRows.size(); ++i)
            out += (i ? ", " : "") +
                   variableHit(map, map.rows[SectionSymbols][report.atRows[i]], report.atLines[i]) +
                   "}";
        out += "], \"before\": ";
        if (report.hasBefore) {
            const MapRow& row = map.rows[SectionSymbols][report.beforeRow];
            out += variableHit(map, row, report.beforeLine) +
                   ", \"distance\": " + number(report.atAddress - row.value) + "}";
        } else {
            out += "null";
        }
        out += "},\n";
    }
    if (!report.finding && !report.locating) {
        out += "  \"findings\": [\n";
        for (std::size_t i = 0; i < map.findings.size(); ++i)
            appendFormat(out, "    {\"line\": %u, \"text\": %s}%s\n",
                         static_cast<unsigned>(map.findings[i].line),
                         jsonString(map.findings[i].text).c_str(),
                         i + 1 < map.findings.size() ? "," : "");
        out += "  ],\n  \"sections\": {";
        for (int section = 0; section < MapSectionCount; ++section)
            appendFormat(out, "%s\"%s\": %s", section ? ", " : "", SectionTitles[section],
                         number(report.sectionRows[section]).c_str());
        out += "},\n  \"selectors\": [\n";
        for (std::size_t i = 0; i < report.selectors.size(); ++i) {
            const SelectorSummary& s = report.selectors[i];
            appendFormat(out,
                         "    {\"selector\": %u, \"variables\": %s, \"lowest\": %s, \"highest\": "
                         "%s, \"end\": %s, \"withinSegment\": %s}%s\n",
                         static_cast<unsigned>(s.selector), number(s.variables).c_str(),
                         number(s.lowest).c_str(), number(s.highest).c_str(), number(s.end).c_str(),
                         boolWord(s.end <= SegmentBytes),
                         i + 1 < report.selectors.size() ? "," : "");
        }
        out += "  ],\n";
    }
    appendFormat(out, "  \"findingCount\": %s,\n  \"sound\": %s\n}\n",
                 number(map.findingCount).c_str(), boolWord(map.findingCount == 0));
    return out;
}

std::string formatComparisonMapJson(const MapComparison& comparison) {
    std::string out;
    appendJsonHead(out);
    appendMapSide(out, "old", *comparison.before, false);
    appendMapSide(out, "new", *comparison.after, false);
    out += "  \"changes\": [\n";
    const std::vector<Change>& changes = comparison.changes;
    const SymbolMap& a = *comparison.before;
    std::size_t nextRun = 0;
    bool first = true;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        out += first ? "    " : ",\n    ";
        first = false;
        if (nextRun >= comparison.runs.size() || comparison.runs[nextRun].first != i) {
            out += changeObject(comparison, changes[i]);
            continue;
        }
        const MoveRun& run = comparison.runs[nextRun++];
        const MapRow& head = a.rows[SectionSymbols][changes[run.first].oldRow];
        const MapRow& tail = a.rows[SectionSymbols][changes[run.first + run.count - 1].oldRow];
        out += "{\"class\": \"variable-moved\", \"run\": {\"first\": " + name(rowName(a, head)) +
               ", \"last\": " + name(rowName(a, tail)) + ", \"count\": " + number(run.count);
        appendFormat(out, ", \"selector\": %u, \"distance\": %s}",
                     static_cast<unsigned>(head.selector), std::to_string(run.distance).c_str());
        if (comparison.listAll) {
            out += ", \"changes\": [\n";
            for (std::size_t k = run.first; k < run.first + run.count; ++k)
                out += "      " + changeObject(comparison, changes[k]) +
                       (k + 1 < run.first + run.count ? ",\n" : "\n");
            out += "    ]";
        }
        out += "}";
        i = run.first + run.count - 1;
    }
    out += first ? "  ],\n" : "\n  ],\n";
    out += "  \"counts\": {";
    std::size_t total = 0;
    for (int kind = 0; kind < ChangeClassCount; ++kind) {
        appendFormat(out, "%s\"%s\": %s", kind ? ", " : "", ChangeClassKeys[kind],
                     number(comparison.counts[kind]).c_str());
        total += comparison.counts[kind];
    }
    appendFormat(out, "},\n  \"changed\": %s\n}\n", number(total).c_str());
    return out;
}

} // namespace plcinfo
