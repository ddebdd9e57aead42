// The same facts as the tables, as one JSON document: names and words as strings, numbers
// as numbers, checks as booleans. One image per line, so that a diff of two documents reads
// image by image.
#include "inspector.h"

namespace plcinfo {

namespace {

// Indexed by ImageState and by LengthReason.
const char* const StateWords[] = {"missing", "cut short", "present"};
const char* const ReasonWords[] = {"dataCheck holds", "next header follows", "shortest fit"};

const char* stateWord(ImageState state) {
    return StateWords[static_cast<int>(state)];
}

const char* reasonWord(LengthReason reason) {
    return ReasonWords[static_cast<int>(reason)];
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
    appendFormat(out, ", \"farEnd\": %s}", boolWord(farEndHolds(image)));
    appendFieldObject(out, "expected", image.expected);
    out.pop_back();
    appendFormat(out, ", \"farEnd\": %u}", image.expectedFarEnd);
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

std::string formatJson(const Inspection& inspection) {
    std::string out;
    appendJsonHead(out);
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
    appendJsonHead(out);
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
