// The same facts as the tables, as one JSON document: names and words as strings, numbers
// as numbers, checks as booleans. One image per line, so that a diff of two documents reads
// image by image.
#include "inspector.h"

namespace plcinfo {

namespace {

const char Version[] = "1.0";

// Length of the UTF-8 sequence that begins at text[i], or 0 when none does.
std::size_t utf8Length(const std::string& text, std::size_t i) {
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

// Indexed by ImageState and by LengthReason.
const char* const StateWords[] = {"missing", "cut short", "present"};
const char* const ReasonWords[] = {"dataCheck holds", "next header follows", "shortest fit"};

const char* stateWord(ImageState state) {
    return StateWords[static_cast<int>(state)];
}

const char* reasonWord(LengthReason reason) {
    return ReasonWords[static_cast<int>(reason)];
}

const char* boolWord(bool value) {
    return value ? "true" : "false";
}

// Sizes and offsets as decimal digits (no "%s": not every C library's printf has it).
std::string number(std::size_t value) {
    return std::to_string(value);
}

void appendFieldObject(std::string& out, const char* key, const std::uint16_t* values) {
    appendFormat(out, ", \"%s\": {", key);
    for (int field = 0; field < CheckedFieldCount; ++field)
        appendFormat(out, "%s\"%s\": %u", field == 0 ? "" : ", ", CheckedFieldNames[field],
                     values[field]);
    out += '}';
}

void appendImage(std::string& out, const Inspection& inspection, int index) {
    const ImageRecord& image = inspection.images[index];
    appendFormat(out, "    {\"name\": \"%s\", \"state\": \"%s\", \"valid\": %s", ImageNames[index],
                 stateWord(image.state), boolWord(imageValid(image)));
    if (!inspection.joined && !inspection.imagePaths[index].empty())
        out += ", \"file\": " + jsonString(inspection.imagePaths[index]);
    if (image.state == ImageState::Missing) {
        out += '}';
        return;
    }
    if (inspection.joined)
        appendFormat(out, ", \"offset\": %s", number(image.offset).c_str());
    appendFormat(out, ", \"size\": %s", number(image.size).c_str());
    if (image.state == ImageState::CutShort) {
        appendFormat(out, ", \"needed\": %s}", number(image.needed).c_str());
        return;
    }
    for (int field = 0; field < CheckedFieldCount; ++field)
        appendFormat(out, ", \"%s\": %u", CheckedFieldNames[field], image.stored[field]);
    appendFormat(out, ", \"farEnd\": %u, \"checks\": {", image.farEnd);
    for (int field = 0; field < CheckedFieldCount; ++field)
        appendFormat(out, "%s\"%s\": %s", field == 0 ? "" : ", ", CheckedFieldNames[field],
                     boolWord(fieldHolds(image, static_cast<CheckedField>(field))));
    out += '}';
    appendFieldObject(out, "expected", image.expected);
    if (inspection.joined)
        appendFormat(out, ", \"sizeTaken\": {\"from\": \"%s\", \"wraps\": %u, \"by\": \"%s\"}",
                     image.base == LengthBase::FileLength ? "fileLength" : "dataLength",
                     static_cast<unsigned>(image.wraps), reasonWord(image.reason));
    if (index == 0 && image.size >= CommentOffset + CommentLength) {
        const std::string comment(reinterpret_cast<const char*>(image.bytes + CommentOffset),
                                  CommentLength);
        out += ", \"comment\": " + jsonString(comment);
    }
    out += '}';
}

void appendHead(std::string& out) {
    appendFormat(out, "{\n  \"program\": \"Plcinfo\",\n  \"version\": \"%s\",\n", Version);
}

const char* kindWord(const Inspection& inspection) {
    return inspection.joined ? "joined file" : "folder";
}

void appendSideSummary(std::string& out, const char* key, const Inspection& inspection) {
    const int bad = badImageCount(inspection);
    appendFormat(
        out, "  \"%s\": {\"path\": %s, \"kind\": \"%s\", \"badImages\": %d, \"valid\": %s},\n", key,
        jsonString(inspection.path).c_str(), kindWord(inspection), bad, boolWord(bad == 0));
}

void appendSideImage(std::string& out, const char* key, const ImageRecord& image) {
    appendFormat(out, "\"%s\": {\"state\": \"%s\"", key, stateWord(image.state));
    if (image.state != ImageState::Missing)
        appendFormat(out, ", \"size\": %s", number(image.size).c_str());
    if (image.state == ImageState::Present)
        appendFormat(out, ", \"dataCheck\": %u", image.stored[FieldDataCheck]);
    out += '}';
}

void appendFirstDifference(std::string& out, const ImageComparison& comparison) {
    if (comparison.same || !comparison.bothHold)
        out += ", \"firstDifference\": null";
    else
        appendFormat(out, ", \"firstDifference\": %s", number(comparison.firstDifference).c_str());
}

void appendEndPartSide(std::string& out, const char* key, const Inspection& inspection) {
    if (inspection.hasEndPart)
        appendFormat(out, ", \"%s\": {\"size\": %s}", key, number(inspection.endSize).c_str());
    else
        appendFormat(out, ", \"%s\": null", key);
}

} // namespace

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
        } else if (const std::size_t length = c >= 0x80 ? utf8Length(text, i) : 0) {
            out.append(text, i, length);
            i += length;
        } else {
            // Control characters, DEL, and bytes that begin no UTF-8 sequence (the 8-bit text
            // of a comment), each taken as the character of that number.
            appendFormat(out, "\\u%04X", c);
            ++i;
        }
    }
    out += '"';
    return out;
}

