// Formatting helpers shared by the text and JSON reports.
#include "report_format.h"

#include <array>
#include <cstdarg>
#include <cstdio>

namespace plcinfo {

std::size_t utf8Length(std::string_view text, std::size_t i) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t length;
    std::uint32_t least;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i < length)
        return 0;
    std::uint32_t code = lead & (0x3F >> (length - 1));
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code >= least && code <= 0x10FFFF && !surrogate ? length : 0;
}

void appendFormat(std::string& out, const char* format, ...) {
    char buffer[256];
    va_list list;
    va_start(list, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, list);
    va_end(list);
    if (length < 0)
        return;
    if (static_cast<std::size_t>(length) < sizeof buffer) {
        out.append(buffer, static_cast<std::size_t>(length));
        return;
    }
    // Longer than the buffer (a long path): format again straight into the string.
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(length) + 1);
    va_start(list, format);
    std::vsnprintf(&out[start], static_cast<std::size_t>(length) + 1, format, list);
    va_end(list);
    out.resize(start + static_cast<std::size_t>(length));
}

void appendByteEscape(std::string& out, const char* prefix, unsigned char byte) {
    out += prefix;
    out += HexDigits[byte >> 4];
    out += HexDigits[byte & 15];
}

std::string hexDigits(std::uint64_t value, int digits) {
    std::string text;
    for (; value != 0 || text.size() < static_cast<std::size_t>(digits); value >>= 4)
        text.insert(text.begin(), HexDigits[value & 15]);
    return text;
}

namespace {

// What a byte of a JSON string needs, in rising order: nothing (printable ASCII but '"', '\\'
// and '<'); an escape in a string of markup only ('<'); an escape, or a look at the UTF-8
// sequence it begins (the rest).
enum JsonByteNeed : unsigned char { JsonAsIs, JsonEscapedInMarkup, JsonEscapedOrUtf8 };

constexpr std::array<JsonByteNeed, 256> makeJsonByteNeeds() {
    std::array<JsonByteNeed, 256> needs{};
    for (int c = 0; c < 256; ++c)
        needs[c] = c < 0x20 || c >= 0x7F || c == '"' || c == '\\' ? JsonEscapedOrUtf8
                   : c == '<'                                     ? JsonEscapedInMarkup
                                                                  : JsonAsIs;
    return needs;
}
constexpr std::array<JsonByteNeed, 256> JsonByteNeeds = makeJsonByteNeeds();

} // namespace

void appendJsonString(std::string& out, std::string_view text, bool markup) {
    out += '"';
    // Bytes that need less than `stop` go on a plain run: '<' only when the string is not
    // markup's.
    const JsonByteNeed stop = markup ? JsonEscapedInMarkup : JsonEscapedOrUtf8;
    for (std::size_t i = 0; i < text.size();) {
        // Characters that need no escape go in as one piece, found by one table look-up a
        // byte: a page of a million variables writes a million names.
        std::size_t plain = i;
        while (plain < text.size() && JsonByteNeeds[static_cast<unsigned char>(text[plain])] < stop)
            ++plain;
        out.append(text.data() + i, plain - i);
        i = plain;
        if (i == text.size())
            break;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '<') {
            out += "\\u003C";
            ++i;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (const std::size_t length = c >= 0x80 ? utf8Length(text, i) : 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            // Control characters, DEL, and bytes that begin no UTF-8 sequence (the 8-bit text
            // of a comment), each taken as the character of that number.
            appendByteEscape(out, "\\u00", c);
            ++i;
        }
    }
    out += '"';
}

} // namespace plcinfo
