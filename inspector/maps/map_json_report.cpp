// The reports on symbol maps as JSON documents, from the same models as the text: names as
// strings, numbers as numbers (selectors, addresses and values too), one finding, row or
// change per line.
#include "common/json_writer.h"
#include "images/image_set.h"
#include "map_history.h"

namespace plcinfo {

namespace {

// A fill as a number of percent with one decimal: 34.2.
void writePercent(JsonWriter& w, const char* key, std::uint32_t tenths) {
    jsonKey(w, key);
    const std::string text = fillText(tenths);
    jsonRaw(w, text.substr(0, text.size() - 1));
}

// A segment's room and fill, and its budget when --max-fill gives it one.
void writeFill(JsonWriter& w, const SegmentFill& fill) {
    jsonMemberNumber(w, "left", static_cast<std::int64_t>(fill.left));
    writePercent(w, "fill", fill.tenths);
    if (fill.budget == NoBudget)
        return;
    writePercent(w, "maxFill", fill.budget);
    jsonMemberBool(w, "overBudget", fill.over);
}

void writeWeight(JsonWriter& w, std::int64_t weight) {
    jsonKey(w, "weight");
    if (weight < 0)
        jsonNull(w);
    else
        jsonNumber(w, weight);
}

// "selector": 48, "address": 420, "type": "WORD"
void writePlace(JsonWriter& w, const MapRow& row) {
    jsonMemberNumber(w, "selector", row.selector);
    jsonMemberNumber(w, "address", row.value);
    jsonMember(w, "type", TypeNames[static_cast<int>(row.type)]);
}

void writeVariableObject(JsonWriter& w, const MapRow& row) {
    jsonBeginObject(w);
    writePlace(w, row);
    jsonEnd(w);
}

// A symbol-table row with its line; left open for what follows.
void beginVariableHit(JsonWriter& w, const SymbolMap& map, const MapRow& row, std::uint32_t line) {
    jsonBeginObject(w);
    jsonMember(w, "section", "SYMBOL_TABLE");
    jsonMember(w, "name", rowName(map, row));
    jsonMemberNumber(w, "line", line);
    writePlace(w, row);
}

void writeBits(JsonWriter& w, const SymbolMap& map, const std::vector<std::size_t>& bits) {
    jsonKey(w, "bits");
    jsonBeginArray(w);
    for (std::size_t bit : bits) {
        jsonBeginObject(w);
        jsonMember(w, "name", rowName(map, map.rows[SectionBitFields][bit]));
        writeWeight(w, bitWeight(map, bit));
        jsonEnd(w);
    }
    jsonEnd(w);
}

void writeHit(JsonWriter& w, const SymbolMap& map, const FindHit& hit) {
    const MapRow& row = map.rows[hit.section][hit.row];
    if (hit.section == SectionSymbols) {
        beginVariableHit(w, map, row, hit.line);
        writeBits(w, map, hit.bits);
        jsonEnd(w);
        return;
    }
    jsonBeginObject(w);
    jsonMember(w, "section", SectionTitles[hit.section]);
    jsonMember(w, "name", rowName(map, row));
    jsonMemberNumber(w, "line", hit.line);
    switch (hit.section) {
    case SectionBitFields:
        jsonMember(w, "location", rowLocation(map, row));
        writeWeight(w, bitWeight(map, hit.row));
        jsonKey(w, "variable");
        if (hit.hasVariable)
            writeVariableObject(w, map.rows[SectionSymbols][hit.variableRow]);
        else
            jsonNull(w);
        break;
    case SectionMembers:
        jsonMemberNumber(w, "offset", static_cast<std::int32_t>(row.value));
        break;
    case SectionBitWeights:
        jsonMemberNumber(w, "weight", row.value);
        break;
    default:
        jsonMemberNumber(w, "value", row.value);
        break;
    }
    jsonEnd(w);
}

// The findings of one map, the same in a check and on each side of a comparison.
void writeFindings(JsonWriter& w, const SymbolMap& map) {
    jsonKey(w, "findings");
    jsonBeginArray(w, true);
    for (const MapFinding& finding : map.findings) {
        jsonBeginObject(w);
        jsonMemberNumber(w, "line", finding.line);
        jsonMember(w, "text", finding.text);
        jsonEnd(w);
    }
    jsonEnd(w);
}

void writeMapSide(JsonWriter& w, const char* key, const SymbolMap& map) {
    jsonKey(w, key);
    jsonBeginObject(w, true);
    jsonMember(w, "path", map.path);
    jsonMember(w, "kind", "symbol map");
    writeFindings(w, map);
    jsonMemberNumber(w, "findingCount", static_cast<std::int64_t>(map.findingCount));
    jsonMemberBool(w, "sound", map.findingCount == 0);
    jsonEnd(w);
}

// The values of one side of a change, as an object; a room change with the room.
void writeSide(JsonWriter& w, const SymbolMap& map, MapSection section, std::size_t row,
               const RoomChange* room, bool young) {
    const MapRow& r = map.rows[section][row];
    jsonBeginObject(w);
    switch (section) {
    case SectionSymbols:
        writePlace(w, r);
        if (room != nullptr)
            jsonMemberNumber(w, "room", young ? room->newRoom : room->oldRoom);
        break;
    case SectionBitFields:
        jsonMember(w, "variable", rowLocation(map, r));
        writeWeight(w, bitWeight(map, row));
        break;
    case SectionMembers:
        jsonMemberNumber(w, "offset", static_cast<std::int32_t>(r.value));
        break;
    default:
        jsonMemberNumber(w, "value", r.value);
        break;
    }
    jsonEnd(w);
}

void writeChange(JsonWriter& w, const MapComparison& comparison, const Change& change) {
    const MapSection section = sectionOf(change.kind);
    const RoomChange* room = change.kind == VariableRoom ? &roomOf(comparison, change) : nullptr;
    jsonBeginObject(w);
    jsonMember(w, "class", ChangeClassNames[change.kind].key);
    jsonMember(w, "name", changeName(comparison, change));
    if (room != nullptr)
        jsonMember(
            w, "next",
            rowName(*comparison.after, comparison.after->rows[SectionSymbols][room->nextRow]));
    jsonKey(w, "old");
    if (inOldMap(change.kind))
        writeSide(w, *comparison.before, section, change.oldRow, room, false);
    else
        jsonNull(w);
    jsonKey(w, "new");
    if (inNewMap(change.kind))
        writeSide(w, *comparison.after, section, change.newRow, room, true);
    else
        jsonNull(w);
    jsonEnd(w);
}

void writeRun(JsonWriter& w, const MapComparison& comparison, const MoveRun& run) {
    const SymbolMap& a = *comparison.before;
    jsonBeginObject(w);
    jsonMember(w, "class", ChangeClassNames[VariableMoved].key);
    jsonKey(w, "run");
    jsonBeginObject(w);
    jsonMember(w, "first", rowName(a, a.rows[SectionSymbols][run.firstRow]));
    jsonMember(w, "last", rowName(a, a.rows[SectionSymbols][run.lastRow]));
    jsonMemberNumber(w, "count", static_cast<std::int64_t>(run.count));
    jsonMemberNumber(w, "selector", run.selector);
    jsonMemberNumber(w, "distance", run.distance);
    jsonEnd(w);
    if (comparison.listAll) {
        jsonKey(w, "changes");
        jsonBeginArray(w, true);
        for (std::size_t k = run.first; k < run.first + run.count; ++k)
            writeChange(w, comparison, comparison.changes[k]);
        jsonEnd(w);
    }
    jsonEnd(w);
}

void writeClassList(JsonWriter& w, const char* key, const bool (&classes)[ChangeClassCount]) {
    jsonKey(w, key);
    jsonBeginArray(w);
    for (int kind = 0; kind < ChangeClassCount; ++kind)
        if (classes[kind])
            jsonText(w, ChangeClassNames[kind].key);
    jsonEnd(w);
}

// --find: the rows whose names match the pattern.
void writeFind(JsonWriter& w, const MapReport& report) {
    const SymbolMap& map = *report.map;
    jsonKey(w, "find");
    jsonBeginObject(w);
    jsonMember(w, "pattern", report.pattern);
    jsonKey(w, "rows");
    jsonBeginArray(w, true);
    for (const FindHit& hit : report.hits)
        writeHit(w, map, hit);
    jsonEnd(w);
    jsonEnd(w);
}

// --at: the variables that begin at the place, or the nearest one before it.
void writeAt(JsonWriter& w, const MapReport& report) {
    const SymbolMap& map = *report.map;
    jsonKey(w, "at");
    jsonBeginObject(w);
    jsonMemberNumber(w, "selector", report.atSelector);
    jsonMemberNumber(w, "address", report.atAddress);
    jsonKey(w, "variables");
    jsonBeginArray(w);
    for (std::size_t i = 0; i < report.atRows.size(); ++i) {
        beginVariableHit(w, map, map.rows[SectionSymbols][report.atRows[i]], report.atLines[i]);
        jsonEnd(w);
    }
    jsonEnd(w);
    jsonKey(w, "before");
    if (report.hasBefore) {
        const MapRow& row = map.rows[SectionSymbols][report.beforeRow];
        beginVariableHit(w, map, row, report.beforeLine);
        jsonMemberNumber(w, "distance", report.atAddress - row.value);
        jsonEnd(w);
    } else {
        jsonNull(w);
    }
    jsonEnd(w);
}

// The check's findings, the rows of each section and each selector's extent.
void writeSummary(JsonWriter& w, const MapReport& report) {
    writeFindings(w, *report.map);
    jsonKey(w, "sections");
    jsonBeginObject(w);
    for (int section = 0; section < MapSectionCount; ++section)
        jsonMemberNumber(w, SectionTitles[section],
                         static_cast<std::int64_t>(report.sectionRows[section]));
    jsonEnd(w);
    jsonKey(w, "selectors");
    jsonBeginArray(w, true);
    for (std::size_t i = 0; i < report.selectors.size(); ++i) {
        const SelectorSummary& s = report.selectors[i];
        jsonBeginObject(w);
        jsonMemberNumber(w, "selector", s.selector);
        jsonMemberNumber(w, "variables", static_cast<std::int64_t>(s.variables));
        jsonMemberNumber(w, "lowest", s.lowest);
        jsonMemberNumber(w, "highest", s.highest);
        jsonMemberNumber(w, "end", static_cast<std::int64_t>(s.end));
        jsonMemberNumber(w, "taken", static_cast<std::int64_t>(s.taken));
        jsonMemberBool(w, "withinSegment", s.end <= SegmentBytes);
        writeFill(w, report.fills[i]);
        jsonEnd(w);
    }
    jsonEnd(w);
    jsonKey(w, "layouts");
    jsonBeginArray(w, true);
    for (const SegmentFingerprint& f : report.fingerprints) {
        jsonBeginObject(w);
        jsonMemberNumber(w, "selector", f.selector);
        jsonMember(w, "segment", f.name);
        jsonMember(w, "fingerprint", f.digits);
        jsonEnd(w);
    }
    jsonEnd(w);
}

} // namespace

bool formatMapJson(const MapReport& report, std::string& out) {
    const SymbolMap& map = *report.map;
    JsonWriter w{out};
    jsonBeginDocument(w);
    jsonMember(w, "path", map.path);
    jsonMember(w, "kind", "symbol map");
    if (report.finding)
        writeFind(w, report);
    if (report.locating)
        writeAt(w, report);
    if (!report.finding && !report.locating)
        writeSummary(w, report);
    jsonMemberNumber(w, "findingCount", static_cast<std::int64_t>(map.findingCount));
    jsonMemberBool(w, "sound", map.findingCount == 0);
    if (report.budgeted)
        jsonMemberBool(w, "overBudget", report.overBudget);
    if (report.images != nullptr) {
        jsonKey(w, "images");
        jsonBeginObject(w, true);
        writeImagesJson(w, *report.images);
        jsonEnd(w);
    }
    return jsonEndDocument(w);
}

bool formatComparisonMapJson(const MapComparison& comparison, std::string& out) {
    JsonWriter w{out};
    jsonBeginDocument(w);
    writeMapSide(w, "old", *comparison.before);
    writeMapSide(w, "new", *comparison.after);
    jsonKey(w, "changes");
    jsonBeginArray(w, true);
    for (const ChangeLine& line : comparison.lines) {
        if (line.run != NoRun)
            writeRun(w, comparison, comparison.runs[line.run]);
        else
            writeChange(w, comparison, comparison.changes[line.change]);
    }
    jsonEnd(w);
    jsonKey(w, "renamed");
    jsonBeginArray(w, true);
    const SymbolMap& a = *comparison.before;
    const SymbolMap& b = *comparison.after;
    for (const Rename& rename : comparison.renames) {
        const MapRow& old = a.rows[SectionSymbols][rename.oldRow];
        jsonBeginObject(w);
        jsonMember(w, "old", rowName(a, old));
        jsonMember(w, "new", rowName(b, b.rows[SectionSymbols][rename.newRow]));
        writePlace(w, old);
        jsonEnd(w);
    }
    jsonEnd(w);
    jsonKey(w, "counts");
    jsonBeginObject(w);
    for (int kind = 0; kind < ChangeClassCount; ++kind)
        jsonMemberNumber(w, ChangeClassNames[kind].key,
                         static_cast<std::int64_t>(comparison.counts[kind]));
    jsonEnd(w);
    jsonMemberNumber(w, "changed", static_cast<std::int64_t>(comparison.changed));
    jsonMemberBool(w, "structureChangesUnseen", comparison.structures);
    jsonKey(w, "layouts");
    jsonBeginArray(w, true);
    for (const LayoutVerdict& v : comparison.layouts) {
        jsonBeginObject(w);
        jsonMemberNumber(w, "selector", v.selector);
        jsonMember(w, "segment", v.name);
        for (const char* side : {"old", "new"}) {
            const std::string& digits = side[0] == 'o' ? v.before : v.after;
            jsonKey(w, side);
            if (digits.empty())
                jsonNull(w);
            else
                jsonText(w, digits);
        }
        jsonMemberBool(w, "changed", v.changed);
        jsonEnd(w);
    }
    jsonEnd(w);
    jsonKey(w, "fills");
    jsonBeginArray(w, true);
    for (const FillChange& fill : comparison.fills) {
        jsonBeginObject(w);
        jsonMemberNumber(w, "selector", fill.selector);
        jsonMember(w, "segment", fill.name);
        jsonKey(w, "old");
        jsonBeginObject(w);
        jsonMemberNumber(w, "end", static_cast<std::int64_t>(fill.before.end));
        writeFill(w, fill.before);
        jsonEnd(w);
        jsonKey(w, "new");
        jsonBeginObject(w);
        jsonMemberNumber(w, "end", static_cast<std::int64_t>(fill.after.end));
        writeFill(w, fill.after);
        jsonEnd(w);
        jsonMemberNumber(w, "endChange", fill.bytes);
        jsonKey(w, "fillChange");
        const std::string change = fillChangeText(fill.tenths);
        jsonRaw(
            w, change.substr(change[0] == '+' ? 1 : 0, change.size() - (change[0] == '+' ? 2 : 1)));
        jsonEnd(w);
    }
    jsonEnd(w);
    if (comparison.budgeted)
        jsonMemberBool(w, "overBudget", comparison.overBudget);
    writeClassList(w, "failOn", comparison.failOn);
    writeClassList(w, "tripped", comparison.tripped);
    if (comparison.oldImages != nullptr && comparison.newImages != nullptr) {
        jsonKey(w, "images");
        jsonBeginObject(w, true);
        writeImageComparisonJson(w, *comparison.oldImages, *comparison.newImages);
        jsonEnd(w);
    }
    return jsonEndDocument(w);
}

namespace {

// A build of a history on one line: its map, figures, segments and changes against the build
// before (null for the first build).
void writeBuild(JsonWriter& w, const BuildRecord& build, std::size_t index) {
    jsonBeginObject(w);
    jsonMemberNumber(w, "build", static_cast<std::int64_t>(index + 1));
    jsonMember(w, "path", build.path);
    jsonMemberNumber(w, "findingCount", static_cast<std::int64_t>(build.findingCount));
    jsonMemberBool(w, "sound", build.findingCount == 0);
    jsonMemberNumber(w, "variables", static_cast<std::int64_t>(build.variables));
    jsonKey(w, "segments");
    jsonBeginArray(w);
    for (std::size_t i = 0; i < build.fills.size(); ++i) {
        const SegmentFill& fill = build.fills[i];
        jsonBeginObject(w);
        jsonMemberNumber(w, "selector", fill.selector);
        jsonMember(w, "segment", fill.name);
        jsonMemberNumber(w, "end", static_cast<std::int64_t>(fill.end));
        writeFill(w, fill);
        // Both lists hold the selectors that have variables, in order; checked all the same.
        const bool printed =
            i < build.fingerprints.size() && build.fingerprints[i].selector == fill.selector;
        jsonMember(w, "fingerprint", printed ? build.fingerprints[i].digits : std::string());
        jsonMemberBool(w, "layoutChanged", layoutChangedIn(build, fill.selector));
        jsonEnd(w);
    }
    jsonEnd(w);
    // Every segment whose layout changed against the build before, one that lost all its
    // variables too (it has no object above); null for the first build.
    jsonKey(w, "layoutChanged");
    if (build.compared) {
        jsonBeginArray(w);
        for (std::uint16_t selector : build.layoutChanged)
            jsonNumber(w, selector);
        jsonEnd(w);
    } else {
        jsonNull(w);
    }
    jsonKey(w, "changes");
    if (build.compared) {
        jsonBeginObject(w);
        for (int kind = 0; kind < ChangeClassCount; ++kind)
            if (build.counts[kind] != 0)
                jsonMemberNumber(w, ChangeClassNames[kind].key,
                                 static_cast<std::int64_t>(build.counts[kind]));
        jsonEnd(w);
        jsonMemberNumber(w, "changed", static_cast<std::int64_t>(build.changed));
    } else {
        jsonNull(w);
        jsonKey(w, "changed");
        jsonNull(w);
    }
    jsonEnd(w);
}

} // namespace

bool formatHistoryJson(const MapHistory& history, std::string& out) {
    JsonWriter w{out};
    jsonBeginDocument(w);
    jsonMember(w, "kind", "symbol map history");
    jsonKey(w, "builds");
    jsonBeginArray(w, true);
    for (std::size_t i = 0; i < history.builds.size(); ++i)
        writeBuild(w, history.builds[i], i);
    jsonEnd(w);
    jsonMemberNumber(w, "unsound", static_cast<std::int64_t>(history.unsound));
    jsonMemberBool(w, "sound", history.unsound == 0);
    if (history.budgeted)
        jsonMemberBool(w, "overBudget", history.overBudget);
    return jsonEndDocument(w);
}

} // namespace plcinfo