std::string formatJson(const Inspection& inspection) {
    std::string out;
    appendHead(out);
    appendFormat(out, "  \"path\": %s,\n  \"kind\": \"%s\",\n  \"images\": [\n",
                 jsonString(inspection.path).c_str(), kindWord(inspection));
    for (int i = 0; i < ImageCount; ++i) {
        appendImage(out, inspection, i);
        out += i + 1 < ImageCount ? ",\n" : "\n";
    }
    out += "  ],\n";
    if (inspection.joined) {
        if (inspection.hasEndPart)
            appendFormat(out, "  \"endPart\": {\"offset\": %s, \"size\": %s},\n",
                         number(inspection.endOffset).c_str(), number(inspection.endSize).c_str());
        else
            out += "  \"endPart\": null,\n";
    }
    const int bad = badImageCount(inspection);
    appendFormat(out, "  \"badImages\": %d,\n  \"valid\": %s\n}\n", bad, boolWord(bad == 0));
    return out;
}

std::string formatComparisonJson(const Inspection& before, const Inspection& after) {
    std::string out;
    appendHead(out);
    appendSideSummary(out, "old", before);
    appendSideSummary(out, "new", after);
    out += "  \"images\": [\n";
    int differing = 0;
    for (int i = 0; i < ImageCount; ++i) {
        const ImageComparison comparison = compareImages(before.images[i], after.images[i]);
        differing += comparison.same ? 0 : 1;
        appendFormat(out, "    {\"name\": \"%s\", \"same\": %s, ", ImageNames[i],
                     boolWord(comparison.same));
        appendSideImage(out, "old", before.images[i]);
        out += ", ";
        appendSideImage(out, "new", after.images[i]);
        appendFirstDifference(out, comparison);
        out += i + 1 < ImageCount ? "},\n" : "}\n";
    }
    out += "  ],\n";
    if (before.joined && after.joined) {
        const ImageComparison comparison = compareEndParts(before, after);
        appendFormat(out, "  \"endPart\": {\"same\": %s", boolWord(comparison.same));
        appendEndPartSide(out, "old", before);
        appendEndPartSide(out, "new", after);
        appendFirstDifference(out, comparison);
        out += "},\n";
    }
    appendFormat(out, "  \"differing\": %d\n}\n", differing);
    return out;
}

} // namespace plcinfo
