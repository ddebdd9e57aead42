// The JSON writer: separators and indentation from the stack of open objects and arrays.
#include "json_writer.h"

#include "report_format.h"

#include <cassert>
#include <charconv>

namespace plcinfo {

namespace {

const char Version[] = PLC_PACKAGE_VERSION;

// Appends the blanks in front of a member of the innermost level, or of its closing bracket.
void indent(JsonWriter& w, bool closing) {
    int levels = 0;
    for (int i = 0; i < w.depth; ++i)
        levels += w.multiline[i] ? 1 : 0;
    w.out.append(static_cast<std::size_t>(2 * (closing ? levels - 1 : levels)), ' ');
}

// What goes before the next value or key: nothing after a key, else a comma after an earlier
// member and, one per line, the line break and indentation.
void separate(JsonWriter& w) {
    if (w.afterKey) {
        w.afterKey = false;
        return;
    }
    if (w.depth == 0)
        return;
    const int level = w.depth - 1;
    if (!w.first[level])
        w.out += w.multiline[level] || w.compact ? "," : ", ";
    w.first[level] = false;
    if (w.multiline[level]) {
        w.out += '\n';
        indent(w, false);
    }
}

void begin(JsonWriter& w, char open, char close, bool multiline) {
    assert(w.depth < JsonWriter::MaxDepth && "a JSON report nested deeper than its writer holds");
    if (w.depth >= JsonWriter::MaxDepth) {
        ++w.refused;
        return;
    }
    separate(w);
    w.out += open;
    w.first[w.depth] = true;
    w.multiline[w.depth] = multiline;
    w.closer[w.depth] = close;
    ++w.depth;
}

} // namespace

void jsonBeginObject(JsonWriter& w, bool multiline) {
    begin(w, '{', '}', multiline);
}

void jsonBeginArray(JsonWriter& w, bool multiline) {
    begin(w, '[', ']', multiline);
}

void jsonEnd(JsonWriter& w) {
    if (w.refused > 0) {
        --w.refused;
        return;
    }
    if (w.depth == 0)
        return;
    const int level = w.depth - 1;
    if (w.multiline[level]) {
        w.out += '\n';
        indent(w, true);
    }
    w.out += w.closer[level];
    --w.depth;
}

void jsonKey(JsonWriter& w, const char* key) {
    separate(w);
    appendJsonString(w.out, key);
    w.out += w.compact ? ":" : ": ";
    w.afterKey = true;
}

void jsonRaw(JsonWriter& w, const std::string& text) {
    separate(w);
    w.out += text;
}

void jsonText(JsonWriter& w, std::string_view text) {
    separate(w);
    appendJsonString(w.out, text, w.escapeMarkup);
}

void jsonNumber(JsonWriter& w, std::int64_t value) {
    // Written in place: a table of a million rows writes millions of numbers.
    char digits[24];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    separate(w);
    w.out.append(digits, end.ptr);
}

void jsonBool(JsonWriter& w, bool value) {
    jsonRaw(w, value ? "true" : "false");
}

void jsonNull(JsonWriter& w) {
    jsonRaw(w, "null");
}

void jsonBeginDocument(JsonWriter& w) {
    jsonBeginObject(w, true);
    jsonMember(w, "program", "Plcinfo");
    jsonMember(w, "version", Version);
}

bool jsonEndDocument(JsonWriter& w) {
    const bool whole = w.refused == 0;
    w.refused = 0;
    while (w.depth > 0)
        jsonEnd(w);
    w.out += '\n';
    return whole;
}

} // namespace plcinfo
