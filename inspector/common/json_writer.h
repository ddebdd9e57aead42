// The one writer of the inspector's JSON documents. It places the commas, the quotes of keys
// and the line breaks; the reports only say what comes next.
//
// An object or array is written on one line, or with one member per line indented by two
// blanks for every such level it stands in ("{\n  \"path\": ...,\n  ...\n}"). An empty
// one-per-line array is "[\n  ]".
//
// The writer holds MaxDepth levels. A report that opens one more is at fault: a debug build
// stops on an assertion; otherwise the document is refused (jsonEndDocument returns false)
// rather than written with its later members in the wrong level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plcinfo {

struct JsonWriter {
    static constexpr int MaxDepth = 8;
    std::string& out;
    int depth = 0;
    int refused = 0; // levels opened past MaxDepth, not written
    bool first[MaxDepth] = {};
    bool multiline[MaxDepth] = {};
    char closer[MaxDepth] = {};
    bool afterKey = false; // a key was written; its value follows without a separator
    bool compact = false;  // no blank after a comma or colon: data read by a program only
    // "<" in strings written as \u003C: the document stands in an HTML page's script block,
    // which a "</script>" in a name would otherwise end.
    bool escapeMarkup = false;
};

// Opens an object or array as the next value; `multiline`: one member per line.
void jsonBeginObject(JsonWriter& w, bool multiline = false);
void jsonBeginArray(JsonWriter& w, bool multiline = false);
// Closes the innermost object or array.
void jsonEnd(JsonWriter& w);
// The key of the next member of the open object.
void jsonKey(JsonWriter& w, const char* key);

// Values: the next item of the open array, or the value of the key just written.
void jsonRaw(JsonWriter& w, const std::string& text); // text already in JSON form
void jsonText(JsonWriter& w, std::string_view text);  // a string, quoted and escaped
void jsonNumber(JsonWriter& w, std::int64_t value);
void jsonBool(JsonWriter& w, bool value);
void jsonNull(JsonWriter& w);

// Key and value in one step.
inline void jsonMember(JsonWriter& w, const char* key, std::string_view text) {
    jsonKey(w, key);
    jsonText(w, text);
}
inline void jsonMemberNumber(JsonWriter& w, const char* key, std::int64_t value) {
    jsonKey(w, key);
    jsonNumber(w, value);
}
inline void jsonMemberBool(JsonWriter& w, const char* key, bool value) {
    jsonKey(w, key);
    jsonBool(w, value);
}

// The head every JSON document of the inspector begins with: the document opened one member
// per line, with the program and its version.
void jsonBeginDocument(JsonWriter& w);
// Closes the document and ends its last line; false when the document was refused.
[[nodiscard]] bool jsonEndDocument(JsonWriter& w);

} // namespace plcinfo
